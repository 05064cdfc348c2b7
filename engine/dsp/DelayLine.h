// Fractional read from a circular delay line with linear interpolation.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vrelbazzit::dsp {

// A position less than one line length len below 0 brought into the line;
// any other left as it is.
inline double WrapOnce(double pos, double len) { return (pos < 0.0) & (pos >= -len) ? pos + len : pos; }

// The value at pos, 0 <= pos < n: interpolated between the sample at its
// integer part and the next one (wrapping). The whole part converts through a
// signed integer, the processor's one-instruction conversion.
inline double ReadLinearInside(const double* buf, int64_t n, double pos) {
  const auto i = static_cast<int64_t>(pos);
  const int64_t j = i + 1 == n ? 0 : i + 1;
  return buf[i] + (pos - static_cast<double>(i)) * (buf[j] - buf[i]);
}

// pos is brought into 0..n by whole line lengths; the value is interpolated
// between the sample at its integer part and the next one (wrapping).
inline double ReadLinear(const double* buf, size_t n, double pos) {
  const double len = static_cast<double>(n);
  // The usual case, a tap less than one line length behind the write
  // position, takes one comparison; the loops below give the same result.
  pos = WrapOnce(pos, len);
  if (!(pos >= 0.0 && pos < len)) {
    if (!std::isfinite(pos) || n == 0) return 0.0;
    while (pos < 0.0) pos += len;
    while (pos >= len) pos -= len;
  }
  // 0 <= pos < len: the whole part converts through a signed integer, the
  // processor's one-instruction conversion.
  size_t i = static_cast<size_t>(static_cast<int64_t>(pos));
  if (i >= n) i = n - 1;  // pos rounded up to exactly n
  const size_t j = (i + 1 == n) ? 0 : i + 1;
  return buf[i] + (pos - static_cast<double>(i)) * (buf[j] - buf[i]);
}

}  // namespace vrelbazzit::dsp
