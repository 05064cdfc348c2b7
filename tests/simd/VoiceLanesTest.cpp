// The engine with the voices in vector lanes against the engine rendering
// voice by voice: four Poly voices over every wave shape of both oscillators,
// with and without the fine blend, Vrel Bite, Fat and fuzz past its warmth
// threshold, notes at the partial and increment limits, a shape change while
// sounding (its crossfade goes voice by voice), and releases that leave some
// voices in lanes and others silent. Every output sample must be identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

std::vector<double> Render(const LaneCase& c, const vrelbazzit::dsp::Kernels& kernels) {
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
  std::vector<double> out;
  for (size_t i = 0; i < c.notes.size(); ++i) e.NoteOn(c.notes[i], 0.4 + 0.15 * static_cast<double>(i));
  for (int t = 0; t < 6000; ++t) {
    if (t == 2000) e.SetParameter(p::kOsc2Wave, ((c.shape2 + 3) % 7) / 6.0);  // crossfades for 8 ms
    if (t == 3500) e.NoteOff(c.notes[1]);
    if (t == 4000) e.NoteOff(c.notes[3]);
    if (t == 4500) e.NoteOn(c.notes[1] + 1, 0.9);
    const auto [l, r] = e.Tick();
    out.push_back(l);
    out.push_back(r);
  }
  return out;
}

TEST(VoiceLanes, RenderEveryShapeAsTheVoiceByVoicePath) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has no vector kernels";
  for (const LaneCase& c : kCases) {
    const std::vector<double> plain = Render(c, vrelbazzit::dsp::kPlainKernels);
    double peak = 0.0;
    for (double x : plain) peak = std::max(peak, std::abs(x));
    EXPECT_GT(peak, 0.05) << c.name << ": the case made no sound";
    for (const vrelbazzit::dsp::Kernels* table : tables) {
      const std::vector<double> lanes = Render(c, *table);
      for (size_t i = 0; i < plain.size(); ++i) {
        if (Bits(lanes[i]) != Bits(plain[i])) {
          ADD_FAILURE() << c.name << ", " << table->name << ": frame " << i / 2 << (i % 2 ? " right " : " left ")
                        << lanes[i] << " instead of " << plain[i];
          break;
        }
      }
    }
  }
}

}  // namespace
