// SynthCore: construction, parameter intake, sample-rate set-up and the
// per-sample driver.
#include "SynthCore.h"

#include "VoiceSteps.h"

#include <algorithm>
#include <cmath>

#include "dsp/FastMath.h"
#include "dsp/Math.h"
#include "dsp/Envelope.h"
#include "dsp/Random.h"

namespace vrelbazzit {

using dsp::Clamp;
using dsp::AdvancePhase;
using dsp::NearestInt;

namespace {
constexpr double kMinSampleRate = 8000.0;
constexpr double kMaxSampleRate = 768000.0;  // bounds the echo lines at 2 x 43 MB
constexpr double kEchoLineSeconds = 7.0;   // longest echo: 2 beats at 30 BPM x 1.5 = 6 s
constexpr double kWidthLineSeconds = 0.1;  // longest width tap: 11 ms + 2.8 ms x 1.35
constexpr double kSmoothingSeconds = 0.005;
constexpr double kDeclickSeconds = 0.003;  // a reset voice's last value fades out over 3 ms
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

// A Poly voice is rendered while its key is held or its amplitude still sounds.
bool PolyVoiceRenders(const SynthCore::Voice& v) {
  return v.note1 >= 0 && (v.active || v.ampLevel > SynthCore::kSilentLevel);
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
                       &mFilterReleaseCoef, &mGlideCoef, &mLfoRate, &mBodyBoost, &mFatRatio, &mFatRatioDown,
                       &mBankFocus, &mLfoStep, &mDriftStep[0], &mDriftStep[1], &mHighpassG})
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
    bank.Design(b, std::tan(dsp::kPi * f / sampleRate), 1.0 / kBankQ);
  }
  bank.ClearState();

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

std::pair<double, double> SynthCore::Tick() {
  double left = 0.0, right = 0.0;
  Render(&left, &right, 1);
  return {left, right};
}

void SynthCore::Render(double* left, double* right, int n) {
  if (spaceLeft.empty()) {  // SetSampleRate has not run yet: no delay lines
    for (int i = 0; i < n; ++i) left[i] = right[i] = 0.0;
    return;
  }
  while (n > 0) {
    const int done = RenderBlock(left, right, n);
    left += done;
    right += done;
    n -= done;
  }
}

bool SynthCore::SmoothControls() {
  // Effect amounts follow their targets with 5 ms; a switched-off effect fades out.
  const double c = mSmoothCoef;
  const double before[4] = {fatAmount, widthAmount, fuzzAmount, outputGain};
  Smooth(fatAmount, Switch(kFatOn) ? params[kFat] : 0.0, c);
  Smooth(widthAmount, Switch(kWidthOn) ? params[kWidth] : 0.0, c);
  Smooth(fuzzAmount, Switch(kFuzzOn) ? params[kFuzz] : 0.0, c);
  Smooth(outputGain, params[kMasterGain], c);
  bool changed = before[0] != fatAmount || before[1] != widthAmount || before[2] != fuzzAmount ||
                 before[3] != outputGain;
  if (mGainsGliding) {
    const Gains old = gains;
    bool moving = Follow(gains.ampLevel, params[kAmpLevel], c);
    moving |= Follow(gains.osc1Level, params[kOsc1Level], c);
    moving |= Follow(gains.osc2Level, params[kOsc2Level], c);
    moving |= Follow(gains.ring, params[kRing], c);
    moving |= Follow(gains.bankMix, params[kBankMix], c);
    moving |= Follow(gains.space, params[kSpace], c);
    for (int b = 0; b < kNumBands; ++b) moving |= Follow(gains.bands[b], params[kBand250 + b], c);
    bool gainsChanged = old.ampLevel != gains.ampLevel || old.osc1Level != gains.osc1Level ||
                        old.osc2Level != gains.osc2Level || old.ring != gains.ring || old.bankMix != gains.bankMix ||
                        old.space != gains.space;
    for (int b = 0; b < kNumBands; ++b) gainsChanged |= old.bands[b] != gains.bands[b];
    // A one-pole can come to rest one step short of its target; a step that
    // changes nothing changes nothing again, so the gliding ends there.
    mGainsGliding = moving && gainsChanged;
    changed |= gainsChanged;
  }
  return changed;
}

int SynthCore::RenderBlock(double* outLeft, double* outRight, int n) {
  const double s = sampleRate;
  Block& b = mBlock;

  // 1. The smoothed controls. A step that changes none of them leaves them
  // where they are for good (the targets hold still within the call), so the
  // block can be long; otherwise it is this one sample.
  const int m = SmoothControls() ? 1 : std::min(n, kBlock);

  // 2. Motion and age.
  const double motion = Clamp(modWheel * 0.6 + params[kMotion], 0.0, 1.0);
  const double age = params[kAge];

  // 3-5. The values that move from sample to sample. The noise is drawn in the
  // order of the samples: an Age target, when one is due, before the hiss.
  const int sync = NearestInt(5.0 * params[kMotionSync]);
  double rate;
  if (sync <= 0)
    rate = mLfoRate.Get(params[kLfoRate], [](double r) { return 0.08 * std::pow(100.0, r); });
  else
    rate = (tempo / 60.0) / SyncBeats(sync);
  const double step = mLfoStep.Get(rate, [s](double r) { return r / s; });
  const double driftStep0 = mDriftStep[0].Get(driftRate[0], [s](double r) { return r / s; });
  const double driftStep1 = mDriftStep[1].Get(driftRate[1], [s](double r) { return r / s; });
  double echoTargetLeft, echoTargetRight;
  EchoTargets(echoTargetLeft, echoTargetRight);
  // The walks and phases are kept in locals through the block (registers,
  // where the stores to the block's arrays would otherwise make the compiler
  // reload them every sample).
  int countdown = ageCountdown;
  double walkTarget = ageTarget, walk = ageDrift;
  double drift0 = driftPhase[0], drift1 = driftPhase[1];
  double lfo = lfoPhase, width1 = widthPhase1, width2 = widthPhase2, wobble = wobblePhase;
  double echoLeft = spaceTimes[0], echoRight = spaceTimes[1];
  uint64_t noise = noiseState;
  const double follow = mAgeFollow, echoCoef = mEchoTimeCoef;
  const int reload = mAgeReload;
  for (int i = 0; i < m; ++i) {
    // Age random walk: a new target every 0.12 s, followed with 0.22 s.
    const int before = countdown--;
    if (before < 2) {
      countdown = reload;
      walkTarget = 2.0 * dsp::XorShift64Star(noise) - 1.0;
    }
    walk += (walkTarget - walk) * follow;
    b.ageDrift[i] = walk;
    b.hissNoise[i] = dsp::XorShift64Star(noise);

    // Slow drift sines.
    AdvancePhase(drift0, driftStep0);
    AdvancePhase(drift1, driftStep1);
    b.drift0[i] = drift0;
    b.drift1[i] = drift1;

    // Motion LFO, free or synced to the host tempo, and the phases that turn with it.
    AdvancePhase(lfo, step);
    AdvancePhase(width1, kWidthRatio1 * step);
    AdvancePhase(width2, kWidthRatio2 * step);
    AdvancePhase(wobble, kWobbleRatio * step);
    b.lfo[i] = lfo;
    b.width1[i] = width1;
    b.width2[i] = width2;
    b.wobble[i] = wobble;

    // The echo times glide to their targets with 40 ms.
    echoLeft += echoCoef * (echoTargetLeft - echoLeft);
    echoRight += echoCoef * (echoTargetRight - echoRight);
    b.echoLeft[i] = echoLeft;
    b.echoRight[i] = echoRight;
  }
  ageCountdown = countdown;
  ageTarget = walkTarget;
  ageDrift = walk;
  driftPhase[0] = drift0;
  driftPhase[1] = drift1;
  lfoPhase = lfo;
  widthPhase1 = width1;
  widthPhase2 = width2;
  wobblePhase = wobble;
  spaceTimes[0] = echoLeft;
  spaceTimes[1] = echoRight;
  noiseState = noise;

  // 6. Voices. The LFO's value and the drift sines are read only by voices.
  const int padded = dsp::Batches(m);
  bool voiceMayRender = false;
  if (voiceMode == kPoly) {
    for (int i = 1; i < kNumVoices; ++i) voiceMayRender |= voices[i].note1 >= 0;
  } else {
    voiceMayRender = voices[0].note1 >= 0;
  }
  if (voiceMayRender) {
    mKernels->sinTwoPi(b.lfo, b.lfo, padded);
    mKernels->sinTwoPi(b.drift0, b.drift0, padded);
    mKernels->sinTwoPi(b.drift1, b.drift1, padded);
    FillVoiceFrame(mFrame, age, motion);
    TuneBlock(m);
  }
  if (voiceMode != kPoly && m > 1 && SingleVoiceBlockFits(voices[0], mFrame))
    SingleVoiceBlock(m);
  else
    RenderVoices(m);
  // 7. Output chain.
  OutputBlock(m, age, outLeft, outRight);
  return m;
}

double SynthCore::VoiceSample(int i) {
  const Block& b = mBlock;
  ageDrift = b.ageDrift[i];  // the voices' frame and filter designs read the walk as of this sample
  VoiceFrame& frame = mFrame;
  auto frameNow = [&]() -> const VoiceFrame& {
    driftValue[0] = b.drift0[i];
    driftValue[1] = b.drift1[i];
    BlockFrameSample(frame, i);
    return frame;
  };
  double sum = 0.0;
  int count = 0;
  if (voiceMode == kPoly) {
    // With a lanes kernel, the sounding voices are rendered together; the
    // others, and every voice without one, one by one.
    int toRender = 0;
    for (int k = 1; k < kNumVoices; ++k) toRender += PolyVoiceRenders(voices[k]) ? 1 : 0;
    // One voice alone is quicker on its own than in a vector of four lanes.
    const bool useLanes = mKernels->voiceLanes && toRender >= 2;
    bool haveFrame = false;
    bool rendered[kNumVoices] = {};
    int laneVoice[VoiceLanes::kLanes] = {};
    mLanes.count = 0;
    for (int k = 1; k < kNumVoices; ++k) {
      Voice& v = voices[k];
      if (PolyVoiceRenders(v)) {
        if (!haveFrame) {
          frameNow();
          haveFrame = true;
        }
        rendered[k] = true;
        ++count;
        if (!useLanes) {
          voiceOutput[k] = RenderVoice(v, frame);
          continue;
        }
        StepEnvelopes(v, frame);
        if (GatherVoice(v, frame, mLanes.count))
          laneVoice[mLanes.count++] = k;
        else
          voiceOutput[k] = RenderVoiceBody(v, frame);
      }
    }
    if (mLanes.count > 0) {
      SetSharedLanes(frame);
      mLanes.samples = 1;
      mLanes.designCount = 0;
      PadLanes(1);
      mKernels->voiceLanes(mLanes);
      for (int lane = 0; lane < mLanes.count; ++lane)
        voiceOutput[laneVoice[lane]] = ScatterVoice(voices[laneVoice[lane]], lane);
    }
    for (int k = 1; k < kNumVoices; ++k)
      if (rendered[k]) sum += voiceOutput[k];
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
  return MixDown(sum, count);
}

void SynthCore::RenderVoices(int m) {
  // In Poly with a lanes kernel, the sounding voices stay in lanes for runs of
  // samples (one voice too: a run in lanes beats the voice's samples one by
  // one). A sample at which one of them falls silent goes voice by voice, and
  // so does the rest of a block in which no run can start (no voice, a shape
  // crossfading, a voice silent while its key is held).
  bool tryLanes = voiceMode == kPoly && mKernels->voiceLanes != nullptr;
  for (int i = 0; i < m;) {
    if (tryLanes) {
      const int done = PolyLanesRun(i, m);
      if (done == 0) tryLanes = false;
      i += done;
      if (i == m) break;
    }
    mBlock.sum[i] = VoiceSample(i);
    ++i;
  }
}

int SynthCore::PolyLanesRun(int first, int end) {
  constexpr int kLanes = VoiceLanes::kLanes;
  static_assert(kNumVoices - 1 <= kLanes, "every Poly voice has a lane");
  static_assert(kBlock <= VoiceLanes::kSamples, "a run is at most a block long");
  static_assert(VoiceLanes::kMaxDesigns >=
                    kLanes * ((VoiceLanes::kSamples + kFilterUpdateInterval - 1) / kFilterUpdateInterval),
                "room for every filter design of a run");
  const Block& b = mBlock;
  VoiceFrame& frame = mFrame;
  VoiceLanes& l = mLanes;

  // The voices that render, in slot order; each must keep its shapes.
  int laneVoice[kLanes] = {};
  int count = 0;
  for (int k = 1; k < kNumVoices; ++k) {
    const Voice& v = voices[k];
    if (!PolyVoiceRenders(v)) continue;
    if (v.wave1 != frame.shape1 || v.wave2 != frame.shape2 || v.fade1 < 1.0 || v.fade2 < 1.0) return 0;
    laneVoice[count++] = k;
  }
  if (count == 0) return 0;

  l.count = count;
  l.designCount = 0;
  SetSharedLanes(frame);
  l.ring = RingAmount(voices[laneVoice[0]], frame);
  // A voice whose glide has come to rest keeps its pitch ratios for the run.
  bool resting[kLanes] = {};
  double ratio1[kLanes] = {}, ratio2[kLanes] = {};
  for (int lane = 0; lane < count; ++lane) {
    Voice& v = voices[laneVoice[lane]];
    GatherLaneStates(v, lane);
    resting[lane] = RestingPitchRatios(v, frame, ratio1[lane], ratio2[lane]);
  }

  // The envelopes of the run. It ends before the first sample on which a
  // voice's amplitude falls silent.
  Voice* laneVoices[kLanes] = {};
  for (int lane = 0; lane < count; ++lane) laneVoices[lane] = &voices[laneVoice[lane]];
  alignas(32) double filterLevel[VoiceLanes::kSamples * kLanes];
  const int n = StepEnvelopesWhileSounding(laneVoices, count, frame, std::min(end - first, VoiceLanes::kSamples),
                                           l.ampLevel, filterLevel, kLanes);

  // The tuning, the glide and the filter designs, sample by sample.
  for (int s = 0; s < n; ++s) {
    const int i = first + s;
    ageDrift = b.ageDrift[i];
    driftValue[0] = b.drift0[i];
    driftValue[1] = b.drift1[i];
    BlockFrameSample(frame, i);
    for (int lane = 0; lane < count; ++lane) {
      Voice& v = *laneVoices[lane];
      const int at = s * kLanes + lane;
      if (resting[lane]) {
        l.inc1[at] = dsp::LimitIncrement(ratio1[lane] * frame.tuneFactor1);
        l.inc2[at] = dsp::LimitIncrement(ratio2[lane] * frame.tuneFactor2);
      } else {
        OscillatorIncrements(v, frame, l.inc1[at], l.inc2[at]);
      }
      if (FilterDesignDue(v)) {
        DesignVoiceFilters(v, frame, filterLevel[at]);
        l.designs[l.designCount++] = {s,
                                      lane,
                                      {v.lowpass.a1, v.lowpass.a2, v.lowpass.a3},
                                      {v.highpass.a1, v.highpass.a2, v.highpass.a3}};
      }
    }
  }
  if (n == 0) return 0;

  l.samples = n;
  PadLanes(n);
  mKernels->voiceLanes(l);
  for (int lane = 0; lane < count; ++lane)
    voiceOutput[laneVoice[lane]] = ScatterVoice(voices[laneVoice[lane]], lane);

  // The sum in slot order, as the voice-by-voice path adds it.
  for (int s = 0; s < n; ++s) {
    double sum = 0.0;
    for (int lane = 0; lane < count; ++lane) sum += l.out[s * kLanes + lane];
    mBlock.sum[first + s] = MixDown(sum, count);
  }
  return n;
}

}  // namespace vrelbazzit
