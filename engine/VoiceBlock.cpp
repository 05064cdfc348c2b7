// The single voice of Split and Mono over a block. A voice's sample is a chain
// of recurrences (envelopes, glide, phases, one-poles, filters) broken by pure
// functions (the waves, the sub oscillator's sine, the fuzz, drive and
// saturation tanh). The block runs each recurrence sample by sample and each
// pure function over the whole block through the kernels, in the order a
// sample needs them, so every value is the one the sample-by-sample voice
// gives.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>

#include "SynthCore.h"
#include "VoiceSteps.h"
#include "dsp/FastMath.h"
#include "dsp/Math.h"
#include "dsp/Oscillator.h"

namespace vrelbazzit {

using dsp::AdvancePhase;
using dsp::LimitIncrement;

namespace {
// What the envelopes and the glide carry from sample to sample, compared bit
// for bit.
struct Motion {
  bool ampGate, filterGate;
  int ampStage, filterStage;
  uint64_t ampLevel, filterLevel, pitch1, pitch2;
  bool operator==(const Motion&) const = default;
};

Motion MotionOf(const SynthCore::Voice& v) {
  return {v.ampGate,
          v.filterGate,
          v.ampStage,
          v.filterStage,
          std::bit_cast<uint64_t>(v.ampLevel),
          std::bit_cast<uint64_t>(v.filterLevel),
          std::bit_cast<uint64_t>(v.pitch1),
          std::bit_cast<uint64_t>(v.pitch2)};
}
}  // namespace

bool SynthCore::SingleVoiceBlockFits(const Voice& v, const VoiceFrame& fr) {
  // A voice at rest costs next to nothing sample by sample; a shape crossfade
  // mixes two shapes per oscillator.
  return v.note1 >= 0 && !VoiceAtRest(v) && fr.shape1 == v.wave1 && fr.shape2 == v.wave2 && v.fade1 >= 1.0 &&
         v.fade2 >= 1.0;
}

void SynthCore::SingleVoiceBlock(int m) {
  Block& b = mBlock;
  VoiceBlock& s = mVoiceBlock;
  // The block works on a copy of the voice, written back at the end: the
  // recurrences' states then stay in registers from sample to sample instead
  // of going through memory that the block's arrays might alias.
  Voice v = voices[0];
  VoiceFrame& fr = mFrame;
  const int padded = dsp::Batches(m);

  // 1. Envelopes and glide, sample by sample. Nothing they read changes within
  // a block, so a step that leaves their state as it was would leave it so on
  // every later sample: from there on the block repeats the last values. (A
  // held note comes to rest this way once its envelopes and glide settle.)
  int stepped = 0;
  while (stepped < m) {
    const int i = stepped++;
    const Motion before = MotionOf(v);
    StepEnvelopes(v, fr);
    const bool sounding = v.ampLevel > kSilentLevel;
    s.sounding[i] = sounding;
    s.amp[i] = v.ampLevel;
    s.level[i] = v.filterLevel;
    s.ratio1[i] = s.ratio2[i] = 0.0;
    if (sounding) GlideRatios(v, fr, s.ratio1[i], s.ratio2[i]);
    if (MotionOf(v) == before) break;
  }
  for (int i = stepped, last = stepped - 1; i < m; ++i) {
    s.sounding[i] = s.sounding[last];
    s.amp[i] = s.amp[last];
    s.level[i] = s.level[last];
    s.ratio1[i] = s.ratio1[last];
    s.ratio2[i] = s.ratio2[last];
  }

  // The filter designs fall every few samples.
  int designs = 0;
  for (int i = 0; i < m; ++i) {
    if (FilterDesignDue(v)) {
      s.designAt[designs] = i;
      s.filterLevel[designs] = s.level[i];
      ++designs;
    }
  }

  // 2. The increments, with the tuning of each sample (the loop vectorises),
  // then the phases of oscillator 1, its layer and the sub oscillator. Without
  // Vrel Bite oscillator 2 and its layer advance here too.
  const double invRate = mInvRate, layerDown = fr.layerDown, layerUp = fr.layerUp;
  for (int i = 0; i < m; ++i) {
    s.dt1[i] = LimitIncrement(s.ratio1[i] * (440.0 * b.tune1[i] * invRate));
    s.dt2[i] = LimitIncrement(s.ratio2[i] * (440.0 * b.tune2[i] * invRate));
    s.dt3[i] = LimitIncrement(s.dt1[i] * layerDown);
    s.dt4[i] = LimitIncrement(s.dt2[i] * layerUp);
  }
  const bool bites = fr.biteDepth != 0.0;
  for (int i = 0; i < m; ++i) {
    if (!s.sounding[i]) continue;
    s.t1[i] = v.phase1;
    s.t3[i] = v.layerPhase1;
    AdvancePhase(v.phase1, s.dt1[i]);
    AdvancePhase(v.layerPhase1, s.dt3[i]);
    AdvancePhase(v.subPhase, 0.5 * s.dt1[i]);
    s.sub[i] = v.subPhase;
    if (!bites) {
      s.t2[i] = v.phase2;
      s.t4[i] = v.layerPhase2;
      AdvancePhase(v.phase2, s.dt2[i]);
      AdvancePhase(v.layerPhase2, s.dt4[i]);
    }
  }
  fr.tuneFactor1 = 440.0 * b.tune1[m - 1] * invRate;
  fr.tuneFactor2 = 440.0 * b.tune2[m - 1] * invRate;

  // The filter designs, each with the frame, walk and drift of its sample. The
  // filters start the block with the present coefficients and take each design
  // on its sample below. The frame is left as of the block's last sample.
  Voice& designed = voices[0];
  for (int d = 0; d < designs; ++d) {
    const int i = s.designAt[d];
    ageDrift = b.ageDrift[i];
    driftValue[0] = b.drift0[i];
    driftValue[1] = b.drift1[i];
    fr.lfo = b.lfo[i];
    DesignVoiceFilters(designed, fr, s.filterLevel[d]);
    s.lowpass[d] = designed.lowpass;
    s.highpass[d] = designed.highpass;
  }
  ageDrift = b.ageDrift[m - 1];
  driftValue[0] = b.drift0[m - 1];
  driftValue[1] = b.drift1[m - 1];
  fr.lfo = b.lfo[m - 1];

  // 3. Oscillator 1 and its layer.
  mKernels->waves(s.t1, s.dt1, s.w1, padded, fr.shape1, fr.pulse1, fr.width, fr.fine1);
  mKernels->waves(s.t3, s.dt3, s.w3, padded, fr.shape1, fr.pulse1, fr.width, fr.fine1);

  // 4. Vrel Bite: oscillator 1 bends oscillator 2 and its layer by up to 0.65 octave.
  if (bites) {
    for (int i = 0; i < m; ++i) s.x[i] = s.sounding[i] ? dsp::Clamp(s.w1[i], -1.0, 1.0) * fr.biteDepth : 0.0;
    mKernels->exp2(s.x, s.x, padded);
    for (int i = 0; i < m; ++i) {
      if (!s.sounding[i]) continue;
      const double inc2b = LimitIncrement(s.dt2[i] * s.x[i]);
      const double layerInc2 = LimitIncrement(s.dt4[i] * s.x[i]);
      s.t2[i] = v.phase2;
      s.dt2[i] = inc2b;
      s.t4[i] = v.layerPhase2;
      s.dt4[i] = layerInc2;
      AdvancePhase(v.phase2, inc2b);
      AdvancePhase(v.layerPhase2, layerInc2);
    }
  }

  // 5. Oscillator 2, its layer and the sub oscillator.
  mKernels->waves(s.t2, s.dt2, s.w2, padded, fr.shape2, fr.pulse2, fr.width, fr.fine2);
  mKernels->waves(s.t4, s.dt4, s.w4, padded, fr.shape2, fr.pulse2, fr.width, fr.fine2);
  mKernels->sinTwoPi(s.sub, s.sub, padded);

  // 6. The mix and the fuzz.
  const double ring = RingAmount(v, fr);
  for (int i = 0; i < m; ++i) {
    if (!s.sounding[i]) continue;
    s.osc[i] = MixOscillators(fr, s.w1[i], s.w2[i], s.w3[i], s.w4[i], s.sub[i], ring);
    s.x[i] = FuzzInput(fr, s.osc[i]);
  }
  mKernels->tanh(s.x, s.x, padded);

  // 7. The drive (a voice that is not sounding gives 0).
  for (int i = 0; i < m; ++i) {
    s.x[i] = s.sounding[i] ? DriveInput(v, fr, s.amp[i], s.osc[i], s.x[i]) : 0.0;
  }
  mKernels->tanh(s.x, s.x, padded);

  // 8. The filters, each design taken on its sample, then the post-filter
  // saturation, bypassed exactly while Warmth's term is 0, and the voice's
  // output. Without the saturation the output low-pass runs beside the filters.
  const bool saturates = fr.warmth != 0.0;
  for (int i = 0, next = 0; i < m; ++i) {
    if (next < designs && s.designAt[next] == i) {
      v.lowpass.a1 = s.lowpass[next].a1;
      v.lowpass.a2 = s.lowpass[next].a2;
      v.lowpass.a3 = s.lowpass[next].a3;
      v.highpass.a1 = s.highpass[next].a1;
      v.highpass.a2 = s.highpass[next].a2;
      v.highpass.a3 = s.highpass[next].a3;
      ++next;
    }
    s.lp[i] = FilterVoice(v, s.x[i]);
    if (!saturates) {
      voiceOutput[0] = VoiceOutput(v, fr, s.lp[i], 0.0);
      b.sum[i] = MixDown(voiceOutput[0], 0);
    }
  }
  if (saturates) {
    for (int i = 0; i < m; ++i) s.x[i] = SaturationInput(fr, s.lp[i]);
    mKernels->tanh(s.x, s.x, padded);
    for (int i = 0; i < m; ++i) {
      voiceOutput[0] = VoiceOutput(v, fr, s.lp[i], s.x[i]);
      b.sum[i] = MixDown(voiceOutput[0], 0);
    }
  }
  voices[0] = v;
}

}  // namespace vrelbazzit
