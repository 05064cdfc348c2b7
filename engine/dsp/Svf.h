// Trapezoidal (topology-preserving) state-variable filter, the building block
// of the voice low-pass and high-pass and of the filter bank's band-passes.
#pragma once

#include "Math.h"

namespace vrelbazzit::dsp {

struct Svf {
  double a1 = 0.0, a2 = 0.0, a3 = 0.0;
  double ic1 = 0.0, ic2 = 0.0;

  struct Output {
    double bp;
    double lp;
  };

  // g = tan(pi f / S); k = 1 / Q (damping).
  void Design(double g, double k) {
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }

  void ClearState() { ic1 = ic2 = 0.0; }

  Output Process(double x) { return Step(a1, a2, a3, ic1, ic2, x); }

  // One sample of a filter with the given coefficients and states.
  static Output Step(double a1, double a2, double a3, double& ic1, double& ic2, double x) {
    const double e = x - ic2;
    const double bp = a1 * ic1 + a2 * e;
    const double lp = ic2 + a2 * ic1 + a3 * e;
    ic1 = FlushTiny(2.0 * bp - ic1);
    ic2 = FlushTiny(2.0 * lp - ic2);
    return {bp, lp};
  }
};

}  // namespace vrelbazzit::dsp
