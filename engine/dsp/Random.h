// The engine's random sources: SplitMix64's output function (for deriving the
// circuit variation from a seed) and an xorshift64* generator (noise).
#pragma once

#include <cstdint>

namespace vrelbazzit::dsp {

inline constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

inline uint64_t Mix64(uint64_t z) {
  z ^= z >> 30;
  z *= 0xBF58476D1CE4E5B9ull;
  z ^= z >> 27;
  z *= 0x94D049BB133111EBull;
  z ^= z >> 31;
  return z;
}

// Top 53 bits of x as a uniform value in 0..1.
inline double ToUnit(uint64_t x) { return static_cast<double>(x >> 11) * 0x1.0p-53; }

// Advances the xorshift64* state and returns a uniform value in 0..1.
inline double XorShift64Star(uint64_t& s) {
  s ^= s >> 12;
  s ^= s << 25;
  s ^= s >> 27;
  return ToUnit(s * 0x2545F4914F6CDD1Dull);
}

}  // namespace vrelbazzit::dsp
