// The engine's batch kernels: the hot functions it calls on several values at
// once, reached through a small table of function pointers. The plain table
// loops over the scalar functions; a vector table (simd/) plugs in through
// SynthCore::SetKernels and must give the same values bit for bit.
#pragma once

#include "FastMath.h"
#include "Svf.h"

namespace vrelbazzit {
struct VoiceLanes;
}

namespace vrelbazzit::dsp {

// Values per batch slot: every batch call takes a count that is a multiple of
// this, so a vector kernel never needs a partial load.
inline constexpr int kBatch = 4;
// Bands of the output chain's filter bank.
inline constexpr int kBankBands = 8;

struct Kernels {
  const char* name;
  // out[i] = SinTwoPi(x[i]) for i < n; n is a multiple of kBatch.
  void (*sinTwoPi)(const double* x, double* out, int n);
  // out[i] = Tanh(x[i]) for i < n; n is a multiple of kBatch.
  void (*tanh)(const double* x, double* out, int n);
  // Renders the voices in lanes (see VoiceLanes.h) as RenderVoice would after
  // its envelope step; nullptr: the engine renders voice by voice.
  void (*voiceLanes)(VoiceLanes& lanes);
  // One sample of the filter bank: each band's band-pass output of x times its
  // gain and weight, summed in band order; silent tells whether every band's
  // state is exactly zero afterwards.
  double (*bandpassBank)(Svf* bands, const double* gains, const double* weights, double x, bool& silent);
};

inline void PlainSinTwoPi(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = SinTwoPi(x[i]);
}

inline void PlainTanh(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Tanh(x[i]);
}

inline double PlainBandpassBank(Svf* bands, const double* gains, const double* weights, double x, bool& silent) {
  double bank = 0.0;
  silent = true;
  for (int b = 0; b < kBankBands; ++b) {
    bank += bands[b].Process(x).bp * gains[b] * weights[b];
    silent = silent && bands[b].ic1 == 0.0 && bands[b].ic2 == 0.0;
  }
  return bank;
}

inline constexpr Kernels kPlainKernels{"plain", PlainSinTwoPi, PlainTanh, nullptr, PlainBandpassBank};

}  // namespace vrelbazzit::dsp
