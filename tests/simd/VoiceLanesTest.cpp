// The engine with the voices in vector lanes against the engine rendering
// voice by voice: four Poly voices over every wave shape of both oscillators,
// with and without the fine blend, Vrel Bite, Fat and fuzz past its warmth
// threshold, notes at the partial and increment limits, a shape change while
// sounding (its crossfade goes voice by voice), and releases that leave some
// voices in lanes and others silent. The engine is driven one sample at a
// time and in calls of many samples (the lanes then run over whole blocks),
// and in a scene where released voices fall silent inside a block. Every
// output sample must be identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/SynthCore.h"
#include "simd/Kernels.h"

namespace {

using vrelbazzit::SynthCore;
namespace p = vrelbazzit;

struct LaneCase {
  const char* name;
  int shape1, shape2;
  bool fine;
  double bite, fat, fuzz;
  std::vector<int> notes;
};

// Shapes: 0 Blend, 1 Saw, 2 Pulse, 3 Triangle, 4 Sine, 5 Fold, 6 Hollow.
const LaneCase kCases[] = {
    {"Blend and Saw", 0, 1, false, 0.0, 0.12, 0.0, {48, 55, 60, 64}},
    {"Pulse and Triangle with fine", 2, 3, true, 0.0, 0.5, 0.3, {36, 43, 67, 72}},
    {"Sine and Fold with Bite", 4, 5, false, 0.8, 0.9, 0.0, {40, 52, 59, 71}},
    {"Hollow and Blend with Bite, fine, fuzz", 6, 0, true, 1.0, 0.3, 0.9, {45, 57, 64, 69}},
    {"Triangle and Hollow at the partial limits", 3, 6, false, 0.4, 1.0, 0.7, {100, 110, 118, 127}},
    {"Sine and Saw near the increment limit", 4, 1, true, 1.0, 0.0, 0.65, {110, 120, 124, 127}},
    {"Fold and Pulse", 5, 2, true, 0.2, 0.6, 1.0, {30, 31, 33, 35}},
};

// How the engine is driven between two events: the lengths of its render
// calls, repeated. One sample per call renders sample by sample; longer calls
// let the engine render blocks of up to 64 samples.
struct Drive {
  const char* name;
  std::vector<int> calls;
};

const Drive kDrives[] = {
    {"one sample per call", {1}},
    {"whole stretches between events", {1 << 20}},
    {"calls of 64, 37, 1 and 100 samples", {64, 37, 1, 100}},
};

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Events at given samples; the engine renders the stretches between them with
// the drive's call lengths. Returns left and right interleaved.
using Events = std::vector<std::pair<int, std::function<void(SynthCore&)>>>;

std::vector<double> Play(SynthCore& e, const Events& events, int length, const Drive& drive) {
  std::vector<double> left(static_cast<size_t>(length)), right(static_cast<size_t>(length));
  int t = 0;
  size_t next = 0;
  size_t call = 0;
  while (t < length) {
    while (next < events.size() && events[next].first == t) events[next++].second(e);
    const int stop = next < events.size() ? events[next].first : length;
    const int n = std::min(stop - t, drive.calls[call++ % drive.calls.size()]);
    e.Render(left.data() + t, right.data() + t, n);
    t += n;
  }
  std::vector<double> out;
  for (int i = 0; i < length; ++i) {
    out.push_back(left[static_cast<size_t>(i)]);
    out.push_back(right[static_cast<size_t>(i)]);
  }
  return out;
}

std::vector<double> Render(const LaneCase& c, const vrelbazzit::dsp::Kernels& kernels, const Drive& drive) {
  SynthCore e;
  e.SetKernels(kernels);
  e.SetCircuitSeed(77);
  e.SetParameter(p::kVoiceMode, 1.0);
  e.SetParameter(p::kOsc1Wave, c.shape1 / 6.0);
  e.SetParameter(p::kOsc2Wave, c.shape2 / 6.0);
  e.SetParameter(p::kOsc1WaveFine, c.fine ? 1.0 : 0.0);
  e.SetParameter(p::kOsc2WaveFine, c.fine ? 1.0 : 0.0);
  e.SetParameter(p::kOsc1Pulse, 0.6);
  e.SetParameter(p::kVrelBite, c.bite);
  e.SetParameter(p::kFat, c.fat);
  e.SetParameter(p::kFuzz, c.fuzz);
  e.SetParameter(p::kOsc1Range, 1.0);  // two octaves up: the highest notes reach the limits
  e.SetParameter(p::kRelease, 0.02);
  e.SetParameter(p::kGlide, 0.01);
  e.SetSampleRate(48000.0);
  Events events;
  events.push_back({0, [&c](SynthCore& s) {
                      for (size_t i = 0; i < c.notes.size(); ++i)
                        s.NoteOn(c.notes[i], 0.4 + 0.15 * static_cast<double>(i));
                    }});
  // A new shape crossfades for 8 ms.
  events.push_back({2000, [&c](SynthCore& s) { s.SetParameter(p::kOsc2Wave, ((c.shape2 + 3) % 7) / 6.0); }});
  events.push_back({3500, [&c](SynthCore& s) { s.NoteOff(c.notes[1]); }});
  events.push_back({4000, [&c](SynthCore& s) { s.NoteOff(c.notes[3]); }});
  events.push_back({4500, [&c](SynthCore& s) { s.NoteOn(c.notes[1] + 1, 0.9); }});
  events.push_back({5000, [](SynthCore& s) { s.channelPressure = 0.7; }});  // moves the filter designs
  return Play(e, events, 6000, drive);
}

void ExpectSame(const std::vector<double>& plain, const std::vector<double>& lanes, const std::string& what) {
  ASSERT_EQ(plain.size(), lanes.size()) << what;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (Bits(lanes[i]) != Bits(plain[i])) {
      ADD_FAILURE() << what << ": frame " << i / 2 << (i % 2 ? " right " : " left ") << lanes[i] << " instead of "
                    << plain[i];
      return;
    }
  }
}

TEST(VoiceLanes, RenderEveryShapeAsTheVoiceByVoicePath) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has no vector kernels";
  for (const Drive& drive : kDrives) {
    for (const LaneCase& c : kCases) {
      const std::vector<double> plain = Render(c, vrelbazzit::dsp::kPlainKernels, drive);
      double peak = 0.0;
      for (double x : plain) peak = std::max(peak, std::abs(x));
      EXPECT_GT(peak, 0.05) << c.name << ": the case made no sound";
      for (const vrelbazzit::dsp::Kernels* table : tables)
        ExpectSame(plain, Render(c, *table, drive), std::string(c.name) + ", " + drive.name + ", " + table->name);
    }
  }
}

// A chord held until its envelopes come to rest: from the sample on which a
// step leaves every envelope as it was, the lanes repeat that sample's levels
// for the rest of the run, which must be the levels the voice-by-voice path
// goes on computing. Either envelope may be the last to rest.
TEST(VoiceLanes, ChordWhoseEnvelopesComeToRest) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has no vector kernels";
  struct Decays {
    const char* name;
    double amp, filter;  // ms
  };
  for (const Decays& decays : {Decays{"amplitude rests last", 40.0, 8.0}, Decays{"filter rests last", 8.0, 40.0}}) {
    auto configure = [&decays](SynthCore& e, const vrelbazzit::dsp::Kernels& kernels) {
      e.SetKernels(kernels);
      e.SetCircuitSeed(9);
      auto set = [&e](int index, double plain) {
        e.SetParameter(index, p::ToEngineValue(p::kParamSpecs[static_cast<size_t>(index)].unit, plain));
      };
      set(p::kVoiceMode, 2.0);
      set(p::kAttack, 2.0);
      set(p::kAmpDecay, decays.amp);
      set(p::kFilterAttack, 3.0);
      set(p::kFilterDecay, decays.filter);
      set(p::kFuzz, 60.0);
      e.SetSampleRate(48000.0);
    };
    const Events events = {
        {0, [](SynthCore& s) {
           s.NoteOn(48, 0.9);
           s.NoteOn(55, 0.5);
         }},
        {700, [](SynthCore& s) { s.NoteOn(63, 0.7); }},
        {30000, [](SynthCore& s) {
           for (int n : {48, 55, 63}) s.NoteOff(n);
         }},
    };
    for (const Drive& drive : kDrives) {
      SynthCore plainEngine;
      configure(plainEngine, vrelbazzit::dsp::kPlainKernels);
      const std::vector<double> plain = Play(plainEngine, events, 32000, drive);
      for (const vrelbazzit::dsp::Kernels* table : tables) {
        SynthCore lanesEngine;
        configure(lanesEngine, *table);
        ExpectSame(plain, Play(lanesEngine, events, 32000, drive),
                   std::string(decays.name) + ", " + drive.name + ", " + table->name);
      }
    }
  }
}

// Four voices released one after another with a 1 ms release: each falls
// silent on some sample, and the voices left sound on, three, two, then one
// (which goes voice by voice). The voices released first are in the later
// lanes, so a run ends for a lane after others have moved on. A fifth note then steals a voice, and a sixth
// comes while four sound. The releases are placed so that the silences fall
// inside the blocks of 64 samples that start at each note-off.
class SilentInsideABlock : public ::testing::Test {
protected:
  static constexpr int kLength = 12000;
  static constexpr int kNotes[] = {50, 57, 62, 66};
  // Note-offs of the notes above: the highest first, so that voices in later
  // lanes fall silent while earlier lanes sound on.
  static constexpr int kOffs[] = {4000, 2000, 3000, 1000};

  static void Configure(SynthCore& e, const vrelbazzit::dsp::Kernels& kernels) {
    e.SetKernels(kernels);
    e.SetCircuitSeed(5);
    e.SetParameter(p::kVoiceMode, 1.0);
    e.SetParameter(p::kOsc1Wave, 1 / 6.0);
    e.SetParameter(p::kOsc2Wave, 3 / 6.0);
    e.SetParameter(p::kVrelBite, 0.5);
    e.SetParameter(p::kFuzz, 0.8);
    e.SetParameter(p::kRelease, 0.001);
    e.SetParameter(p::kGlide, 0.05);
    e.SetSampleRate(48000.0);
  }

  static Events Scene() {
    Events events;
    events.push_back({0, [](SynthCore& s) {
                        for (int i = 0; i < 4; ++i) s.NoteOn(kNotes[i], 0.5 + 0.1 * i);
                      }});
    for (int i = 0; i < 4; ++i) events.push_back({kOffs[i], [i](SynthCore& s) { s.NoteOff(kNotes[i]); }});
    events.push_back({6000, [](SynthCore& s) {
                        for (int n : {40, 45, 52, 59}) s.NoteOn(n, 0.8);
                      }});
    events.push_back({8000, [](SynthCore& s) { s.NoteOn(71, 0.6); }});  // steals the oldest voice
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return events;
  }
};

TEST_F(SilentInsideABlock, ReleasedVoicesFallSilentAsInTheVoiceByVoicePath) {
  // Where each voice falls silent, found sample by sample: the first sample
  // after its note-off at which its level is at or below the silent level.
  SynthCore probe;
  Configure(probe, vrelbazzit::dsp::kPlainKernels);
  const Events events = Scene();
  size_t next = 0;
  std::vector<int> silentAt(4, -1);
  for (int t = 0; t < 6000; ++t) {
    while (next < events.size() && events[next].first == t) events[next++].second(probe);
    probe.Tick();
    for (int i = 0; i < 4; ++i) {
      if (silentAt[static_cast<size_t>(i)] >= 0 || t < kOffs[i]) continue;
      for (const SynthCore::Voice& v : probe.voices)
        if (v.note1 == kNotes[i] && !v.active && v.ampLevel <= SynthCore::kSilentLevel)
          silentAt[static_cast<size_t>(i)] = t;
    }
  }
  for (int i = 0; i < 4; ++i) {
    const int at = silentAt[static_cast<size_t>(i)];
    ASSERT_GE(at, kOffs[i]) << "note " << kNotes[i] << " never fell silent";
    // The stretch from the note-off to the next event renders in blocks of 64.
    int end = 6000;
    for (int off : kOffs)
      if (off > kOffs[i]) end = std::min(end, off);
    ASSERT_LT(at, end) << "note " << kNotes[i] << " fell silent after the next event";
    EXPECT_NE((at - kOffs[i]) % 64, 0) << "note " << kNotes[i] << " falls silent on a block's first sample";
  }

  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has no vector kernels";
  for (const Drive& drive : kDrives) {
    SynthCore plainEngine;
    Configure(plainEngine, vrelbazzit::dsp::kPlainKernels);
    const std::vector<double> plain = Play(plainEngine, events, kLength, drive);
    for (const vrelbazzit::dsp::Kernels* table : tables) {
      SynthCore lanesEngine;
      Configure(lanesEngine, *table);
      ExpectSame(plain, Play(lanesEngine, events, kLength, drive), std::string(drive.name) + ", " + table->name);
    }
  }
}

}  // namespace
