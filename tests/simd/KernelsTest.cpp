// The vector kernels against the scalar functions they replace: every lane
// must hold the scalar value bit for bit (NaN where the scalar gives NaN), for
// each vector table this processor runs, on inputs at every branch and
// quadrant edge and on a spread of ordinary values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/dsp/FastMath.h"
#include "engine/dsp/Kernels.h"
#include "engine/dsp/Random.h"
#include "simd/Kernels.h"

namespace {

using vrelbazzit::dsp::kBatch;
using vrelbazzit::dsp::Kernels;

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

// The filter bank step: outputs, states and the silence flag of the vector
// bank equal the plain one's, for live states, states just above and below
// the flush threshold, and a bank at rest.
TEST(SimdKernels, BandpassBankEqualsThePlainBank) {
  using vrelbazzit::dsp::kBankBands;
  using vrelbazzit::dsp::Svf;
  const auto tables = vrelbazzit::simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has neither AVX2 nor AVX-512";
  const double gains[kBankBands] = {0.75, 0.2, 1.0, 0.0, 0.5, 0.9, 0.3, 0.6};
  const double weights[kBankBands] = {0.35, 0.5, 0.8, 1.0, 0.9, 0.6, 0.4, 0.36};
  struct BankCase {
    const char* name;
    double state;  // every band's starting states (alternating sign)
    double input;
  };
  const BankCase cases[] = {
      {"live states", 0.3, 0.7},
      {"tiny states decaying through the flush threshold", 3e-30, 0.0},
      {"at rest", 0.0, 0.0},
      {"at rest, then an input", 0.0, -0.25},
  };
  for (const Kernels* table : tables) {
    for (const BankCase& c : cases) {
      SCOPED_TRACE(std::string(table->name) + " " + c.name);
      Svf plain[kBankBands], vector[kBankBands];
      for (int b = 0; b < kBankBands; ++b) {
        plain[b].Design(std::tan(3.14159265358979 * (250.0 + 300.0 * b) / 48000.0), 1.0 / 2.2);
        plain[b].ic1 = (b % 2 ? -c.state : c.state) * (1.0 + 0.1 * b);
        plain[b].ic2 = (b % 2 ? c.state : -c.state) * 0.5;
        vector[b] = plain[b];
      }
      for (int step = 0; step < 40; ++step) {
        const double x = step < 20 ? c.input : 0.0;
        bool plainSilent = false, vectorSilent = true;
        const double want = vrelbazzit::dsp::PlainBandpassBank(plain, gains, weights, x, plainSilent);
        const double got = table->bandpassBank(vector, gains, weights, x, vectorSilent);
        ASSERT_EQ(Bits(got), Bits(want)) << "step " << step;
        ASSERT_EQ(vectorSilent, plainSilent) << "step " << step;
        for (int b = 0; b < kBankBands; ++b) {
          ASSERT_EQ(Bits(vector[b].ic1), Bits(plain[b].ic1)) << "band " << b << ", step " << step;
          ASSERT_EQ(Bits(vector[b].ic2), Bits(plain[b].ic2)) << "band " << b << ", step " << step;
        }
      }
    }
  }
}

}  // namespace
