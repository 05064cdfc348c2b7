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

std::pair<double, double> SynthCore::OutputChain(double voiceSum, double age) {
  const double s = sampleRate;

  // 1. Output level, unity at the default 70 %.
  const double dry = voiceSum * gains.ampLevel / 0.7;

  // 2. Span shift: wide Split intervals move the bank focus up by up to 0.85
  // octave; the shift glides with 5 ms, also back to 0 when the voice is released.
  double shiftTarget = 0.0;
  if (voiceMode == kSplit && voices[0].active)
    shiftTarget = Clamp((voices[0].note2 - voices[0].note1) / 24.0, 0.0, 1.0) * params[kSpan] * 0.85;
  if (spanShift != shiftTarget) spanShift = dsp::FlushTiny(spanShift + mSmoothCoef * (shiftTarget - spanShift));

  // Quiet: no input and every state of the chain at exactly zero. The bank,
  // the Body low-pass, the clip, the width line and the echo lines would all
  // give and keep zeros, so only the echo times, the hiss and the output
  // stage run (the lines' write positions still advance).
  const size_t widthLen = widthBuffer.size();
  const size_t spaceLen = spaceLeft.size();
  if (dry == 0.0 && mBankSilent && bodyLowpass == 0.0 && mWidthZeros >= widthLen && mSpaceZeros >= spaceLen) {
    if (++widthWrite == widthLen) widthWrite = 0;
    ++mWidthZeros;
    AdvanceEchoTimes();
    if (++spaceWrite == spaceLen) spaceWrite = 0;
    ++mSpaceZeros;
    const double out = OutputStage(NextHiss(age));
    return {out, out};
  }

  // 3. Filter bank: bands near the focus count fully, distant ones keep 35 %.
  const double focus = 260.0 * mColorFocus.Get(params[kColor], [](double x) { return std::pow(9.0, x); }) *
                       mShiftRatio.Get(spanShift, [](double x) { return std::exp2(x); });
  if (focus != mBankFocus.input) {
    mBankFocus.input = focus;
    for (int b = 0; b < kNumBands; ++b) {
      const double distance = std::log2(bankCenters[b] / focus);
      mBankWeights[b] = 0.35 + 0.65 * std::exp(-distance * distance / 1.7);
    }
  }
  // A bank whose states are all zero gives exactly zero for a zero input and
  // stays at zero, so it is skipped then.
  // (Silence is looked for only on samples without input, the only ones
  // that may skip.)
  double bank = 0.0;
  if (dry != 0.0 || !mBankSilent) {
    for (int b = 0; b < kNumBands; ++b)
      bank += bankFilters[static_cast<size_t>(b)].Process(dry).bp * gains.bands[b] * mBankWeights[b];
    mBankSilent = dry == 0.0 && std::all_of(bankFilters.begin(), bankFilters.end(),
                                            [](const dsp::Svf& f) { return f.ic1 == 0.0 && f.ic2 == 0.0; });
  }

  // 4. Body: a 170 Hz one-pole raised by up to 6 dB.
  bodyLowpass = dsp::FlushTiny(bodyLowpass + mBodyCoef * (dry - bodyLowpass));
  const double boost = mBodyBoost.Get(params[kBody], [](double b) { return std::pow(10.0, 0.3 * b) - 1.0; });

  // 5. Mix and soft clip.
  const double bankMix = gains.bankMix;
  const double clipIn = (dry + boost * bodyLowpass) * (1.0 - bankMix) + 0.65 * bankMix * bank;
  const double mono = clipIn == 0.0 ? clipIn : dsp::Tanh(clipIn);  // tanh(0) = 0 exactly

  // 6. Width taps near 7 ms and 11 ms, moving with phases of their own that turn
  // with the LFO.
  const double k = 0.65 + 0.7 * params[kWidthMotion];
  const double ww = static_cast<double>(widthWrite);
  // A line that holds only zeros reads as exactly zero wherever the taps are.
  double tap1 = 0.0, tap2 = 0.0;
  if (mWidthZeros < widthLen) {
    tap1 = dsp::ReadLinear(widthBuffer.data(), widthLen, ww - (0.007 + 0.0025 * k * dsp::SinTwoPi(widthPhase1)) * s);
    tap2 = dsp::ReadLinear(widthBuffer.data(), widthLen, ww - (0.011 - 0.0028 * k * dsp::SinTwoPi(widthPhase2)) * s);
  }
  widthBuffer[widthWrite] = mono;
  mWidthZeros = mono == 0.0 ? mWidthZeros + 1 : 0;
  if (++widthWrite == widthLen) widthWrite = 0;

  // 7. Stereo image.
  const double w = widthAmount;
  const double left = (1.0 - 0.3 * w) * mono + 0.3 * w * tap1;
  const double right = (1.0 - 0.3 * w) * mono + 0.3 * w * tap2;

  // 8. Echo times.
  AdvanceEchoTimes();

  // 9. Echo reads with the Age wobble.
  const double sw = static_cast<double>(spaceWrite);
  // Lines that hold only zeros read as exactly zero.
  double echoLeft = 0.0, echoRight = 0.0;
  if (mSpaceZeros < spaceLen) {
    const double wobble = kWobblePerAge * age * s * dsp::SinTwoPi(wobblePhase);
    echoLeft = dsp::ReadLinear(spaceLeft.data(), spaceLen, sw - (spaceTimes[0] * s + wobble));
    echoRight = dsp::ReadLinear(spaceRight.data(), spaceLen, sw - (spaceTimes[1] * s - wobble));
  }

  // 10. Ping-pong writes.
  const double writeLeft = dsp::FlushTiny(left + kEchoFeedback * echoRight);
  const double writeRight = dsp::FlushTiny(right + kEchoFeedback * echoLeft);
  spaceLeft[spaceWrite] = writeLeft;
  spaceRight[spaceWrite] = writeRight;
  mSpaceZeros = writeLeft == 0.0 && writeRight == 0.0 ? mSpaceZeros + 1 : 0;
  if (++spaceWrite == spaceLen) spaceWrite = 0;

  // 11. Hiss, the same on both sides.
  const double hiss = NextHiss(age);

  // 12. Output stage.
  const double space = kEchoWetPerSpace * gains.space;
  const double sumLeft = left + space * echoLeft + hiss;
  const double sumRight = right + space * echoRight + hiss;
  // Both sides in one place, so their tanh chains run side by side.
  const double drive = OutputDrive();
  const double outLeft = dsp::Tanh(drive * sumLeft / kOutputCeiling) * kOutputCeiling * outputGain;
  const double outRight = dsp::Tanh(drive * sumRight / kOutputCeiling) * kOutputCeiling * outputGain;
  return {outLeft, outRight};
}

// Echo times, free or synced, gliding with 40 ms.
void SynthCore::AdvanceEchoTimes() {
  const int sync = dsp::NearestInt(5.0 * params[kSpaceSync]);
  double targetLeft = kFreeEchoLeft, targetRight = kFreeEchoRight;
  if (sync > 0) {
    targetLeft = EchoSyncBeats(sync) * 60.0 / tempo;
    targetRight = kSyncedRightPerLeft * targetLeft;
  }
  spaceTimes[0] += mEchoTimeCoef * (targetLeft - spaceTimes[0]);
  spaceTimes[1] += mEchoTimeCoef * (targetRight - spaceTimes[1]);
}

double SynthCore::NextHiss(double age) { return (2.0 * NextNoise() - 1.0) * age * age * 0.0006; }

// The output stage of one side: more fuzz, less output drive.
double SynthCore::OutputDrive() {
  return mOutputDrive.Get(fuzzAmount, [](double fuzz) { return 2.8 / (1.0 + 1.3 * fuzz); });
}

double SynthCore::OutputStage(double x) {
  return dsp::Tanh(OutputDrive() * x / kOutputCeiling) * kOutputCeiling * outputGain;
}

}  // namespace vrelbazzit
