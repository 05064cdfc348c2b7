// Flushes denormal floats to zero for the lifetime of the object: sets the
// SSE control register's flush-to-zero and denormals-are-zero bits and puts
// the previous register value back on destruction. Denormals in feedback paths
// (filters, reverb tails decaying to silence) are many times slower to compute.
// A no-op on processors without SSE.
#pragma once

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define FW_HAS_MXCSR 1
#else
#define FW_HAS_MXCSR 0
#endif

namespace fw {

class ScopedNoDenormals {
public:
#if FW_HAS_MXCSR
  static constexpr unsigned kFlushToZero = 0x8000;      // FTZ: denormal results become zero
  static constexpr unsigned kDenormalsAreZero = 0x0040;  // DAZ: denormal inputs read as zero

  ScopedNoDenormals() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero); }
  ~ScopedNoDenormals() { _mm_setcsr(mSaved); }
#else
  ScopedNoDenormals() = default;
  ~ScopedNoDenormals() = default;
#endif
  ScopedNoDenormals(const ScopedNoDenormals&) = delete;
  ScopedNoDenormals& operator=(const ScopedNoDenormals&) = delete;

private:
#if FW_HAS_MXCSR
  unsigned mSaved;
#endif
};

}  // namespace fw
