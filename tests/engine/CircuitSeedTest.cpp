// The per-instance circuit variation: known seeds and their variations, the ranges of the derived values, and the seed
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


struct Variation {
  uint64_t noiseState;
  double osc1Offset, osc2Offset, cutoffOffset, phase0, phase1, rate0, rate1;
  bool operator==(const Variation&) const = default;
};

Variation Read(const SynthCore& e) {
  return {e.noiseState,    e.osc1Offset,    e.osc2Offset,   e.cutoffOffset,
          e.driftPhase[0], e.driftPhase[1], e.driftRate[0], e.driftRate[1]};
}

// Variations worked out apart from the engine (a short script over the
// design's formulas: h(c) = mix64((seed ^ c) + G), u = top 53 bits / 2^53,
// offsets (2u - 1) x 0.08, 0.08 and 0.002, phases u, rates 1 / (42 + 30u) and
// 1 / (71 + 45u)), written as exact hexadecimal doubles.
struct Known {
  uint64_t seed;
  Variation variation;
};
constexpr Known kKnown[] = {
    {0x0123456789ABCDEFull, {0x9A350D55F94CAE50ull, -0x1.e337e9a071f48p-8, -0x1.3d64006a84464p-5, 0x1.738c57e1ced54p-10, 0x1.2f6e48d04c540p-6, 0x1.ab70371914e0ep-2, 0x1.0a823486e0772p-6, 0x1.9bfb5f98a7d59p-7}},
    {0x0000000000000002ull, {0x9D3133172381E1F0ull, 0x1.9a63610499900p-5, -0x1.302a8476f5e85p-7, -0x1.c2d5bd06b0600p-10, 0x1.bb233f97ba875p-1, 0x1.6cb6baa501f05p-1, 0x1.01e6daf3f9207p-6, 0x1.6c9fe73c3563cp-7}},
    {0xFFFFFFFFFFFFFFFFull, {0x08CFDD1D10977411ull, -0x1.46994422dbdbbp-5, 0x1.84092601db32ep-5, -0x1.178805a8b0008p-11, 0x1.c6826df789817p-1, 0x1.4d4f53ea06e58p-3, 0x1.cec7461831464p-7, 0x1.23c0c0ba4ccfcp-7}},
    // h of the noise constant is 0 for this seed, so the noise state becomes 1.
    {0x1B97C4AF33A98533ull, {0x0000000000000001ull, -0x1.fb5bc0ba633a9p-5, -0x1.70255c55e8c24p-5, -0x1.42314f8aff0d5p-13, 0x1.6fe37915c5d60p-6, 0x1.189beceddb37ap-1, 0x1.e2e11ed700c2cp-7, 0x1.3bbb222117e52p-7}},
};

}  // namespace

TEST(EngineCircuitSeed, ReferenceMixIsSplitMix64) {
  // Guards the hand derivation below: the published SplitMix64 outputs from state 0,
  // and the inverse really inverts.
  EXPECT_EQ(Mix(kG), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(Mix(2 * kG), 0x6E789E6AA1B965F4ull);
  for (uint64_t z : {uint64_t{0}, uint64_t{1}, kG, uint64_t{0xFFFFFFFFFFFFFFFF}, uint64_t{0x0123456789ABCDEF}}) EXPECT_EQ(Unmix(Mix(z)), z) << z;
}

TEST(EngineCircuitSeed, KnownSeedsGiveTheirVariation) {
  for (const Known& k : kKnown) {
    SynthCore e;
    e.ageDrift = e.ageTarget = 0.5;
    e.ageCountdown = 77;
    e.SetCircuitSeed(k.seed);
    EXPECT_EQ(Read(e), k.variation) << "seed " << k.seed;
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
  // being a bijection with mix64(0) = 0: seed = c ^ (0 - G), the last known seed.
  const uint64_t c = 0x7A5F42E9B31C06D8ull;
  const uint64_t seed = c ^ (0 - kG);
  ASSERT_EQ(seed, kKnown[3].seed);
  ASSERT_EQ(Mix((seed ^ c) + kG), 0u);
  SynthCore e;
  e.SetCircuitSeed(seed);
  EXPECT_EQ(e.noiseState, 1u);
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
  SynthCore fromUsed;
  fromUsed.SetCircuitSeed(used);
  EXPECT_EQ(Read(a), Read(fromUsed));
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
