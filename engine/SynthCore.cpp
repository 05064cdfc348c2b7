// SynthCore: construction, parameter intake, sample-rate set-up and the
// per-sample driver.
#include "SynthCore.h"

#include <algorithm>
#include <cmath>

#include "dsp/FastMath.h"
#include "dsp/Math.h"
#include "dsp/Envelope.h"
#include "dsp/Random.h"

namespace vrelbazzit {

using dsp::Clamp;
using dsp::NearestInt;

namespace {
constexpr double kMinSampleRate = 8000.0;
constexpr double kMaxSampleRate = 768000.0;  // bounds the echo lines at 2 x 43 MB
constexpr double kEchoLineSeconds = 7.0;   // longest echo: 2 beats at 30 BPM x 1.5 = 6 s
constexpr double kWidthLineSeconds = 0.1;  // longest width tap: 11 ms + 2.8 ms x 1.35
constexpr double kSmoothingSeconds = 0.005;
constexpr double kDeclickSeconds = 0.003;  // a reset voice's last value fades out over 3 ms
constexpr double kDeclickFloor = 1e-9;     // below this an offset is set to exactly 0
// The poly level is set to its target once this close to it, so a single voice
// is again divided by exactly 1.
constexpr double kLevelSettle = 1e-12;
// The width taps and the echo wobble turn at these fractions of the LFO's rate.
constexpr double kWidthRatio1 = 0.64, kWidthRatio2 = 0.57, kWobbleRatio = 0.7;
constexpr double kShapeFadeSeconds = 0.008;  // a wave-shape change crossfades over 8 ms
constexpr double kAgeTargetSeconds = 0.12;
constexpr double kAgeFollowSeconds = 0.22;
constexpr double kBankQ = 2.2;

// Divisions of the tempo-synced LFO and echo, in beats, for sync 1..5.
double SyncBeats(int sync) {
  static constexpr double kBeats[] = {0.25, 0.5, 0.75, 1.0, 2.0};
  return kBeats[std::min(sync, 5) - 1];
}

// A phase 0..1 advanced by inc, wrapping at 1.
void AdvancePhase(double& phase, double inc) {
  phase += inc;
  if (phase >= 1.0) phase -= 1.0;
}

// One step of the 5 ms one-pole, flushed to exactly 0 near 0; true while the
// value has not reached its target.
bool Follow(double& x, double target, double c) {
  if (x == target) return false;
  x = dsp::FlushTiny(x + c * (target - x));
  return x != target;
}

// One step of the 5 ms one-pole, flushed to exactly 0 near 0. A value at its
// target (and not in the flushed range) would come out unchanged, so it is
// left as it is.
void Smooth(double& x, double target, double c) {
  if (x == target && !(x != 0.0 && std::fabs(x) < dsp::kTiny)) return;
  x = dsp::FlushTiny(x + c * (target - x));
}

bool IsGainControl(int index) {
  switch (index) {
    case kAmpLevel: case kOsc1Level: case kOsc2Level: case kRing: case kBankMix: case kSpace: return true;
    default: return index >= kBand250 && index <= kBand2k8;
  }
}
}  // namespace

SynthCore::SynthCore() {
  for (int i = 0; i < kNumParams; ++i) {
    const ParamSpec& decl = kParamSpecs[static_cast<size_t>(i)];
    params[i] = Clamp(ToEngineValue(decl.unit, decl.defaultValue), EngineMin(decl.unit), EngineMax(decl.unit));
  }
  for (Voice& v : voices) v = Voice{};
  for (int n = 0; n < kNumVoices; ++n) mPolyNorm[n] = n < 2 ? 1.0 : std::pow(n, 0.25);
  UpdateRateConstants();
  ResetGlidingValues();
  SetCircuitSeed(CreateCircuitSeed());
}

void SynthCore::ResetGlidingValues() {
  gains.ampLevel = params[kAmpLevel];
  gains.osc1Level = params[kOsc1Level];
  gains.osc2Level = params[kOsc2Level];
  gains.ring = params[kRing];
  gains.bankMix = params[kBankMix];
  gains.space = params[kSpace];
  for (int b = 0; b < kNumBands; ++b) gains.bands[b] = params[kBand250 + b];
  spanShift = 0.0;
  polyLevel = 1.0;
  for (int i = 0; i < kNumVoices; ++i) voiceOutput[i] = declickOffset[i] = 0.0;
  mGainsGliding = false;
  mDeclicking = false;
}

void SynthCore::UpdateRateConstants() {
  const double s = sampleRate;
  mInvRate = 1.0 / s;
  mSmoothCoef = dsp::OnePoleCoefficient(kSmoothingSeconds, s);
  mEchoTimeCoef = dsp::OnePoleCoefficient(0.04, s);
  mBodyCoef = dsp::OnePoleCornerCoefficient(170.0, s);
  mFuzzLowpassCoef = dsp::OnePoleCornerCoefficient(4800.0, s);
  mSustainCoef = dsp::OnePoleCoefficient(dsp::kSustainFollow, s);
  mFadeStep = 1.0 / (kShapeFadeSeconds * s);
  mDeclickDecay = std::exp(-1.0 / (kDeclickSeconds * s));
  mAgeFollow = 1.0 / (kAgeFollowSeconds * s);
  mAgeReload = static_cast<int>(kAgeTargetSeconds * s);
  if (mAgeReload < 2) mAgeReload = 1;
  for (dsp::Memo* m : {&mAttackCoef, &mAmpDecayCoef, &mReleaseCoef, &mFilterAttackCoef, &mFilterDecayCoef,
                       &mFilterReleaseCoef, &mGlideCoef, &mLfoRate, &mBodyBoost, &mFatRatio, &mFatRatioDown, &mBankFocus,
                       &mLfoStep, &mDriftStep[0], &mDriftStep[1]})
    m->Clear();
}

void SynthCore::SetSampleRate(double rate) {
  // A rate that is not a number keeps the current one; the lines are still
  // cleared and the voices reset as for any new rate.
  if (std::isfinite(rate)) sampleRate = std::clamp(rate, kMinSampleRate, kMaxSampleRate);
  UpdateRateConstants();

  spaceLeft.assign(static_cast<size_t>(kEchoLineSeconds * sampleRate), 0.0);
  spaceRight.assign(spaceLeft.size(), 0.0);
  spaceWrite = 0;
  spaceTimes[0] = kFreeEchoLeft;
  spaceTimes[1] = kFreeEchoRight;

  widthBuffer.assign(static_cast<size_t>(kWidthLineSeconds * sampleRate) + 2, 0.0);
  widthWrite = 0;
  mWidthZeros = widthBuffer.size();
  mSpaceZeros = spaceLeft.size();
  mBankSilent = true;

  bodyLowpass = 0.0;

  fatAmount = Switch(kFatOn) ? params[kFat] : 0.0;
  widthAmount = Switch(kWidthOn) ? params[kWidth] : 0.0;
  fuzzAmount = Switch(kFuzzOn) ? params[kFuzz] : 0.0;
  outputGain = params[kMasterGain];
  ResetGlidingValues();

  for (int b = 0; b < kNumBands; ++b) {
    const double f = Clamp(bankCenters[b], 20.0, 0.43 * sampleRate);
    bankFilters[static_cast<size_t>(b)].Design(std::tan(dsp::kPi * f / sampleRate), 1.0 / kBankQ);
    bankFilters[static_cast<size_t>(b)].ClearState();
  }

  for (Voice& v : voices) v = Voice{};
  RefreshNotes();
  ageCountdown = 0;
}

void SynthCore::SetParameter(int index, double value) {
  if (index < 0 || index >= kNumParams || std::isnan(value)) return;
  const EngineUnit unit = kParamSpecs[static_cast<size_t>(index)].unit;
  const double lo = EngineMin(unit);
  params[index] = value < lo ? lo : std::min(value, EngineMax(unit));
  if (IsGainControl(index)) mGainsGliding = true;

  if (index == kVoiceMode) {
    const int mode = std::clamp(NearestInt(2.0 * params[index]), 0, 2);
    if (mode != voiceMode) {
      voiceMode = mode;
      RebuildVoices();
    }
  }
}

double SynthCore::NextNoise() { return dsp::XorShift64Star(noiseState); }

std::pair<double, double> SynthCore::Tick() {
  if (spaceLeft.empty()) return {0.0, 0.0};  // SetSampleRate has not run yet: no delay lines
  const double s = sampleRate;

  // 1. Effect amounts follow their targets with 5 ms; a switched-off effect fades out.
  const double c = mSmoothCoef;
  Smooth(fatAmount, Switch(kFatOn) ? params[kFat] : 0.0, c);
  Smooth(widthAmount, Switch(kWidthOn) ? params[kWidth] : 0.0, c);
  Smooth(fuzzAmount, Switch(kFuzzOn) ? params[kFuzz] : 0.0, c);
  Smooth(outputGain, params[kMasterGain], c);
  if (mGainsGliding) {
    bool moving = Follow(gains.ampLevel, params[kAmpLevel], c);
    moving |= Follow(gains.osc1Level, params[kOsc1Level], c);
    moving |= Follow(gains.osc2Level, params[kOsc2Level], c);
    moving |= Follow(gains.ring, params[kRing], c);
    moving |= Follow(gains.bankMix, params[kBankMix], c);
    moving |= Follow(gains.space, params[kSpace], c);
    for (int b = 0; b < kNumBands; ++b) moving |= Follow(gains.bands[b], params[kBand250 + b], c);
    mGainsGliding = moving;
  }

  // 2. Motion and age.
  const double motion = Clamp(modWheel * 0.6 + params[kMotion], 0.0, 1.0);
  const double age = params[kAge];

  // 3. Age random walk: a new target every 0.12 s, followed with 0.22 s.
  const int before = ageCountdown--;
  if (before < 2) {
    ageCountdown = mAgeReload;
    ageTarget = 2.0 * NextNoise() - 1.0;
  }
  ageDrift += (ageTarget - ageDrift) * mAgeFollow;

  // 4. Slow drift sines. Only the voices read their values, so those are
  // taken below, on samples that render a voice.
  for (int i = 0; i < 2; ++i) {
    driftPhase[i] += mDriftStep[i].Get(driftRate[i], [s](double r) { return r / s; });
    if (driftPhase[i] >= 1.0) driftPhase[i] -= 1.0;
  }

  // 5. Motion LFO, free or synced to the host tempo.
  const int sync = NearestInt(5.0 * params[kMotionSync]);
  double rate;
  if (sync <= 0)
    rate = mLfoRate.Get(params[kLfoRate], [](double r) { return 0.08 * std::pow(100.0, r); });
  else
    rate = (tempo / 60.0) / SyncBeats(sync);
  const double step = mLfoStep.Get(rate, [s](double r) { return r / s; });
  AdvancePhase(lfoPhase, step);
  AdvancePhase(widthPhase1, kWidthRatio1 * step);
  AdvancePhase(widthPhase2, kWidthRatio2 * step);
  AdvancePhase(wobblePhase, kWobbleRatio * step);

  // 6. Voices. The LFO's value and the drift sines are computed only on
  // samples that render a voice, their only readers.
  VoiceFrame frame;
  auto frameNow = [&]() -> const VoiceFrame& {
    for (int i = 0; i < 2; ++i) driftValue[i] = dsp::SinTwoPi(driftPhase[i]);
    FillVoiceFrame(frame, dsp::SinTwoPi(lfoPhase), age, motion);
    return frame;
  };
  double sum = 0.0;
  int count = 0;
  if (voiceMode == kPoly) {
    // With a lanes kernel, the sounding voices are rendered together; the
    // others, and every voice without one, one by one.
    auto renders = [](const Voice& v) { return v.note1 >= 0 && (v.active || v.ampLevel > kSilentLevel); };
    int toRender = 0;
    for (int i = 1; i < kNumVoices; ++i) toRender += renders(voices[i]) ? 1 : 0;
    // One voice alone is quicker on its own than in a vector of four lanes.
    const bool useLanes = mKernels->voiceLanes && toRender >= 2;
    bool haveFrame = false;
    bool rendered[kNumVoices] = {};
    int laneVoice[VoiceLanes::kLanes] = {};
    mLanes.count = 0;
    for (int i = 1; i < kNumVoices; ++i) {
      Voice& v = voices[i];
      if (renders(v)) {
        if (!haveFrame) {
          frameNow();
          haveFrame = true;
        }
        rendered[i] = true;
        ++count;
        if (!useLanes) {
          voiceOutput[i] = RenderVoice(v, frame);
          continue;
        }
        StepEnvelopes(v, frame);
        if (GatherVoice(v, frame, mLanes.count))
          laneVoice[mLanes.count++] = i;
        else
          voiceOutput[i] = RenderVoiceBody(v, frame);
      }
    }
    if (mLanes.count > 0) {
      SetSharedLanes(frame);
      PadLanes();
      mKernels->voiceLanes(mLanes);
      for (int lane = 0; lane < mLanes.count; ++lane)
        voiceOutput[laneVoice[lane]] = ScatterVoice(voices[laneVoice[lane]], lane);
    }
    for (int i = 1; i < kNumVoices; ++i)
      if (rendered[i]) sum += voiceOutput[i];
  } else if (voices[0].note1 >= 0) {
    Voice& v = voices[0];
    if (VoiceAtRest(v)) {
      // Released and silent: its sample is exactly 0; its filters are still
      // designed on their samples, since a new note starts from them.
      if (FilterDesignDue(v)) DesignVoiceFilters(v, frameNow());
      voiceOutput[0] = 0.0;
    } else {
      voiceOutput[0] = RenderVoice(v, frameNow());
    }
    sum = voiceOutput[0];
  }

  // Declick: what a reset voice last gave fades out over 3 ms instead of
  // vanishing in one sample.
  if (mDeclicking) {
    mDeclicking = false;
    for (double& offset : declickOffset) {
      if (offset == 0.0) continue;
      sum += offset;
      offset *= mDeclickDecay;
      if (std::fabs(offset) < kDeclickFloor) offset = 0.0;
      else mDeclicking = true;
    }
  }

  // Several voices are summed with count^0.25, so chords stay even in level;
  // the divisor glides, so held notes keep their level when the count changes.
  const double levelTarget = voiceMode == kPoly && count >= 2 ? mPolyNorm[count] : 1.0;
  if (polyLevel != levelTarget) {
    polyLevel += c * (levelTarget - polyLevel);
    if (std::fabs(levelTarget - polyLevel) < kLevelSettle) polyLevel = levelTarget;
  }
  if (polyLevel != 1.0) sum /= polyLevel;

  // 7. Output chain.
  return OutputChain(sum, age);
}

}  // namespace vrelbazzit
