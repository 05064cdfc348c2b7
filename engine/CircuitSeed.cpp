// The per-instance circuit variation: tiny fixed tuning and cutoff offsets,
// two slow drift sines and the noise sequence, all derived from one seed.
#include <atomic>
#include <chrono>

#include "SynthCore.h"
#include "dsp/Random.h"

namespace vrelbazzit {

uint64_t SynthCore::CreateCircuitSeed() {
  static const uint64_t session = [] {
    const auto sys = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const auto steady = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return dsp::Mix64((sys ^ steady) + dsp::kGoldenGamma);
  }();
  static std::atomic<uint64_t> next{0};
  const uint64_t n = next.fetch_add(1);
  return dsp::Mix64(session + n + dsp::kGoldenGamma);
}

void SynthCore::SetCircuitSeed(uint64_t seed) {
  if (seed == 0) seed = 1;
  auto h = [seed](uint64_t c) { return dsp::Mix64((seed ^ c) + dsp::kGoldenGamma); };
  auto u = [&h](uint64_t c) { return dsp::ToUnit(h(c)); };

  noiseState = h(0x7A5F42E9B31C06D8ull);
  if (noiseState == 0) noiseState = 1;
  osc1Offset = (2.0 * u(0xA35B67D8E42619F0ull) - 1.0) * 0.08;
  osc2Offset = (2.0 * u(0x6D421E85F790B3ACull) - 1.0) * 0.08;
  cutoffOffset = (2.0 * u(0xC9E2B4705A81F36Dull) - 1.0) * 0.002;
  driftPhase[0] = u(0x13C57A42DF09E68Bull);
  driftPhase[1] = u(0xB48E1C6972D5A03Full);
  driftRate[0] = 1.0 / (42.0 + 30.0 * u(0x4EA3D951B67C208Full));
  driftRate[1] = 1.0 / (71.0 + 45.0 * u(0x9D70C5A13B46E28Full));
  ageCountdown = 0;
  ageDrift = 0.0;
  ageTarget = 0.0;
}

}  // namespace vrelbazzit
