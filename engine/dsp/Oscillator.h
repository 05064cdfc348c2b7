// Band-limited oscillator building blocks: the two-sample polynomial step
// correction (PolyBLEP) for the saw and the square, and sine partials that
// drop out before they reach 0.48 of the sample rate.
#pragma once

#include <cmath>

#include "FastMath.h"
#include "Math.h"

namespace vrelbazzit {
enum WaveShape { kBlend = 0, kSaw = 1, kPulse = 2, kTriangle = 3, kSine = 4, kFold = 5, kHollow = 6 };
}

namespace vrelbazzit::dsp {

// Two-sample polynomial band-limiting correction around a step at phase 0.
inline double PolyBlep(double t, double dt) {
  if (t < dt) {
    const double z = t / dt;
    return 2.0 * z - z * z - 1.0;
  }
  if (t > 1.0 - dt) {
    const double z = (t - 1.0) / dt;
    return z * z + 2.0 * z + 1.0;
  }
  return 0.0;
}

inline double BlepSaw(double t, double dt) { return 2.0 * t - 1.0 - PolyBlep(t, dt); }

inline double BlepSquare(double t, double dt, double width) {
  double t2 = t + 1.0 - width;
  if (t2 >= 1.0) t2 -= 1.0;
  return (t < width ? 1.0 : -1.0) + PolyBlep(t, dt) - PolyBlep(t2, dt);
}

// No oscillator runs above this fraction of the sample rate.
inline constexpr double kMaxIncrement = 0.45;
inline double LimitIncrement(double inc) { return inc < kMaxIncrement ? inc : kMaxIncrement; }

// A phase 0..1 advanced by inc, wrapping at 1.
inline void AdvancePhase(double& phase, double inc) {
  phase += inc;
  if (phase >= 1.0) phase -= 1.0;
}

// Partials limit: a partial h sounds only while h x dt < 0.48.
inline constexpr double kPartialLimit = 0.48;

inline double Partial(int h, double t, double dt) {
  return h * dt < kPartialLimit ? SinTwoPi(h * t) : 0.0;
}

// The odd partials sin(2 pi h t) for h = 1, 3, ..., 2 count - 1 (count up to 5),
// each 0 from the limit on. One sine call; the higher partials follow from
// sin((h + 2) x) = 2 cos(2 x) sin(h x) - sin((h - 2) x), which agrees with
// direct evaluation to about 1e-15.
inline void OddPartials(double t, double dt, int count, double* out) {
  const double s1 = SinTwoPi(t);
  const double c2 = 1.0 - 2.0 * s1 * s1;
  double prev = -s1;  // sin(-x)
  double cur = s1;
  for (int i = 0; i < count; ++i) {
    const int h = 2 * i + 1;
    out[i] = h * dt < kPartialLimit ? cur : 0.0;
    const double next = 2.0 * c2 * cur - prev;
    prev = cur;
    cur = next;
  }
}

// One oscillator's value at phase t with increment dt: the shape, its pulse
// blend for Blend, and with fine, a quarter of the pulse blend mixed in.
inline double Wave(double t, double dt, double pulse, double width, int shape, bool fine) {
  double r = 0.0;
  switch (shape) {
    case kBlend:
      return (1.0 - pulse) * BlepSaw(t, dt) + pulse * BlepSquare(t, dt, width);
    case kSaw: r = 0.5 * BlepSaw(t, dt); break;
    case kPulse: r = 0.36 * BlepSquare(t, dt, width); break;
    case kTriangle: {
      constexpr double kTriangleScale = 0.5 * 8.0 / (kPi * kPi);
      double h[5];
      OddPartials(t, dt, 5, h);
      r = kTriangleScale * (h[0] - h[1] * (1.0 / 9) + h[2] * (1.0 / 25) - h[3] * (1.0 / 49) + h[4] * (1.0 / 81));
      break;
    }
    case kSine: r = 0.5 * Partial(1, t, dt); break;
    case kFold: {
      double h[3];
      OddPartials(t, dt, 3, h);
      r = (0.5 / 1.3) * (h[0] - 0.44 * h[1] + 0.19 * h[2]);
      break;
    }
    case kHollow: {
      double h[2];
      OddPartials(t, dt, 2, h);
      r = 0.5 * (0.72 * h[0] + 0.28 * h[1]);
      break;
    }
    default: break;
  }
  if (fine && pulse > 0.0) {
    const double blend = (1.0 - pulse) * BlepSaw(t, dt) + pulse * BlepSquare(t, dt, width);
    r += 0.25 * pulse * (blend - r);
  }
  return r;
}

// Wave over arrays of n values (whole batches).
inline void PlainWaves(const double* t, const double* dt, double* out, int n, int shape, double pulse, double width,
                       bool fine) {
  for (int i = 0; i < n; ++i) out[i] = Wave(t[i], dt[i], pulse, width, shape, fine);
}

}  // namespace vrelbazzit::dsp
