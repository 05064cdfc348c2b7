// The oscillator section's pitch: ranges, fine tuning, bend, the cent
// offsets, the increment limit, the Fat layers, the sub oscillator, glide,
// Vrel Bite and the shape crossfade. Frequencies are read from the phase a
// fresh voice reaches after one RenderVoice call (phases start at 0).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

// 440 x 2^((semitones from note 69 + cents / 100) / 12).
double Hz(double semisFromA4, double cents = 0.0) { return 440.0 * std::exp2((semisFromA4 + 0.01 * cents) / 12.0); }

void ExpectRelNear(double got, double want, double rel, const char* what) {
  EXPECT_NEAR(got, want, std::fabs(want) * rel) << what;
}

}  // namespace

TEST(EnginePitch, OctaveRangesAndNotes) {
  // range = nearest integer (halves away from zero) to 4 x value, minus 2.
  const struct {
    double range1, range2;
    int note;
    double f1, f2;
  } cases[] = {
      {0.0, 1.0, 69, 110.0, 1760.0},           // -2 / +2 octaves at A4
      {0.5, 0.5, 69, 440.0, 440.0},
      {0.25, 0.75, 69, 220.0, 880.0},
      {0.5, 0.5, 60, Hz(-9), Hz(-9)},          // middle C
      {0.3, 0.375, 69, 220.0, 440.0},          // 1.2 -> 1 (-1 oct); 1.5 -> 2 (0 oct)
      {0.125, 0.12, 81, 440.0, 220.0},         // 0.5 -> 1 (-1 oct); 0.48 -> 0 (-2 oct)
      {0.5, 0.5, 0, Hz(-69), Hz(-69)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "ranges " << c.range1 << "/" << c.range2 << " note " << c.note);
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kOsc1Range, c.range1);
    e.SetParameter(kOsc2Range, c.range2);
    const auto [f1, f2] = FirstSampleFrequencies(e, GatedVoice(c.note, c.note));
    ExpectRelNear(f1, c.f1, 1e-12, "oscillator 1");
    ExpectRelNear(f2, c.f2, 1e-12, "oscillator 2");
  }
}

TEST(EnginePitch, Osc2FineAndPitchBend) {
  // Fine: (value - 0.5) x 100 cents on oscillator 2 only; bend: 2 x bend semitones on both.
  const struct {
    double fine, bend;
    double semis1, semis2;
  } cases[] = {
      {1.0, 0.0, 0.0, 0.5},  {0.0, 0.0, 0.0, -0.5}, {0.75, 0.0, 0.0, 0.25}, {0.5, 1.0, 2.0, 2.0},
      {0.5, -1.0, -2.0, -2.0}, {0.5, 0.5, 1.0, 1.0}, {1.0, -0.25, -0.5, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fine " << c.fine << " bend " << c.bend);
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kOsc2Fine, c.fine);
    e.pitchBend = c.bend;
    const auto [f1, f2] = FirstSampleFrequencies(e, GatedVoice(57, 57));
    ExpectRelNear(f1, Hz(-12 + c.semis1), 1e-12, "oscillator 1");
    ExpectRelNear(f2, Hz(-12 + c.semis2), 1e-12, "oscillator 2");
  }
}

TEST(EnginePitch, CentOffsets) {
  // cents1 = age + lfo - body + osc1Offset + slow; cents2 = lfo - age + body + osc2Offset - slow, with
  // lfo = 30 x "LFO Pitch" x motion x lfo, age = 5 age^2 ageDrift, body = 8 "Body",
  // slow = 0.03 drift[0] + 0.1 age drift[1].
  struct Case {
    const char* name;
    std::function<void(SynthCore&)> setup;
    double lfo, age, motion;
    double cents1, cents2;
  };
  const Case cases[] = {
      {"Body 100 %", [](SynthCore& e) { e.SetParameter(kBody, 1.0); }, 0, 0, 0, -8.0, 8.0},
      {"Body 50 %", [](SynthCore& e) { e.SetParameter(kBody, 0.5); }, 0, 0, 0, -4.0, 4.0},
      {"circuit offsets", [](SynthCore& e) { e.osc1Offset = 0.08; e.osc2Offset = -0.05; }, 0, 0, 0, 0.08, -0.05},
      {"LFO full", [](SynthCore& e) { e.SetParameter(kLfoPitch, 1.0); }, 1.0, 0, 1.0, 30.0, 30.0},
      {"LFO partial", [](SynthCore& e) { e.SetParameter(kLfoPitch, 0.5); }, -0.5, 0, 0.4, -3.0, -3.0},
      {"LFO without motion", [](SynthCore& e) { e.SetParameter(kLfoPitch, 1.0); }, 1.0, 0, 0.0, 0.0, 0.0},
      {"age drift", [](SynthCore& e) { e.ageDrift = 0.5; }, 0, 1.0, 0, 2.5, -2.5},
      {"age drift half age", [](SynthCore& e) { e.ageDrift = 0.5; }, 0, 0.5, 0, 0.625, -0.625},
      {"first drift sine", [](SynthCore& e) { e.driftValue[0] = 1.0; }, 0, 0, 0, 0.03, -0.03},
      {"second drift sine", [](SynthCore& e) { e.driftValue[1] = -1.0; }, 0, 0.5, 0, -0.05, 0.05},
      {"second drift sine without age", [](SynthCore& e) { e.driftValue[1] = -1.0; }, 0, 0.0, 0, 0.0, 0.0},
      {"everything",
       [](SynthCore& e) {
         e.SetParameter(kBody, 0.25);      // body 2
         e.SetParameter(kLfoPitch, 0.8);   // lfo 30 x 0.8 x 0.5 x 0.5 = 6
         e.osc1Offset = -0.02;
         e.osc2Offset = 0.07;
         e.ageDrift = -0.4;                // age 5 x 0.09 x -0.4 = -0.18
         e.driftValue[0] = 0.5;            // slow 0.015 + 0.1 x 0.3 x 0.2 = 0.021
         e.driftValue[1] = 0.2;
       },
       0.5, 0.3, 0.5, -0.18 + 6 - 2 - 0.02 + 0.021, 6 + 0.18 + 2 + 0.07 - 0.021},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SynthCore e;
    MakeNeutral(e);
    c.setup(e);
    const auto [f1, f2] = FirstSampleFrequencies(e, GatedVoice(69, 69), c.lfo, c.age, c.motion);
    ExpectRelNear(f1, Hz(0, c.cents1), 1e-12, "oscillator 1");
    ExpectRelNear(f2, Hz(0, c.cents2), 1e-12, "oscillator 2");
  }
}

TEST(EnginePitch, IncrementsAreLimitedTo045) {
  // Note 127 at +2 octaves is far above 0.45 x S: the increment is held at 0.45.
  // Oscillator 2 at note 127, 0 octaves, runs at 12543.85 Hz = 0.2613 x 48000, unlimited.
  SynthCore e;
  MakeNeutral(e);
  e.SetParameter(kOsc1Range, 1.0);
  e.SetParameter(kFat, 0.0);
  e.SetSampleRate(48000);
  Voice v = GatedVoice(127, 127);
  e.RenderVoice(v, 0, 0, 0);
  EXPECT_EQ(v.phase1, 0.45);
  ExpectRelNear(v.phase2 * 48000, Hz(58), 1e-12, "oscillator 2");
  // Fat layer 1 at 0.45 x 2^-d (below the limit), the sub at half of oscillator 1.
  const double d = (0.8 + 0.4 * 0.5) * 3.0 / 1200.0;
  EXPECT_NEAR(v.layerPhase1, 0.45 * std::exp2(-d), 1e-15);
  EXPECT_EQ(v.subPhase, 0.225);

  // At 8 kHz, note 100 one octave up is 5274 Hz = 0.66 x S: held at 0.45; its
  // Fat layer (x 2^d) is held too.
  SynthCore low;
  MakeNeutral(low, 8000);
  low.SetParameter(kOsc2Range, 0.75);
  Voice w = GatedVoice(100, 100);
  low.RenderVoice(w, 0, 0, 0);
  EXPECT_EQ(w.phase2, 0.45);
  EXPECT_EQ(w.layerPhase2, 0.45);
  ExpectRelNear(w.phase1 * 8000, Hz(31), 1e-12, "oscillator 1 at 8 kHz");
}

TEST(EnginePitch, FatLayersAndSub) {
  // d = (0.8 + 0.4 "Fat Tune") (3 + 19 fatAmount) / 1200 octaves; layer 1 at
  // inc1 2^-d, layer 2 at inc2 2^d; the sub at inc1 / 2.
  const struct {
    double fatAmount, fatTune;
  } cases[] = {{0.0, 0.0}, {0.5, 0.25}, {1.0, 1.0}, {0.12, 0.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fat " << c.fatAmount << " tune " << c.fatTune);
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kFatTune, c.fatTune);
    e.fatAmount = c.fatAmount;
    e.SetParameter(kOsc2Range, 0.75);
    Voice v = GatedVoice(60, 64);
    e.RenderVoice(v, 0, 0, 0);
    const double inc1 = Hz(-9) / 48000, inc2 = Hz(12 - 5) / 48000;
    const double d = (0.8 + 0.4 * c.fatTune) * (3 + 19 * c.fatAmount) / 1200;
    EXPECT_NEAR(v.phase1, inc1, inc1 * 1e-12);
    EXPECT_NEAR(v.phase2, inc2, inc2 * 1e-12);
    EXPECT_NEAR(v.layerPhase1, inc1 * std::exp2(-d), inc1 * 1e-12);
    EXPECT_NEAR(v.layerPhase2, inc2 * std::exp2(d), inc2 * 1e-12);
    EXPECT_NEAR(v.subPhase, 0.5 * inc1, inc1 * 1e-12);
  }
}

TEST(EnginePitch, GlideFollowsTheNoteWithItsTimeConstant) {
  // g = 1 - exp(-1 / (S x Glide)); pitch += g (note - pitch) every sample.
  const double rate = 48000;
  for (double glide : {0.01, 0.25}) {
    SCOPED_TRACE(testing::Message() << "glide " << glide);
    SynthCore e;
    MakeNeutral(e, rate);
    e.SetParameter(kGlide, glide);
    const double g = OnePole(glide, rate);
    Voice v = GatedVoice(72, 60);
    v.pitch1 = 60.0;  // gliding up an octave on oscillator 1, down from 72 on 2
    v.pitch2 = 72.0;
    const int tau = static_cast<int>(glide * rate);
    double previousPhase = 0.0;
    for (int n = 1; n <= tau; ++n) {
      e.RenderVoice(v, 0, 0, 0);
      const double p1 = 72.0 - 12.0 * std::pow(1.0 - g, n);
      const double p2 = 60.0 + 12.0 * std::pow(1.0 - g, n);
      ASSERT_NEAR(v.pitch1, p1, 1e-9) << "sample " << n;
      ASSERT_NEAR(v.pitch2, p2, 1e-9) << "sample " << n;
      // The sample runs at the glided pitch of that sample.
      double step = v.phase1 - previousPhase;
      if (step < 0) step += 1.0;
      ASSERT_NEAR(step, Hz(p1 - 69) / rate, 1e-12) << "sample " << n;
      previousPhase = v.phase1;
    }
    // After one time constant (tau samples = Glide x S): 1 - 1/e of the way.
    EXPECT_NEAR(v.pitch1, 72.0 - 12.0 * std::exp(-1.0), 1e-8);
  }
}

TEST(EnginePitch, UnsetPitchJumpsToTheNote) {
  for (double glide : {0.001, 4.0}) {
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kGlide, glide);
    Voice v = GatedVoice(50, 70);
    e.RenderVoice(v, 0, 0, 0);
    EXPECT_EQ(v.pitch1, 50.0) << "glide " << glide;
    EXPECT_EQ(v.pitch2, 70.0) << "glide " << glide;
  }
}

TEST(EnginePitch, GlideTimeBelowTheMinimumCountsAsOneMillisecond) {
  SynthCore e;
  MakeNeutral(e);
  e.params[kGlide] = 0.0;  // below the clamp, written directly
  Voice v = GatedVoice(72, 72);
  v.pitch1 = v.pitch2 = 60.0;
  e.RenderVoice(v, 0, 0, 0);
  EXPECT_NEAR(v.pitch1, 60.0 + 12.0 * OnePole(0.001, 48000), 1e-12);
}

TEST(EnginePitch, SilentVoiceHoldsItsOscillatorsStill) {
  // Below 1e-6 of amplitude none of the oscillator steps runs.
  SynthCore e;
  MakeNeutral(e);
  e.SetParameter(kOsc1Wave, 4.0 / 6);
  Voice v = GatedVoice(60, 60);
  v.active = false;
  v.pitch1 = 50.0;
  for (int i = 0; i < 10; ++i) e.RenderVoice(v, 0, 0, 0);
  EXPECT_EQ(v.phase1, 0.0);
  EXPECT_EQ(v.subPhase, 0.0);
  EXPECT_EQ(v.pitch1, 50.0);
  EXPECT_EQ(v.wave1, kBlend);
  EXPECT_EQ(v.fade1, 1.0);
}

namespace {
// Oscillator 2's increment relative to its unbent value on the first sample of a
// voice whose oscillator 1 starts at phase1 (both notes 69, 0 octaves).
double BiteRatio(SynthCore& e, Voice v) {
  const double inc2 = 440.0 / e.sampleRate;
  e.RenderVoice(v, 0, 0, 0);
  return v.phase2 / inc2;
}
}  // namespace

TEST(EnginePitch, VrelBiteBendsOscillator2ByOscillator1) {
  // bend = 2^(clamp(w1) x 0.65 x bite^2) on oscillator 2 and its Fat layer.
  // Oscillator 1: Blend with "Osc 1 Pulse" 100 % and width 0.5 is the square:
  // +1 at phase 0.25, -1 at phase 0.75. Sine at 0.25 reads 0.5.
  const struct {
    double bite;
    int shape;
    double phase1;
    double w1;
  } cases[] = {
      {0.0, kBlend, 0.25, 1.0}, {0.0, kBlend, 0.75, -1.0}, {1.0, kBlend, 0.25, 1.0},
      {1.0, kBlend, 0.75, -1.0}, {0.5, kBlend, 0.25, 1.0}, {1.0, kSine, 0.25, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bite " << c.bite << " w1 " << c.w1);
    SynthCore e;
    MakeNeutral(e);
    e.SetParameter(kVrelBite, c.bite);
    e.SetParameter(kOsc1Pulse, 1.0);
    e.SetParameter(kPulseWidth, 0.5);
    e.SetParameter(kOsc1Wave, c.shape / 6.0);
    Voice v = GatedVoice(69, 69);
    v.phase1 = c.phase1;
    v.wave1 = v.prevWave1 = c.shape;  // no crossfade from Blend
    Voice layer = v;
    const double bend = std::exp2(c.w1 * 0.65 * c.bite * c.bite);
    EXPECT_NEAR(BiteRatio(e, v), bend, 1e-12);
    e.RenderVoice(layer, 0, 0, 0);
    const double d = (0.8 + 0.4 * 0.5) * (3 + 19 * e.fatAmount) / 1200;
    EXPECT_NEAR(layer.layerPhase2, 440.0 / 48000 * std::exp2(d) * bend, 1e-14);
  }
}

TEST(EnginePitch, ShapeChangeCrossfadesOver8ms) {
  // A fresh voice whose selected shape is Sine starts at Blend with fade 0 and
  // reaches Sine after 0.008 x S samples. Vrel Bite at 100 % makes w1 audible
  // in oscillator 2's increment: w1 = log2(inc2b / inc2) / 0.65.
  const double rate = 48000;
  SynthCore e;
  MakeNeutral(e, rate);
  e.SetParameter(kVrelBite, 1.0);
  e.SetParameter(kOsc1Wave, 4.0 / 6.0);
  const double pulse = e.params[kOsc1Pulse], width = 0.15 + 0.7 * e.params[kPulseWidth];
  Voice v = GatedVoice(69, 69);
  v.phase1 = 0.25;
  const double inc = 440.0 / rate;
  const int fadeSamples = static_cast<int>(0.008 * rate);  // 384
  for (int n = 0; n <= fadeSamples + 2; ++n) {
    const double t = v.phase1;
    const double fade = std::min(n / (0.008 * rate), 1.0);  // fade in effect during sample n
    const double blend = SynthCore::Wave(t, inc, pulse, width, kBlend, false);
    const double sine = SynthCore::Wave(t, inc, pulse, width, kSine, false);
    const double w1 = blend + fade * (sine - blend);
    const double phase2Before = v.phase2;
    e.RenderVoice(v, 0, 0, 0);
    double step2 = v.phase2 - phase2Before;
    if (step2 < 0) step2 += 1.0;
    ASSERT_NEAR(std::log2(step2 / inc) / 0.65, w1, 1e-9) << "sample " << n;
    ASSERT_EQ(v.wave1, kSine);
    ASSERT_EQ(v.prevWave1, kBlend);
  }
  EXPECT_EQ(v.fade1, 1.0);

  // A later change starts a new crossfade from the current shape.
  e.SetParameter(kOsc1Wave, 1.0 / 6.0);
  e.RenderVoice(v, 0, 0, 0);
  EXPECT_EQ(v.wave1, kSaw);
  EXPECT_EQ(v.prevWave1, kSine);
  EXPECT_NEAR(v.fade1, 1.0 / (0.008 * rate), 1e-15);
}
