// The per-instance circuit variation: its derivation from one seed through
// SplitMix64's output function, the ranges of the derived values, and the seed
// source CreateCircuitSeed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

constexpr uint64_t kG = 0x9E3779B97F4A7C15ull;

// mix64: the SplitMix64 output function.
uint64_t Mix(uint64_t z) {
  z ^= z >> 30;
  z *= 0xBF58476D1CE4E5B9ull;
  z ^= z >> 27;
  z *= 0x94D049BB133111EBull;
  z ^= z >> 31;
  return z;
}

// Inverse of mix64: undo each step in reverse order.
uint64_t InverseOdd(uint64_t a) {
  uint64_t x = a;  // Newton's iteration doubles the correct low bits each time
  for (int i = 0; i < 6; ++i) x *= 2 - a * x;
  return x;
}
uint64_t UnXorShift(uint64_t y, int k) {
  uint64_t x = y;
  for (int i = 0; i < 64 / k + 1; ++i) x = y ^ (x >> k);
  return x;
}
uint64_t Unmix(uint64_t z) {
  z = UnXorShift(z, 31);
  z *= InverseOdd(0x94D049BB133111EBull);
  z = UnXorShift(z, 27);
  z *= InverseOdd(0xBF58476D1CE4E5B9ull);
  z = UnXorShift(z, 30);
  return z;
}

double Unit(uint64_t h) { return static_cast<double>(h >> 11) * std::ldexp(1.0, -53); }

struct Variation {
  uint64_t noiseState;
  double osc1Offset, osc2Offset, cutoffOffset, phase0, phase1, rate0, rate1;
  bool operator==(const Variation&) const = default;
};

Variation Read(const SynthCore& e) {
  return {e.noiseState,    e.osc1Offset,    e.osc2Offset,   e.cutoffOffset,
          e.driftPhase[0], e.driftPhase[1], e.driftRate[0], e.driftRate[1]};
}

// The variation of a seed, derived by hand from the table of constants.
Variation Derive(uint64_t seed) {
  if (seed == 0) seed = 1;
  auto h = [seed](uint64_t c) { return Mix((seed ^ c) + kG); };
  auto u = [&h](uint64_t c) { return Unit(h(c)); };
  Variation v;
  v.noiseState = h(0x7A5F42E9B31C06D8ull);
  if (v.noiseState == 0) v.noiseState = 1;
  v.osc1Offset = (2 * u(0xA35B67D8E42619F0ull) - 1) * 0.08;
  v.osc2Offset = (2 * u(0x6D421E85F790B3ACull) - 1) * 0.08;
  v.cutoffOffset = (2 * u(0xC9E2B4705A81F36Dull) - 1) * 0.002;
  v.phase0 = u(0x13C57A42DF09E68Bull);
  v.phase1 = u(0xB48E1C6972D5A03Full);
  v.rate0 = 1 / (42 + 30 * u(0x4EA3D951B67C208Full));
  v.rate1 = 1 / (71 + 45 * u(0x9D70C5A13B46E28Full));
  return v;
}

}  // namespace

TEST(EngineCircuitSeed, ReferenceMixIsSplitMix64) {
  // Guards the hand derivation below: the published SplitMix64 outputs from state 0,
  // and the inverse really inverts.
  EXPECT_EQ(Mix(kG), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(Mix(2 * kG), 0x6E789E6AA1B965F4ull);
  for (uint64_t z : {uint64_t{0}, uint64_t{1}, kG, uint64_t{0xFFFFFFFFFFFFFFFF}, uint64_t{0x0123456789ABCDEF}}) EXPECT_EQ(Unmix(Mix(z)), z) << z;
}

TEST(EngineCircuitSeed, DerivationOfOneSeed) {
  for (uint64_t seed : {0x0123456789ABCDEFull, 2ull, 0xFFFFFFFFFFFFFFFFull}) {
    SynthCore e;
    e.ageDrift = e.ageTarget = 0.5;
    e.ageCountdown = 77;
    e.SetCircuitSeed(seed);
    EXPECT_EQ(Read(e), Derive(seed)) << "seed " << seed;
    // The age walk starts over: a new target is drawn on the next Tick.
    EXPECT_EQ(e.ageCountdown, 0);
    EXPECT_EQ(e.ageDrift, 0.0);
    EXPECT_EQ(e.ageTarget, 0.0);
  }
}

TEST(EngineCircuitSeed, SeedZeroActsAsSeedOne) {
  SynthCore a, b;
  a.SetCircuitSeed(0);
  b.SetCircuitSeed(1);
  EXPECT_EQ(Read(a), Read(b));
}

TEST(EngineCircuitSeed, DerivedValuesStayInTheirRanges) {
  std::vector<uint64_t> seeds = {0, 1, 2, 0xFFFFFFFFFFFFFFFFull, 0x8000000000000000ull};
  for (uint64_t i = 0; i < 20000; ++i) seeds.push_back(i * 0x9E3779B97F4A7C15ull + 12345);
  for (uint64_t i = 0; i < 64; ++i) seeds.push_back(1ull << i);
  SynthCore e;
  for (uint64_t seed : seeds) {
    e.SetCircuitSeed(seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    ASSERT_NE(e.noiseState, 0u);
    ASSERT_LE(std::fabs(e.osc1Offset), 0.08);
    ASSERT_LE(std::fabs(e.osc2Offset), 0.08);
    ASSERT_LE(std::fabs(e.cutoffOffset), 0.002);
    for (int k = 0; k < 2; ++k) {
      ASSERT_GE(e.driftPhase[k], 0.0);
      ASSERT_LT(e.driftPhase[k], 1.0);
    }
    ASSERT_GE(1 / e.driftRate[0], 42.0);  // periods of 42 s to 72 s
    ASSERT_LE(1 / e.driftRate[0], 72.0 + 1e-12);
    ASSERT_GE(1 / e.driftRate[1], 71.0);  // and 71 s to 116 s
    ASSERT_LE(1 / e.driftRate[1], 116.0 + 1e-12);
  }
}

TEST(EngineCircuitSeed, NoiseStateIsNeverZero) {
  // h(c) = mix64((seed ^ c) + G) is 0 exactly when (seed ^ c) + G = 0, mix64
  // being a bijection with mix64(0) = 0: seed = c ^ (0 - G).
  const uint64_t c = 0x7A5F42E9B31C06D8ull;
  const uint64_t seed = c ^ (0 - kG);
  ASSERT_EQ(Mix((seed ^ c) + kG), 0u);
  SynthCore e;
  e.SetCircuitSeed(seed);
  EXPECT_EQ(e.noiseState, 1u);
  // The other values still come from their own constants.
  Variation expected = Derive(seed);
  EXPECT_EQ(Read(e), expected);
}

TEST(EngineCircuitSeed, ConsecutiveSeedsComeFromOneSessionAndACounter) {
  // CreateCircuitSeed = mix64(session + n + G): undoing mix64 gives
  // session + n + G, which grows by exactly 1 per call.
  const uint64_t s0 = SynthCore::CreateCircuitSeed();
  const uint64_t s1 = SynthCore::CreateCircuitSeed();
  const uint64_t s2 = SynthCore::CreateCircuitSeed();
  EXPECT_NE(s0, s1);
  EXPECT_NE(s1, s2);
  EXPECT_EQ(Unmix(s1) - Unmix(s0), 1u);
  EXPECT_EQ(Unmix(s2) - Unmix(s1), 1u);

  // The constructor applies the seed handed out just before the next call.
  SynthCore a;
  const uint64_t after = SynthCore::CreateCircuitSeed();
  const uint64_t used = Mix(Unmix(after) - 1);
  EXPECT_EQ(Read(a), Derive(used));
  SynthCore b;
  EXPECT_NE(Read(a), Read(b));
}

TEST(EngineCircuitSeed, ConcurrentCallsGetDistinctCounterValues) {
  const int threads = 4, perThread = 2000;
  std::vector<std::vector<uint64_t>> got(threads);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&got, t] {
      for (int i = 0; i < perThread; ++i) got[static_cast<size_t>(t)].push_back(SynthCore::CreateCircuitSeed());
    });
  for (std::thread& th : pool) th.join();
  std::vector<uint64_t> counters;
  for (const auto& list : got)
    for (uint64_t s : list) counters.push_back(Unmix(s));
  std::sort(counters.begin(), counters.end());
  // All distinct and, nothing else calling meanwhile, one contiguous run of counter values.
  for (size_t i = 1; i < counters.size(); ++i) ASSERT_EQ(counters[i] - counters[i - 1], 1u) << i;
}
