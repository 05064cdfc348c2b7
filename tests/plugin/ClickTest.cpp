// Clicks in ordinary playing, rendered through the plug-in object: a sounding
// voice that is reset (pedal re-strike, steal), the poly level when the number
// of sounding voices changes, a gain control under block-wise automation, the
// Split span shift when the voice is released, and the Motion LFO's wrap under
// the width taps and the echo wobble. Each case compares the largest change of
// the output near the event with the largest change of the same render where
// nothing happens ("steady"); a click is a change many times the steady one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "PluginHarness.h"
#include "plugin/patches.h"

namespace vrelbazzit::test {
namespace {

using fw::IMidiMsg;

constexpr double kRate = 48000.0;

int Frame(double seconds) { return static_cast<int>(seconds * kRate); }

// Sine waves, no Fat, Width, Fuzz, echo or hiss: the plainest signal, whose
// sample-to-sample change is small and smooth.
std::vector<std::pair<int, double>> PlainSines(std::vector<std::pair<int, double>> more = {}) {
  std::vector<std::pair<int, double>> v = {{kOsc1Wave, 4.0}, {kOsc2Wave, 4.0}, {kFatOn, 0.0}, {kWidthOn, 0.0},
                                           {kFuzzOn, 0.0},   {kSpace, 0.0},    {kAge, 0.0}};
  v.insert(v.end(), more.begin(), more.end());
  return v;
}

// Every plain value of a factory patch, found by its name, then the overrides.
std::vector<std::pair<int, double>> Factory(const char* name, std::vector<std::pair<int, double>> more = {}) {
  int index = -1;
  for (int i = 0; i < kNumFactoryPatches; ++i)
    if (std::strcmp(kFactoryNames[static_cast<size_t>(i)], name) == 0) index = i;
  EXPECT_GE(index, 0) << name;
  const Patch values = MakeFactoryPatch(index, ParamDefaults<kNumParams>());
  std::vector<std::pair<int, double>> v;
  for (int i = 0; i < kNumParams; ++i) v.push_back({i, values[static_cast<size_t>(i)]});
  v.insert(v.end(), more.begin(), more.end());
  return v;
}

// A timed list of what the host sends: MIDI and plain parameter values, each
// delivered at the start of the block that holds its frame.
struct Cue {
  double time;
  std::vector<IMidiMsg> controllers;
  std::vector<IMidiMsg> events;
  std::vector<std::pair<int, double>> plainValues;
};

struct Take {
  std::vector<double> left, right;
  int soundingAtEnd = 0;  // poly voices still rendered after the last block
};

Take Render(const std::vector<std::pair<int, double>>& values, const std::vector<Cue>& cues, double seconds,
            int block = 64, double tempo = 120.0) {
  PluginHarness h;
  EXPECT_TRUE(h.Restore(values));
  h.Start(kRate, block);
  const int frames = Frame(seconds);
  size_t next = 0;
  for (int start = 0; start < frames; start += block) {
    fw::OfflineBlock b;
    b.tempo = tempo;
    while (next < cues.size() && Frame(cues[next].time) < start + block) {
      const Cue& c = cues[next++];
      b.controllers.insert(b.controllers.end(), c.controllers.begin(), c.controllers.end());
      b.events.insert(b.events.end(), c.events.begin(), c.events.end());
      for (const auto& [index, plain] : c.plainValues) b.params.push_back({index, plain, false});
    }
    h.Block(b, std::min(block, frames - start));
  }
  Take t{h.left, h.right, 0};
  for (int i = 1; i < SynthCore::kNumVoices; ++i) {
    const SynthCore::Voice& v = h.Synth().voices[i];
    if (v.note1 >= 0 && (v.active || v.ampLevel > 1e-6)) ++t.soundingAtEnd;
  }
  return t;
}

struct Window {
  double from, to;  // seconds
};

// The order-th difference (1: step, 2: second, 3: third difference) at frame n.
double Difference(const std::vector<double>& x, int order, size_t n) {
  switch (order) {
    case 1: return x[n] - x[n - 1];
    case 2: return x[n] - 2.0 * x[n - 1] + x[n - 2];
    default: return x[n] - 3.0 * x[n - 1] + 3.0 * x[n - 2] - x[n - 3];
  }
}

bool Inside(size_t n, const std::vector<Window>& windows) {
  for (const Window& w : windows)
    if (n >= static_cast<size_t>(Frame(w.from)) && n < static_cast<size_t>(Frame(w.to))) return true;
  return false;
}

// Largest magnitude of the order-th difference over `range`, leaving out the
// frames inside `skip`.
double MaxDifference(const std::vector<double>& x, int order, Window range, const std::vector<Window>& skip = {}) {
  double worst = 0.0;
  const size_t end = std::min(static_cast<size_t>(Frame(range.to)), x.size());
  for (size_t n = std::max(static_cast<size_t>(Frame(range.from)), static_cast<size_t>(order)); n < end; ++n)
    if (!Inside(n, skip)) worst = std::max(worst, std::fabs(Difference(x, order, n)));
  return worst;
}

// Checks both channels: the change inside each event window stays within
// `factor` times the steady change, the largest over `steady` away from the
// event windows.
void ExpectNoClick(const Take& t, int order, Window steady, const std::vector<Window>& events, double factor) {
  for (const auto* channel : {&t.left, &t.right}) {
    const char* side = channel == &t.left ? "left" : "right";
    const double calm = MaxDifference(*channel, order, steady, events);
    ASSERT_GT(calm, 0.0) << side << ": the steady window is silent";
    for (const Window& w : events) {
      const double change = MaxDifference(*channel, order, w);
      EXPECT_LE(change, factor * calm) << side << ": order-" << order << " change " << change << " in " << w.from
                                       << " .. " << w.to << " s against a steady " << calm;
    }
  }
}

// The frames around an event cued at `time`: it takes effect at the start of the
// block holding that frame, up to one 64-frame block (1.3 ms) earlier, and a
// click is a step in that very frame. Half a millisecond after it the new note's
// own attack begins to take over.
Window Around(double time) { return {time - 0.0014, time + 0.0005}; }

IMidiMsg On(int note, int velocity = 100) { return IMidiMsg::NoteOn(0, note, velocity); }
IMidiMsg Off(int note) { return IMidiMsg::NoteOff(0, note); }
IMidiMsg Pedal(bool down) { return IMidiMsg::ControlChange(0, 64, down ? 127 : 0); }

// ---- A sounding voice that is reset ------------------------------------------

// Note 60 held by the pedal after its key went up, then struck again: its voice
// restarts from silence while it still sounds at its sustain level.
// The event comes at several points of the note's cycle.
void PedalRestrike(const std::vector<std::pair<int, double>>& values) {
  for (int k = 0; k < 6; ++k) {
    const double again = 0.6 + k * 0.0015;
    SCOPED_TRACE(testing::Message() << "struck again at " << again << " s");
    const Take t = Render(values,
                          {{0.0, {Pedal(true)}, {On(60)}, {}}, {0.3, {}, {Off(60)}, {}}, {again, {}, {On(60)}, {}}},
                          0.7);
    ExpectNoClick(t, 1, {0.35, again - 0.0014}, {Around(again)}, 2.0);
  }
}

TEST(Click, PedalRestrikeInPoly) { PedalRestrike(PlainSines({{kVoiceMode, 2.0}})); }

TEST(Click, PedalRestrikeInGlassKeys) { PedalRestrike(Factory("Glass Keys")); }

TEST(Click, StaccatoFifthNoteTakesASoundingVoice) {
  // Four staccato eighths at 120 BPM on four voices, then a fifth note: it
  // takes the quietest released voice, the first note's, still in its release.
  for (int k = 0; k < 6; ++k) {
    const double fifth = 1.0 + k * 0.0015;
    SCOPED_TRACE(testing::Message() << "fifth note at " << fifth << " s");
    std::vector<Cue> cues;
    const int notes[] = {36, 38, 40, 41};
    for (int i = 0; i < 4; ++i) {
      cues.push_back({0.25 * i, {}, {On(notes[i])}, {}});
      cues.push_back({0.25 * i + 0.1, {}, {Off(notes[i])}, {}});
    }
    cues.push_back({fifth, {}, {On(43)}, {}});
    const Take t = Render(Factory("Glass Keys"), cues, 1.1);
    ExpectNoClick(t, 1, {0.8, fifth - 0.0014}, {Around(fifth)}, 2.0);
  }
}

TEST(Click, VoiceModeChangeWhileSounding) {
  // The rebuild after a mode change restarts the held note from silence.
  const Take t = Render(PlainSines({{kVoiceMode, 1.0}}),
                        {{0.0, {}, {On(57)}, {}}, {0.5, {}, {}, {{kVoiceMode, 2.0}}}}, 0.7);
  ExpectNoClick(t, 1, {0.3, 0.4986}, {Around(0.5)}, 2.0);
}

// ---- The poly level ---------------------------------------------------------

TEST(Click, PolyLevelWhenANoteStarts) {
  // A low held note; a second note starts at several points of its cycle. The
  // held note's level must not change in one sample.
  for (int k = 0; k < 6; ++k) {
    const double start = 0.4 + k * 0.0015;
    SCOPED_TRACE(testing::Message() << "second note at " << start << " s");
    const Take t = Render(PlainSines({{kVoiceMode, 2.0}}), {{0.0, {}, {On(36)}, {}}, {start, {}, {On(43)}, {}}}, 0.5);
    ExpectNoClick(t, 1, {0.2, start - 0.0014}, {Around(start)}, 2.0);
  }
}

TEST(Click, PolyLevelWhenAReleasedVoiceFallsSilent) {
  // "Glass Keys": note 48 held; note 55 played briefly. About 9.5 s after its
  // key-up its voice falls below the silence threshold and stops being
  // rendered, which must not lift the held note in one sample.
  for (double release : {0.2, 0.23}) {
    SCOPED_TRACE(testing::Message() << "key-up at " << release << " s");
    const Take t =
        Render(Factory("Glass Keys"), {{0.0, {}, {On(48)}, {}}, {0.02, {}, {On(55)}, {}}, {release, {}, {Off(55)}, {}}},
               10.6);
    ASSERT_EQ(t.soundingAtEnd, 1) << "the released voice has fallen silent";
    ExpectNoClick(t, 1, {4.0, 8.0}, {{8.0, 10.6}}, 1.5);
  }
}

// ---- Gain controls under automation -------------------------------------------

TEST(Click, AmpLevelFadeInBlocks) {
  // A host fades "Amp Level" from 70 % to 0 over one second in 512-frame blocks,
  // one value per block.
  std::vector<Cue> cues = {{0.0, {}, {On(48)}, {}}};
  const int block = 512;
  for (int start = Frame(0.5); start <= Frame(1.5); start += block) {
    const double t = static_cast<double>(start) / kRate;
    cues.push_back({t, {}, {}, {{kAmpLevel, 70.0 * std::max(0.0, 1.5 - t)}}});
  }
  const Take take = Render(PlainSines({{kVoiceMode, 1.0}}), cues, 1.6, block);
  ExpectNoClick(take, 2, {0.2, 0.5}, {{0.5, 1.5}}, 2.0);
}

TEST(Click, GainControlsJumpedByTheHost) {
  // Each gain control set from one value to another at one block start.
  const struct {
    const char* name;
    int param;
    double from, to;
  } cases[] = {{"Amp Level", kAmpLevel, 70.0, 20.0}, {"Osc 1 Level", kOsc1Level, 80.0, 10.0},
               {"Osc 2 Level", kOsc2Level, 80.0, 10.0}, {"Ring", kRing, 0.0, 90.0},
               {"Bank Mix", kBankMix, 25.0, 100.0},    {"250 Hz", kBand250, 75.0, 0.0},
               {"2.8 kHz", kBand2k8, 75.0, 0.0},       {"Space", kSpace, 0.0, 100.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // "Space" is heard only through the echo, so the note must have sounded
    // into the echo line first; the others act on the note itself.
    const Take t = Render(PlainSines({{kVoiceMode, 1.0}, {c.param, c.from}}),
                          {{0.0, {}, {On(48)}, {}}, {0.5, {}, {}, {{c.param, c.to}}}}, 0.6);
    ExpectNoClick(t, 1, {0.3, 0.4986}, {Around(0.5)}, 2.0);
  }
}

// ---- Split span shift -----------------------------------------------------------

TEST(Click, SplitSpanShiftWhenTheVoiceIsReleased) {
  const Take t = Render(PlainSines({{kVoiceMode, 0.0}, {kSpan, 100.0}, {kBankMix, 100.0}}),
                        {{0.0, {}, {On(48), On(72)}, {}}, {0.5, {}, {Off(48), Off(72)}, {}}}, 0.6);
  ExpectNoClick(t, 1, {0.3, 0.4986}, {Around(0.5)}, 2.0);
}

// ---- The Motion LFO's wrap ----------------------------------------------------

// Windows of +-1.5 ms around each wrap of an LFO of the given period, from
// `from` seconds on.
std::vector<Window> AroundWraps(double period, double from, double to) {
  std::vector<Window> w;
  for (double t = period; t < to; t += period)
    if (t > from) w.push_back({t - 0.0015, t + 0.0015});
  return w;
}

TEST(Click, WidthTapsAcrossLfoWraps) {
  // A held sine with "Width" at 100 %, the LFO at 8 Hz (a wrap every 125 ms);
  // no motion of pitch or cutoff, no echo or hiss: only the taps move.
  const Take t = Render(PlainSines({{kVoiceMode, 1.0}, {kWidthOn, 1.0}, {kWidth, 100.0}, {kWidthMotion, 100.0},
                                    {kLfoRate, 100.0}, {kMotion, 0.0}}),
                        {{0.0, {}, {On(60)}, {}}}, 1.0);
  ExpectNoClick(t, 3, {0.2, 1.0}, AroundWraps(0.125, 0.2, 1.0), 2.0);
}

TEST(Click, StereoDustAcrossLfoWraps) {
  // The LFO runs at a quarter note, 2 Hz at 120 BPM; a chord held for 3 s.
  const Take t = Render(Factory("Stereo Dust"), {{0.0, {}, {On(60), On(64), On(67)}, {}}}, 3.0);
  ExpectNoClick(t, 3, {0.6, 3.0}, AroundWraps(0.5, 0.6, 3.0), 2.0);
}

}  // namespace
}  // namespace vrelbazzit::test
