// Cost of the VST 3 binding around the engine: one Mono voice at the default
// sound, 10 s at 48 kHz in 64-frame process calls, through the binding's
// process call with 32-bit and with 64-bit samples, and through the offline
// host (the same process-call sequence without the binding) for comparison.
// The counter "realtime_x" is seconds of audio per second of CPU time.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "framework/offline/OfflineHost.h"
#include "framework/vst3/Vst3Component.h"
#include "plugin/VrelBazzit.h"
#include "tests/vst3/HostSupport.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using vrelbazzit::VrelBazzit;

constexpr double kRate = 48000.0;
constexpr int kBlock = 64;
constexpr double kSeconds = 10.0;
constexpr int kBlocks = static_cast<int>(kSeconds * kRate) / kBlock;
constexpr int16 kNote = 60;

std::unique_ptr<VrelBazzit> MakeMonoPlug() {
  auto plug = std::make_unique<VrelBazzit>(fw::InstanceInfo{});
  plug->SetCircuitSeed(1234);
  plug->GetParam(vrelbazzit::kVoiceMode)->Set(1.0);
  return plug;
}

void SetRate(benchmark::State& state) {
  state.counters["realtime_x"] = benchmark::Counter(kSeconds * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

// (e) The binding's process call; state.range(0) is the sample size in bits.
void BM_Vst3Process(benchmark::State& state) {
  const int32 sampleSize = state.range(0) == 64 ? kSample64 : kSample32;
  for (auto _ : state) {
    state.PauseTiming();
    auto* component = new fw::vst3::SingleComponent(MakeMonoPlug());
    IAudioProcessor* processor = component;
    IComponent* asComponent = component;
    ProcessSetup setup{kRealtime, sampleSize, kBlock, kRate};
    processor->setupProcessing(setup);
    asComponent->setActive(true);
    processor->setProcessing(true);
    vst3test::Call first(kBlock, sampleSize), rest(kBlock, sampleSize);
    first.Tempo(120.0);
    rest.Tempo(120.0);
    first.events.Add(vst3test::NoteOn(kNote, 100.0f / 127.0f));
    state.ResumeTiming();

    for (int b = 0; b < kBlocks; ++b) processor->process(b == 0 ? first.data : rest.data);
    benchmark::DoNotOptimize(rest.l64.data());
    benchmark::DoNotOptimize(rest.l32.data());
    benchmark::ClobberMemory();

    state.PauseTiming();
    processor->setProcessing(false);
    asComponent->setActive(false);
    component->release();
    state.ResumeTiming();
  }
  SetRate(state);
}

// The same sound and block size through the offline host.
void BM_OfflineProcess(benchmark::State& state) {
  std::vector<double> left(kBlock), right(kBlock);
  for (auto _ : state) {
    state.PauseTiming();
    fw::OfflineHost host(MakeMonoPlug());
    host.Start(kRate, kBlock);
    fw::OfflineBlock first;
    first.events.push_back(fw::IMidiMsg::NoteOn(0, kNote, 100));
    const fw::OfflineBlock empty;
    state.ResumeTiming();

    for (int b = 0; b < kBlocks; ++b) host.ProcessBlock(b == 0 ? first : empty, left.data(), right.data(), kBlock);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

BENCHMARK(BM_Vst3Process)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OfflineProcess)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
