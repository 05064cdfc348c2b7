// Helpers shared by the engine tests: engines with the per-instance variation
// taken out, voices prepared for a single RenderVoice call, and the inversion
// of the output stage for a plain (no width, no echo, no hiss) output chain.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

#include "engine/SynthCore.h"

namespace vbtest {

using vrelbazzit::SynthCore;
using Voice = SynthCore::Voice;

inline constexpr double kPi = std::numbers::pi;

// Coefficient of the one-pole step x += c (target - x) with time constant tau seconds.
inline double OnePole(double tau, double rate) { return 1.0 - std::exp(-1.0 / (tau * rate)); }

// Removes the circuit variation: tuning and cutoff offsets 0 and the slow
// drift sines stopped at phase 0 (sin 0 = 0), the age walk at rest.
inline void ZeroCircuit(SynthCore& e) {
  e.osc1Offset = e.osc2Offset = 0.0;
  e.cutoffOffset = 0.0;
  for (int i = 0; i < 2; ++i) e.driftPhase[i] = e.driftRate[i] = e.driftValue[i] = 0.0;
  e.ageDrift = e.ageTarget = 0.0;
}

// An engine at the given rate whose oscillators depend only on notes and
// parameters: no circuit variation, "Body", "Age" and "Motion" at 0.
inline void MakeNeutral(SynthCore& e, double rate = 48000.0) {
  e.SetParameter(vrelbazzit::kBody, 0.0);
  e.SetParameter(vrelbazzit::kAge, 0.0);
  e.SetParameter(vrelbazzit::kMotion, 0.0);
  e.SetSampleRate(rate);
  ZeroCircuit(e);
}

// The gliding gain controls set to their parameters at once, as setting the
// sample rate does: for checks that set parameters on a running engine and
// want them heard at once.
inline void SettleGains(SynthCore& e) {
  using namespace vrelbazzit;
  e.gains.ampLevel = e.params[kAmpLevel];
  e.gains.osc1Level = e.params[kOsc1Level];
  e.gains.osc2Level = e.params[kOsc2Level];
  e.gains.ring = e.params[kRing];
  e.gains.bankMix = e.params[kBankMix];
  e.gains.space = e.params[kSpace];
  for (int b = 0; b < SynthCore::kNumBands; ++b) e.gains.bands[b] = e.params[kBand250 + b];
}

// A voice holding note1/note2 with its gate on, otherwise in reset state.
inline Voice GatedVoice(int note1, int note2) {
  Voice v;
  v.note1 = note1;
  v.note2 = note2;
  v.active = true;
  return v;
}

// Frequency in Hz that oscillator 1 and 2 of a fresh voice run at during its
// first sample: the phases start at 0, so after one RenderVoice they hold the
// increments (the section runs because the first attack step already lifts the
// level above 1e-6).
inline std::pair<double, double> FirstSampleFrequencies(SynthCore& e, Voice v, double lfo = 0.0, double age = 0.0,
                                                        double motion = 0.0) {
  e.RenderVoice(v, lfo, age, motion);
  return {v.phase1 * e.sampleRate, v.phase2 * e.sampleRate};
}

// Sets the output chain to a plain path: no width, no echo, no hiss, no Body
// boost, no bank. Then an output sample is tanh(2.8 mono / 0.98) x 0.98 with
// mono = tanh(dry) (Master Gain 100 %, Fuzz 0), and both can be inverted.
inline void MakePlainChain(SynthCore& e) {
  using namespace vrelbazzit;
  e.SetParameter(kWidth, 0.0);
  e.SetParameter(kSpace, 0.0);
  e.SetParameter(kAge, 0.0);
  e.SetParameter(kBody, 0.0);
  e.SetParameter(kBankMix, 0.0);
  e.SetParameter(kFuzz, 0.0);
  e.SetParameter(kMasterGain, 1.0);
}

// mono from an output sample of the plain chain (output drive 2.8, Fuzz 0).
inline double MonoFromOutput(double out, double outputGain = 1.0) {
  return std::atanh(out / (0.98 * outputGain)) * 0.98 / 2.8;
}

}  // namespace vbtest
