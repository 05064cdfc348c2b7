// The engine's kernels: the hot work it can do on several values at once,
// reached through a small table of function pointers. The plain table is the
// scalar code; a vector table (simd/) plugs in through SynthCore::SetKernels
// and must give the same values bit for bit.
#pragma once

#include "FastMath.h"
#include "FilterBank.h"
#include "Oscillator.h"

namespace vrelbazzit {
struct VoiceLanes;
}

namespace vrelbazzit::dsp {

// The array kernels take whole batches: n a multiple of kBatch (the widest
// vector of doubles); callers round their counts up with Batches and size
// their arrays for it.
inline constexpr int kBatch = 8;
inline constexpr int Batches(int n) { return (n + kBatch - 1) & ~(kBatch - 1); }

struct Kernels {
  const char* name;
  // Renders the voices in lanes over a run of samples (see VoiceLanes.h) as
  // RenderVoice would after each envelope step; nullptr: the engine renders
  // voice by voice.
  void (*voiceLanes)(VoiceLanes& lanes);
  // SinTwoPi, Tanh and Exp2 over arrays of n values (whole batches); out may be x.
  void (*sinTwoPi)(const double* x, double* out, int n);
  void (*tanh)(const double* x, double* out, int n);
  void (*exp2)(const double* x, double* out, int n);
  // Wave over arrays (see PlainWaves).
  void (*waves)(const double* t, const double* dt, double* out, int n, int shape, double pulse, double width,
                bool fine);
  // The filter bank over n samples (see PlainFilterBank).
  void (*filterBank)(FilterBank& bank, const double* x, const double* gains, const double* weights, double* out,
                     int n);
};

inline void PlainSinTwoPi(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = SinTwoPi(x[i]);
}

inline void PlainTanh(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Tanh(x[i]);
}

inline void PlainExp2(const double* x, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = Exp2(x[i]);
}

inline constexpr Kernels kPlainKernels{"plain", nullptr, PlainSinTwoPi, PlainTanh, PlainExp2, PlainWaves,
                                       PlainFilterBank};

}  // namespace vrelbazzit::dsp
