// Exponential ADSR envelope step: every stage moves the level towards its
// target with a one-pole whose time constant is the stage time; the stage
// changes when the level comes close enough to the target.
#pragma once

#include <algorithm>
#include <cmath>

#include "Math.h"

namespace vrelbazzit::dsp {

enum EnvelopeStageId { kEnvIdle = 0, kEnvAttack = 1, kEnvDecay = 2, kEnvSustain = 3, kEnvRelease = 4 };

struct EnvelopeSettings {
  // One-pole coefficients for the attack, decay and release times and for the
  // 1 ms sustain follower, already computed for the sample rate.
  double attackCoef, decayCoef, sustainCoef, releaseCoef;
  double sustainLevel;
};

inline constexpr double kAttackDone = 0.995;     // attack ends above this level
inline constexpr double kDecayDone = 0.002;      // decay ends this close to the sustain level
inline constexpr double kReleaseDone = 1e-6;     // release ends below this level
inline constexpr double kSustainFollow = 0.001;  // sustain follows its level with 1 ms

// Advances one envelope by one sample. latch is the gate as last seen.
inline void EnvelopeStep(bool gate, bool& latch, int& stage, double& level, const EnvelopeSettings& s) {
  double target;
  double coef;
  if (gate && !latch) {
    stage = kEnvAttack;
    latch = true;
    target = 1.0;
    coef = s.attackCoef;
  } else if (!gate && latch) {
    stage = kEnvRelease;
    latch = false;
    target = 0.0;
    coef = s.releaseCoef;
  } else {
    latch = gate;
    switch (stage) {
      case kEnvAttack: target = 1.0; coef = s.attackCoef; break;
      case kEnvDecay: target = s.sustainLevel; coef = s.decayCoef; break;
      case kEnvSustain: target = s.sustainLevel; coef = s.sustainCoef; break;
      default: target = 0.0; coef = s.releaseCoef; break;  // Release and Idle
    }
  }

  level = FlushTiny(level + coef * (target - level));

  if (stage == kEnvAttack && level > kAttackDone) stage = kEnvDecay;
  if (stage == kEnvDecay && std::fabs(level - s.sustainLevel) < kDecayDone) stage = kEnvSustain;
  if (stage == kEnvRelease && level < kReleaseDone) {
    level = 0.0;
    stage = kEnvIdle;
  }
}

}  // namespace vrelbazzit::dsp
