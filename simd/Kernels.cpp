// Vector versions of the engine's batch kernels, compiled by Highway once for
// each x86 target (AVX2, AVX-512) and chosen at run time. Each follows its
// scalar function in engine/dsp/FastMath.h operation by operation: both
// polynomial branches are evaluated in every lane and the lane's branch is
// selected, so every lane holds the scalar result exactly.

// SSSE3 and SSE4 would gain little over the plain path for two lanes of doubles.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SSSE3 | HWY_SSE4)
#endif

#include "simd/Kernels.h"

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

constexpr double kRoundMagic = 6755399441055744.0;  // 1.5 x 2^52: adding it rounds to a whole number

// dsp::SinTwoPi. The quadrant is the low bits of y + 1.5 x 2^52, which hold
// the whole number n in two's complement (|y| < 2^51).
HWY_INLINE V SinTwoPi(D d, V x) {
  const hn::RebindToUnsigned<D> du;
  constexpr double kHalfPi = 1.57079632679489661923;
  const V magic = hn::Set(d, kRoundMagic);
  const V y = hn::Mul(hn::Set(d, 4.0), x);
  const V shifted = hn::Add(y, magic);
  const V n = hn::Sub(shifted, magic);
  const V a = hn::Mul(hn::Set(d, kHalfPi), hn::Sub(y, n));
  const V a2 = hn::Mul(a, a);
  const V a4 = hn::Mul(a2, a2);
  const V a8 = hn::Mul(a4, a4);
  auto poly = [&](double c0, double c1) { return hn::Sub(hn::Set(d, c0), hn::Mul(hn::Set(d, c1), a2)); };
  const V c01 = poly(1.0, 0.5);
  const V c23 = poly(1.0 / 24, 1.0 / 720);
  const V c45 = poly(1.0 / 40320, 1.0 / 3628800);
  const V c67 = poly(1.0 / 479001600, 1.0 / 87178291200.0);
  const V c8 = hn::Set(d, 1.0 / 20922789888000.0);
  const V c = hn::Add(hn::Add(hn::Add(c01, hn::Mul(c23, a4)), hn::Mul(hn::Add(c45, hn::Mul(c67, a4)), a8)),
                      hn::Mul(c8, hn::Mul(a8, a8)));
  const V s01 = poly(1.0, 1.0 / 6);
  const V s23 = poly(1.0 / 120, 1.0 / 5040);
  const V s45 = poly(1.0 / 362880, 1.0 / 39916800);
  const V s67 = poly(1.0 / 6227020800, 1.0 / 1307674368000.0);
  const V sn = hn::Mul(a, hn::Add(hn::Add(s01, hn::Mul(s23, a4)), hn::Mul(hn::Add(s45, hn::Mul(s67, a4)), a8)));
  const auto quadrant = hn::BitCast(du, shifted);
  const auto zero = hn::Zero(du);
  const auto odd = hn::RebindMask(d, hn::Ne(hn::And(quadrant, hn::Set(du, 1)), zero));
  const auto negative = hn::RebindMask(d, hn::Ne(hn::And(quadrant, hn::Set(du, 2)), zero));
  const V r = hn::IfThenElse(odd, c, sn);
  return hn::IfThenElse(negative, hn::Neg(r), r);
}

// dsp::ExpSmall; lanes outside |x| <= 40 give garbage that the caller discards.
HWY_INLINE V ExpSmall(D d, V x) {
  const hn::RebindToSigned<D> di;
  constexpr double kLog2e = 1.4426950408889634;
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const V magic = hn::Set(d, kRoundMagic);
  const V shifted = hn::Add(hn::Mul(x, hn::Set(d, kLog2e)), magic);
  const V k = hn::Sub(shifted, magic);
  const V r = hn::Sub(hn::Sub(x, hn::Mul(k, hn::Set(d, kLn2Hi))), hn::Mul(k, hn::Set(d, kLn2Lo)));
  const V r2 = hn::Mul(r, r);
  const V r4 = hn::Mul(r2, r2);
  const V r8 = hn::Mul(r4, r4);
  auto pair = [&](double c0, double c1) { return hn::Add(hn::Set(d, c0), hn::Mul(hn::Set(d, c1), r)); };
  const V p01 = hn::Add(hn::Set(d, 1.0), r);
  const V p23 = pair(1.0 / 2, 1.0 / 6);
  const V p45 = pair(1.0 / 24, 1.0 / 120);
  const V p67 = pair(1.0 / 720, 1.0 / 5040);
  const V p89 = pair(1.0 / 40320, 1.0 / 362880);
  const V p1011 = pair(1.0 / 3628800, 1.0 / 39916800);
  const V p1213 = pair(1.0 / 479001600, 1.0 / 6227020800.0);
  const V p = hn::Add(hn::Add(hn::Add(p01, hn::Mul(p23, r2)), hn::Mul(hn::Add(p45, hn::Mul(p67, r2)), r4)),
                      hn::Mul(hn::Add(hn::Add(p89, hn::Mul(p1011, r2)), hn::Mul(p1213, r4)), r8));
  // k as a whole number: the bits of k + 1.5 x 2^52 minus those of 1.5 x 2^52.
  const auto kInt = hn::Sub(hn::BitCast(di, shifted), hn::BitCast(di, magic));
  const V scale = hn::BitCast(d, hn::ShiftLeft<52>(hn::Add(kInt, hn::Set(di, 1023))));
  return hn::Mul(p, scale);
}

// dsp::Tanh.
HWY_INLINE V Tanh(D d, V x) {
  const V one = hn::Set(d, 1.0);
  const V r = hn::Add(x, x);  // 2 x, exact
  const V r2 = hn::Mul(r, r);
  const V r4 = hn::Mul(r2, r2);
  auto pair = [&](double c0, double c1) { return hn::Add(hn::Set(d, c0), hn::Mul(r, hn::Set(d, c1))); };
  const V q01 = pair(1.0, 1.0 / 2);
  const V q23 = pair(1.0 / 6, 1.0 / 24);
  const V q45 = pair(1.0 / 120, 1.0 / 720);
  const V q67 = pair(1.0 / 5040, 1.0 / 40320);
  const V q89 = pair(1.0 / 362880, 1.0 / 3628800);
  const V q1011 = pair(1.0 / 39916800, 1.0 / 479001600);
  const V q12 = hn::Set(d, 1.0 / 6227020800.0);
  const V series =
      hn::Mul(r, hn::Add(hn::Add(hn::Add(q01, hn::Mul(q23, r2)), hn::Mul(hn::Add(q45, hn::Mul(q67, r2)), r4)),
                         hn::Mul(hn::Add(hn::Add(q89, hn::Mul(q1011, r2)), hn::Mul(q12, r4)), hn::Mul(r4, r4))));
  const V viaExp = hn::Sub(ExpSmall(d, hn::Mul(hn::Set(d, 2.0), x)), one);
  const V m = hn::IfThenElse(hn::Lt(hn::Abs(x), hn::Set(d, 0.125)), series, viaExp);
  V t = hn::Div(m, hn::Add(m, hn::Set(d, 2.0)));
  t = hn::IfThenElse(hn::Gt(x, hn::Set(d, 20.0)), one, t);
  t = hn::IfThenElse(hn::Lt(x, hn::Set(d, -20.0)), hn::Neg(one), t);
  return hn::IfThenElse(hn::Ne(x, x), x, t);  // NaN stays NaN
}

void SinTwoPiBatch(const double* x, double* out, int n) {
  const D d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  for (int i = 0; i < n; i += lanes) hn::StoreU(SinTwoPi(d, hn::LoadU(d, x + i)), d, out + i);
}

void TanhBatch(const double* x, double* out, int n) {
  const D d;
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
constexpr dsp::Kernels kAvx512{"avx512", N_AVX3::SinTwoPiBatch, N_AVX3::TanhBatch};
#endif
#if (HWY_TARGETS & HWY_AVX2) != 0
constexpr dsp::Kernels kAvx2{"avx2", N_AVX2::SinTwoPiBatch, N_AVX2::TanhBatch};
#endif

// What Highway's AVX2 and AVX-512 targets assume of the processor (the
// compiler's checks include the operating system's support for the wider
// registers). Best first.
struct Supported {
  const dsp::Kernels* list[2] = {nullptr, nullptr};
  size_t count = 0;
};

Supported Detect() {
  Supported s;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
#if (HWY_TARGETS & HWY_AVX3) != 0
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw"))
    s.list[s.count++] = &kAvx512;
#endif
#if (HWY_TARGETS & HWY_AVX2) != 0
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2") &&
      __builtin_cpu_supports("f16c"))
    s.list[s.count++] = &kAvx2;
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
