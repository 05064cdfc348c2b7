// The engine's kernels: the hot work it can do on several values at once,
// reached through a small table of function pointers. The plain table is the
// scalar code; a vector table (simd/) plugs in through SynthCore::SetKernels
// and must give the same values bit for bit.
#pragma once

#include "FastMath.h"

namespace vrelbazzit {
struct VoiceLanes;
}

namespace vrelbazzit::dsp {

struct Kernels {
  const char* name;
  // Renders the voices in lanes over a run of samples (see VoiceLanes.h) as
  // RenderVoice would after each envelope step; nullptr: the engine renders
  // voice by voice.
  void (*voiceLanes)(VoiceLanes& lanes);
  // SinTwoPi and Tanh over arrays of n values (n a multiple of 4); out may be x.
  void (*sinTwoPi)(const double* x, double* out, int n);
  void (*tanh)(const double* x, double* out, int n);
};

inline void PlainSinTwoPi(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = SinTwoPi(x[i]);
}

inline void PlainTanh(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Tanh(x[i]);
}

inline constexpr Kernels kPlainKernels{"plain", nullptr, PlainSinTwoPi, PlainTanh};

}  // namespace vrelbazzit::dsp
