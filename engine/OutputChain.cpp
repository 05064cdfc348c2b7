// The output chain after the voices: level, the eight-band filter bank with
// its Color focus and Split-mode Span shift, the Body low boost, a soft clip,
// the Width stereo delays, the Space ping-pong echo, Age hiss and the output
// stage.
#include <algorithm>
#include <cmath>

#include "SynthCore.h"
#include "dsp/DelayLine.h"
#include "Echo.h"
#include "dsp/FastMath.h"
#include "dsp/Math.h"

namespace vrelbazzit {

using dsp::Clamp;

namespace {
constexpr double kOutputCeiling = 0.98;
}  // namespace

void SynthCore::OutputBlock(int n, double age, double* outLeft, double* outRight) {
  const double s = sampleRate;
  Block& b = mBlock;
  const int padded = dsp::Batches(n);
  const double drive = OutputDrive();

  // 1. Output level, unity at the default 70 %.
  bool input = false;
  for (int i = 0; i < n; ++i) {
    b.sum[i] = b.sum[i] * gains.ampLevel / 0.7;
    input |= b.sum[i] != 0.0;
  }
  const double* dry = b.sum;

  // 2. Span shift: wide Split intervals move the bank focus up by up to 0.85
  // octave; the shift glides with 5 ms, also back to 0 when the voice is released.
  double shiftTarget = 0.0;
  if (voiceMode == kSplit && voices[0].active)
    shiftTarget = Clamp((voices[0].note2 - voices[0].note1) / 24.0, 0.0, 1.0) * params[kSpan] * 0.85;
  auto stepShift = [&] {
    if (spanShift != shiftTarget) spanShift = dsp::FlushTiny(spanShift + mSmoothCoef * (shiftTarget - spanShift));
  };

  // Quiet: no input and every state of the chain at exactly zero. The bank,
  // the Body low-pass, the clip, the width line and the echo lines would all
  // give and keep zeros, so only the span shift, the hiss and the output stage
  // run (the lines' write positions still advance).
  const size_t widthLen = widthBuffer.size();
  const size_t spaceLen = spaceLeft.size();
  if (!input && mBankSilent && bodyLowpass == 0.0 && mWidthZeros >= widthLen && mSpaceZeros >= spaceLen) {
    const auto steps = static_cast<size_t>(n);
    widthWrite = (widthWrite + steps) % widthLen;
    mWidthZeros += steps;
    spaceWrite = (spaceWrite + steps) % spaceLen;
    mSpaceZeros += steps;
    for (int i = 0; i < n; ++i) {
      stepShift();
      const double hiss = (2.0 * b.hissNoise[i] - 1.0) * age * age * 0.0006;
      b.left[i] = drive * hiss / kOutputCeiling;
    }
    mKernels->tanh(b.left, b.left, padded);
    for (int i = 0; i < n; ++i) outLeft[i] = outRight[i] = b.left[i] * kOutputCeiling * outputGain;
    return;
  }

  // 3. Filter bank: bands near the focus count fully, distant ones keep 35 %.
  auto weigh = [&] {
    const double focus = 260.0 * mColorFocus.Get(params[kColor], [](double x) { return std::pow(9.0, x); }) *
                         mShiftRatio.Get(spanShift, [](double x) { return std::exp2(x); });
    if (focus == mBankFocus.input) return;
    mBankFocus.input = focus;
    for (int k = 0; k < kNumBands; ++k) {
      const double distance = std::log2(bankCenters[k] / focus);
      mBankWeights[k] = 0.35 + 0.65 * std::exp(-distance * distance / 1.7);
    }
  };
  double* bankOut = b.bankOut;
  if (!input && mBankSilent) {
    // A bank whose states are all zero gives exactly zero for a zero input
    // and stays at zero.
    for (int i = 0; i < n; ++i) {
      stepShift();
      bankOut[i] = 0.0;
    }
  } else {
    if (spanShift == shiftTarget) {
      // The focus holds still through the block.
      weigh();
      mKernels->filterBank(bank, dry, gains.bands, mBankWeights, bankOut, n);
    } else {
      for (int i = 0; i < n; ++i) {
        stepShift();
        weigh();
        mKernels->filterBank(bank, dry + i, gains.bands, mBankWeights, bankOut + i, 1);
      }
    }
    // (A silent bank fed zeros would have stayed silent: the states after the
    // block tell.)
    mBankSilent = dry[n - 1] == 0.0 && bank.Silent();
  }

  // 4-5. Body, a 170 Hz one-pole raised by up to 6 dB, and the clip's input.
  const double boost = mBodyBoost.Get(params[kBody], [](double x) { return std::pow(10.0, 0.3 * x) - 1.0; });
  const double bankMix = gains.bankMix;
  for (int i = 0; i < n; ++i) {
    bodyLowpass = dsp::FlushTiny(bodyLowpass + mBodyCoef * (dry[i] - bodyLowpass));
    b.mono[i] = (dry[i] + boost * bodyLowpass) * (1.0 - bankMix) + 0.65 * bankMix * bankOut[i];
  }
  // The soft clip (tanh(0) is 0 exactly).
  mKernels->tanh(b.mono, b.mono, padded);

  // 6. Width taps near 7 ms and 11 ms, moving with phases of their own that
  // turn with the LFO; the echo's Age wobble.
  mKernels->sinTwoPi(b.width1, b.width1, padded);
  mKernels->sinTwoPi(b.width2, b.width2, padded);
  mKernels->sinTwoPi(b.wobble, b.wobble, padded);
  const double k = 0.65 + 0.7 * params[kWidthMotion];
  const double w = widthAmount;
  const double space = kEchoWetPerSpace * gains.space;
  // The lines' positions and zero counts are kept in locals through the block.
  double* const widthLine = widthBuffer.data();
  double* const echoLineLeft = spaceLeft.data();
  double* const echoLineRight = spaceRight.data();
  size_t widthAt = widthWrite, widthZeros = mWidthZeros;
  size_t echoAt = spaceWrite, echoZeros = mSpaceZeros;

  // The taps' positions, each brought into its line when it is less than a
  // line length behind (the loop vectorises). When every one then lies in its
  // line, the reads below take the short way; otherwise each read brings its
  // own position in.
  const auto widthSize = static_cast<double>(widthLen), echoSize = static_cast<double>(spaceLen);
  const auto widthStart = static_cast<double>(widthAt), echoStart = static_cast<double>(echoAt);
  const double depth1 = 0.0025 * k, depth2 = 0.0028 * k;
  const double wobblePerCycle = kWobblePerAge * age * s;
  bool inside = true;
  for (int i = 0; i < n; ++i) {
    const double ww0 = widthStart + i, sw0 = echoStart + i;
    const double ww = ww0 >= widthSize ? ww0 - widthSize : ww0;
    const double sw = sw0 >= echoSize ? sw0 - echoSize : sw0;
    const double wobble = wobblePerCycle * b.wobble[i];
    const double p1 = dsp::WrapOnce(ww - (0.007 + depth1 * b.width1[i]) * s, widthSize);
    const double p2 = dsp::WrapOnce(ww - (0.011 - depth2 * b.width2[i]) * s, widthSize);
    const double p3 = dsp::WrapOnce(sw - (b.echoLeft[i] * s + wobble), echoSize);
    const double p4 = dsp::WrapOnce(sw - (b.echoRight[i] * s - wobble), echoSize);
    b.tapWidth1[i] = p1;
    b.tapWidth2[i] = p2;
    b.tapEchoLeft[i] = p3;
    b.tapEchoRight[i] = p4;
    inside &= (p1 >= 0.0) & (p1 < widthSize) & (p2 >= 0.0) & (p2 < widthSize) & (p3 >= 0.0) & (p3 < echoSize) &
              (p4 >= 0.0) & (p4 < echoSize);
  }
  const auto widthCount = static_cast<int64_t>(widthLen), echoCount = static_cast<int64_t>(spaceLen);
  auto readWidth = [&](double pos) {
    return inside ? dsp::ReadLinearInside(widthLine, widthCount, pos) : dsp::ReadLinear(widthLine, widthLen, pos);
  };
  auto readEcho = [&](const double* line, double pos) {
    return inside ? dsp::ReadLinearInside(line, echoCount, pos) : dsp::ReadLinear(line, spaceLen, pos);
  };

  for (int i = 0; i < n; ++i) {
    const double mono = b.mono[i];
    // A line that holds only zeros reads as exactly zero wherever the taps are.
    double tap1 = 0.0, tap2 = 0.0;
    if (widthZeros < widthLen) {
      tap1 = readWidth(b.tapWidth1[i]);
      tap2 = readWidth(b.tapWidth2[i]);
    }
    widthLine[widthAt] = mono;
    widthZeros = mono == 0.0 ? widthZeros + 1 : 0;
    if (++widthAt == widthLen) widthAt = 0;

    // 7. Stereo image.
    const double left = (1.0 - 0.3 * w) * mono + 0.3 * w * tap1;
    const double right = (1.0 - 0.3 * w) * mono + 0.3 * w * tap2;

    // 8-9. Echo reads at the gliding echo times, with the Age wobble. Lines
    // that hold only zeros read as exactly zero.
    double echoLeft = 0.0, echoRight = 0.0;
    if (echoZeros < spaceLen) {
      echoLeft = readEcho(echoLineLeft, b.tapEchoLeft[i]);
      echoRight = readEcho(echoLineRight, b.tapEchoRight[i]);
    }

    // 10. Ping-pong writes.
    const double writeLeft = dsp::FlushTiny(left + kEchoFeedback * echoRight);
    const double writeRight = dsp::FlushTiny(right + kEchoFeedback * echoLeft);
    echoLineLeft[echoAt] = writeLeft;
    echoLineRight[echoAt] = writeRight;
    echoZeros = writeLeft == 0.0 && writeRight == 0.0 ? echoZeros + 1 : 0;
    if (++echoAt == spaceLen) echoAt = 0;

    // 11. Hiss, the same on both sides.
    const double hiss = (2.0 * b.hissNoise[i] - 1.0) * age * age * 0.0006;

    // 12. The output stage's input: more fuzz, less drive.
    b.left[i] = drive * (left + space * echoLeft + hiss);
    b.right[i] = drive * (right + space * echoRight + hiss);
  }
  widthWrite = widthAt;
  mWidthZeros = widthZeros;
  spaceWrite = echoAt;
  mSpaceZeros = echoZeros;
  // The divisions apart, where they vectorise.
  for (int i = 0; i < n; ++i) {
    b.left[i] /= kOutputCeiling;
    b.right[i] /= kOutputCeiling;
  }
  mKernels->tanh(b.left, b.left, padded);
  mKernels->tanh(b.right, b.right, padded);
  for (int i = 0; i < n; ++i) {
    outLeft[i] = b.left[i] * kOutputCeiling * outputGain;
    outRight[i] = b.right[i] * kOutputCeiling * outputGain;
  }
}

// The echo times' targets, free or synced; the times glide to them with 40 ms.
void SynthCore::EchoTargets(double& left, double& right) const {
  const int sync = dsp::NearestInt(5.0 * params[kSpaceSync]);
  left = kFreeEchoLeft;
  right = kFreeEchoRight;
  if (sync > 0) {
    left = EchoSyncBeats(sync) * 60.0 / tempo;
    right = kSyncedRightPerLeft * left;
  }
}

// The output stage of one side: more fuzz, less output drive.
double SynthCore::OutputDrive() {
  return mOutputDrive.Get(fuzzAmount, [](double fuzz) { return 2.8 / (1.0 + 1.3 * fuzz); });
}

}  // namespace vrelbazzit
