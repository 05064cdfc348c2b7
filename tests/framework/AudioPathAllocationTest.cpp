// The audio path must not allocate: this file replaces the global operator new
// of the test program with one that counts the calls made on the current thread
// while counting is switched on.
#include "framework/offline/OfflineHost.h"
#include "framework/plug/IPeakSender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
}  // namespace

// new and delete are replaced together, so malloc/free pair up; the compiler
// cannot see that when it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace fw {
namespace {

// Counts allocations made on this thread during its lifetime.
class AllocationCounter {
public:
  AllocationCounter() {
    tAllocations = 0;
    tCounting = true;
  }
  ~AllocationCounter() { tCounting = false; }
  int Count() const { return tAllocations; }
};

// Does its work in fixed members only, like a real-time plug-in must.
class QuietPlug : public IPlugBase {
public:
  QuietPlug() : IPlugBase(InstanceInfo{}, MakeConfig()) {
    GetParam(0)->InitDouble("Gain", 0.5, 0, 1, 0.01);
    GetParam(1)->InitEnum("Mode", 0, {"A", "B", "C"});
  }
  void OnParamChange(int) override { ++paramChanges; }
  void ProcessMidiMsg(const IMidiMsg&) override { ++midi; }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override {
    IPlugBase::ProcessBlock(inputs, outputs, nFrames);
    for (int s = 0; s < nFrames; ++s) outputs[0][s] = outputs[1][s] = GetParam(0)->Value();
    meter.ProcessBlock(outputs, nFrames, 1);
  }

  int paramChanges = 0;
  int midi = 0;
  IPeakSender<2, 64> meter;

private:
  static Config MakeConfig() {
    Config c;
    c.nParams = 2;
    return c;
  }
};

TEST(AudioPathAllocation, CounterSeesAllocations) {
  AllocationCounter counter;
  auto p = std::make_unique<int>(3);
  EXPECT_EQ(counter.Count(), 1) << "the replaced operator new is not in use";
}

TEST(AudioPathAllocation, OfflineBlockAllocatesNothing) {
  auto p = std::make_unique<QuietPlug>();
  QuietPlug* plug = p.get();
  OfflineHost host(std::move(p));
  host.Start(48000.0, 512);

  OfflineBlock block;
  block.tempo = 128.0;
  block.params = {{0, 0.75, true}, {1, 2.0, false}};
  block.controllers = {IMidiMsg::ControlChange(0, 74, 20), IMidiMsg::PitchBend(0, 9000)};
  block.events = {IMidiMsg::NoteOn(0, 60, 100), IMidiMsg::NoteOff(0, 60)};
  std::vector<double> left(512), right(512);

  // Deferred editor changes are drained inside the block too.
  plug->SendParameterValueFromUI(1, 0.5);

  int allocations = 0;
  {
    AllocationCounter counter;
    for (int i = 0; i < 20; ++i) host.ProcessBlock(block, left.data(), right.data(), 512);
    allocations = counter.Count();
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(plug->paramChanges, 1 + 20 * 2) << "the deferred change, then two per block";
  EXPECT_EQ(plug->midi, 20 * 4);
  EXPECT_EQ(left[511], 0.75);
  int entries = 0;
  plug->meter.TransmitData([&](const IPeakSender<2, 64>::Data&) { ++entries; });
  EXPECT_EQ(entries, 42) << "10240 frames: 42 whole windows of 240";
}

}  // namespace
}  // namespace fw
