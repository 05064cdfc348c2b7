// The per-sample driver: smoothing of the effect amounts and the output gain,
// the motion amount, the Motion LFO (free and tempo-synced), the age random
// walk with its noise draws, the slow drift sines and the voice sum.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

// xorshift64*: three shifts, then the top 53 bits of s x multiplier.
double NoiseStep(uint64_t& s) {
  s ^= s >> 12;
  s ^= s << 25;
  s ^= s >> 27;
  return static_cast<double>((s * 0x2545F4914F6CDD1Dull) >> 11) * std::ldexp(1.0, -53);
}

}  // namespace

TEST(EngineTick, EffectAmountsFollowTheirSwitchesWithFiveMilliseconds) {
  struct Amount {
    const char* name;
    int param, onSwitch;
    double SynthCore::*member;
  };
  const Amount amounts[] = {{"Fat", kFat, kFatOn, &SynthCore::fatAmount},
                            {"Width", kWidth, kWidthOn, &SynthCore::widthAmount},
                            {"Fuzz", kFuzz, kFuzzOn, &SynthCore::fuzzAmount}};
  for (double rate : {48000.0, 96000.0}) {
    for (const Amount& a : amounts) {
      SCOPED_TRACE(testing::Message() << a.name << " at " << rate);
      SynthCore e;
      e.SetParameter(a.param, 0.8);
      e.SetSampleRate(rate);
      ASSERT_EQ(e.*a.member, 0.8);
      const double tau = 0.005 * rate;

      // Switched off: decays towards 0 with 5 ms; the parameter keeps its amount.
      e.SetParameter(a.onSwitch, 0.0);
      for (int n = 1; n <= 2 * static_cast<int>(tau); ++n) {
        e.Tick();
        ASSERT_NEAR(e.*a.member, 0.8 * std::exp(-n / tau), 1e-12) << "sample " << n;
      }
      EXPECT_EQ(e.params[a.param], 0.8);
      const double from = e.*a.member;

      // On again: back towards 0.8 with the same time constant.
      e.SetParameter(a.onSwitch, 1.0);
      for (int n = 1; n <= 100; ++n) {
        e.Tick();
        ASSERT_NEAR(e.*a.member, 0.8 - (0.8 - from) * std::exp(-n / tau), 1e-12) << "sample " << n;
      }
      // Switches read "on" from 0.5.
      e.SetParameter(a.onSwitch, 0.4999);
      const double before = e.*a.member;
      e.Tick();
      EXPECT_LT(e.*a.member, before);
      e.SetParameter(a.onSwitch, 0.5);
      const double low = e.*a.member;
      e.Tick();
      EXPECT_GT(e.*a.member, low);
    }
  }
}

TEST(EngineTick, OutputGainFollowsMasterGain) {
  SynthCore e;
  e.SetSampleRate(48000);
  ASSERT_EQ(e.outputGain, 1.0);
  e.SetParameter(kMasterGain, 2.0);
  const double tau = 0.005 * 48000;
  for (int n = 1; n <= 500; ++n) {
    e.Tick();
    ASSERT_NEAR(e.outputGain, 2.0 - std::exp(-n / tau), 1e-12) << "sample " << n;
  }
}

namespace {

// The voice sum of one Tick, read back through the plain output chain:
// out = tanh(2.8 tanh(dry) / 0.98) x 0.98 with dry = sum x "Amp Level" / 0.7.
double VoiceSumOfTick(SynthCore& e) {
  const double out = e.Tick().first;
  return std::atanh(MonoFromOutput(out)) * 0.7 / e.params[kAmpLevel];
}

}  // namespace

TEST(EngineTick, GainControlsFollowTheirParametersWithFiveMilliseconds) {
  struct Gain {
    const char* name;
    int param;
    double (*value)(const SynthCore&);
    double to;
  };
  const Gain gains[] = {
      {"Amp Level", kAmpLevel, [](const SynthCore& e) { return e.gains.ampLevel; }, 0.0},
      {"Osc 1 Level", kOsc1Level, [](const SynthCore& e) { return e.gains.osc1Level; }, 0.1},
      {"Osc 2 Level", kOsc2Level, [](const SynthCore& e) { return e.gains.osc2Level; }, 1.0},
      {"Ring", kRing, [](const SynthCore& e) { return e.gains.ring; }, 0.9},
      {"Bank Mix", kBankMix, [](const SynthCore& e) { return e.gains.bankMix; }, 1.0},
      {"Space", kSpace, [](const SynthCore& e) { return e.gains.space; }, 0.6},
      {"250 Hz", kBand250, [](const SynthCore& e) { return e.gains.bands[0]; }, 0.0},
      {"1 kHz", kBand1k, [](const SynthCore& e) { return e.gains.bands[4]; }, 0.3},
      {"2.8 kHz", kBand2k8, [](const SynthCore& e) { return e.gains.bands[7]; }, 1.0},
  };
  for (double rate : {48000.0, 44100.0}) {
    for (const Gain& g : gains) {
      SCOPED_TRACE(testing::Message() << g.name << " at " << rate);
      SynthCore e;
      e.SetParameter(g.param, 0.4);
      e.SetSampleRate(rate);
      ASSERT_EQ(g.value(e), 0.4) << "starts at its value when the sample rate is set";
      e.Tick();
      ASSERT_EQ(g.value(e), 0.4) << "a value that does not change stays exact";
      e.SetParameter(g.param, g.to);
      const double tau = 0.005 * rate;
      for (int n = 1; n <= 1000; ++n) {
        e.Tick();
        ASSERT_NEAR(g.value(e), g.to + (0.4 - g.to) * std::exp(-n / tau), 1e-12) << "sample " << n;
      }
      // A new sample rate sets it to its parameter at once.
      e.SetParameter(g.param, 0.25);
      e.SetSampleRate(rate);
      EXPECT_EQ(g.value(e), 0.25);
    }
  }
  // Faded to 0, a gain reaches exactly 0 (no denormal range).
  SynthCore e;
  e.SetSampleRate(48000);
  e.SetParameter(kAmpLevel, 0.0);
  for (int n = 0; n < 48000; ++n) e.Tick();
  EXPECT_EQ(e.gains.ampLevel, 0.0);
}

TEST(EngineTick, ResetOfASoundingVoiceLeavesAnOffsetFadingOverThreeMilliseconds) {
  SynthCore e;
  MakePlainChain(e);
  e.SetParameter(kAmpLevel, 0.07);
  e.SetParameter(kVoiceMode, 1.0);
  MakeNeutral(e);
  e.NoteOn(60, 0.8);
  for (int i = 0; i < 2000; ++i) e.Tick();
  const double last = e.voiceOutput[1];
  ASSERT_GT(std::fabs(last), 1e-3);

  // Struck again: the voice restarts from silence, its last value stays as
  // an offset of its slot, added to the voice sum and then faded.
  e.NoteOn(60, 0.8);
  ASSERT_EQ(e.voices[1].ampLevel, 0.0);
  EXPECT_EQ(e.declickOffset[1], last);
  Voice fresh = e.voices[1];
  const double got = VoiceSumOfTick(e);
  const double expected = e.RenderVoice(fresh, 0.0, 0.0, 0.0) + last;
  EXPECT_NEAR(got, expected, 1e-12);
  const double decay = std::exp(-1.0 / (0.003 * 48000));
  EXPECT_NEAR(e.declickOffset[1], last * decay, 1e-16);

  // Struck once more 1 ms later: the new voice's own last value adds to what
  // is left of the first offset.
  for (int i = 1; i < 48; ++i) e.Tick();
  const double left = e.declickOffset[1];
  EXPECT_NEAR(left, last * std::pow(decay, 48), 1e-15);
  const double second = e.voiceOutput[1];
  ASSERT_GT(e.voices[1].ampLevel, 1e-6);
  e.NoteOn(60, 0.8);
  EXPECT_EQ(e.declickOffset[1], left + second);

  // Below 1e-9 it becomes exactly 0: after ln(|offset| / 1e-9) x 144 samples.
  const double start = e.declickOffset[1];
  const int steps = static_cast<int>(std::ceil(std::log(std::fabs(start) / 1e-9) * 0.003 * 48000));
  for (int i = 0; i < steps - 2; ++i) e.Tick();
  EXPECT_NE(e.declickOffset[1], 0.0);
  for (int i = 0; i < 4; ++i) e.Tick();
  EXPECT_EQ(e.declickOffset[1], 0.0);

  // A voice at or below 1e-6 leaves nothing: the fifth note takes a silent voice.
  e.SetParameter(kRelease, 0.001);
  e.NoteOff(60);
  for (int n : {62, 64, 65}) {
    e.NoteOn(n, 0.8);
    e.NoteOff(n);
  }
  for (int i = 0; i < 4800; ++i) e.Tick();
  for (int i = 1; i < 5; ++i) ASSERT_EQ(e.voices[i].ampStage, kIdle);
  e.NoteOn(67, 0.8);
  for (double offset : e.declickOffset) EXPECT_EQ(offset, 0.0);

  // A new sample rate starts every offset at 0.
  for (int i = 0; i < 2000; ++i) e.Tick();
  e.NoteOn(67, 0.8);
  ASSERT_NE(e.declickOffset[1], 0.0);
  e.SetSampleRate(48000);
  for (double offset : e.declickOffset) EXPECT_EQ(offset, 0.0);
}

TEST(EngineTick, VoiceModeChangeDeclicksTheRebuiltVoices) {
  // Mono to Poly: voice 0 is reset while sounding; Poly to Mono: the poly
  // voices are. Each slot keeps what its voice last gave.
  SynthCore e;
  e.SetParameter(kVoiceMode, 0.5);
  e.SetSampleRate(48000);
  e.NoteOn(48, 1.0);
  e.NoteOn(55, 1.0);
  for (int i = 0; i < 2000; ++i) e.Tick();
  const double mono = e.voiceOutput[0];
  e.SetParameter(kVoiceMode, 1.0);
  EXPECT_EQ(e.declickOffset[0], mono);
  for (int i = 0; i < 2000; ++i) e.Tick();
  double poly[SynthCore::kNumVoices] = {};
  for (int i = 1; i < SynthCore::kNumVoices; ++i) poly[i] = e.voiceOutput[i];
  ASSERT_NE(poly[1], 0.0);
  ASSERT_NE(poly[2], 0.0);
  e.SetParameter(kVoiceMode, 0.5);
  for (int i = 1; i < SynthCore::kNumVoices; ++i) EXPECT_EQ(e.declickOffset[i], poly[i]) << "slot " << i;
}

TEST(EngineTick, WidthAndWobblePhasesTurnWithTheLfoWithoutJumping) {
  // Each advances by its ratio (0.64, 0.57, 0.7) of the LFO's increment and
  // wraps at 1 on its own, so sin(2 pi phase) never jumps; until the LFO's first
  // wrap it equals ratio x the LFO phase.
  SynthCore e;
  e.SetParameter(kLfoRate, 1.0);  // 8 Hz
  e.SetSampleRate(48000);
  const double inc = 8.0 / 48000;
  const struct {
    const char* name;
    double SynthCore::*phase;
    double ratio;
  } phases[] = {{"width tap 1", &SynthCore::widthPhase1, 0.64},
                {"width tap 2", &SynthCore::widthPhase2, 0.57},
                {"echo wobble", &SynthCore::wobblePhase, 0.7}};
  double before[3] = {};
  bool lfoWrapped = false;
  int wraps[3] = {};
  for (int n = 1; n <= 48000; ++n) {
    const double lfoBefore = e.lfoPhase;
    e.Tick();
    if (e.lfoPhase < lfoBefore) lfoWrapped = true;
    for (int k = 0; k < 3; ++k) {
      const double p = e.*phases[k].phase;
      SCOPED_TRACE(testing::Message() << phases[k].name << ", sample " << n);
      ASSERT_GE(p, 0.0);
      ASSERT_LT(p, 1.0);
      double step = p - before[k];
      if (step < 0) {
        step += 1.0;
        ++wraps[k];
      }
      ASSERT_NEAR(step, phases[k].ratio * inc, 1e-12);
      if (!lfoWrapped) {
        ASSERT_NEAR(p, phases[k].ratio * e.lfoPhase, 1e-12);
      }
      before[k] = p;
    }
  }
  // One second at 8 Hz: 8 LFO cycles, 5.12, 4.56 and 5.6 of the others.
  EXPECT_EQ(wraps[0], 5);
  EXPECT_EQ(wraps[1], 4);
  EXPECT_EQ(wraps[2], 5);
}

TEST(EngineTick, LfoRate) {
  // Free: 0.08 x 100^"LFO Rate" Hz. Synced: (tempo / 60) / beats, beats
  // 0.25, 0.5, 0.75, 1, 2 for sync 1..5 (sync = nearest integer to 5 x value).
  const struct {
    const char* name;
    double lfoRate, sync, tempo, hz;
  } cases[] = {
      {"free slowest", 0.0, 0.0, 120, 0.08},
      {"free fastest", 1.0, 0.0, 120, 8.0},
      {"free middle", 0.5, 0.0, 120, 0.8},
      {"free default", 0.33, 0.0, 120, 0.08 * std::pow(100.0, 0.33)},
      {"free below half a step", 0.5, 0.09, 120, 0.8},  // 0.45 rounds to 0
      {"1/16 at 120", 0.5, 0.2, 120, 8.0},
      {"1/16 by rounding 0.5 up", 0.5, 0.1, 120, 8.0},
      {"1/8 at 120", 0.5, 0.4, 120, 4.0},
      {"dotted 1/8 at 120", 0.5, 0.6, 120, 2.0 / 0.75},
      {"1/4 at 120", 0.5, 0.8, 120, 2.0},
      {"1/2 at 120", 0.5, 1.0, 120, 1.0},
      {"1/4 at 90", 0.5, 0.8, 90, 1.5},
      {"1/16 at 300", 0.5, 0.2, 300, 20.0},
  };
  for (double rate : {48000.0, 44100.0}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << " at " << rate);
      SynthCore e;
      e.SetParameter(kLfoRate, c.lfoRate);
      e.SetParameter(kMotionSync, c.sync);
      e.tempo = c.tempo;
      e.SetSampleRate(rate);
      e.lfoPhase = 0.25;
      e.Tick();
      EXPECT_NEAR(e.lfoPhase - 0.25, c.hz / rate, 1e-15);
      // Wraps by subtracting 1 on reaching 1.
      e.lfoPhase = 1.0 - 0.5 * c.hz / rate;
      e.Tick();
      EXPECT_NEAR(e.lfoPhase, 0.5 * c.hz / rate, 1e-15);
    }
  }
}

TEST(EngineTick, LfoAndMotionReachTheVoice) {
  // Voice 0 at note 69 with "LFO Pitch" 100 %: oscillator 1 runs at
  // 440 x 2^(30 x motion x sin(2 pi lfoPhase) / 1200), motion = modWheel x 0.6 + "Motion", at most 1.
  const struct {
    double motionParam, modWheel, motion;
  } cases[] = {{0.0, 0.0, 0.0}, {0.2, 0.5, 0.5}, {0.8, 1.0, 1.0}, {1.0, 0.0, 1.0}, {0.0, 1.0, 0.6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "motion " << c.motionParam << " wheel " << c.modWheel);
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kMotion, c.motionParam);
    e.SetParameter(kLfoPitch, 1.0);
    e.SetParameter(kLfoRate, 1.0);  // 8 Hz: the LFO moves well within the run
    e.modWheel = c.modWheel;
    e.NoteOn(69, 1.0);
    double previous = 0.0;
    for (int n = 0; n < 3000; ++n) {
      e.Tick();
      double step = e.voices[0].phase1 - previous;
      if (step < 0) step += 1.0;
      previous = e.voices[0].phase1;
      const double cents = 30.0 * c.motion * std::sin(2 * kPi * e.lfoPhase);
      ASSERT_NEAR(step, 440.0 * std::exp2(cents / 1200) / 48000, 1e-13) << "sample " << n;
    }
  }
}

TEST(EngineTick, AgeWalkDrawsEvery120MillisecondsBeforeTheHiss) {
  for (double rate : {48000.0, 44100.0, 8000.0}) {
    SCOPED_TRACE(testing::Message() << "rate " << rate);
    SynthCore e;
    e.SetParameter(kAge, 1.0);
    e.SetSampleRate(rate);
    e.SetCircuitSeed(12345);
    ASSERT_EQ(e.ageCountdown, 0);
    const int reload = static_cast<int>(0.12 * rate);
    const double follow = 1.0 / (0.22 * rate);

    // First tick: the age draw, then the hiss draw.
    uint64_t s = e.noiseState;
    const double u1 = NoiseStep(s);
    const double u2 = NoiseStep(s);
    const auto [left, right] = e.Tick();
    EXPECT_EQ(e.noiseState, s);
    EXPECT_EQ(e.ageTarget, 2 * u1 - 1);
    EXPECT_NEAR(e.ageDrift, (2 * u1 - 1) * follow, 1e-15);
    EXPECT_EQ(e.ageCountdown, reload);
    // Silent voices: the output is the hiss alone, (2 u - 1) x Age^2 x 0.0006 on both sides.
    const double hiss = (2 * u2 - 1) * 0.0006;
    EXPECT_NEAR(left, std::tanh(2.8 * hiss / 0.98) * 0.98, 1e-15);  // the engine's tanh: ~1e-16 absolute
    EXPECT_EQ(left, right);

    // Later draws: every reload samples. A tick with a draw advances the noise twice.
    std::vector<int> drawTicks;
    double drift = e.ageDrift;
    double target = e.ageTarget;
    for (int tick = 2; tick <= 3 * reload + 1; ++tick) {
      uint64_t once = e.noiseState;  // after the hiss draw alone
      NoiseStep(once);
      uint64_t twice = e.noiseState;  // after an age draw and the hiss draw
      const double uAge = NoiseStep(twice);
      NoiseStep(twice);
      e.Tick();
      if (e.noiseState == twice) {
        drawTicks.push_back(tick);
        target = 2 * uAge - 1;
        ASSERT_EQ(e.ageTarget, target) << "tick " << tick;
      } else {
        ASSERT_EQ(e.noiseState, once) << "tick " << tick;
      }
      drift += (target - drift) * follow;
      ASSERT_NEAR(e.ageDrift, drift, 1e-14) << "tick " << tick;
    }
    EXPECT_EQ(drawTicks, (std::vector<int>{1 + reload, 1 + 2 * reload, 1 + 3 * reload}));
  }
}

TEST(EngineTick, SlowDriftSines) {
  const double rate = 48000;
  SynthCore e;
  e.SetSampleRate(rate);
  e.driftPhase[0] = 0.99999;
  e.driftRate[0] = 1.0;  // wraps on this tick
  e.driftPhase[1] = 0.3;
  e.driftRate[1] = 1.0 / 71;
  e.NoteOn(60, 1.0);  // the sines are taken on samples that render a voice
  e.Tick();
  const double p0 = 0.99999 + 1.0 / rate - 1.0;
  const double p1 = 0.3 + 1.0 / 71 / rate;
  EXPECT_NEAR(e.driftPhase[0], p0, 1e-15);
  EXPECT_NEAR(e.driftPhase[1], p1, 1e-15);
  EXPECT_NEAR(e.driftValue[0], std::sin(2 * kPi * p0), 1e-15);
  EXPECT_NEAR(e.driftValue[1], std::sin(2 * kPi * p1), 1e-15);
}


TEST(EngineTick, PolySumIsDividedByALevelGlidingToTheFourthRootOfTheCount) {
  // Gates and levels per case; a voice is rendered when active or above 1e-6.
  // Four voices sounded first, so the level starts near 4^0.25 = 1.414 and
  // glides with 5 ms to count^0.25 (1 for a single voice).
  const struct {
    const char* name;
    std::array<bool, 4> active;
    std::array<bool, 4> silent;  // level forced to 0 (released and finished)
    int count;
    double target;
  } cases[] = {
      {"one voice", {true, false, false, false}, {false, true, true, true}, 1, 1.0},
      {"two voices", {true, true, false, false}, {false, false, true, true}, 2, 1.189207115002721},
      {"three voices", {true, true, true, false}, {false, false, false, true}, 3, 1.3160740129524924},
      {"four voices", {true, true, true, true}, {false, false, false, false}, 4, 1.4142135623730951},
      {"released but audible voice counts", {true, false, true, false}, {false, false, false, true}, 3,
       1.3160740129524924},
      {"silent gate-on voice counts", {true, true, false, false}, {false, true, true, true}, 2, 1.189207115002721},
  };
  const double c = OnePole(0.005, 48000.0);
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    SynthCore e;
    MakePlainChain(e);
    e.SetParameter(kAmpLevel, 0.07);
    e.SetParameter(kVoiceMode, 1.0);
    MakeNeutral(e);
    ASSERT_EQ(e.polyLevel, 1.0);
    for (int n : {48, 55, 60, 64}) e.NoteOn(n, 0.8);
    for (int i = 0; i < 2000; ++i) e.Tick();
    const double start = e.polyLevel;
    ASSERT_NEAR(start, 1.4142135623730951, 1e-3);
    for (int i = 0; i < 4; ++i) {
      Voice& v = e.voices[i + 1];
      v.active = cs.active[static_cast<size_t>(i)];
      if (cs.silent[static_cast<size_t>(i)] && !v.active) {
        v.ampLevel = 0.0;
        v.ampStage = kIdle;
      }
      if (cs.silent[static_cast<size_t>(i)] && v.active) v.ampLevel = 0.0;  // gate on, not yet risen
    }
    std::array<Voice, 4> copies = {e.voices[1], e.voices[2], e.voices[3], e.voices[4]};
    const double got = VoiceSumOfTick(e);
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < 4; ++i) {
      Voice& v = copies[static_cast<size_t>(i)];
      if (v.active || v.ampLevel > 1e-6) {
        sum += e.RenderVoice(v, 0.0, 0.0, 0.0);
        ++count;
      }
    }
    ASSERT_EQ(count, cs.count);
    // One step of the glide, then the division.
    const double level = start + c * (cs.target - start);
    EXPECT_NEAR(e.polyLevel, level, 1e-15);
    const double expected = sum / level;
    EXPECT_NEAR(got, expected, 1e-12 + 1e-10 * std::fabs(expected));
    ASSERT_GT(std::fabs(expected), 1e-4);  // the case really carries signal

    // 5 ms later the level has covered 1 - 1/e of the way; it settles on the
    // target exactly.
    for (int i = 1; i < 240; ++i) e.Tick();
    EXPECT_NEAR(e.polyLevel, cs.target + (start - cs.target) * std::exp(-1.0), 1e-4);
    for (int i = 0; i < 8000; ++i) e.Tick();
    EXPECT_EQ(e.polyLevel, cs.target == 1.0 ? 1.0 : std::pow(cs.count, 0.25));
    EXPECT_NEAR(e.polyLevel, cs.target, 1e-15);
  }
}

TEST(EngineTick, SplitAndMonoDivideByALevelGlidingBackToOne) {
  // A chord in Poly, then a switch to Mono: the level glides back to 1.
  SynthCore e;
  e.SetParameter(kVoiceMode, 1.0);
  e.SetSampleRate(48000);
  for (int n : {48, 55, 60}) e.NoteOn(n, 0.8);
  for (int i = 0; i < 8000; ++i) e.Tick();
  ASSERT_EQ(e.polyLevel, std::pow(3.0, 0.25));
  e.SetParameter(kVoiceMode, 0.5);
  const double c = OnePole(0.005, 48000.0);
  double want = e.polyLevel;
  for (int i = 0; i < 480; ++i) {
    e.Tick();
    want += c * (1.0 - want);
    ASSERT_NEAR(e.polyLevel, want, 1e-14) << "sample " << i;
  }
  for (int i = 0; i < 8000; ++i) e.Tick();
  EXPECT_EQ(e.polyLevel, 1.0);
}

TEST(EngineTick, VoiceRenderingRules) {
  // Split and Mono: voice 0 is rendered whenever it has a note, even silent.
  // Poly: an inactive voice at or below 1e-6 is not rendered any more.
  SynthCore split;
  split.SetSampleRate(48000);
  split.SetParameter(kRelease, 0.001);
  split.NoteOn(60, 1.0);
  for (int i = 0; i < 1000; ++i) split.Tick();
  split.NoteOff(60);
  for (int i = 0; i < 2000; ++i) split.Tick();
  ASSERT_EQ(split.voices[0].ampStage, kIdle);
  const int countdown = split.voices[0].filterCountdown;
  split.Tick();
  EXPECT_NE(split.voices[0].filterCountdown, countdown);

  SynthCore poly;
  poly.SetParameter(kVoiceMode, 1.0);
  poly.SetParameter(kRelease, 0.001);
  poly.SetSampleRate(48000);
  poly.NoteOn(60, 1.0);
  for (int i = 0; i < 1000; ++i) poly.Tick();
  poly.NoteOff(60);
  for (int i = 0; i < 2000; ++i) poly.Tick();
  ASSERT_EQ(poly.voices[1].ampStage, kIdle);
  const Voice before = poly.voices[1];
  for (int i = 0; i < 100; ++i) poly.Tick();
  EXPECT_EQ(poly.voices[1].filterCountdown, before.filterCountdown);
  EXPECT_EQ(poly.voices[1].lowpass.ic1, before.lowpass.ic1);
  // Voice 0 is never rendered in Poly, voices 1-4 never in Split.
  EXPECT_EQ(poly.voices[0].filterCountdown, 0);
  EXPECT_EQ(split.voices[1].filterCountdown, 0);
}
