// Rendering in blocks against rendering sample by sample: the engine computes
// a block's pure functions (waves, sines, tanh, the filter bank) over the
// whole block and the single voice of Split and Mono block-wise, which must
// give every sample exactly as one Tick after another does. Each case plays
// notes and changes settings between calls, as the plug-in does at its
// events, and renders in calls of uneven lengths.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <ostream>
#include <functional>
#include <string>
#include <vector>

#include "EngineTestUtil.h"

namespace vbtest {
namespace {

using namespace vrelbazzit;

void Set(SynthCore& e, int index, double plain) {
  e.SetParameter(index, ToEngineValue(kParamSpecs[static_cast<size_t>(index)].unit, plain));
}

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

struct Event {
  int at;
  std::function<void(SynthCore&)> apply;
};

struct BlockCase {
  const char* name;
  std::vector<std::pair<int, double>> settings;  // plain values, before the sample rate is set
  std::vector<Event> events;
  int frames;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

Event On(int at, int note, double velocity = 0.8) {
  return {at, [note, velocity](SynthCore& e) { e.NoteOn(note, velocity); }};
}
Event Off(int at, int note) {
  return {at, [note](SynthCore& e) { e.NoteOff(note); }};
}
Event Param(int at, int index, double plain) {
  return {at, [index, plain](SynthCore& e) { Set(e, index, plain); }};
}

std::vector<BlockCase> Cases() {
  return {
      // Released to silence mid-block: the voice stops sounding on a sample
      // of its own, then rests.
      {"mono defaults, note released to rest", {{kVoiceMode, 1.0}, {kRelease, 30.0}},
       {On(0, 60), Off(7001, 60)}, 20000},
      // A held note whose envelopes and glide come to rest within a block:
      // from there on the block repeats the values of the resting sample.
      {"mono held note settles",
       {{kVoiceMode, 1.0}, {kAttack, 2.0}, {kAmpDecay, 15.0}, {kFilterAttack, 2.0}, {kFilterDecay, 20.0},
        {kGlide, 3.0}},
       {On(0, 50), On(6000, 62), Off(30000, 62), Off(30001, 50)}, 40000},
      // Both Split notes, Vrel Bite, Fat, the fuzz past its warmth threshold
      // (the saturation runs), the LFO on the pitch and the filter.
      {"split bite fat warm fuzz motion",
       {{kVoiceMode, 0.0}, {kVrelBite, 80.0}, {kFat, 90.0}, {kFuzz, 95.0}, {kFuzzWarmth, 70.0}, {kOsc1Wave, 3.0},
        {kOsc2Wave, 5.0}, {kMotion, 70.0}, {kLfoPitch, 80.0}, {kLfoFilter, 60.0}, {kAge, 60.0}, {kSpan, 80.0}},
       {On(5, 48), On(900, 67), Off(12000, 67), Off(13000, 48)}, 24000},
      // A legato glide, fine shapes and pulse blends.
      {"mono glide fine pulse",
       {{kVoiceMode, 1.0}, {kGlide, 200.0}, {kOsc1Wave, 0.0}, {kOsc1Pulse, 60.0}, {kOsc1WaveFine, 1.0},
        {kOsc2Wave, 6.0}, {kOsc2Pulse, 30.0}, {kOsc2WaveFine, 1.0}, {kResonance, 80.0}},
       {On(0, 40, 1.0), On(3000, 52, 0.3), Off(9000, 52), Off(9500, 40)}, 16000},
      // Shape changes (crossfades) and moving gain controls while a note sounds.
      {"shape changes and gliding gains",
       {{kVoiceMode, 1.0}},
       {On(0, 57), Param(2000, kOsc1Wave, 4.0), Param(2100, kOsc2Wave, 1.0), Param(6000, kAmpLevel, 30.0),
        Param(6000, kFuzz, 70.0), Param(6001, kFat, 0.0), Param(8000, kOsc1Wave, 2.0), Off(12000, 57)},
       16000},
      // Poly chords with every effect, a stolen voice and the sustain pedal.
      {"poly chord every effect",
       {{kVoiceMode, 2.0}, {kFat, 80.0}, {kWidth, 80.0}, {kFuzz, 80.0}, {kSpace, 60.0}, {kAge, 50.0},
        {kVrelBite, 50.0}, {kOsc1Wave, 3.0}, {kOsc2Wave, 5.0}, {kRelease, 80.0}},
       {On(0, 60), On(1, 64), On(300, 67), On(301, 71), On(5000, 74), Off(8000, 60), Off(8000, 64),
        {8500, [](SynthCore& e) { e.SetSustain(true); }}, Off(9000, 67), Off(9000, 71), Off(9000, 74),
        {14000, [](SynthCore& e) { e.SetSustain(false); }}},
       24000},
  };
}

class BlockRender : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockRender, EqualsTickAfterTick) {
  const BlockCase& c = GetParam();
  SynthCore blocks, ticks;
  for (SynthCore* e : {&blocks, &ticks}) {
    for (const auto& [index, plain] : c.settings) Set(*e, index, plain);
    e->SetCircuitSeed(77);
    e->SetSampleRate(48000.0);
  }

  std::vector<double> left(static_cast<size_t>(c.frames)), right(left.size());
  const int lengths[] = {64, 1, 200, 7, 128, 3, 64, 65};
  size_t next = 0;
  int call = 0;
  for (int at = 0; at < c.frames;) {
    while (next < c.events.size() && c.events[next].at <= at) {
      c.events[next].apply(blocks);
      c.events[next].apply(ticks);
      ++next;
    }
    int n = lengths[call++ % std::size(lengths)];
    if (next < c.events.size()) n = std::min(n, c.events[next].at - at);
    n = std::min(n, c.frames - at);
    blocks.Render(left.data() + at, right.data() + at, n);
    for (int i = at; i < at + n; ++i) {
      const auto [l, r] = ticks.Tick();
      ASSERT_EQ(Bits(left[static_cast<size_t>(i)]), Bits(l)) << "left, sample " << i;
      ASSERT_EQ(Bits(right[static_cast<size_t>(i)]), Bits(r)) << "right, sample " << i;
    }
    at += n;
  }
  double loudest = 0.0;
  for (double x : left) loudest = std::max(loudest, std::fabs(x));
  EXPECT_GT(loudest, 0.05) << "the case should make sound";
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockRender, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<BlockCase>& param) {
                           std::string name = param.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace vbtest
