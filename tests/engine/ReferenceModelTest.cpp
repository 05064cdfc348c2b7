// The engine against the plain model of ReferenceEngine.h, sample by sample:
// RenderVoice over a table of voice settings, and whole Tick runs with note,
// pedal, controller and parameter events. The engine shares per-sample work
// between voices and uses its own sin/tanh; the results must still agree
// with the formulas to rounding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "EngineTestUtil.h"
#include "ReferenceEngine.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

struct VoiceScenario {
  const char* name;
  double rate;
  std::function<void(SynthCore&)> setup;  // parameters and engine members
  std::function<void(Voice&)> voice;      // the voice's notes and start state
  int gateOff;                            // sample at which the gate goes off
  std::function<void(SynthCore&, int)> during;  // parameter changes during the run
  double age, motion;                     // lfo runs as a slow sine
};

void Nothing(SynthCore&, int) {}

const VoiceScenario kVoiceScenarios[] = {
    {"defaults, Split interval", 48000,
     [](SynthCore& e) { e.voiceMode = kSplit; },
     [](Voice& v) { v.note1 = 48; v.note2 = 60; v.velocity = 0.8; }, 6000, Nothing, 0.12, 0.12},
    {"heavy fuzz with warmth", 48000,
     [](SynthCore& e) {
       e.SetParameter(kFuzz, 1.0);
       e.fuzzAmount = 1.0;
       e.SetParameter(kFuzzWarmth, 1.0);
       e.SetParameter(kBody, 1.0);
       e.SetParameter(kResonance, 1.0);
       e.SetParameter(kCutoff, 0.3);
       e.SetParameter(kFilterEnvAmount, 1.0);
       e.SetParameter(kHighPass, 0.6);
     },
     [](Voice& v) { v.note1 = v.note2 = 40; v.velocity = 0.0; }, 5000, Nothing, 0.0, 0.0},
    {"fuzz just past 60 %", 48000,
     [](SynthCore& e) { e.fuzzAmount = 0.7; e.SetParameter(kFuzzWarmth, 0.0); },
     [](Voice& v) { v.note1 = v.note2 = 57; }, 4000, Nothing, 0.3, 0.5},
    {"Vrel Bite, fine shapes, Fat, glide, bend", 48000,
     [](SynthCore& e) {
       e.SetParameter(kOsc1Wave, 1.0 / 6);
       e.SetParameter(kOsc2Wave, 5.0 / 6);
       e.SetParameter(kOsc1WaveFine, 1.0);
       e.SetParameter(kOsc2WaveFine, 1.0);
       e.SetParameter(kVrelBite, 1.0);
       e.SetParameter(kOsc1Pulse, 0.7);
       e.SetParameter(kOsc2Pulse, 0.2);
       e.SetParameter(kPulseWidth, 0.9);
       e.fatAmount = 1.0;
       e.SetParameter(kFatTune, 0.0);
       e.SetParameter(kOsc2Range, 0.75);
       e.SetParameter(kOsc2Fine, 0.8);
       e.SetParameter(kGlide, 0.03);
       e.SetParameter(kLfoPitch, 1.0);
       e.pitchBend = 0.4;
       e.voiceMode = kMono;
     },
     [](Voice& v) { v.note1 = v.note2 = 62; v.pitch1 = v.pitch2 = 50; }, 7000, Nothing, 0.5, 1.0},
    {"increment limits at 44.1 kHz", 44100,
     [](SynthCore& e) {
       e.SetParameter(kOsc1Range, 1.0);
       e.SetParameter(kOsc2Range, 1.0);
       e.SetParameter(kOsc1Wave, 3.0 / 6);
       e.SetParameter(kOsc2Wave, 6.0 / 6);
       e.SetParameter(kVrelBite, 0.6);
       e.fatAmount = 0.8;
     },
     [](Voice& v) { v.note1 = 120; v.note2 = 127; }, 3000, Nothing, 0.0, 0.0},
    {"pressure, modulated cutoff at its limits", 48000,
     [](SynthCore& e) {
       e.notePressure[60] = 0.5;
       e.notePressure[72] = 0.9;
       e.channelPressure = 0.3;
       e.SetParameter(kLfoFilter, 1.0);
       e.SetParameter(kCutoff, 1.0);
       e.SetParameter(kFilterEnvAmount, 1.0);
       e.SetParameter(kHighPass, 1.0);
       e.ageDrift = 0.7;
       e.driftValue[0] = 0.5;
       e.driftValue[1] = -0.8;
       e.cutoffOffset = 0.002;
       e.voiceMode = kSplit;
       e.SetParameter(kSpan, 1.0);
     },
     [](Voice& v) { v.note1 = 60; v.note2 = 72; }, 5000, Nothing, 1.0, 0.8},
    {"pressure beyond full (limited to 1)", 48000,
     [](SynthCore& e) {
       e.notePressure[50] = 1.0;
       e.channelPressure = 0.9;
       e.SetParameter(kCutoff, 0.3);
       e.SetParameter(kFilterEnvAmount, 0.0);
     },
     [](Voice& v) { v.note1 = v.note2 = 50; }, 4000, Nothing, 0.0, 0.0},
    {"closed cutoff, Ring in Mono", 48000,
     [](SynthCore& e) {
       e.SetParameter(kCutoff, 0.0);
       e.SetParameter(kFilterEnvAmount, 0.0);
       e.SetParameter(kRing, 1.0);
       e.voiceMode = kMono;
       e.SetParameter(kResonance, 0.0);
     },
     [](Voice& v) { v.note1 = v.note2 = 45; }, 5000, Nothing, 0.2, 0.0},
    {"shape and sustain changes mid-note", 48000,
     [](SynthCore& e) { e.SetParameter(kOsc2Wave, 4.0 / 6); },
     [](Voice& v) { v.note1 = 55; v.note2 = 59; },
     9000,
     [](SynthCore& e, int n) {
       if (n == 3000) e.SetParameter(kOsc1Wave, 2.0 / 6);
       if (n == 3100) e.SetParameter(kOsc2Wave, 0.0);
       if (n == 5000) e.SetParameter(kAmpSustain, 0.2);
       if (n == 6000) e.SetParameter(kOsc1Wave, 6.0 / 6);
     },
     0.0, 0.0},
    {"silent voice keeps filtering", 48000, [](SynthCore&) {},
     [](Voice& v) { v.note1 = v.note2 = 60; v.active = false; }, 0, Nothing, 0.0, 0.0},
};

// Largest differences seen, per quantity, reported with the failing case.
struct Worst {
  std::map<std::string, double> diff;
  void Add(const std::string& what, double a, double b) {
    double& d = diff[what];
    d = std::max(d, std::fabs(a - b));
  }
};

}  // namespace

TEST(EngineReference, RenderVoiceFollowsTheFormulas) {
  for (const VoiceScenario& sc : kVoiceScenarios) {
    SCOPED_TRACE(sc.name);
    SynthCore e;
    e.SetCircuitSeed(99);
    e.SetSampleRate(sc.rate);
    sc.setup(e);
    SettleGains(e);
    ref::Engine r(e);
    Voice a = GatedVoice(0, 0);
    sc.voice(a);
    Voice b = a;
    Worst worst;
    const int samples = sc.gateOff + 6000;
    for (int n = 0; n < samples; ++n) {
      sc.during(e, n);
      r.TakeEvents(e);
      if (n == sc.gateOff) a.active = b.active = false;
      const double lfo = std::sin(n * 0.0021);
      const double got = e.RenderVoice(a, lfo, sc.age, sc.motion);
      const double want = r.RenderVoice(b, lfo, sc.age, sc.motion);
      worst.Add("output", got, want);
      worst.Add("ampLevel", a.ampLevel, b.ampLevel);
      worst.Add("filterLevel", a.filterLevel, b.filterLevel);
      worst.Add("phase1", a.phase1, b.phase1);
      worst.Add("phase2", a.phase2, b.phase2);
      worst.Add("layerPhase2", a.layerPhase2, b.layerPhase2);
      worst.Add("subPhase", a.subPhase, b.subPhase);
      worst.Add("pitch1", a.pitch1, b.pitch1);
      worst.Add("fade1", a.fade1, b.fade1);
      ASSERT_EQ(a.ampStage, b.ampStage) << "sample " << n;
      ASSERT_EQ(a.filterStage, b.filterStage) << "sample " << n;
      ASSERT_EQ(a.wave1, b.wave1) << "sample " << n;
      ASSERT_EQ(a.prevWave2, b.prevWave2) << "sample " << n;
    }
    for (const auto& [what, d] : worst.diff) EXPECT_LE(d, 1e-12) << what;
  }
}

namespace {

struct Event {
  int tick;
  std::function<void(SynthCore&)> apply;
};

struct TickScenario {
  const char* name;
  double rate;
  std::function<void(SynthCore&)> setup;  // before SetSampleRate
  std::vector<Event> events;
  int ticks;
  bool restartsSoundingVoices = false;  // the declick must come into play
  // A tick at which the echo and width lines and the filter bank must have
  // fallen back to exactly zero (the engine then skips them), or -1.
  int silentAt = -1;
};

std::function<void(SynthCore&)> On(int note, double velocity) {
  return [=](SynthCore& e) { e.NoteOn(note, velocity); };
}
std::function<void(SynthCore&)> Off(int note) {
  return [=](SynthCore& e) { e.NoteOff(note); };
}
std::function<void(SynthCore&)> Set(int index, double value) {
  return [=](SynthCore& e) { e.SetParameter(index, value); };
}

const TickScenario kTickScenarios[] = {
    {"defaults, Split legato", 48000, [](SynthCore&) {},
     {{0, On(48, 0.9)}, {0, On(60, 0.7)}, {3000, On(67, 0.5)}, {6000, Off(67)}, {9000, Off(48)}, {9000, Off(60)}},
     24000},
    {"Mono with everything on", 48000,
     [](SynthCore& e) {
       e.SetParameter(kVoiceMode, 0.5);
       e.SetParameter(kFuzz, 0.9);
       e.SetParameter(kFuzzWarmth, 0.8);
       e.SetParameter(kVrelBite, 0.7);
       e.SetParameter(kOsc1Wave, 1.0 / 6);
       e.SetParameter(kOsc2Wave, 5.0 / 6);
       e.SetParameter(kOsc1WaveFine, 1.0);
       e.SetParameter(kOsc2WaveFine, 1.0);
       e.SetParameter(kGlide, 0.05);
       e.SetParameter(kWidth, 1.0);
       e.SetParameter(kWidthMotion, 1.0);
       e.SetParameter(kSpace, 1.0);
       e.SetParameter(kSpaceSync, 0.4);
       e.SetParameter(kMotionSync, 0.2);
       e.SetParameter(kMotion, 0.6);
       e.SetParameter(kLfoPitch, 1.0);
       e.SetParameter(kLfoFilter, 1.0);
       e.SetParameter(kBody, 1.0);
       e.SetParameter(kColor, 0.2);
       e.SetParameter(kBankMix, 0.6);
       e.SetParameter(kResonance, 0.9);
       e.SetParameter(kHighPass, 0.5);
       e.SetParameter(kFilterEnvAmount, 1.0);
       e.SetParameter(kAge, 1.0);
       e.SetParameter(kRing, 0.3);
       e.tempo = 133;
       e.modWheel = 0.5;
       e.pitchBend = -0.3;
       e.channelPressure = 0.2;
     },
     {{0, On(60, 1.0)},
      {2000, On(64, 0.6)},
      {5000, Off(64)},
      {6000, [](SynthCore& e) { e.notePressure[60] = 0.7; }},
      {7000, On(72, 0.3)},
      {12000, Off(60)},
      {12000, Off(72)}},
     30000},
    {"Poly with stealing, pedal and switches", 48000,
     [](SynthCore& e) {
       e.SetParameter(kVoiceMode, 1.0);
       e.SetParameter(kFat, 1.0);
       e.SetParameter(kFatTune, 0.0);
       e.SetParameter(kOsc1Wave, 3.0 / 6);
       e.SetParameter(kOsc2Wave, 6.0 / 6);
       e.SetParameter(kOsc1Range, 0.25);
       e.SetParameter(kOsc2Range, 0.75);
       e.SetParameter(kAttack, 0.002);
       e.SetParameter(kRelease, 0.05);
       e.SetParameter(kAge, 0.5);
       e.SetParameter(kSpace, 0.6);
       e.SetParameter(kFuzz, 0.8);
       e.SetParameter(kWidth, 0.7);
     },
     {{0, On(60, 1.0)},
      {0, On(62, 0.8)},
      {0, On(64, 0.6)},
      {0, On(65, 0.4)},
      {1000, On(67, 0.9)},
      {2000, Set(kFuzzOn, 0.0)},
      {3000, Off(67)},
      {4000, [](SynthCore& e) { e.SetSustain(true); }},
      {5000, Off(60)},
      {5000, Off(62)},
      {5000, Off(64)},
      {5000, Off(65)},
      {6000, Set(kFatOn, 0.0)},
      {8000, [](SynthCore& e) { e.SetSustain(false); }},
      {9000, Set(kFuzzOn, 1.0)}},
     24000},
    {"Split at 44.1 kHz with Span, shape and gain changes", 44100,
     [](SynthCore& e) {
       e.SetParameter(kSpan, 1.0);
       e.SetParameter(kSpace, 0.4);
       e.SetParameter(kSpaceSync, 1.0);
       e.tempo = 240;
     },
     {{0, On(36, 1.0)},
      {0, On(70, 0.2)},
      {1000, [](SynthCore& e) { e.notePressure[36] = 0.6; }},
      {4000, Set(kOsc1Wave, 2.0 / 6)},
      {6000, Set(kMasterGain, 1.6)},
      {7000, Set(kWidthOn, 0.0)},
      {8000, [](SynthCore& e) { e.pitchBend = 1.0; }},
      {10000, [](SynthCore& e) { e.AllNotesOff(); }}},
     40000},
    {"Restarted sounding voices, gain automation, mode changes, LFO wraps", 48000,
     [](SynthCore& e) {
       e.SetParameter(kVoiceMode, 1.0);
       e.SetParameter(kLfoRate, 1.0);  // 8 Hz: a wrap every 6000 samples
       e.SetParameter(kWidth, 1.0);
       e.SetParameter(kWidthMotion, 1.0);
       e.SetParameter(kAge, 0.8);
       e.SetParameter(kSpace, 0.5);
       e.SetParameter(kAttack, 0.005);
       e.SetParameter(kRelease, 0.3);
       e.SetParameter(kSpan, 0.9);
     },
     {{0, On(60, 0.9)},
      {0, On(64, 0.7)},
      {2000, [](SynthCore& e) { e.SetSustain(true); }},
      {2500, Off(60)},
      {4000, On(60, 0.8)},  // re-struck while the pedal holds it
      {4030, On(60, 0.6)},  // and again within the first declick's fade
      {5000, On(67, 0.5)},
      {5000, On(69, 0.5)},
      {6000, On(71, 1.0)},  // steals a sounding voice
      {7000, Set(kAmpLevel, 0.2)},
      {7000, Set(kOsc1Level, 0.3)},
      {7000, Set(kOsc2Level, 0.1)},
      {7000, Set(kRing, 0.6)},
      {7000, Set(kBankMix, 0.9)},
      {7000, Set(kBand700, 0.1)},
      {7000, Set(kSpace, 1.0)},
      {9000, Set(kVoiceMode, 0.0)},  // rebuilt into Split while sounding
      {11000, [](SynthCore& e) { e.SetSustain(false); }},
      {11000, Off(67)},
      {11000, Off(69)},
      {11000, Off(71)},
      {11000, Off(64)},
      {12000, On(50, 0.7)},
      {13000, Set(kVoiceMode, 0.5)},
      {14000, Set(kVoiceMode, 1.0)},
      {14000, On(55, 0.7)},
      {20000, Off(50)},
      {20000, Off(55)}},
     30000,
     true},
    // Echo at full Space through a long silence: the echo falls by 0.3 per
    // pass (1e-30 after 58 passes, under 25 s), then the lines take 7 s to
    // hold only zeros, and the released voice has come to rest. A second note
    // then starts from skipped lines and bank, and from filters that were
    // designed while the voice rested (it comes between two designs).
    {"Echo decays to zero, then plays again", 8000,
     [](SynthCore& e) {
       e.SetParameter(kSpace, 1.0);
       e.SetParameter(kWidth, 1.0);
       e.SetParameter(kBankMix, 0.8);
       e.SetParameter(kRelease, 0.05);
     },
     {{0, On(57, 1.0)}, {1600, Off(57)}, {272005, On(64, 0.8)}, {276000, Off(64)}},
     290000,
     false,
     271999},
};

}  // namespace

TEST(EngineReference, TickFollowsTheFormulas) {
  for (const TickScenario& sc : kTickScenarios) {
    SCOPED_TRACE(sc.name);
    SynthCore e;
    e.SetCircuitSeed(2024);
    sc.setup(e);
    e.SetSampleRate(sc.rate);
    ref::Engine r(e);
    size_t next = 0;
    Worst worst;
    double loudest = 0.0;
    double declick = 0.0;
    for (int t = 0; t < sc.ticks; ++t) {
      bool any = false;
      while (next < sc.events.size() && sc.events[next].tick == t) {
        sc.events[next++].apply(e);
        any = true;
      }
      if (any) r.TakeEvents(e);
      const auto [gl, gr] = e.Tick();
      const auto [wl, wr] = r.Tick();
      worst.Add("left", gl, wl);
      worst.Add("right", gr, wr);
      worst.Add("ageDrift", e.ageDrift, r.ageDrift);
      worst.Add("lfoPhase", e.lfoPhase, r.lfoPhase);
      worst.Add("spaceTimes", e.spaceTimes[1], r.spaceTimes[1]);
      worst.Add("fuzzAmount", e.fuzzAmount, r.fuzzAmount);
      worst.Add("polyLevel", e.polyLevel, r.polyLevel);
      worst.Add("spanShift", e.spanShift, r.spanShift);
      worst.Add("widthPhase1", e.widthPhase1, r.widthPhase1);
      worst.Add("wobblePhase", e.wobblePhase, r.wobblePhase);
      worst.Add("ampLevel gain", e.gains.ampLevel, r.gains.ampLevel);
      for (int i = 0; i < SynthCore::kNumVoices; ++i) {
        worst.Add("declickOffset", e.declickOffset[i], r.declickOffset[i]);
        declick = std::max(declick, std::fabs(e.declickOffset[i]));
      }
      for (int i = 0; i < SynthCore::kNumVoices; ++i) worst.Add("ampLevel", e.voices[i].ampLevel, r.voices[i].ampLevel);
      ASSERT_EQ(e.noiseState, r.noise) << "tick " << t;
      loudest = std::max(loudest, std::fabs(gl));
      if (t == sc.silentAt) {
        auto zero = [](double x) { return x == 0.0; };
        EXPECT_TRUE(std::all_of(e.spaceLeft.begin(), e.spaceLeft.end(), zero));
        EXPECT_TRUE(std::all_of(e.spaceRight.begin(), e.spaceRight.end(), zero));
        EXPECT_TRUE(std::all_of(e.widthBuffer.begin(), e.widthBuffer.end(), zero));
        EXPECT_TRUE(e.bank.Silent());
      }
    }
    // The fuzz stage's drive (up to 19) and the resonant filter raise rounding
    // differences to a few 1e-12 at the output.
    for (const auto& [what, d] : worst.diff) EXPECT_LE(d, 1e-11) << what;
    EXPECT_GT(loudest, 0.05);  // the scenario really made sound
    if (sc.restartsSoundingVoices) {
      EXPECT_GT(declick, 0.01);
    }
  }
}
