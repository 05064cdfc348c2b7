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
  e.Tick();
  const double p0 = 0.99999 + 1.0 / rate - 1.0;
  const double p1 = 0.3 + 1.0 / 71 / rate;
  EXPECT_NEAR(e.driftPhase[0], p0, 1e-15);
  EXPECT_NEAR(e.driftPhase[1], p1, 1e-15);
  EXPECT_NEAR(e.driftValue[0], std::sin(2 * kPi * p0), 1e-15);
  EXPECT_NEAR(e.driftValue[1], std::sin(2 * kPi * p1), 1e-15);
}

namespace {

// The voice sum of one Tick, read back through the plain output chain:
// out = tanh(2.8 tanh(dry) / 0.98) x 0.98 with dry = sum x "Amp Level" / 0.7.
double VoiceSumOfTick(SynthCore& e) {
  const double out = e.Tick().first;
  return std::atanh(MonoFromOutput(out)) * 0.7 / e.params[kAmpLevel];
}

}  // namespace

TEST(EngineTick, PolySumIsDividedByTheFourthRootOfTheCount) {
  // Gates and levels per case; a voice is rendered when active or above 1e-6.
  const struct {
    const char* name;
    std::array<bool, 4> active;
    std::array<bool, 4> silent;  // level forced to 0 (released and finished)
    int count;
  } cases[] = {
      {"one voice", {true, false, false, false}, {false, true, true, true}, 1},
      {"two voices", {true, true, false, false}, {false, false, true, true}, 2},
      {"three voices", {true, true, true, false}, {false, false, false, true}, 3},
      {"four voices", {true, true, true, true}, {false, false, false, false}, 4},
      {"released but audible voice counts", {true, false, true, false}, {false, false, false, true}, 3},
      {"silent gate-on voice counts", {true, true, false, false}, {false, true, true, true}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SynthCore e;
    MakePlainChain(e);
    e.SetParameter(kAmpLevel, 0.07);
    e.SetParameter(kVoiceMode, 1.0);
    MakeNeutral(e);
    for (int n : {48, 55, 60, 64}) e.NoteOn(n, 0.8);
    for (int i = 0; i < 2000; ++i) e.Tick();
    for (int i = 0; i < 4; ++i) {
      Voice& v = e.voices[i + 1];
      v.active = c.active[static_cast<size_t>(i)];
      if (c.silent[static_cast<size_t>(i)] && !v.active) {
        v.ampLevel = 0.0;
        v.ampStage = kIdle;
      }
      if (c.silent[static_cast<size_t>(i)] && v.active) v.ampLevel = 0.0;  // gate on, not yet risen
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
    ASSERT_EQ(count, c.count);
    const double expected = count >= 2 ? sum / std::pow(count, 0.25) : sum;
    EXPECT_NEAR(got, expected, 1e-12 + 1e-10 * std::fabs(expected));
    ASSERT_GT(std::fabs(expected), 1e-4);  // the case really carries signal
  }
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
