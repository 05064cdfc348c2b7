// The engine's small numeric pieces: the inline sin and tanh, rounding, the
// denormal flush, the state-variable filter, the delay-line read, the odd
// partials recurrence and the two random sources.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "engine/dsp/DelayLine.h"
#include "engine/dsp/FastMath.h"
#include "engine/dsp/Math.h"
#include "engine/dsp/Oscillator.h"
#include "engine/dsp/Random.h"
#include "engine/dsp/Svf.h"

using namespace vrelbazzit::dsp;

namespace {
// sin(2 pi x) in extended precision, so the reference adds no error of its own.
double SinTwoPiRef(double x) {
  const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
  return static_cast<double>(std::sin(twoPi * static_cast<long double>(x)));
}
// sin(2 pi h t) with h t formed exactly.
double SinTwoPiRef(int h, double t) {
  const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
  return static_cast<double>(std::sin(twoPi * static_cast<long double>(h) * static_cast<long double>(t)));
}
}  // namespace

TEST(DspFastMath, SinTwoPiAgreesWithSin) {
  double worst = 0.0, worstX = 0.0;
  auto check = [&](double x) {
    const double err = std::fabs(SinTwoPi(x) - SinTwoPiRef(x));
    if (err > worst) {
      worst = err;
      worstX = x;
    }
  };
  for (int i = -300000; i <= 300000; ++i) check(i * 1e-5);  // |x| <= 3 on a fine grid
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dist(-3.0, 3.0);
  for (int i = 0; i < 200000; ++i) check(dist(rng));
  EXPECT_LE(worst, 4e-15) << "at x = " << worstX;
}

TEST(DspFastMath, SinTwoPiIsExactAtQuarterTurns) {
  // The reduction to an eighth of a turn is exact, so quarter turns give exact values.
  const struct {
    double x, value;
  } cases[] = {{0.0, 0.0}, {0.25, 1.0}, {0.5, 0.0}, {0.75, -1.0}, {1.0, 0.0}, {-0.25, -1.0}, {2.25, 1.0}};
  for (const auto& c : cases) EXPECT_EQ(SinTwoPi(c.x), c.value) << "x = " << c.x;
}

TEST(DspFastMath, TanhAgreesWithTanh) {
  double worst = 0.0, worstX = 0.0;
  for (int i = -2500000; i <= 2500000; ++i) {
    const double x = i * 1e-5;  // -25..25, past the +-20 cut
    const double err = std::fabs(Tanh(x) - std::tanh(x));
    if (err > worst) {
      worst = err;
      worstX = x;
    }
  }
  EXPECT_LE(worst, 1e-15) << "at x = " << worstX;
  EXPECT_EQ(Tanh(0.0), 0.0);
  EXPECT_EQ(Tanh(1e3), 1.0);
  EXPECT_EQ(Tanh(-1e3), -1.0);
}

// Within two units in the last place of the library's exp2 (relative), over
// the tuning and Vrel Bite ranges and far beyond; exact at whole numbers.
TEST(DspFastMath, Exp2AgreesWithExp2) {
  double worst = 0.0, worstX = 0.0;
  for (int i = -2000000; i <= 2000000; ++i) {
    const double x = i * 3.7e-5 + 1e-9;  // -74..74, off the whole and half numbers
    const double want = std::exp2(x);
    const double err = std::fabs(Exp2(x) - want) / want;
    if (err > worst) {
      worst = err;
      worstX = x;
    }
  }
  EXPECT_LE(worst, 2.0 * 0x1.0p-52) << "at x = " << worstX;
  for (int k = -1000; k <= 1000; k += 37) EXPECT_EQ(Exp2(k), std::ldexp(1.0, k)) << "k = " << k;
  EXPECT_EQ(Exp2(0.5), std::sqrt(2.0));
  EXPECT_NEAR(Exp2(-0.5), 1.0 / std::sqrt(2.0), 1e-16);
}

TEST(DspMath, NearestIntRoundsHalvesAwayFromZero) {
  const struct {
    double x;
    int expected;
  } cases[] = {{0.0, 0},  {0.49999999999999994, 0}, {0.5, 1},   {1.5, 2},   {2.5, 3},  {-0.5, -1},
               {-1.5, -2}, {-2.5, -3},              {2.4, 2},   {-2.4, -2}, {5.0, 5},  {-0.49, 0},
               {6.0 * (3.0 / 6.0), 3}, {5.0 * 0.9, 5}, {4.0 * 0.375, 2}};
  for (const auto& c : cases) EXPECT_EQ(NearestInt(c.x), c.expected) << "x = " << c.x;
}

TEST(DspMath, FlushTinySetsValuesBelow1eMinus30ToZero) {
  const struct {
    double x, expected;
  } cases[] = {{0.0, 0.0},     {1e-31, 0.0},   {-1e-31, 0.0}, {1e-300, 0.0},
               {5e-324, 0.0},  {2e-30, 2e-30}, {-2e-30, -2e-30}, {0.5, 0.5}};
  for (const auto& c : cases) EXPECT_EQ(FlushTiny(c.x), c.expected) << "x = " << c.x;
}

TEST(DspSvf, FrequencyResponseIsTheBilinearPrototype) {
  // A trapezoidal SVF designed with g = tan(pi f0 / S) has, at frequency f, the
  // response of the analogue prototype at W = tan(pi f / S) / g:
  //   low-pass 1, band-pass W, and input minus low-pass (the voice high-pass)
  //   |j k W - W^2| = W sqrt(W^2 + k^2), each over |1 - W^2 + j k W|.
  const double rate = 48000.0, f0 = 1000.0;
  for (double k : {1.0 / 2.2, 1.0 / 0.707, 1.0 / 8.55}) {
    for (double f : {250.0, 1000.0, 4000.0}) {
      SCOPED_TRACE(testing::Message() << "k " << k << " f " << f);
      Svf svf;
      svf.Design(std::tan(std::numbers::pi * f0 / rate), k);
      const int period = static_cast<int>(rate / f);
      std::complex<double> lpAcc, bpAcc, hpAcc;
      const int settle = 48000, measure = 100 * period;
      for (int n = 0; n < settle + measure; ++n) {
        const double phase = 2.0 * std::numbers::pi * f * n / rate;
        const double x = std::sin(phase);
        const Svf::Output o = svf.Process(x);
        if (n >= settle) {
          const std::complex<double> probe(std::sin(phase), std::cos(phase));
          lpAcc += o.lp * probe;
          bpAcc += o.bp * probe;
          hpAcc += (x - o.lp) * probe;
        }
      }
      const double w = std::tan(std::numbers::pi * f / rate) / std::tan(std::numbers::pi * f0 / rate);
      const double den = std::abs(std::complex<double>(1.0 - w * w, k * w));
      EXPECT_NEAR(2.0 * std::abs(lpAcc) / measure, 1.0 / den, 1e-6);
      EXPECT_NEAR(2.0 * std::abs(bpAcc) / measure, w / den, 1e-6);
      EXPECT_NEAR(2.0 * std::abs(hpAcc) / measure, w * std::sqrt(w * w + k * k) / den, 1e-6);
    }
  }
}

TEST(DspDelayLine, ReadLinearWrapsAndInterpolates) {
  const std::vector<double> buf = {0.0, 10.0, 20.0, 30.0};
  // value = buf[i] + (pos - i) (buf[(i + 1) mod n] - buf[i]) after bringing pos into 0..n.
  const struct {
    double pos, expected;
  } cases[] = {
      {0.0, 0.0},   {1.5, 15.0},   {2.0, 20.0},   {3.0, 30.0},
      {3.5, 15.0},  // between the last sample and the first: 30 + 0.5 (0 - 30)
      {-0.5, 15.0}, // = 3.5
      {4.25, 2.5},  // = 0.25
      {-8.75, 22.5},// = 3.25: 30 + 0.25 (0 - 30)
      {9.0, 10.0},  // = 1
      {std::nextafter(4.0, 0.0), 30.0 * (4.0 - std::nextafter(4.0, 0.0))},
  };
  for (const auto& c : cases) EXPECT_NEAR(ReadLinear(buf.data(), buf.size(), c.pos), c.expected, 1e-12) << "pos " << c.pos;
}

TEST(DspOscillator, OddPartialsAgreeWithDirectSines) {
  // out[i] = sin(2 pi h t) for h = 2i + 1 while h dt < 0.48, else 0. The
  // recurrence's rounding grows about with h^2 and is largest near a quarter
  // turn (about 1.5e-14 at h = 9, a partial that enters the triangle with
  // weight 1/81); h^2 x 3e-16 bounds it.
  for (double dt : {0.0001, 0.01, 0.05, 0.1, 0.2, 0.3, 0.45}) {
    for (int i = 0; i <= 200000; ++i) {
      const double t = i / 200000.0;
      double out[5];
      OddPartials(t, dt, 5, out);
      for (int p = 0; p < 5; ++p) {
        const int h = 2 * p + 1;
        const double expected = h * dt < 0.48 ? SinTwoPiRef(h, t) : 0.0;
        ASSERT_NEAR(out[p], expected, h * h * 3e-16) << "partial " << h << " dt " << dt << " t " << t;
      }
    }
  }
}

TEST(DspOscillator, PartialLimitIsStrictlyBelow048) {
  // h x dt < 0.48 keeps the partial; reaching 0.48 drops it. 3 x 0.16 and
  // 5 x 0.096 are exactly 0.48 in double precision.
  const struct {
    int h;
    double dt;
    bool kept;
  } cases[] = {{3, 0.1599, true}, {3, 0.16, false}, {3, 0.1601, false},
               {5, 0.0959, true}, {5, 0.096, false}, {1, 0.45, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "h " << c.h << " dt " << c.dt);
    const double t = 0.1;
    const double expected = c.kept ? SinTwoPiRef(c.h, t) : 0.0;
    EXPECT_NEAR(Partial(c.h, t, c.dt), expected, 1e-15);
    double out[3];
    OddPartials(t, c.dt, 3, out);
    EXPECT_NEAR(out[(c.h - 1) / 2], expected, 4e-15);
  }
}

TEST(DspRandom, Mix64IsTheSplitMix64OutputFunction) {
  // The first outputs of SplitMix64 started from state 0 are mix64(k x G) for
  // k = 1, 2, 3 (the widely published SplitMix64 reference sequence).
  const uint64_t g = 0x9E3779B97F4A7C15ull;
  EXPECT_EQ(kGoldenGamma, g);
  EXPECT_EQ(Mix64(g), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(Mix64(2 * g), 0x6E789E6AA1B965F4ull);
  EXPECT_EQ(Mix64(3 * g), 0x06C45D188009454Full);
  EXPECT_EQ(Mix64(0), 0u);
}

TEST(DspRandom, XorShift64StarFromStateOne) {
  // From s = 1: s ^= s >> 12 leaves 1; s ^= s << 25 gives 0x2000001; s >> 27 is 0.
  uint64_t s = 1;
  const double u1 = XorShift64Star(s);
  EXPECT_EQ(s, 0x2000001ull);
  // Output: (s x 0x2545F4914F6CDD1D mod 2^64) >> 11, scaled by 2^-53.
  const uint64_t product = 0x2000001ull * 0x2545F4914F6CDD1Dull;
  EXPECT_EQ(u1, static_cast<double>(product >> 11) * std::ldexp(1.0, -53));
  // Next step, written out from the three shifts.
  uint64_t t = 0x2000001ull;
  t ^= t >> 12;
  t ^= t << 25;
  t ^= t >> 27;
  const double u2 = XorShift64Star(s);
  EXPECT_EQ(s, t);
  EXPECT_EQ(u2, static_cast<double>((t * 0x2545F4914F6CDD1Dull) >> 11) * std::ldexp(1.0, -53));
}

TEST(DspRandom, XorShift64StarIsUniformInZeroOne) {
  uint64_t s = 0x0123456789ABCDEFull;
  double sum = 0.0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double u = XorShift64Star(s);
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    ASSERT_NE(s, 0u);
    sum += u;
  }
  // Mean of n uniform values: 0.5 with standard deviation sqrt(1/12 / n) ~ 6.5e-4.
  EXPECT_NEAR(sum / n, 0.5, 0.004);
}
