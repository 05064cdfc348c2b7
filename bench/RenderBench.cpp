// Render speed of the plug-in object: 10 s of audio at 48 kHz in 512-frame
// blocks. The counter "realtime_x" is seconds of audio rendered per second of
// CPU time, the real-time factor.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "framework/offline/OfflineHost.h"
#include "plugin/VrelBazzit.h"

namespace {

using vrelbazzit::VrelBazzit;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 10.0;

void RenderTenSeconds(benchmark::State& state, const std::vector<std::pair<int, double>>& values,
                      const std::vector<int>& notes) {
  std::vector<double> left(kBlock), right(kBlock);
  const int blocks = static_cast<int>(kSeconds * kRate) / kBlock;
  for (auto _ : state) {
    state.PauseTiming();
    auto plug = std::make_unique<VrelBazzit>(fw::InstanceInfo{});
    plug->SetCircuitSeed(1234);
    fw::OfflineHost host(std::move(plug));
    host.RestorePlainValues(values);
    host.Start(kRate, kBlock);
    fw::OfflineBlock first;
    for (int n : notes) first.events.push_back(fw::IMidiMsg::NoteOn(0, n, 100));
    const fw::OfflineBlock empty;
    state.ResumeTiming();

    for (int b = 0; b < blocks; ++b) host.ProcessBlock(b == 0 ? first : empty, left.data(), right.data(), kBlock);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
  }
  state.counters["realtime_x"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

// (a) One Mono voice at the defaults.
void BM_MonoDefaults(benchmark::State& state) {
  RenderTenSeconds(state, {{vrelbazzit::kVoiceMode, 1.0}}, {60});
}

// (b) Four Poly voices with every effect working.
void BM_PolyAllEffects(benchmark::State& state) {
  using namespace vrelbazzit;
  RenderTenSeconds(state,
                   {{kVoiceMode, 2.0}, {kFat, 80.0}, {kWidth, 80.0}, {kFuzz, 80.0}, {kSpace, 50.0}, {kAge, 50.0},
                    {kVrelBite, 50.0}, {kOsc1Wave, 3.0}, {kOsc2Wave, 5.0}},
                   {60, 64, 67, 71});
}

BENCHMARK(BM_MonoDefaults)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PolyAllEffects)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
