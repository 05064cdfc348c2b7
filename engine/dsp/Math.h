// Small numeric helpers shared by the engine's pieces.
#pragma once

#include <cmath>

namespace vrelbazzit::dsp {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// Recursive states (filters, one-poles, envelope levels, echo lines) that
// decay towards zero are set to exactly zero below this magnitude (about
// -600 dB), so they never reach the slow denormal range.
inline constexpr double kTiny = 1e-30;

// x, or exactly 0 below kTiny. The test is a branch: states are rarely tiny,
// so the processor predicts it and the test stays off the chain from one
// sample to the next. (GCC would turn it into a compare and select, which adds
// its latency to every sample of a recurrence; the empty asm statement keeps
// the branch.)
inline double FlushTiny(double x) {
  if (std::fabs(x) < kTiny) [[unlikely]] {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    asm volatile("");
#endif
    return 0.0;
  }
  return x;
}

inline double Clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }

// Nearest whole number, halves away from zero, for values well inside the int
// range (the engine's coded parameters). Same result as std::round, but inline:
// x minus its truncation is exact, so the half test is exact too.
inline int NearestInt(double x) {
  int i = static_cast<int>(x);
  const double frac = x - static_cast<double>(i);
  if (frac >= 0.5) ++i;
  else if (frac <= -0.5) --i;
  return i;
}

// Coefficient of a one-pole step x += c (target - x) with time constant tau seconds.
inline double OnePoleCoefficient(double tauSeconds, double sampleRate) {
  return 1.0 - std::exp(-1.0 / (tauSeconds * sampleRate));
}

// Coefficient of a one-pole low-pass with corner frequency hz.
inline double OnePoleCornerCoefficient(double hz, double sampleRate) {
  return 1.0 - std::exp(-kTwoPi * hz / sampleRate);
}

// Remembers the last result of an expensive pure function of one input, so
// per-sample code that sees the same input again gets the identical value
// without recomputing it.
struct Memo {
  double input = std::nan("");
  double output = 0.0;

  template <typename F>
  double Get(double x, F&& f) {
    if (x != input) {
      input = x;
      output = f(x);
    }
    return output;
  }
  void Clear() { input = std::nan(""); }
};

}  // namespace vrelbazzit::dsp
