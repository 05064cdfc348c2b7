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
  // Renders the voices in lanes (see VoiceLanes.h) as RenderVoice would after
  // its envelope step; nullptr: the engine renders voice by voice.
  void (*voiceLanes)(VoiceLanes& lanes);
};

inline constexpr Kernels kPlainKernels{"plain", nullptr};

}  // namespace vrelbazzit::dsp
