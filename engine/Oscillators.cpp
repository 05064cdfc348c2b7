// The oscillator section of a voice: seven wave shapes, glide and tuning, the
// detuned Fat layers, shape crossfades, Vrel Bite (oscillator 1 bends
// oscillator 2 at audio rate), the sub oscillator, the level mix and Ring.
#include <algorithm>
#include <cmath>

#include "SynthCore.h"
#include "VoiceSteps.h"
#include "dsp/FastMath.h"
#include "dsp/Math.h"
#include "dsp/Oscillator.h"

namespace vrelbazzit {

using dsp::Clamp;
using dsp::AdvancePhase;
using dsp::LimitIncrement;

double SynthCore::Wave(double t, double dt, double pulse, double width, int shape, bool fine) {
  return dsp::Wave(t, dt, pulse, width, shape, fine);
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

}  // namespace

bool SynthCore::RestingPitchRatios(Voice& voice, const VoiceFrame& fr, double& ratio1, double& ratio2) {
  // At rest: a glide step would leave both pitches where they are.
  if (voice.pitch1 < 0.0 || voice.pitch2 < 0.0) return false;
  if (voice.pitch1 + fr.glide * (voice.note1 - voice.pitch1) != voice.pitch1 ||
      voice.pitch2 + fr.glide * (voice.note2 - voice.pitch2) != voice.pitch2)
    return false;
  ratio1 = voice.pitchRatio1.Get(fr.semisBase1 + voice.pitch1, steps::PitchRatio);
  ratio2 = voice.pitchRatio2.Get(fr.semisBase2 + voice.pitch2, steps::PitchRatio);
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
    const double bend = dsp::Exp2(Clamp(w1, -1.0, 1.0) * fr.biteDepth);
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
  AdvancePhase(voice.phase1, inc1);
  AdvancePhase(voice.phase2, inc2b);
  AdvancePhase(voice.layerPhase1, layerInc1);
  AdvancePhase(voice.layerPhase2, layerInc2);
  AdvancePhase(voice.subPhase, 0.5 * inc1);

  return MixOscillators(fr, w1, w2, w3, w4, dsp::SinTwoPi(voice.subPhase), RingAmount(voice, fr));
}

}  // namespace vrelbazzit
