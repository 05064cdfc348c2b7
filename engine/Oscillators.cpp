// The oscillator section of a voice: seven wave shapes, glide and tuning, the
// detuned Fat layers, shape crossfades, Vrel Bite (oscillator 1 bends
// oscillator 2 at audio rate), the sub oscillator, the level mix and Ring.
#include <algorithm>
#include <cmath>

#include "SynthCore.h"
#include "dsp/FastMath.h"
#include "dsp/Math.h"
#include "dsp/Oscillator.h"

namespace vrelbazzit {

using dsp::Clamp;
using dsp::Partial;

namespace {
constexpr double kLevelScale = 0.46;

double PitchRatio(double semis) { return std::exp2(semis * (1.0 / 12)); }
}  // namespace

double SynthCore::Wave(double t, double dt, double pulse, double width, int shape, bool fine) {
  double r = 0.0;
  switch (shape) {
    case kBlend:
      return (1.0 - pulse) * dsp::BlepSaw(t, dt) + pulse * dsp::BlepSquare(t, dt, width);
    case kSaw: r = 0.5 * dsp::BlepSaw(t, dt); break;
    case kPulse: r = 0.36 * dsp::BlepSquare(t, dt, width); break;
    case kTriangle: {
      constexpr double kTriangleScale = 0.5 * 8.0 / (dsp::kPi * dsp::kPi);
      double h[5];
      dsp::OddPartials(t, dt, 5, h);
      r = kTriangleScale * (h[0] - h[1] * (1.0 / 9) + h[2] * (1.0 / 25) - h[3] * (1.0 / 49) + h[4] * (1.0 / 81));
      break;
    }
    case kSine: r = 0.5 * Partial(1, t, dt); break;
    case kFold: {
      double h[3];
      dsp::OddPartials(t, dt, 3, h);
      r = (0.5 / 1.3) * (h[0] - 0.44 * h[1] + 0.19 * h[2]);
      break;
    }
    case kHollow: {
      double h[2];
      dsp::OddPartials(t, dt, 2, h);
      r = 0.5 * (0.72 * h[0] + 0.28 * h[1]);
      break;
    }
    default: break;
  }
  if (fine && pulse > 0.0) {
    const double blend = (1.0 - pulse) * dsp::BlepSaw(t, dt) + pulse * dsp::BlepSquare(t, dt, width);
    r += 0.25 * pulse * (blend - r);
  }
  return r;
}

namespace {
// Shape bookkeeping of one oscillator: a new shape starts an 8 ms crossfade.
void UpdateShape(int shape, int& current, int& previous, double& fade) {
  if (shape != current) {
    previous = current;
    current = shape;
    fade = 0.0;
  }
}

double CrossfadedWave(double p, double q, double pulse, double width, int current, int previous, double fade,
                      bool fine) {
  double w = SynthCore::Wave(p, q, pulse, width, current, fine);
  if (fade < 1.0) {
    const double v = SynthCore::Wave(p, q, pulse, width, previous, fine);
    w = v + fade * (w - v);
  }
  return w;
}

void Advance(double& phase, double inc) {
  phase += inc;
  if (phase >= 1.0) phase -= 1.0;
}
}  // namespace

void SynthCore::OscillatorIncrements(Voice& voice, const VoiceFrame& fr, double& inc1, double& inc2) {
  // 1. Glide in note-number space.
  if (voice.pitch1 < 0.0) voice.pitch1 = voice.note1;
  if (voice.pitch2 < 0.0) voice.pitch2 = voice.note2;
  voice.pitch1 += fr.glide * (voice.note1 - voice.pitch1);
  voice.pitch2 += fr.glide * (voice.note2 - voice.pitch2);

  // 2-4. Increments: 440 x 2^((semitones from A4 + cents / 100) / 12) / rate, the
  // cents part shared by all voices (in the frame).
  inc1 = LimitIncrement(voice.pitchRatio1.Get(fr.semisBase1 + voice.pitch1, PitchRatio) * fr.tuneFactor1);
  inc2 = LimitIncrement(voice.pitchRatio2.Get(fr.semisBase2 + voice.pitch2, PitchRatio) * fr.tuneFactor2);
}

bool SynthCore::RestingPitchRatios(Voice& voice, const VoiceFrame& fr, double& ratio1, double& ratio2) {
  // At rest: a glide step would leave both pitches where they are.
  if (voice.pitch1 < 0.0 || voice.pitch2 < 0.0) return false;
  if (voice.pitch1 + fr.glide * (voice.note1 - voice.pitch1) != voice.pitch1 ||
      voice.pitch2 + fr.glide * (voice.note2 - voice.pitch2) != voice.pitch2)
    return false;
  ratio1 = voice.pitchRatio1.Get(fr.semisBase1 + voice.pitch1, PitchRatio);
  ratio2 = voice.pitchRatio2.Get(fr.semisBase2 + voice.pitch2, PitchRatio);
  return true;
}

void SynthCore::UpdateShapes(Voice& voice, const VoiceFrame& fr) {
  UpdateShape(fr.shape1, voice.wave1, voice.prevWave1, voice.fade1);
  UpdateShape(fr.shape2, voice.wave2, voice.prevWave2, voice.fade2);
}

double SynthCore::RingAmount(const Voice& voice, const VoiceFrame& fr) const {
  // In Split, wide intervals add ring modulation through Span.
  const double span = voiceMode == kSplit ? Clamp((voice.note2 - voice.note1) / 24.0, 0.0, 1.0) * params[kSpan] : 0.0;
  return Clamp(fr.ring + 0.28 * span, 0.0, 1.0);
}

double SynthCore::OscillatorSection(Voice& voice, const VoiceFrame& fr) {
  double inc1, inc2;
  OscillatorIncrements(voice, fr, inc1, inc2);

  // 5. Fat layers.
  const double layerInc1 = LimitIncrement(inc1 * fr.layerDown);
  const double layerInc2Raw = LimitIncrement(inc2 * fr.layerUp);

  // 7. Shapes.
  UpdateShapes(voice, fr);

  // 9. Oscillator 1.
  const double w1 =
      CrossfadedWave(voice.phase1, inc1, fr.pulse1, fr.width, voice.wave1, voice.prevWave1, voice.fade1, fr.fine1);

  // 10. Vrel Bite: oscillator 1 bends oscillator 2 by up to 0.65 octave.
  double inc2b = inc2;
  double layerInc2 = layerInc2Raw;
  if (fr.biteDepth != 0.0) {
    const double bend = std::exp2(Clamp(w1, -1.0, 1.0) * fr.biteDepth);
    inc2b = LimitIncrement(inc2 * bend);
    layerInc2 = LimitIncrement(layerInc2Raw * bend);
  }

  // 11. Oscillator 2 and both layers.
  const double w2 =
      CrossfadedWave(voice.phase2, inc2b, fr.pulse2, fr.width, voice.wave2, voice.prevWave2, voice.fade2, fr.fine2);
  const double w3 = CrossfadedWave(voice.layerPhase1, layerInc1, fr.pulse1, fr.width, voice.wave1, voice.prevWave1,
                                   voice.fade1, fr.fine1);
  const double w4 = CrossfadedWave(voice.layerPhase2, layerInc2, fr.pulse2, fr.width, voice.wave2, voice.prevWave2,
                                   voice.fade2, fr.fine2);

  // 12. Crossfades advance over 8 ms.
  voice.fade1 = std::min(voice.fade1 + mFadeStep, 1.0);
  voice.fade2 = std::min(voice.fade2 + mFadeStep, 1.0);

  // 13. Phases.
  Advance(voice.phase1, inc1);
  Advance(voice.phase2, inc2b);
  Advance(voice.layerPhase1, layerInc1);
  Advance(voice.layerPhase2, layerInc2);
  Advance(voice.subPhase, 0.5 * inc1);

  // 14. Oscillators with their layers.
  const double f = fr.fatMix;
  const double m1 = (w1 + f * w3) / (1.0 + f);
  const double m2 = (w2 + f * w4) / (1.0 + f);

  // 15-16. Sub oscillator one octave below oscillator 1, and the level mix.
  const double sub = dsp::SinTwoPi(voice.subPhase);
  const double mix = kLevelScale * (fr.osc1Level * m1 + fr.osc2Level * m2) + fr.subLevel * sub;

  // 17. Ring.
  const double r = RingAmount(voice, fr);
  return (1.0 - r) * mix + r * m1 * m2;
}

}  // namespace vrelbazzit
