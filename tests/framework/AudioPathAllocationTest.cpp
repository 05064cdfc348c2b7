// The framework's audio path must not allocate or lock: offline blocks with
// parameter changes, MIDI and the meter under the counting hooks of
// RealTimeHooks.h.
#include "framework/offline/OfflineHost.h"
#include "framework/plug/IPeakSender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "tests/support/RealTimeHooks.h"

namespace fw {
namespace {

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
  RealTimeProbe counter;
  auto p = std::make_unique<int>(3);
  EXPECT_EQ(counter.Allocations(), 1) << "the replaced operator new is not in use";
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

  int allocations = 0, locks = 0;
  {
    RealTimeProbe counter;
    for (int i = 0; i < 20; ++i) host.ProcessBlock(block, left.data(), right.data(), 512);
    allocations = counter.Allocations();
    locks = counter.Locks();
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(plug->paramChanges, 1 + 20 * 2) << "the deferred change, then two per block";
  EXPECT_EQ(plug->midi, 20 * 4);
  EXPECT_EQ(left[511], 0.75);
  int entries = 0;
  plug->meter.TransmitData([&](const IPeakSender<2, 64>::Data&) { ++entries; });
  EXPECT_EQ(entries, 42) << "10240 frames: 42 whole windows of 240";
  VB_SKIP_LOCK_CHECK_IF_UNCOUNTED();
  EXPECT_EQ(locks, 0);
}

}  // namespace
}  // namespace fw
