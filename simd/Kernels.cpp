// The engine's vector kernels, compiled by Highway once for each x86 target
// (SSE4, AVX2, AVX-512) and chosen at run time: the voices in lanes, with the sine
// and tanh they compute with. Each follows its scalar code (engine/dsp/,
// Oscillators.cpp, VoiceRender.cpp) operation by operation: both sides of a
// branch are evaluated in every lane and the lane's side is selected, so every
// lane holds the scalar result exactly.

// SSE4 serves the processors without AVX2 (two lanes of doubles still render
// the Poly voices over twice as fast as the plain path); the few without SSE4
// keep the plain path.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SSSE3
#endif

#include "simd/Kernels.h"

#include <cmath>

#include "engine/VoiceLanes.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simd/Kernels.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace vrelbazzit::simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// At most four lanes: the batches are multiples of four values.
using D = hn::CappedTag<double, 4>;
using V = hn::Vec<D>;
// The widest vectors, for values that do not depend on one another.
using DF = hn::ScalableTag<double>;
using VF = hn::Vec<DF>;

using dsp::kRoundMagic;

// dsp::SinTwoPi. The quadrant is the low bits of y + 1.5 x 2^52, which hold
// the whole number n in two's complement (|y| < 2^51).
template <class DD>
HWY_INLINE hn::Vec<DD> SinTwoPi(DD d, hn::Vec<DD> x) {
  const hn::RebindToUnsigned<DD> du;
  constexpr double kHalfPi = 1.57079632679489661923;
  const hn::Vec<DD> magic = hn::Set(d, kRoundMagic);
  const hn::Vec<DD> y = hn::Mul(hn::Set(d, 4.0), x);
  const hn::Vec<DD> shifted = hn::Add(y, magic);
  const hn::Vec<DD> n = hn::Sub(shifted, magic);
  const hn::Vec<DD> a = hn::Mul(hn::Set(d, kHalfPi), hn::Sub(y, n));
  const hn::Vec<DD> a2 = hn::Mul(a, a);
  const hn::Vec<DD> a4 = hn::Mul(a2, a2);
  const hn::Vec<DD> a8 = hn::Mul(a4, a4);
  auto poly = [&](double c0, double c1) { return hn::Sub(hn::Set(d, c0), hn::Mul(hn::Set(d, c1), a2)); };
  const hn::Vec<DD> c01 = poly(1.0, 0.5);
  const hn::Vec<DD> c23 = poly(1.0 / 24, 1.0 / 720);
  const hn::Vec<DD> c45 = poly(1.0 / 40320, 1.0 / 3628800);
  const hn::Vec<DD> c67 = poly(1.0 / 479001600, 1.0 / 87178291200.0);
  const hn::Vec<DD> c8 = hn::Set(d, 1.0 / 20922789888000.0);
  const hn::Vec<DD> c = hn::Add(hn::Add(hn::Add(c01, hn::Mul(c23, a4)), hn::Mul(hn::Add(c45, hn::Mul(c67, a4)), a8)),
                      hn::Mul(c8, hn::Mul(a8, a8)));
  const hn::Vec<DD> s01 = poly(1.0, 1.0 / 6);
  const hn::Vec<DD> s23 = poly(1.0 / 120, 1.0 / 5040);
  const hn::Vec<DD> s45 = poly(1.0 / 362880, 1.0 / 39916800);
  const hn::Vec<DD> s67 = poly(1.0 / 6227020800, 1.0 / 1307674368000.0);
  const hn::Vec<DD> sn =
      hn::Mul(a, hn::Add(hn::Add(s01, hn::Mul(s23, a4)), hn::Mul(hn::Add(s45, hn::Mul(s67, a4)), a8)));
  const auto quadrant = hn::BitCast(du, shifted);
  const auto zero = hn::Zero(du);
  const auto odd = hn::RebindMask(d, hn::Ne(hn::And(quadrant, hn::Set(du, 1)), zero));
  const auto negative = hn::RebindMask(d, hn::Ne(hn::And(quadrant, hn::Set(du, 2)), zero));
  const hn::Vec<DD> r = hn::IfThenElse(odd, c, sn);
  return hn::IfThenElse(negative, hn::Neg(r), r);
}

// dsp::ExpReduced.
template <class DD>
HWY_INLINE hn::Vec<DD> ExpReduced(DD d, hn::Vec<DD> r) {
  const hn::Vec<DD> r2 = hn::Mul(r, r);
  const hn::Vec<DD> r4 = hn::Mul(r2, r2);
  const hn::Vec<DD> r8 = hn::Mul(r4, r4);
  auto pair = [&](double c0, double c1) { return hn::Add(hn::Set(d, c0), hn::Mul(hn::Set(d, c1), r)); };
  const hn::Vec<DD> p01 = hn::Add(hn::Set(d, 1.0), r);
  const hn::Vec<DD> p23 = pair(1.0 / 2, 1.0 / 6);
  const hn::Vec<DD> p45 = pair(1.0 / 24, 1.0 / 120);
  const hn::Vec<DD> p67 = pair(1.0 / 720, 1.0 / 5040);
  const hn::Vec<DD> p89 = pair(1.0 / 40320, 1.0 / 362880);
  const hn::Vec<DD> p1011 = pair(1.0 / 3628800, 1.0 / 39916800);
  const hn::Vec<DD> p1213 = pair(1.0 / 479001600, 1.0 / 6227020800.0);
  return hn::Add(hn::Add(hn::Add(p01, hn::Mul(p23, r2)), hn::Mul(hn::Add(p45, hn::Mul(p67, r2)), r4)),
                 hn::Mul(hn::Add(hn::Add(p89, hn::Mul(p1011, r2)), hn::Mul(p1213, r4)), r8));
}

// dsp::ScalePow2, with k given as k + 1.5 x 2^52 (whose low bits hold k).
template <class DD>
HWY_INLINE hn::Vec<DD> ScalePow2(DD d, hn::Vec<DD> p, hn::Vec<DD> shifted) {
  const hn::RebindToSigned<DD> di;
  const auto kInt = hn::Sub(hn::BitCast(di, shifted), hn::BitCast(di, hn::Set(d, kRoundMagic)));
  return hn::Mul(p, hn::BitCast(d, hn::ShiftLeft<52>(hn::Add(kInt, hn::Set(di, 1023)))));
}

// dsp::ExpSmall; lanes outside |x| <= 40 give garbage that the caller discards.
template <class DD>
HWY_INLINE hn::Vec<DD> ExpSmall(DD d, hn::Vec<DD> x) {
  constexpr double kLog2e = 1.4426950408889634;
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const hn::Vec<DD> magic = hn::Set(d, kRoundMagic);
  const hn::Vec<DD> shifted = hn::Add(hn::Mul(x, hn::Set(d, kLog2e)), magic);
  const hn::Vec<DD> k = hn::Sub(shifted, magic);
  const hn::Vec<DD> r = hn::Sub(hn::Sub(x, hn::Mul(k, hn::Set(d, kLn2Hi))), hn::Mul(k, hn::Set(d, kLn2Lo)));
  return ScalePow2(d, ExpReduced(d, r), shifted);
}

// dsp::Exp2 (|x| <= 1000).
template <class DD>
HWY_INLINE hn::Vec<DD> Exp2(DD d, hn::Vec<DD> x) {
  constexpr double kLn2 = 0.69314718055994530942;
  const hn::Vec<DD> magic = hn::Set(d, kRoundMagic);
  const hn::Vec<DD> shifted = hn::Add(x, magic);
  const hn::Vec<DD> k = hn::Sub(shifted, magic);
  return ScalePow2(d, ExpReduced(d, hn::Mul(hn::Sub(x, k), hn::Set(d, kLn2))), shifted);
}

// dsp::Tanh. The series and the exponential are computed only when some lane
// needs them.
template <class DD>
HWY_INLINE hn::Vec<DD> Tanh(DD d, hn::Vec<DD> x) {
  const hn::Vec<DD> one = hn::Set(d, 1.0);
  auto series = [&] {
    const hn::Vec<DD> r = hn::Add(x, x);  // 2 x, exact
    const hn::Vec<DD> r2 = hn::Mul(r, r);
    const hn::Vec<DD> r4 = hn::Mul(r2, r2);
    auto pair = [&](double c0, double c1) { return hn::Add(hn::Set(d, c0), hn::Mul(r, hn::Set(d, c1))); };
    const hn::Vec<DD> q01 = pair(1.0, 1.0 / 2);
    const hn::Vec<DD> q23 = pair(1.0 / 6, 1.0 / 24);
    const hn::Vec<DD> q45 = pair(1.0 / 120, 1.0 / 720);
    const hn::Vec<DD> q67 = pair(1.0 / 5040, 1.0 / 40320);
    const hn::Vec<DD> q89 = pair(1.0 / 362880, 1.0 / 3628800);
    const hn::Vec<DD> q1011 = pair(1.0 / 39916800, 1.0 / 479001600);
    const hn::Vec<DD> q12 = hn::Set(d, 1.0 / 6227020800.0);
    return hn::Mul(r, hn::Add(hn::Add(hn::Add(q01, hn::Mul(q23, r2)), hn::Mul(hn::Add(q45, hn::Mul(q67, r2)), r4)),
                              hn::Mul(hn::Add(hn::Add(q89, hn::Mul(q1011, r2)), hn::Mul(q12, r4)), hn::Mul(r4, r4))));
  };
  auto viaExp = [&] { return hn::Sub(ExpSmall(d, hn::Mul(hn::Set(d, 2.0), x)), one); };
  const auto small = hn::Lt(hn::Abs(x), hn::Set(d, 0.125));
  hn::Vec<DD> m;
  if (hn::AllTrue(d, small))
    m = series();
  else if (hn::AllFalse(d, small))
    m = viaExp();
  else
    m = hn::IfThenElse(small, series(), viaExp());
  hn::Vec<DD> t = hn::Div(m, hn::Add(m, hn::Set(d, 2.0)));
  t = hn::IfThenElse(hn::Gt(x, hn::Set(d, 20.0)), one, t);
  t = hn::IfThenElse(hn::Lt(x, hn::Set(d, -20.0)), hn::Neg(one), t);
  return hn::IfThenElse(hn::Ne(x, x), x, t);  // NaN stays NaN
}

// ---- Voices in lanes: SynthCore's oscillator section and voice body --------

// Lanes below 1e-30 set to exactly 0. The select is taken only when a lane
// is tiny, which is rare: the test then stays off the chain from one sample to
// the next of the recurrences that flush their states.
template <class DD>
HWY_INLINE hn::Vec<DD> FlushTiny(DD d, hn::Vec<DD> x) {
  const auto tiny = hn::Lt(hn::Abs(x), hn::Set(d, 1e-30));
  if (HWY_UNLIKELY(!hn::AllFalse(d, tiny))) x = hn::IfThenZeroElse(tiny, x);
  return x;
}

// std::min(x, limit): the limit only where it is below x.
template <class DD>
HWY_INLINE hn::Vec<DD> AtMost(DD d, hn::Vec<DD> x, double limit) {
  const hn::Vec<DD> l = hn::Set(d, limit);
  return hn::IfThenElse(hn::Lt(l, x), l, x);
}

template <class DD>
HWY_INLINE hn::Vec<DD> AdvancePhase(DD d, hn::Vec<DD> phase, hn::Vec<DD> inc) {
  const hn::Vec<DD> one = hn::Set(d, 1.0);
  const hn::Vec<DD> p = hn::Add(phase, inc);
  return hn::IfThenElse(hn::Ge(p, one), hn::Sub(p, one), p);
}

// dsp::PolyBlep.
template <class DD>
HWY_INLINE hn::Vec<DD> PolyBlep(DD d, hn::Vec<DD> t, hn::Vec<DD> dt) {
  const hn::Vec<DD> one = hn::Set(d, 1.0);
  const hn::Vec<DD> two = hn::Set(d, 2.0);
  const hn::Vec<DD> z1 = hn::Div(t, dt);
  const hn::Vec<DD> rise = hn::Sub(hn::Sub(hn::Mul(two, z1), hn::Mul(z1, z1)), one);
  const hn::Vec<DD> z2 = hn::Div(hn::Sub(t, one), dt);
  const hn::Vec<DD> fall = hn::Add(hn::Add(hn::Mul(z2, z2), hn::Mul(two, z2)), one);
  const hn::Vec<DD> r = hn::IfThenElseZero(hn::Gt(t, hn::Sub(one, dt)), fall);
  return hn::IfThenElse(hn::Lt(t, dt), rise, r);
}

template <class DD>
HWY_INLINE hn::Vec<DD> BlepSaw(DD d, hn::Vec<DD> t, hn::Vec<DD> dt) {
  return hn::Sub(hn::Sub(hn::Mul(hn::Set(d, 2.0), t), hn::Set(d, 1.0)), PolyBlep(d, t, dt));
}

template <class DD>
HWY_INLINE hn::Vec<DD> BlepSquare(DD d, hn::Vec<DD> t, hn::Vec<DD> dt, double width) {
  const hn::Vec<DD> one = hn::Set(d, 1.0);
  const hn::Vec<DD> w = hn::Set(d, width);
  hn::Vec<DD> t2 = hn::Sub(hn::Add(t, one), w);
  t2 = hn::IfThenElse(hn::Ge(t2, one), hn::Sub(t2, one), t2);
  const hn::Vec<DD> level = hn::IfThenElse(hn::Lt(t, w), one, hn::Neg(one));
  return hn::Sub(hn::Add(level, PolyBlep(d, t, dt)), PolyBlep(d, t2, dt));
}

// dsp::OddPartials: the sines of the odd partials 1, 3, ... of phase t, each 0
// from the partial limit on.
template <int kCount, class DD>
HWY_INLINE void OddPartials(DD d, hn::Vec<DD> t, hn::Vec<DD> dt, hn::Vec<DD> (&out)[kCount]) {
  const hn::Vec<DD> s1 = SinTwoPi(d, t);
  const hn::Vec<DD> c2 = hn::Sub(hn::Set(d, 1.0), hn::Mul(hn::Mul(hn::Set(d, 2.0), s1), s1));
  const hn::Vec<DD> twoC2 = hn::Mul(hn::Set(d, 2.0), c2);
  hn::Vec<DD> prev = hn::Neg(s1);
  hn::Vec<DD> cur = s1;
  for (int i = 0; i < kCount; ++i) {
    const double h = 2 * i + 1;
    out[i] = hn::IfThenElseZero(hn::Lt(hn::Mul(hn::Set(d, h), dt), hn::Set(d, 0.48)), cur);
    const hn::Vec<DD> next = hn::Sub(hn::Mul(twoC2, cur), prev);
    prev = cur;
    cur = next;
  }
}

// SynthCore::Wave for one shape in every lane.
template <class DD>
HWY_INLINE hn::Vec<DD> Wave(DD d, hn::Vec<DD> t, hn::Vec<DD> dt, double pulse, double width, int shape, bool fine) {
  auto blend = [&] {
    return hn::Add(hn::Mul(hn::Set(d, 1.0 - pulse), BlepSaw(d, t, dt)),
                   hn::Mul(hn::Set(d, pulse), BlepSquare(d, t, dt, width)));
  };
  hn::Vec<DD> r = hn::Zero(d);
  switch (shape) {
    case 0: return blend();
    case 1: r = hn::Mul(hn::Set(d, 0.5), BlepSaw(d, t, dt)); break;
    case 2: r = hn::Mul(hn::Set(d, 0.36), BlepSquare(d, t, dt, width)); break;
    case 3: {
      constexpr double kPi = 3.14159265358979323846;
      constexpr double kTriangleScale = 0.5 * 8.0 / (kPi * kPi);
      hn::Vec<DD> h[5];
      OddPartials(d, t, dt, h);
      hn::Vec<DD> sum = hn::Sub(h[0], hn::Mul(h[1], hn::Set(d, 1.0 / 9)));
      sum = hn::Add(sum, hn::Mul(h[2], hn::Set(d, 1.0 / 25)));
      sum = hn::Sub(sum, hn::Mul(h[3], hn::Set(d, 1.0 / 49)));
      sum = hn::Add(sum, hn::Mul(h[4], hn::Set(d, 1.0 / 81)));
      r = hn::Mul(hn::Set(d, kTriangleScale), sum);
      break;
    }
    case 4:
      r = hn::Mul(hn::Set(d, 0.5), hn::IfThenElseZero(hn::Lt(dt, hn::Set(d, 0.48)), SinTwoPi(d, t)));
      break;
    case 5: {
      hn::Vec<DD> h[3];
      OddPartials(d, t, dt, h);
      r = hn::Mul(hn::Set(d, 0.5 / 1.3),
                  hn::Add(hn::Sub(h[0], hn::Mul(hn::Set(d, 0.44), h[1])), hn::Mul(hn::Set(d, 0.19), h[2])));
      break;
    }
    case 6: {
      hn::Vec<DD> h[2];
      OddPartials(d, t, dt, h);
      r = hn::Mul(hn::Set(d, 0.5), hn::Add(hn::Mul(hn::Set(d, 0.72), h[0]), hn::Mul(hn::Set(d, 0.28), h[1])));
      break;
    }
    default: break;
  }
  if (fine && pulse > 0.0) r = hn::Add(r, hn::Mul(hn::Set(d, 0.25 * pulse), hn::Sub(blend(), r)));
  return r;
}

// One step of a trapezoidal state-variable filter in every lane; the low-pass output.
HWY_INLINE V SvfLowpass(D d, V x, V a1, V a2, V a3, V& ic1, V& ic2) {
  const V two = hn::Set(d, 2.0);
  const V e = hn::Sub(x, ic2);
  const V bp = hn::Add(hn::Mul(a1, ic1), hn::Mul(a2, e));
  const V lp = hn::Add(hn::Add(ic2, hn::Mul(a2, ic1)), hn::Mul(a3, e));
  ic1 = FlushTiny(d, hn::Sub(hn::Mul(two, bp), ic1));
  ic2 = FlushTiny(d, hn::Sub(hn::Mul(two, lp), ic2));
  return lp;
}

// The voices in lanes over the run's samples, in passes. What carries from
// sample to sample (the phases, the fuzz low-pass, the filters, the output
// low-pass) runs lane by lane with its states in vectors; what depends only on
// its own sample's values (the waves, the mix, the fuzz's shaping, the drive,
// the saturation) runs over all samples and lanes at once in the widest
// vectors. A filter design takes effect on its sample.
void RenderVoiceLanes(VoiceLanes& l) {
  const D d;
  const DF df;
  static_assert(VoiceLanes::kLanes == 4, "one vector of four lanes, or two of two");
  constexpr int kLanes = VoiceLanes::kLanes;
  const int lanes = static_cast<int>(hn::Lanes(d));
  const int flat = static_cast<int>(hn::Lanes(df));
  // The shared values in locals: the stores of the outputs could otherwise be
  // taken to change them, and they would be read again on every sample.
  const int samples = l.samples, designCount = l.designCount;
  const int values = samples * kLanes;
  const int shape1 = l.shape1, shape2 = l.shape2;
  const bool fine1 = l.fine1, fine2 = l.fine2;
  const double pulse1 = l.pulse1, pulse2 = l.pulse2, width = l.width, biteDepth = l.biteDepth;
  const double u = l.fuzz, v = l.warmth;
  const double layerUp = l.layerUp, layerDown = l.layerDown;
  // Per sample and lane ([sample * kLanes + lane]) between the passes, with
  // room for a last vector that reaches past the run's values.
  constexpr int kRoom = VoiceLanes::kSamples * kLanes + HWY_MAX_BYTES / sizeof(double);
  alignas(HWY_MAX_BYTES) double phaseA[kRoom], phaseB[kRoom], incB[kRoom], subs[kRoom];
  alignas(HWY_MAX_BYTES) double wave1[kRoom], wave3[kRoom], bend[kRoom];
  for (int i = values; i < values + flat; ++i) phaseA[i] = phaseB[i] = incB[i] = subs[i] = bend[i] = 0.0;

  // 1. Oscillator 1 and its layer: the phases, the layer's increment and the
  // sub oscillator's phase.
  for (int base = 0; base < kLanes; base += lanes) {
    V phase1 = hn::Load(d, l.phase1 + base), layer1 = hn::Load(d, l.layerPhase1 + base);
    V subPhase = hn::Load(d, l.subPhase + base);
    for (int s = 0; s < samples; ++s) {
      const int at = s * kLanes + base;
      const V inc = hn::Load(d, l.inc1 + at);
      const V layerInc = AtMost(d, hn::Mul(inc, hn::Set(d, layerDown)), 0.45);
      hn::Store(phase1, d, phaseA + at);
      hn::Store(layer1, d, phaseB + at);
      hn::Store(layerInc, d, incB + at);
      phase1 = AdvancePhase(d, phase1, inc);
      layer1 = AdvancePhase(d, layer1, layerInc);
      subPhase = AdvancePhase(d, subPhase, hn::Mul(hn::Set(d, 0.5), inc));
      hn::Store(subPhase, d, subs + at);
    }
    hn::Store(phase1, d, l.phase1 + base);
    hn::Store(layer1, d, l.layerPhase1 + base);
    hn::Store(subPhase, d, l.subPhase + base);
  }
  // Their waves.
  for (int i = 0; i < values; i += flat) {
    hn::Store(Wave(df, hn::Load(df, phaseA + i), hn::LoadU(df, l.inc1 + i), pulse1, width, shape1, fine1), df,
              wave1 + i);
    hn::Store(Wave(df, hn::Load(df, phaseB + i), hn::Load(df, incB + i), pulse1, width, shape1, fine1), df,
              wave3 + i);
  }

  // 2. Vrel Bite: the bend 2^(clamped wave x depth) of every value of the
  // lanes in use (the unused lanes are not bent); then oscillator 2's
  // increments, bent.
  if (biteDepth != 0.0) {
    const int count = l.count;
    for (int i = 0; i < values; ++i) {
      const double w = wave1[i];
      const double c = w < -1.0 ? -1.0 : (w > 1.0 ? 1.0 : w);
      bend[i] = i % kLanes < count ? c * biteDepth : 0.0;
    }
    for (int i = 0; i < values; i += flat) hn::Store(Exp2(df, hn::Load(df, bend + i)), df, bend + i);
  }
  for (int i = 0; i < values; i += flat) {
    const VF inc2 = hn::LoadU(df, l.inc2 + i);
    VF layerInc2 = AtMost(df, hn::Mul(inc2, hn::Set(df, layerUp)), 0.45);
    VF inc2b = inc2;
    if (biteDepth != 0.0) {
      const VF b = hn::Load(df, bend + i);
      inc2b = AtMost(df, hn::Mul(inc2, b), 0.45);
      layerInc2 = AtMost(df, hn::Mul(layerInc2, b), 0.45);
    }
    hn::Store(inc2b, df, bend + i);
    hn::Store(layerInc2, df, incB + i);
  }

  // 3. Oscillator 2 and its layer: the phases.
  for (int base = 0; base < kLanes; base += lanes) {
    V phase2 = hn::Load(d, l.phase2 + base), layer2 = hn::Load(d, l.layerPhase2 + base);
    for (int s = 0; s < samples; ++s) {
      const int at = s * kLanes + base;
      hn::Store(phase2, d, phaseA + at);
      hn::Store(layer2, d, phaseB + at);
      phase2 = AdvancePhase(d, phase2, hn::Load(d, bend + at));
      layer2 = AdvancePhase(d, layer2, hn::Load(d, incB + at));
    }
    hn::Store(phase2, d, l.phase2 + base);
    hn::Store(layer2, d, l.layerPhase2 + base);
  }
  // Their waves; the layers, sub oscillator, level mix and ring; the fuzz's
  // shaped value. The mix goes to wave1, the shaped value to wave3.
  {
    const VF fatMix = hn::Set(df, l.fatMix);
    const VF fatDiv = hn::Add(hn::Set(df, 1.0), fatMix);
    const VF osc1Level = hn::Set(df, l.osc1Level), osc2Level = hn::Set(df, l.osc2Level);
    const VF subLevel = hn::Set(df, l.subLevel);
    const VF ring = hn::Set(df, l.ring), unring = hn::Set(df, 1.0 - l.ring);
    const VF fuzzDrive = hn::Set(df, l.fuzzDrive), fuzzNorm = hn::Set(df, l.fuzzNorm);
    for (int i = 0; i < values; i += flat) {
      const VF w2 = Wave(df, hn::Load(df, phaseA + i), hn::Load(df, bend + i), pulse2, width, shape2, fine2);
      const VF w4 = Wave(df, hn::Load(df, phaseB + i), hn::Load(df, incB + i), pulse2, width, shape2, fine2);
      const VF m1 = hn::Div(hn::Add(hn::Load(df, wave1 + i), hn::Mul(fatMix, hn::Load(df, wave3 + i))), fatDiv);
      const VF m2 = hn::Div(hn::Add(w2, hn::Mul(fatMix, w4)), fatDiv);
      const VF levels = hn::Add(hn::Mul(osc1Level, m1), hn::Mul(osc2Level, m2));
      const VF mix =
          hn::Add(hn::Mul(hn::Set(df, 0.46), levels), hn::Mul(subLevel, SinTwoPi(df, hn::Load(df, subs + i))));
      const VF osc = hn::Add(hn::Mul(unring, mix), hn::Mul(hn::Mul(ring, m1), m2));
      const VF bent = hn::Add(osc, hn::Mul(hn::Mul(hn::Set(df, 0.14 * u), osc), osc));
      hn::Store(osc, df, wave1 + i);
      hn::Store(hn::Div(Tanh(df, hn::Mul(bent, fuzzDrive)), fuzzNorm), df, wave3 + i);
    }
  }

  // 4. The fuzz low-pass, lane by lane.
  const V coef = hn::Set(d, l.lowpassCoef);
  for (int base = 0; base < kLanes; base += lanes) {
    V fl = hn::Load(d, l.fuzzLowpass + base);
    for (int s = 0; s < samples; ++s) {
      const int at = s * kLanes + base;
      fl = FlushTiny(d, hn::Add(fl, hn::Mul(coef, hn::Sub(hn::Load(d, wave3 + at), fl))));
      hn::Store(fl, d, phaseA + at);
    }
    hn::Store(fl, d, l.fuzzLowpass + base);
  }
  // Warmth and drive: the voice signal, into wave1.
  {
    // 0.45 + 0.55 x velocity of each lane, repeated: a vector of values from
    // index i on starts at lane i % kLanes.
    constexpr int kRow = kLanes + HWY_MAX_BYTES / sizeof(double);
    alignas(HWY_MAX_BYTES) double velocity[kRow];
    for (int k = 0; k < kRow; ++k) velocity[k] = 0.45 + 0.55 * l.velocity[k % kLanes];
    const VF bodyDrive = hn::Set(df, l.bodyDrive);
    const VF warmth = hn::Set(df, 0.7 * v), dry = hn::Set(df, 1.0 - u), wet = hn::Set(df, u);
    for (int i = 0; i < values; i += flat) {
      const VF osc = hn::Load(df, wave1 + i);
      const VF shaped = hn::Load(df, wave3 + i);
      const VF warm = hn::Add(shaped, hn::Mul(warmth, hn::Sub(hn::Load(df, phaseA + i), shaped)));
      const VF p = hn::Add(hn::Mul(dry, osc), hn::Mul(wet, warm));
      const VF vel = hn::LoadU(df, velocity + i % kLanes);
      const VF gain = hn::Mul(hn::Mul(bodyDrive, hn::LoadU(df, l.ampLevel + i)), vel);
      hn::Store(Tanh(df, hn::Mul(gain, p)), df, wave1 + i);
    }
  }

  // 5. High-pass and resonant low-pass, lane by lane with the designs: the
  // low-pass output into wave3.
  for (int base = 0; base < kLanes; base += lanes) {
    V hpIc1 = hn::Load(d, l.hpIc1 + base), hpIc2 = hn::Load(d, l.hpIc2 + base);
    V lpIc1 = hn::Load(d, l.lpIc1 + base), lpIc2 = hn::Load(d, l.lpIc2 + base);
    // The filter coefficients of these lanes, rewritten by the designs.
    alignas(32) double coefs[6][kLanes];
    for (int i = 0; i < lanes; ++i) {
      coefs[0][i] = l.hpA1[base + i];
      coefs[1][i] = l.hpA2[base + i];
      coefs[2][i] = l.hpA3[base + i];
      coefs[3][i] = l.lpA1[base + i];
      coefs[4][i] = l.lpA2[base + i];
      coefs[5][i] = l.lpA3[base + i];
    }
    V hpA1 = hn::Load(d, coefs[0]), hpA2 = hn::Load(d, coefs[1]), hpA3 = hn::Load(d, coefs[2]);
    V lpA1 = hn::Load(d, coefs[3]), lpA2 = hn::Load(d, coefs[4]), lpA3 = hn::Load(d, coefs[5]);
    int design = 0;
    for (int s = 0; s < samples; ++s) {
      if (design < designCount && l.designs[design].sample == s) {
        for (; design < designCount && l.designs[design].sample == s; ++design) {
          const VoiceLanes::Design& e = l.designs[design];
          const int i = e.lane - base;
          if (i < 0 || i >= lanes) continue;
          for (int k = 0; k < 3; ++k) {
            coefs[k][i] = e.hp[k];
            coefs[3 + k][i] = e.lp[k];
          }
        }
        hpA1 = hn::Load(d, coefs[0]);
        hpA2 = hn::Load(d, coefs[1]);
        hpA3 = hn::Load(d, coefs[2]);
        lpA1 = hn::Load(d, coefs[3]);
        lpA2 = hn::Load(d, coefs[4]);
        lpA3 = hn::Load(d, coefs[5]);
      }
      const int at = s * kLanes + base;
      const V y = hn::Load(d, wave1 + at);
      const V h = hn::Sub(y, SvfLowpass(d, y, hpA1, hpA2, hpA3, hpIc1, hpIc2));
      hn::Store(SvfLowpass(d, h, lpA1, lpA2, lpA3, lpIc1, lpIc2), d, wave3 + at);
    }
    hn::Store(hpIc1, d, l.hpIc1 + base);
    hn::Store(hpIc2, d, l.hpIc2 + base);
    hn::Store(lpIc1, d, l.lpIc1 + base);
    hn::Store(lpIc2, d, l.lpIc2 + base);
  }

  // 6. Post-filter saturation, bypassed exactly while the warmth is 0.
  if (v != 0.0) {
    const double m = 1.0 + 1.8 * v;
    const VF mv = hn::Set(df, m), makeUp = hn::Set(df, 1.0 + 0.7 * v), warmth = hn::Set(df, v);
    for (int i = 0; i < values; i += flat) {
      const VF lp = hn::Load(df, wave3 + i);
      const VF sat = hn::Mul(hn::Div(Tanh(df, hn::Mul(mv, lp)), mv), makeUp);
      hn::Store(hn::Add(lp, hn::Mul(warmth, hn::Sub(sat, lp))), df, wave3 + i);
    }
  }

  // 7. Output low-pass, lane by lane, and the voices' samples.
  for (int base = 0; base < kLanes; base += lanes) {
    V ol = hn::Load(d, l.outputLowpass + base);
    const V blend = hn::Set(d, 0.6 * v);
    for (int s = 0; s < samples; ++s) {
      const int at = s * kLanes + base;
      const V q = hn::Load(d, wave3 + at);
      ol = FlushTiny(d, hn::Add(ol, hn::Mul(coef, hn::Sub(q, ol))));
      hn::Store(hn::Add(q, hn::Mul(blend, hn::Sub(ol, q))), d, l.out + at);
    }
    hn::Store(ol, d, l.outputLowpass + base);
  }
}

// dsp::PlainFilterBank: the eight bands in lanes, their states in registers
// through the block; each sample's band outputs are summed in band order.
void FilterBankLanes(dsp::FilterBank& bank, const double* x, const double* gains, const double* weights, double* out,
                     int n) {
  const D d;
  constexpr int kBands = dsp::FilterBank::kBands;
  const int lanes = static_cast<int>(hn::Lanes(d));
  const int vectors = kBands / lanes;
  V a1[kBands], a2[kBands], a3[kBands], ic1[kBands], ic2[kBands], g[kBands], w[kBands];
  for (int j = 0; j < vectors; ++j) {
    a1[j] = hn::LoadU(d, bank.a1 + j * lanes);
    a2[j] = hn::LoadU(d, bank.a2 + j * lanes);
    a3[j] = hn::LoadU(d, bank.a3 + j * lanes);
    ic1[j] = hn::LoadU(d, bank.ic1 + j * lanes);
    ic2[j] = hn::LoadU(d, bank.ic2 + j * lanes);
    g[j] = hn::LoadU(d, gains + j * lanes);
    w[j] = hn::LoadU(d, weights + j * lanes);
  }
  alignas(64) double terms[kBands];
  for (int i = 0; i < n; ++i) {
    const V in = hn::Set(d, x[i]);
    for (int j = 0; j < vectors; ++j) {
      const V e = hn::Sub(in, ic2[j]);
      const V bp = hn::Add(hn::Mul(a1[j], ic1[j]), hn::Mul(a2[j], e));
      const V lp = hn::Add(hn::Add(ic2[j], hn::Mul(a2[j], ic1[j])), hn::Mul(a3[j], e));
      // bp + bp is 2 bp exactly, one step shorter than the product.
      ic1[j] = FlushTiny(d, hn::Sub(hn::Add(bp, bp), ic1[j]));
      ic2[j] = FlushTiny(d, hn::Sub(hn::Add(lp, lp), ic2[j]));
      hn::StoreU(hn::Mul(hn::Mul(bp, g[j]), w[j]), d, terms + j * lanes);
    }
    double sum = 0.0;
    for (int b = 0; b < kBands; ++b) sum += terms[b];
    out[i] = sum;
  }
  for (int j = 0; j < vectors; ++j) {
    hn::StoreU(ic1[j], d, bank.ic1 + j * lanes);
    hn::StoreU(ic2[j], d, bank.ic2 + j * lanes);
  }
}

// Wave over arrays, in the widest vectors (n whole batches).
void WavesBatch(const double* t, const double* dt, double* out, int n, int shape, double pulse, double width,
                bool fine) {
  const hn::ScalableTag<double> d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  for (int i = 0; i < n; i += lanes)
    hn::StoreU(Wave(d, hn::LoadU(d, t + i), hn::LoadU(d, dt + i), pulse, width, shape, fine), d, out + i);
}

// The sine and tanh over arrays, in the widest vectors (n whole batches; out may be x).
using DWide = hn::ScalableTag<double>;

void SinTwoPiBatch(const double* x, double* out, int n) {
  const DWide d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  for (int i = 0; i < n; i += lanes) hn::StoreU(SinTwoPi(d, hn::LoadU(d, x + i)), d, out + i);
}

void Exp2Batch(const double* x, double* out, int n) {
  const DWide d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  for (int i = 0; i < n; i += lanes) hn::StoreU(Exp2(d, hn::LoadU(d, x + i)), d, out + i);
}

void TanhBatch(const double* x, double* out, int n) {
  const DWide d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  for (int i = 0; i < n; i += lanes) hn::StoreU(Tanh(d, hn::LoadU(d, x + i)), d, out + i);
}

}  // namespace HWY_NAMESPACE
}  // namespace vrelbazzit::simd
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vrelbazzit::simd {

namespace {
#if (HWY_TARGETS & HWY_AVX3) != 0
constexpr dsp::Kernels kAvx512{"avx512",           N_AVX3::RenderVoiceLanes, N_AVX3::SinTwoPiBatch,
                                N_AVX3::TanhBatch,  N_AVX3::Exp2Batch,        N_AVX3::WavesBatch,
                                N_AVX3::FilterBankLanes};
#endif
#if (HWY_TARGETS & HWY_SSE4) != 0
constexpr dsp::Kernels kSse4{"sse4",             N_SSE4::RenderVoiceLanes, N_SSE4::SinTwoPiBatch,
                             N_SSE4::TanhBatch,  N_SSE4::Exp2Batch,        N_SSE4::WavesBatch,
                             N_SSE4::FilterBankLanes};
#endif
#if (HWY_TARGETS & HWY_AVX2) != 0
constexpr dsp::Kernels kAvx2{"avx2",             N_AVX2::RenderVoiceLanes, N_AVX2::SinTwoPiBatch,
                             N_AVX2::TanhBatch,  N_AVX2::Exp2Batch,        N_AVX2::WavesBatch,
                             N_AVX2::FilterBankLanes};
#endif

// What Highway's AVX2 and AVX-512 targets assume of the processor (the
// compiler's checks include the operating system's support for the wider
// registers). Best first.
struct Supported {
  const dsp::Kernels* list[3] = {nullptr, nullptr, nullptr};
  size_t count = 0;
};

Supported Detect() {
  Supported s;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
#if (HWY_TARGETS & HWY_AVX3) != 0
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw"))
  {
    s.list[s.count++] = &kAvx512;
  }
#endif
#if (HWY_TARGETS & HWY_AVX2) != 0
#if defined(__clang__)
  const bool f16c = true;  // clang's check has no name for it; the processors with AVX2 have it
#else
  const bool f16c = __builtin_cpu_supports("f16c");
#endif
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2") && f16c)
  {
    s.list[s.count++] = &kAvx2;
  }
#endif
#if (HWY_TARGETS & HWY_SSE4) != 0
  if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes"))
  {
    s.list[s.count++] = &kSse4;
  }
#endif
#endif
  return s;
}

const Supported& Chosen() {
  static const Supported kSupported = Detect();
  return kSupported;
}
}  // namespace

std::span<const dsp::Kernels* const> SupportedVectorKernels() {
  const Supported& s = Chosen();
  return {s.list, s.count};
}

const dsp::Kernels* VectorKernels() { return Chosen().count > 0 ? Chosen().list[0] : nullptr; }

const dsp::Kernels& BestKernels() {
  const dsp::Kernels* k = VectorKernels();
  return k ? *k : dsp::kPlainKernels;
}

}  // namespace vrelbazzit::simd
#endif  // HWY_ONCE
