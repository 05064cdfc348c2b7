// One voice's sample: envelopes, oscillators, fuzz, drive, the high-pass and
// the resonant low-pass with their modulation, and the post-filter saturation.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "SynthCore.h"
#include "VoiceLanes.h"
#include "VoiceSteps.h"
#include "dsp/Envelope.h"
#include "dsp/FastMath.h"
#include "dsp/Math.h"

namespace vrelbazzit {

using dsp::Clamp;

SynthCore::VoiceFrame SynthCore::MakeVoiceFrame(double lfo, double age, double motion) {
  VoiceFrame fr;
  FillVoiceFrame(fr, age, motion);
  FrameSample(fr, lfo);
  return fr;
}

void SynthCore::FillVoiceFrame(VoiceFrame& fr, double age, double motion) {
  const double s = sampleRate;
  auto coef = [s](double t) { return dsp::OnePoleCoefficient(std::max(t, 0.001), s); };
  fr.age = age;
  fr.motion = motion;

  fr.amp = {mAttackCoef.Get(params[kAttack], coef), mAmpDecayCoef.Get(params[kAmpDecay], coef), mSustainCoef,
            mReleaseCoef.Get(params[kRelease], coef), params[kAmpSustain]};
  fr.filter = {mFilterAttackCoef.Get(params[kFilterAttack], coef), mFilterDecayCoef.Get(params[kFilterDecay], coef),
               mSustainCoef, mFilterReleaseCoef.Get(params[kFilterRelease], coef), params[kFilterSustain]};

  // Fuzz shape: the warmth term v stays 0 until the effective fuzz passes 60 %.
  const double u = fuzzAmount;
  const double over = Clamp((u - 0.6) / 0.4, 0.0, 1.0);
  fr.fuzz = u;
  fr.warmth = over * over * (0.25 + 0.75 * params[kFuzzWarmth]);
  fr.fuzzDrive = 1.0 + 18.0 * u * u - 8.0 * fr.warmth;
  fr.fuzzNorm = mFuzzNorm.Get(fr.fuzzDrive, [](double x) { return dsp::Tanh(x); });
  fr.bodyDrive = 1.0 + 1.4 * params[kBody];

  // Oscillator tuning shared by all voices (the cents that move from sample
  // to sample are added by FrameSample).
  fr.glide = mGlideCoef.Get(params[kGlide], coef);
  fr.semisBase1 = 12.0 * (dsp::NearestInt(4.0 * params[kOsc1Range]) - 2) - 69.0 + 2.0 * pitchBend;
  fr.semisBase2 = 12.0 * (dsp::NearestInt(4.0 * params[kOsc2Range]) - 2) - 69.0 + 2.0 * pitchBend;

  // Fat layers 3 to 22 cents apart, scaled 0.8 to 1.2 by Fat Tune.
  const double d = (0.8 + 0.4 * params[kFatTune]) * (3.0 + 19.0 * fatAmount) / 1200.0;
  fr.layerUp = mFatRatio.Get(d, [](double x) { return std::exp2(x); });
  fr.layerDown = mFatRatioDown.Get(d, [](double x) { return std::exp2(-x); });

  fr.width = 0.15 + 0.7 * params[kPulseWidth];
  fr.pulse1 = params[kOsc1Pulse];
  fr.pulse2 = params[kOsc2Pulse];
  fr.shape1 = std::clamp(dsp::NearestInt(6.0 * params[kOsc1Wave]), 0, 6);
  fr.shape2 = std::clamp(dsp::NearestInt(6.0 * params[kOsc2Wave]), 0, 6);
  fr.fine1 = params[kOsc1WaveFine] >= 0.5;
  fr.fine2 = params[kOsc2WaveFine] >= 0.5;
  fr.biteDepth = 0.65 * params[kVrelBite] * params[kVrelBite];
  fr.fatMix = 0.72 * fatAmount;
  fr.subLevel = 0.22 * params[kBody] + 0.18 * fatAmount;
  fr.osc1Level = gains.osc1Level;
  fr.osc2Level = gains.osc2Level;
  fr.ring = gains.ring;
}

void SynthCore::TuneExponents(const VoiceFrame& fr, double lfo, double walk, double drift0, double drift1,
                              double& octaves1, double& octaves2) const {
  const double age = fr.age;
  const double lfoCents = 30.0 * params[kLfoPitch] * fr.motion * lfo;
  const double ageCents = 5.0 * age * age * walk;
  const double slowCents = 0.03 * drift0 + 0.1 * age * drift1;
  const double bodyCents = 8.0 * params[kBody];
  const double cents1 = ageCents + lfoCents - bodyCents + osc1Offset + slowCents;
  const double cents2 = (params[kOsc2Fine] - 0.5) * 100.0 + lfoCents - ageCents + bodyCents + osc2Offset - slowCents;
  octaves1 = 0.01 * cents1 * (1.0 / 12);
  octaves2 = 0.01 * cents2 * (1.0 / 12);
}

void SynthCore::FrameSample(VoiceFrame& fr, double lfo) {
  fr.lfo = lfo;
  double octaves1, octaves2;
  TuneExponents(fr, lfo, ageDrift, driftValue[0], driftValue[1], octaves1, octaves2);
  fr.tuneFactor1 = 440.0 * dsp::Exp2(octaves1) * mInvRate;
  fr.tuneFactor2 = 440.0 * dsp::Exp2(octaves2) * mInvRate;
}

void SynthCore::TuneBlock(int m) {
  // TuneExponents over the block, with the factors that hold through it taken
  // first (each is the leading part of its product, so every sample's value
  // is the same); the loop then vectorises.
  Block& b = mBlock;
  const VoiceFrame& fr = mFrame;
  const double age = fr.age;
  const double lfoScale = 30.0 * params[kLfoPitch] * fr.motion;
  const double walkScale = 5.0 * age * age;
  const double drift1Scale = 0.1 * age;
  const double bodyCents = 8.0 * params[kBody];
  const double fineCents = (params[kOsc2Fine] - 0.5) * 100.0;
  const double offset1 = osc1Offset, offset2 = osc2Offset;
  for (int i = 0; i < m; ++i) {
    const double lfoCents = lfoScale * b.lfo[i];
    const double ageCents = walkScale * b.ageDrift[i];
    const double slowCents = 0.03 * b.drift0[i] + drift1Scale * b.drift1[i];
    const double cents1 = ageCents + lfoCents - bodyCents + offset1 + slowCents;
    const double cents2 = fineCents + lfoCents - ageCents + bodyCents + offset2 - slowCents;
    b.tune1[i] = 0.01 * cents1 * (1.0 / 12);
    b.tune2[i] = 0.01 * cents2 * (1.0 / 12);
  }
  const int padded = dsp::Batches(m);
  mKernels->exp2(b.tune1, b.tune1, padded);
  mKernels->exp2(b.tune2, b.tune2, padded);
}

double SynthCore::RenderVoice(Voice& voice, double lfo, double age, double motion) {
  return RenderVoice(voice, MakeVoiceFrame(lfo, age, motion));
}

double SynthCore::RenderVoice(Voice& voice, const VoiceFrame& fr) {
  StepEnvelopes(voice, fr);
  return RenderVoiceBody(voice, fr);
}

namespace {
bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// The envelopes of count voices stepped together sample by sample, their
// states in locals (registers, for a count known when compiling), so that the
// voices' steps overlap.
template <int kCount>
int StepEnvelopesTogether(SynthCore::Voice* const* voices, const dsp::EnvelopeSettings& ampSettings,
                          const dsp::EnvelopeSettings& filterSettings, int n, double* amp, double* filter,
                          int stride) {
  bool gate[kCount], ampLatch[kCount], filterLatch[kCount];
  int ampStage[kCount], filterStage[kCount];
  double ampLevel[kCount], filterLevel[kCount];
  for (int k = 0; k < kCount; ++k) {
    const SynthCore::Voice& v = *voices[k];
    gate[k] = v.active;
    ampLatch[k] = v.ampGate;
    filterLatch[k] = v.filterGate;
    ampStage[k] = v.ampStage;
    filterStage[k] = v.filterStage;
    ampLevel[k] = v.ampLevel;
    filterLevel[k] = v.filterLevel;
  }
  int s = 0;
  for (; s < n; ++s) {
    bool latch[kCount];
    int stage[kCount];
    double level[kCount];
    bool sounding = true;
    for (int k = 0; k < kCount; ++k) {
      latch[k] = ampLatch[k];
      stage[k] = ampStage[k];
      level[k] = ampLevel[k];
      dsp::EnvelopeStep(gate[k], latch[k], stage[k], level[k], ampSettings);
      sounding &= level[k] > SynthCore::kSilentLevel;
    }
    if (!sounding) break;
    // A step that leaves every envelope as it was (bit for bit) would do so
    // on every later sample too: nothing it reads changes within the run.
    bool resting = true;
    for (int k = 0; k < kCount; ++k) {
      const bool filterLatchBefore = filterLatch[k];
      const int filterStageBefore = filterStage[k];
      const double filterLevelBefore = filterLevel[k];
      resting &= latch[k] == ampLatch[k] && stage[k] == ampStage[k] && SameBits(level[k], ampLevel[k]);
      ampLatch[k] = latch[k];
      ampStage[k] = stage[k];
      ampLevel[k] = level[k];
      dsp::EnvelopeStep(gate[k], filterLatch[k], filterStage[k], filterLevel[k], filterSettings);
      resting &= filterLatch[k] == filterLatchBefore && filterStage[k] == filterStageBefore &&
                 SameBits(filterLevel[k], filterLevelBefore);
      amp[s * stride + k] = ampLevel[k];
      filter[s * stride + k] = filterLevel[k];
    }
    if (resting) {
      for (int r = s + 1; r < n; ++r) {
        for (int k = 0; k < kCount; ++k) {
          amp[r * stride + k] = ampLevel[k];
          filter[r * stride + k] = filterLevel[k];
        }
      }
      s = n;
      break;
    }
  }
  for (int k = 0; k < kCount; ++k) {
    SynthCore::Voice& v = *voices[k];
    v.ampGate = ampLatch[k];
    v.filterGate = filterLatch[k];
    v.ampStage = ampStage[k];
    v.filterStage = filterStage[k];
    v.ampLevel = ampLevel[k];
    v.filterLevel = filterLevel[k];
  }
  return s;
}
}  // namespace

int SynthCore::StepEnvelopesWhileSounding(Voice* const* lanes, int count, const VoiceFrame& fr, int n, double* amp,
                                          double* filter, int stride) {
  switch (count) {
    case 1: return StepEnvelopesTogether<1>(lanes, fr.amp, fr.filter, n, amp, filter, stride);
    case 2: return StepEnvelopesTogether<2>(lanes, fr.amp, fr.filter, n, amp, filter, stride);
    case 3: return StepEnvelopesTogether<3>(lanes, fr.amp, fr.filter, n, amp, filter, stride);
    default: return StepEnvelopesTogether<4>(lanes, fr.amp, fr.filter, n, amp, filter, stride);
  }
}

double SynthCore::RenderVoiceBody(Voice& voice, const VoiceFrame& fr) {
  // 4. Voice signal.
  double y = 0.0;
  if (voice.note1 >= 0 && voice.ampLevel > kSilentLevel) {
    const double osc = OscillatorSection(voice, fr);
    y = dsp::Tanh(DriveInput(voice, fr, voice.ampLevel, osc, dsp::Tanh(FuzzInput(fr, osc))));
  }

  // 5. Filter coefficients, on the first sample after a reset and every 16 after.
  if (FilterDesignDue(voice)) DesignVoiceFilters(voice, fr);

  // 6-7. High-pass (input minus its low-pass output), then the resonant low-pass.
  const double lp = FilterVoice(voice, y);

  // 8. Post-filter saturation, bypassed exactly while v is 0.
  const double v = fr.warmth;
  return VoiceOutput(voice, fr, lp, v != 0.0 ? dsp::Tanh(SaturationInput(fr, lp)) : 0.0);
}

void SynthCore::SetSharedLanes(const VoiceFrame& fr) {
  VoiceLanes& l = mLanes;
  l.shape1 = fr.shape1;
  l.shape2 = fr.shape2;
  l.fine1 = fr.fine1;
  l.fine2 = fr.fine2;
  l.pulse1 = fr.pulse1;
  l.pulse2 = fr.pulse2;
  l.width = fr.width;
  l.layerUp = fr.layerUp;
  l.layerDown = fr.layerDown;
  l.biteDepth = fr.biteDepth;
  l.fatMix = fr.fatMix;
  l.osc1Level = fr.osc1Level;
  l.osc2Level = fr.osc2Level;
  l.subLevel = fr.subLevel;
  l.fuzz = fr.fuzz;
  l.warmth = fr.warmth;
  l.fuzzDrive = fr.fuzzDrive;
  l.fuzzNorm = fr.fuzzNorm;
  l.bodyDrive = fr.bodyDrive;
  l.lowpassCoef = mFuzzLowpassCoef;
}

bool SynthCore::GatherVoice(Voice& voice, const VoiceFrame& fr, int lane) {
  // Lanes take sounding voices whose shapes are not crossfading.
  if (!(voice.note1 >= 0 && voice.ampLevel > kSilentLevel)) return false;
  UpdateShapes(voice, fr);
  if (voice.fade1 < 1.0 || voice.fade2 < 1.0) return false;

  VoiceLanes& l = mLanes;
  const auto i = static_cast<size_t>(lane);
  OscillatorIncrements(voice, fr, l.inc1[i], l.inc2[i]);
  l.ring = RingAmount(voice, fr);
  if (FilterDesignDue(voice)) DesignVoiceFilters(voice, fr);
  l.ampLevel[i] = voice.ampLevel;
  GatherLaneStates(voice, lane);
  return true;
}

void SynthCore::GatherLaneStates(const Voice& voice, int lane) {
  VoiceLanes& l = mLanes;
  const auto i = static_cast<size_t>(lane);
  l.velocity[i] = voice.velocity;
  l.phase1[i] = voice.phase1;
  l.phase2[i] = voice.phase2;
  l.layerPhase1[i] = voice.layerPhase1;
  l.layerPhase2[i] = voice.layerPhase2;
  l.subPhase[i] = voice.subPhase;
  l.fuzzLowpass[i] = voice.fuzzLowpass;
  l.outputLowpass[i] = voice.outputLowpass;
  l.lpA1[i] = voice.lowpass.a1;
  l.lpA2[i] = voice.lowpass.a2;
  l.lpA3[i] = voice.lowpass.a3;
  l.lpIc1[i] = voice.lowpass.ic1;
  l.lpIc2[i] = voice.lowpass.ic2;
  l.hpA1[i] = voice.highpass.a1;
  l.hpA2[i] = voice.highpass.a2;
  l.hpA3[i] = voice.highpass.a3;
  l.hpIc1[i] = voice.highpass.ic1;
  l.hpIc2[i] = voice.highpass.ic2;
}

void SynthCore::PadLanes(int samples) {
  VoiceLanes& l = mLanes;
  constexpr int kLanes = VoiceLanes::kLanes;
  for (int i = l.count; i < kLanes; ++i) {
    for (double* a : {l.velocity, l.phase1, l.phase2, l.layerPhase1, l.layerPhase2, l.subPhase, l.fuzzLowpass,
                      l.outputLowpass, l.lpA1, l.lpA2, l.lpA3, l.lpIc1, l.lpIc2, l.hpA1, l.hpA2, l.hpA3, l.hpIc1,
                      l.hpIc2})
      a[i] = a[0];
    for (int s = 0; s < samples; ++s)
      for (double* a : {l.inc1, l.inc2, l.ampLevel}) a[s * kLanes + i] = a[s * kLanes];
  }
}

double SynthCore::ScatterVoice(Voice& voice, int lane) const {
  const VoiceLanes& l = mLanes;
  const auto i = static_cast<size_t>(lane);
  voice.phase1 = l.phase1[i];
  voice.phase2 = l.phase2[i];
  voice.layerPhase1 = l.layerPhase1[i];
  voice.layerPhase2 = l.layerPhase2[i];
  voice.subPhase = l.subPhase[i];
  voice.fuzzLowpass = l.fuzzLowpass[i];
  voice.outputLowpass = l.outputLowpass[i];
  voice.lowpass.ic1 = l.lpIc1[i];
  voice.lowpass.ic2 = l.lpIc2[i];
  voice.highpass.ic1 = l.hpIc1[i];
  voice.highpass.ic2 = l.hpIc2[i];
  return l.out[static_cast<size_t>((l.samples - 1) * VoiceLanes::kLanes + lane)];
}

bool SynthCore::VoiceAtRest(const Voice& v) {
  return !v.active && !v.ampGate && !v.filterGate && v.ampStage == kIdle && v.filterStage == kIdle &&
         v.ampLevel == 0.0 && v.filterLevel == 0.0 && v.outputLowpass == 0.0 &&
         v.lowpass.ic1 == 0.0 && v.lowpass.ic2 == 0.0 && v.highpass.ic1 == 0.0 && v.highpass.ic2 == 0.0;
}

void SynthCore::DesignVoiceFilters(Voice& voice, const VoiceFrame& fr, double filterLevel) {
  const double s = sampleRate;
  auto keyPressure = [this](int note) { return note >= 0 ? notePressure[static_cast<size_t>(note)] : 0.0; };
  const double pressure =
      Clamp((keyPressure(voice.note1) + keyPressure(voice.note2)) / 2.0 + channelPressure, 0.0, 1.0);

  const double octaves = 0.8 * pressure + 0.08 * fr.age * ageDrift + 1.5 * fr.motion * params[kLfoFilter] * fr.lfo +
                         4.0 * params[kFilterEnvAmount] * filterLevel + cutoffOffset +
                         0.0005 * driftValue[0] + 0.002 * fr.age * driftValue[1];
  const double base = mCutoffBase.Get(params[kCutoff], [](double c) { return 40.0 * std::pow(350.0, c); });
  double fc = base * std::exp2(octaves);
  fc = fc < 35.0 ? 35.0 : std::min(fc, 0.43 * s);

  const double g = std::tan(dsp::kPi * fc / s);
  const double res = params[kResonance];
  voice.lowpass.Design(g, 1.0 / (8.0 * res * res + 0.55));

  const double highpassG = mHighpassG.Get(params[kHighPass], [s](double h) {
    const double fh = Clamp(20.0 * std::pow(90.0, h), 20.0, 0.4 * s);
    return std::tan(dsp::kPi * fh / s);
  });
  voice.highpass.Design(highpassG, 1.0 / 0.707);
}

}  // namespace vrelbazzit
