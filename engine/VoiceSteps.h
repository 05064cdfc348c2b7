// The per-sample steps of a voice and of the voice sum, defined here so that
// both the sample-by-sample path and the block paths (other files) get them
// inlined: they run several times per sample.
#pragma once

#include <cmath>

#include "SynthCore.h"
#include "dsp/Envelope.h"
#include "dsp/Math.h"
#include "dsp/Oscillator.h"

namespace vrelbazzit {

namespace steps {
inline constexpr double kLevelScale = 0.46;       // the oscillators' level mix
inline constexpr double kDeclickFloor = 1e-9;     // below this a declick offset is set to exactly 0
// The poly level is set to its target once this close to it, so a single voice
// is again divided by exactly 1.
inline constexpr double kLevelSettle = 1e-12;

// 2^(semitones / 12), the pitch ratio of a note number's distance from A4.
inline double PitchRatio(double semis) { return std::exp2(semis * (1.0 / 12)); }
}  // namespace steps

inline void SynthCore::StepEnvelopes(Voice& voice, const VoiceFrame& fr) {
  // 1-2. Envelopes.
  dsp::EnvelopeStep(voice.active, voice.ampGate, voice.ampStage, voice.ampLevel, fr.amp);
  dsp::EnvelopeStep(voice.active, voice.filterGate, voice.filterStage, voice.filterLevel, fr.filter);
}

inline void SynthCore::GlideRatios(Voice& voice, const VoiceFrame& fr, double& ratio1, double& ratio2) {
  // 1. Glide in note-number space.
  if (voice.pitch1 < 0.0) voice.pitch1 = voice.note1;
  if (voice.pitch2 < 0.0) voice.pitch2 = voice.note2;
  voice.pitch1 += fr.glide * (voice.note1 - voice.pitch1);
  voice.pitch2 += fr.glide * (voice.note2 - voice.pitch2);
  ratio1 = voice.pitchRatio1.Get(fr.semisBase1 + voice.pitch1, steps::PitchRatio);
  ratio2 = voice.pitchRatio2.Get(fr.semisBase2 + voice.pitch2, steps::PitchRatio);
}

inline void SynthCore::OscillatorIncrements(Voice& voice, const VoiceFrame& fr, double& inc1, double& inc2) {
  // 2-4. Increments: 440 x 2^((semitones from A4 + cents / 100) / 12) / rate, the
  // cents part shared by all voices (in the frame).
  double ratio1, ratio2;
  GlideRatios(voice, fr, ratio1, ratio2);
  inc1 = dsp::LimitIncrement(ratio1 * fr.tuneFactor1);
  inc2 = dsp::LimitIncrement(ratio2 * fr.tuneFactor2);
}

inline double SynthCore::MixOscillators(const VoiceFrame& fr, double w1, double w2, double w3, double w4, double sub,
                                 double r) {
  // 14. Oscillators with their layers.
  const double f = fr.fatMix;
  const double m1 = (w1 + f * w3) / (1.0 + f);
  const double m2 = (w2 + f * w4) / (1.0 + f);

  // 15-16. Sub oscillator one octave below oscillator 1, and the level mix.
  const double mix = steps::kLevelScale * (fr.osc1Level * m1 + fr.osc2Level * m2) + fr.subLevel * sub;

  // 17. Ring.
  return (1.0 - r) * mix + r * m1 * m2;
}

inline double SynthCore::FuzzInput(const VoiceFrame& fr, double osc) {
  // Asymmetric fuzz.
  return (osc + 0.14 * fr.fuzz * osc * osc) * fr.fuzzDrive;
}

inline double SynthCore::DriveInput(Voice& voice, const VoiceFrame& fr, double amp, double osc, double fuzzTanh) const {
  // Warmth lowers the drive and blends in a 4800 Hz low-passed copy.
  const double u = fr.fuzz;
  const double v = fr.warmth;
  const double shaped = fuzzTanh / fr.fuzzNorm;
  voice.fuzzLowpass = dsp::FlushTiny(voice.fuzzLowpass + mFuzzLowpassCoef * (shaped - voice.fuzzLowpass));
  const double warm = shaped + 0.7 * v * (voice.fuzzLowpass - shaped);
  const double p = (1.0 - u) * osc + u * warm;
  return fr.bodyDrive * amp * (0.45 + 0.55 * voice.velocity) * p;
}

inline double SynthCore::FilterVoice(Voice& voice, double y) {
  const double h = y - voice.highpass.Process(y).lp;
  return voice.lowpass.Process(h).lp;
}

inline double SynthCore::SaturationInput(const VoiceFrame& fr, double lp) { return (1.0 + 1.8 * fr.warmth) * lp; }

inline double SynthCore::VoiceOutput(Voice& voice, const VoiceFrame& fr, double lp, double saturationTanh) const {
  const double v = fr.warmth;
  double q = lp;
  if (v != 0.0) {
    const double m = 1.0 + 1.8 * v;
    q = lp + v * ((saturationTanh / m) * (1.0 + 0.7 * v) - lp);
  }
  voice.outputLowpass = dsp::FlushTiny(voice.outputLowpass + mFuzzLowpassCoef * (q - voice.outputLowpass));
  return q + 0.6 * v * (voice.outputLowpass - q);
}

inline void SynthCore::BlockFrameSample(VoiceFrame& fr, int i) {
  const Block& b = mBlock;
  fr.lfo = b.lfo[i];
  fr.tuneFactor1 = 440.0 * b.tune1[i] * mInvRate;
  fr.tuneFactor2 = 440.0 * b.tune2[i] * mInvRate;
}

inline double SynthCore::MixDown(double sum, int count) {
  const double c = mSmoothCoef;
  // Declick: what a reset voice last gave fades out over 3 ms instead of
  // vanishing in one sample.
  if (mDeclicking) {
    mDeclicking = false;
    for (double& offset : declickOffset) {
      if (offset == 0.0) continue;
      sum += offset;
      offset *= mDeclickDecay;
      if (std::fabs(offset) < steps::kDeclickFloor) offset = 0.0;
      else mDeclicking = true;
    }
  }

  // Several voices are summed with count^0.25, so chords stay even in level;
  // the divisor glides, so held notes keep their level when the count changes.
  const double levelTarget = voiceMode == kPoly && count >= 2 ? mPolyNorm[count] : 1.0;
  if (polyLevel != levelTarget) {
    polyLevel += c * (levelTarget - polyLevel);
    if (std::fabs(levelTarget - polyLevel) < steps::kLevelSettle) polyLevel = levelTarget;
  }
  if (polyLevel != 1.0) sum /= polyLevel;
  return sum;
}

}  // namespace vrelbazzit
