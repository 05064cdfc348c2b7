// The amplitude and filter envelopes of a voice: exponential stages, their
// thresholds, release to exactly 0, the 1 ms sustain follower and legato
// re-attack from the current level. Both envelopes are driven through
// RenderVoice and checked against the closed forms of the one-pole steps:
// after n steps towards target T with time constant tau,
// level = T + (level0 - T) exp(-n / (tau S)).
#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

struct Envelope {
  const char* name;
  int attack, decay, sustain, release;  // parameter indexes
  int Voice::*stage;
  double Voice::*level;
  // Distinct settings per envelope, so that a swapped parameter shows.
  double attackTime, decayTime, sustainLevel, releaseTime;
};

const Envelope kEnvelopes[] = {
    {"amplitude", kAttack, kAmpDecay, kAmpSustain, kRelease, &Voice::ampStage, &Voice::ampLevel, 0.012, 0.18, 0.72,
     0.28},
    {"filter", kFilterAttack, kFilterDecay, kFilterSustain, kFilterRelease, &Voice::filterStage, &Voice::filterLevel,
     0.02, 0.05, 0.25, 0.1},
};

// Both envelopes set up: the one under test with its settings, the other with the other's.
void Configure(SynthCore& e, const Envelope& env) {
  for (const Envelope& x : kEnvelopes) {
    const bool own = &x == &env;
    const Envelope& other = &x == &kEnvelopes[0] ? kEnvelopes[1] : kEnvelopes[0];
    const Envelope& s = own ? x : other;
    e.SetParameter(x.attack, s.attackTime);
    e.SetParameter(x.decay, s.decayTime);
    e.SetParameter(x.sustain, s.sustainLevel);
    e.SetParameter(x.release, s.releaseTime);
  }
}

// Samples until a one-pole from level0 towards target first gets within
// threshold of it (strictly): the smallest n with |level0 - T| exp(-n / tauS) < threshold.
int SamplesToReach(double level0, double target, double threshold, double tauS) {
  return static_cast<int>(std::floor(tauS * std::log(std::fabs(level0 - target) / threshold))) + 1;
}

}  // namespace

TEST(EngineEnvelope, AttackThenDecayThenSustain) {
  for (double rate : {48000.0, 44100.0}) {
    for (const Envelope& env : kEnvelopes) {
      SCOPED_TRACE(testing::Message() << env.name << " at " << rate);
      SynthCore e;
      MakeNeutral(e, rate);
      Configure(e, env);
      Voice v = GatedVoice(60, 60);

      // Attack: 1 - level = exp(-n / (attack S)); leaves above 0.995, i.e. after
      // about ln(200) = 5.3 time constants (12 ms: 64 ms).
      const double tauA = env.attackTime * rate;
      const int attackEnd = SamplesToReach(0.0, 1.0, 0.005, tauA);
      for (int n = 1; n < attackEnd; ++n) {
        e.RenderVoice(v, 0, 0, 0);
        ASSERT_EQ(v.*env.stage, kAttackStage) << "sample " << n;
        ASSERT_NEAR(v.*env.level, 1.0 - std::exp(-n / tauA), 1e-12) << "sample " << n;
      }
      e.RenderVoice(v, 0, 0, 0);
      EXPECT_EQ(v.*env.stage, kDecayStage);
      const double peak = 1.0 - std::exp(-attackEnd / tauA);
      EXPECT_NEAR(v.*env.level, peak, 1e-12);
      if (env.attackTime == 0.012) {
        EXPECT_NEAR(attackEnd / rate, 0.064, 0.001);
      }

      // Decay towards the sustain level; Sustain once within 0.002 of it.
      const double tauD = env.decayTime * rate;
      const int decayEnd = SamplesToReach(peak, env.sustainLevel, 0.002, tauD);
      for (int n = 1; n < decayEnd; ++n) {
        e.RenderVoice(v, 0, 0, 0);
        ASSERT_EQ(v.*env.stage, kDecayStage) << "decay sample " << n;
      }
      e.RenderVoice(v, 0, 0, 0);
      EXPECT_EQ(v.*env.stage, kSustainStage);
      EXPECT_NEAR(v.*env.level, env.sustainLevel + (peak - env.sustainLevel) * std::exp(-decayEnd / tauD), 1e-11);
    }
  }
}

TEST(EngineEnvelope, FullSustainLeavesTheAttackThroughDecay) {
  // Sustain 100 %: above 0.995 the attack hands over to Decay; the Decay test
  // |level - 1| < 0.002 holds only above 0.998, which the level reaches later
  // with the decay time constant. A sustain level within 0.002 of the crossing
  // point (99.6 %) moves on to Sustain in the same sample.
  const double rate = 48000;
  for (const Envelope& env : kEnvelopes) {
    for (double sustainLevel : {1.0, 0.996}) {
      SCOPED_TRACE(testing::Message() << env.name << " sustain " << sustainLevel);
      SynthCore e;
      MakeNeutral(e, rate);
      Configure(e, env);
      e.SetParameter(env.sustain, sustainLevel);
      Voice v = GatedVoice(60, 60);
      const double tauA = env.attackTime * rate;
      const int attackEnd = SamplesToReach(0.0, 1.0, 0.005, tauA);
      for (int n = 1; n <= attackEnd; ++n) e.RenderVoice(v, 0, 0, 0);
      const double peak = v.*env.level;
      ASSERT_GT(peak, 0.995);
      ASSERT_LT(peak, 0.998);
      if (sustainLevel == 0.996) {
        EXPECT_EQ(v.*env.stage, kSustainStage);
        continue;
      }
      EXPECT_EQ(v.*env.stage, kDecayStage);
      const int decayEnd = SamplesToReach(peak, 1.0, 0.002, env.decayTime * rate);
      for (int n = 1; n < decayEnd; ++n) {
        e.RenderVoice(v, 0, 0, 0);
        ASSERT_EQ(v.*env.stage, kDecayStage) << "decay sample " << n;
      }
      e.RenderVoice(v, 0, 0, 0);
      EXPECT_EQ(v.*env.stage, kSustainStage);
      EXPECT_GT(v.*env.level, 0.998);
    }
  }
}

TEST(EngineEnvelope, ReleaseFromMidAttackEndsAtExactlyZero) {
  const double rate = 48000;
  for (const Envelope& env : kEnvelopes) {
    SCOPED_TRACE(env.name);
    SynthCore e;
    MakeNeutral(e, rate);
    Configure(e, env);
    Voice v = GatedVoice(60, 60);
    const int gateSamples = 200;
    for (int n = 0; n < gateSamples; ++n) e.RenderVoice(v, 0, 0, 0);
    ASSERT_EQ(v.*env.stage, kAttackStage);
    const double from = 1.0 - std::exp(-gateSamples / (env.attackTime * rate));
    ASSERT_NEAR(v.*env.level, from, 1e-12);

    v.active = false;
    const double tauR = env.releaseTime * rate;
    const int releaseEnd = SamplesToReach(from, 0.0, 1e-6, tauR);
    for (int n = 1; n < releaseEnd; ++n) {
      e.RenderVoice(v, 0, 0, 0);
      ASSERT_EQ(v.*env.stage, kReleaseStage) << "sample " << n;
      ASSERT_NEAR(v.*env.level, from * std::exp(-n / tauR), 1e-12) << "sample " << n;
    }
    e.RenderVoice(v, 0, 0, 0);
    EXPECT_EQ(v.*env.stage, kIdle);
    EXPECT_EQ(v.*env.level, 0.0);
    // Idle stays at 0.
    for (int n = 0; n < 100; ++n) e.RenderVoice(v, 0, 0, 0);
    EXPECT_EQ(v.*env.stage, kIdle);
    EXPECT_EQ(v.*env.level, 0.0);
  }
}

TEST(EngineEnvelope, ReleaseFromSustainTakesAbout13AndAHalfReleaseTimes) {
  // ln(0.72 / 1e-6) = 13.49 time constants from the default sustain level.
  const double rate = 48000, release = 0.05;
  SynthCore e;
  MakeNeutral(e, rate);
  e.SetParameter(kRelease, release);
  Voice v = GatedVoice(60, 60);
  for (int n = 0; n < rate * 3; ++n) e.RenderVoice(v, 0, 0, 0);
  ASSERT_EQ(v.ampStage, kSustainStage);
  ASSERT_NEAR(v.ampLevel, 0.72, 1e-9);
  v.active = false;
  int samples = 0;
  while (v.ampStage != kIdle && samples < rate * 10) {
    e.RenderVoice(v, 0, 0, 0);
    ++samples;
  }
  EXPECT_EQ(samples, SamplesToReach(0.72, 0.0, 1e-6, release * rate));
  EXPECT_NEAR(samples / (release * rate), std::log(0.72e6), 0.01);
}

TEST(EngineEnvelope, SustainFollowsItsLevelWithOneMillisecond) {
  const double rate = 48000;
  for (const Envelope& env : kEnvelopes) {
    SCOPED_TRACE(env.name);
    SynthCore e;
    MakeNeutral(e, rate);
    Configure(e, env);
    Voice v = GatedVoice(60, 60);
    for (int n = 0; n < rate * 3; ++n) e.RenderVoice(v, 0, 0, 0);
    ASSERT_EQ(v.*env.stage, kSustainStage);
    const double from = v.*env.level;
    const double to = 0.3;
    e.SetParameter(env.sustain, to);
    const double tau = 0.001 * rate;
    for (int n = 1; n <= 200; ++n) {
      e.RenderVoice(v, 0, 0, 0);
      ASSERT_NEAR(v.*env.level, to + (from - to) * std::exp(-n / tau), 1e-12) << "sample " << n;
      ASSERT_EQ(v.*env.stage, kSustainStage);
    }
  }
}

TEST(EngineEnvelope, NewGateReattacksFromTheCurrentLevel) {
  const double rate = 48000;
  for (const Envelope& env : kEnvelopes) {
    SCOPED_TRACE(env.name);
    SynthCore e;
    MakeNeutral(e, rate);
    Configure(e, env);
    Voice v = GatedVoice(60, 60);
    for (int n = 0; n < rate; ++n) e.RenderVoice(v, 0, 0, 0);
    v.active = false;
    for (int n = 0; n < 500; ++n) e.RenderVoice(v, 0, 0, 0);
    ASSERT_EQ(v.*env.stage, kReleaseStage);
    const double from = v.*env.level;
    ASSERT_GT(from, 0.01);
    v.active = true;
    const double tauA = env.attackTime * rate;
    for (int n = 1; n <= 50; ++n) {
      e.RenderVoice(v, 0, 0, 0);
      ASSERT_EQ(v.*env.stage, kAttackStage) << "sample " << n;
      ASSERT_NEAR(v.*env.level, 1.0 - (1.0 - from) * std::exp(-n / tauA), 1e-12) << "sample " << n;
    }
  }
}

TEST(EngineEnvelope, TimesBelowOneMillisecondCountAsOneMillisecond) {
  // Written directly below the clamp: the step uses max(time, 0.001).
  const double rate = 48000;
  SynthCore e;
  MakeNeutral(e, rate);
  e.params[kAttack] = 0.0;
  e.params[kFilterAttack] = -1.0;
  Voice v = GatedVoice(60, 60);
  e.RenderVoice(v, 0, 0, 0);
  EXPECT_NEAR(v.ampLevel, OnePole(0.001, rate), 1e-15);
  EXPECT_NEAR(v.filterLevel, OnePole(0.001, rate), 1e-15);
}
