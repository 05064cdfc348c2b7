// The engine's kernels in vector lanes (Highway), chosen at run time for the
// processor: AVX-512 or AVX2 where present, else none (the engine keeps its
// plain kernels). Every kernel gives the plain path's values bit for bit: the
// same operations in the same order, lane by lane, no fused multiply-add.
#pragma once

#include <span>

#include "engine/dsp/Kernels.h"

namespace vrelbazzit::simd {

// The vector kernels for this processor, or nullptr when it has neither AVX2
// nor AVX-512 (or the build has no vector path).
const dsp::Kernels* VectorKernels();

// Every vector table this processor can run, best first (for tests).
std::span<const dsp::Kernels* const> SupportedVectorKernels();

// The vector kernels where there are some, else the plain ones.
const dsp::Kernels& BestKernels();

}  // namespace vrelbazzit::simd
