// The vector kernels against the plain ones they stand for, for each vector
// target this processor runs. The sine, tanh and exp2: every lane must hold the
// scalar value bit for bit (NaN where the scalar gives NaN), on inputs at
// every branch and quadrant edge and on a spread of ordinary values. The
// filter bank: the same outputs and states, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine/dsp/FastMath.h"
#include "engine/dsp/Kernels.h"
#include "engine/dsp/Oscillator.h"
#include "engine/dsp/Random.h"
#include "simd/Kernels.h"

namespace {

using vrelbazzit::dsp::Kernels;

constexpr int kBatch = vrelbazzit::dsp::kBatch;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Edge values, then uniform values in -range..range, padded to whole batches.
std::vector<double> Inputs(std::vector<double> edges, double range) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 4000; ++i) edges.push_back(range * (2.0 * vrelbazzit::dsp::XorShift64Star(state) - 1.0));
  while (edges.size() % kBatch != 0) edges.push_back(0.5);
  return edges;
}

struct KernelCase {
  const char* name;
  void (*Kernels::*batch)(const double*, double*, int);
  double (*scalar)(double);
  std::vector<double> inputs;
};

std::vector<KernelCase> Cases() {
  const double below = std::nextafter(0.125, 0.0), above = std::nextafter(0.125, 1.0);
  return {
      // Quarter turns are where the quadrant and the polynomial switch.
      {"SinTwoPi", &Kernels::sinTwoPi, vrelbazzit::dsp::SinTwoPi,
       Inputs({0.0, -0.0, 0.125, -0.125, below, above, 0.25, -0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0, -1.0,
               1e-300, -1e-17, 4.9e-324, 123.456, -987.654, 1099511627776.3, -1099511627776.7, kNaN},
              4.0)},
      // Whole and half numbers are where the reduction rounds.
      {"Exp2", &Kernels::exp2, vrelbazzit::dsp::Exp2,
       Inputs({0.0, -0.0, 0.5, -0.5, std::nextafter(0.5, 0.0), std::nextafter(0.5, 1.0), 1.5, -1.5, 1.0, -1.0, 2.5,
               1e-300, -1e-17, 0.65, -0.65, 13.0, -8.25, 1000.0, -1000.0, 999.5},
              40.0)},
      // 0.125 switches from the series to the exponential, 20 to the constants.
      {"Tanh", &Kernels::tanh, vrelbazzit::dsp::Tanh,
       Inputs({0.0, -0.0, 4.9e-324, -4.9e-324, 1e-300, below, -below, 0.125, -0.125, above, -above, 0.5, -1.0, 3.0,
               std::nextafter(20.0, 0.0), 20.0, std::nextafter(20.0, 21.0), -20.0, std::nextafter(-20.0, -21.0), 700.0,
               -700.0, kInf, -kInf, kNaN},
              25.0)},
  };
}

TEST(SimdKernels, EveryLaneEqualsTheScalarFunction) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has neither AVX2 nor AVX-512";
  for (const Kernels* table : tables) {
    for (const KernelCase& c : Cases()) {
      SCOPED_TRACE(std::string(table->name) + " " + c.name);
      std::vector<double> out(c.inputs.size(), 7.0);
      (table->*c.batch)(c.inputs.data(), out.data(), static_cast<int>(c.inputs.size()));
      int mismatches = 0;
      for (size_t i = 0; i < c.inputs.size() && mismatches < 5; ++i) {
        const double want = c.scalar(c.inputs[i]);
        const bool same = std::isnan(want) ? std::isnan(out[i]) : Bits(out[i]) == Bits(want);
        if (!same) {
          ++mismatches;
          ADD_FAILURE() << "x = " << c.inputs[i] << ": " << out[i] << " instead of " << want;
        }
      }
    }
  }
}

// The bank over a block as the engine drives it: a burst of noise, then
// zeros while the states decay into the flushed range, in blocks of several
// lengths (1 included), with gains and weights of every size.
TEST(SimdKernels, FilterBankEqualsThePlainBank) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has neither AVX2 nor AVX-512";
  using vrelbazzit::dsp::FilterBank;
  const double centers[FilterBank::kBands] = {250, 350, 500, 700, 1000, 1400, 2000, 2800};
  const double gains[FilterBank::kBands] = {1.0, 0.0, 0.5, 0.25, 0.75, 1.0, 0.1, 0.9};
  const double weights[FilterBank::kBands] = {0.35, 0.4, 0.6, 0.99, 1.0, 0.8, 0.5, 0.36};
  std::vector<double> input(24000, 0.0);
  uint64_t state = 0x2545F4914F6CDD1Dull;
  for (size_t i = 0; i < 2000; ++i) input[i] = 2.0 * vrelbazzit::dsp::XorShift64Star(state) - 1.0;
  const int blocks[] = {64, 1, 17, 3, 64, 40};
  for (const Kernels* table : tables) {
    SCOPED_TRACE(table->name);
    FilterBank plain, lanes;
    for (int b = 0; b < FilterBank::kBands; ++b) {
      plain.Design(b, std::tan(3.14159265358979323846 * centers[b] / 48000.0), 1.0 / 2.2);
      lanes.Design(b, std::tan(3.14159265358979323846 * centers[b] / 48000.0), 1.0 / 2.2);
    }
    std::vector<double> want(input.size()), got(input.size());
    bool wentSilent = false;
    for (size_t i = 0, k = 0; i < input.size(); k = (k + 1) % std::size(blocks)) {
      const int n = std::min(blocks[k], static_cast<int>(input.size() - i));
      vrelbazzit::dsp::PlainFilterBank(plain, input.data() + i, gains, weights, want.data() + i, n);
      table->filterBank(lanes, input.data() + i, gains, weights, got.data() + i, n);
      for (int b = 0; b < FilterBank::kBands; ++b) {
        ASSERT_EQ(Bits(lanes.ic1[b]), Bits(plain.ic1[b])) << "band " << b << " after sample " << i + n;
        ASSERT_EQ(Bits(lanes.ic2[b]), Bits(plain.ic2[b])) << "band " << b << " after sample " << i + n;
      }
      wentSilent = wentSilent || plain.Silent();
      i += static_cast<size_t>(n);
    }
    for (size_t i = 0; i < input.size(); ++i) ASSERT_EQ(Bits(got[i]), Bits(want[i])) << "sample " << i;
    EXPECT_TRUE(wentSilent) << "the states never reached exactly zero";
  }
}

// Every shape, with and without fine, over phases at the step corrections'
// edges and increments on both sides of each partial's limit.
TEST(SimdKernels, WavesEqualTheScalarWave) {
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has neither AVX2 nor AVX-512";
  std::vector<double> t, dt;
  uint64_t state = 0x9E3779B97F4A7C15ull;
  const double increments[] = {1e-4, 0.01, 0.0959, 0.096, 0.0961, 0.1599, 0.16, 0.161, 0.239, 0.24, 0.241, 0.45};
  for (double inc : increments) {
    const double edges[] = {0.0, inc * 0.5, inc, std::nextafter(inc, 0.0), 1.0 - inc, std::nextafter(1.0 - inc, 1.0),
                            0.3, 0.3 + inc * 0.5, 0.7, 0.99999};
    for (double e : edges) {
      t.push_back(e);
      dt.push_back(inc);
    }
    for (int i = 0; i < 200; ++i) {
      t.push_back(vrelbazzit::dsp::XorShift64Star(state));
      dt.push_back(inc);
    }
  }
  while (t.size() % kBatch != 0) {
    t.push_back(0.5);
    dt.push_back(0.01);
  }
  const int n = static_cast<int>(t.size());
  for (const Kernels* table : tables) {
    for (int shape = vrelbazzit::kBlend; shape <= vrelbazzit::kHollow; ++shape) {
      for (bool fine : {false, true}) {
        for (double pulse : {0.0, 0.3, 1.0}) {
          SCOPED_TRACE(std::string(table->name) + " shape " + std::to_string(shape) + (fine ? " fine" : "") +
                       " pulse " + std::to_string(pulse));
          std::vector<double> out(t.size());
          table->waves(t.data(), dt.data(), out.data(), n, shape, pulse, 0.3, fine);
          for (int i = 0; i < n; ++i) {
            const double want = vrelbazzit::dsp::Wave(t[static_cast<size_t>(i)], dt[static_cast<size_t>(i)], pulse,
                                                      0.3, shape, fine);
            ASSERT_EQ(Bits(out[static_cast<size_t>(i)]), Bits(want))
                << "t " << t[static_cast<size_t>(i)] << " dt " << dt[static_cast<size_t>(i)];
          }
        }
      }
    }
  }
}

}  // namespace
