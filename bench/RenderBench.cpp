// Render speed of the plug-in object: 10 s of audio at 48 kHz in 512-frame
// blocks. The counter "realtime_x" is seconds of audio rendered per second of
// CPU time, the real-time factor. VB_KERNELS=plain in the environment makes
// the engine compute with its plain kernels instead of the processor's vector
// ones, to compare the two; VB_KERNELS=sse4 (or avx2) picks that vector table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include <memory>
#include <utility>
#include <vector>

#include "framework/offline/OfflineHost.h"
#include "plugin/VrelBazzit.h"
#include "simd/Kernels.h"

namespace {

using vrelbazzit::VrelBazzit;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr double kSeconds = 10.0;

using PlainValues = std::vector<std::pair<int, double>>;

// Every effect working: Fat, Width, Fuzz past its warmth threshold, Space,
// Age, Vrel Bite, and two of the additive shapes.
const PlainValues& AllEffects() {
  using namespace vrelbazzit;
  static const PlainValues values = {{kVoiceMode, 2.0}, {kFat, 80.0},      {kWidth, 80.0},
                                     {kFuzz, 80.0},     {kSpace, 50.0},    {kAge, 50.0},
                                     {kVrelBite, 50.0}, {kOsc1Wave, 3.0},  {kOsc2Wave, 5.0}};
  return values;
}

void RenderTenSeconds(benchmark::State& state, const PlainValues& values, const std::vector<int>& notes) {
  std::vector<double> left(kBlock), right(kBlock);
  const int blocks = static_cast<int>(kSeconds * kRate) / kBlock;
  for (auto _ : state) {
    state.PauseTiming();
    auto plug = std::make_unique<VrelBazzit>(fw::InstanceInfo{});
    plug->SetCircuitSeed(1234);
    if (const char* k = std::getenv("VB_KERNELS")) {
      if (std::strcmp(k, "plain") == 0) plug->SetEngineKernels(vrelbazzit::dsp::kPlainKernels);
      for (const vrelbazzit::dsp::Kernels* table : vrelbazzit::simd::SupportedVectorKernels())
        if (std::strcmp(k, table->name) == 0) plug->SetEngineKernels(*table);
    }
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
void BM_PolyAllEffects(benchmark::State& state) { RenderTenSeconds(state, AllEffects(), {60, 64, 67, 71}); }

// (c) An instance that plays no note, at the default sound: only the output
// chain runs (its echo and filter bank hold zeros, the Age hiss does not).
void BM_IdleDefaults(benchmark::State& state) { RenderTenSeconds(state, {}, {}); }

// (d) The sound of (b) with 1 to 5 notes held, to show the cost per voice. Poly
// has four voices: the fifth note steals one, so 5 costs what 4 does.
void BM_PolyVoices(benchmark::State& state) {
  static const std::vector<int> kChord = {60, 64, 67, 71, 74};
  const auto count = static_cast<size_t>(state.range(0));
  RenderTenSeconds(state, AllEffects(), std::vector<int>(kChord.begin(), kChord.begin() + static_cast<long>(count)));
}

BENCHMARK(BM_MonoDefaults)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PolyAllEffects)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_IdleDefaults)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PolyVoices)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
