// The vector sine and tanh the voice lanes compute with, against the scalar
// functions they stand for: every lane must hold the scalar value bit for bit
// (NaN where the scalar gives NaN), for each vector target this processor
// runs, on inputs at every branch and quadrant edge and on a spread of
// ordinary values.
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

using vrelbazzit::dsp::Kernels;
using vrelbazzit::simd::MathKernels;

constexpr int kBatch = 4;

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
  void (*MathKernels::*batch)(const double*, double*, int);
  double (*scalar)(double);
  std::vector<double> inputs;
};

std::vector<KernelCase> Cases() {
  const double below = std::nextafter(0.125, 0.0), above = std::nextafter(0.125, 1.0);
  return {
      // Quarter turns are where the quadrant and the polynomial switch.
      {"SinTwoPi", &MathKernels::sinTwoPi, vrelbazzit::dsp::SinTwoPi,
       Inputs({0.0, -0.0, 0.125, -0.125, below, above, 0.25, -0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0, -1.0,
               1e-300, -1e-17, 4.9e-324, 123.456, -987.654, 1099511627776.3, -1099511627776.7, kNaN},
              4.0)},
      // 0.125 switches from the series to the exponential, 20 to the constants.
      {"Tanh", &MathKernels::tanh, vrelbazzit::dsp::Tanh,
       Inputs({0.0, -0.0, 4.9e-324, -4.9e-324, 1e-300, below, -below, 0.125, -0.125, above, -above, 0.5, -1.0, 3.0,
               std::nextafter(20.0, 0.0), 20.0, std::nextafter(20.0, 21.0), -20.0, std::nextafter(-20.0, -21.0), 700.0,
               -700.0, kInf, -kInf, kNaN},
              25.0)},
  };
}

TEST(SimdKernels, EveryLaneEqualsTheScalarFunction) {
  const auto tables = vrelbazzit::simd::SupportedMathKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has neither AVX2 nor AVX-512";
  for (const MathKernels* table : tables) {
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

}  // namespace
