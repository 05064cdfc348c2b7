// The engine's batch kernels: the hot functions it calls on several values at
// once, reached through a small table of function pointers. The plain table
// loops over the scalar functions; a vector table (simd/) plugs in through
// SynthCore::SetKernels and must give the same values bit for bit.
#pragma once

#include "FastMath.h"

namespace vrelbazzit {
struct VoiceLanes;
}

namespace vrelbazzit::dsp {

// Values per batch slot: every batch call takes a count that is a multiple of
// this, so a vector kernel never needs a partial load.
inline constexpr int kBatch = 4;

struct Kernels {
  const char* name;
  // out[i] = SinTwoPi(x[i]) for i < n; n is a multiple of kBatch.
  void (*sinTwoPi)(const double* x, double* out, int n);
  // out[i] = Tanh(x[i]) for i < n; n is a multiple of kBatch.
  void (*tanh)(const double* x, double* out, int n);
  // Renders the voices in lanes (see VoiceLanes.h) as RenderVoice would after
  // its envelope step; nullptr: the engine renders voice by voice.
  void (*voiceLanes)(VoiceLanes& lanes);
};

inline void PlainSinTwoPi(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = SinTwoPi(x[i]);
}

inline void PlainTanh(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Tanh(x[i]);
}

inline constexpr Kernels kPlainKernels{"plain", PlainSinTwoPi, PlainTanh, nullptr};

}  // namespace vrelbazzit::dsp
