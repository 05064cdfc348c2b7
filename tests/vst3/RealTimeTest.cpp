// A host's process call into the VST 3 binding (parameter queues, mapped
// controllers, events, 32-bit and 64-bit output) with the real plug-in must
// neither allocate nor lock, under the counting hooks of RealTimeHooks.h.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "HostSupport.h"
#include "framework/vst3/Vst3Component.h"
#include "plugin/VrelBazzit.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "tests/support/RealTimeHooks.h"

namespace vst3test {
namespace {

class RealTimeBinding : public ::testing::TestWithParam<int32> {};

TEST_P(RealTimeBinding, ProcessNeitherAllocatesNorLocks) {
  const int32 sampleSize = GetParam();
  auto* component =
      new fw::vst3::SingleComponent(std::make_unique<vrelbazzit::VrelBazzit>(fw::InstanceInfo{}));
  IAudioProcessor* processor = component;
  IComponent* asComponent = component;
  ProcessSetup setup{kRealtime, sampleSize, 512, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(asComponent->setActive(true), kResultOk);
  ASSERT_EQ(processor->setProcessing(true), kResultOk);

  auto mapped = [&](CtrlNumber c) {
    ParamID id = kNoParamId;
    EXPECT_EQ(component->getMidiControllerAssignment(0, 0, c, id), kResultTrue);
    return id;
  };

  // Busy calls: parameter queues (a voice-mode switch among them), mapped
  // controllers, notes with stealing, pressure; 300 samples each, more than the
  // binding's 256-frame 32-bit buffer.
  std::vector<std::unique_ptr<Call>> calls;
  for (int c = 0; c < 60; ++c) {
    auto call = std::make_unique<Call>(300, sampleSize);
    call->Tempo(90.0);
    for (ParamID p = 0; p < 59; p += 3) call->changes.Add(p, ((p * 13 + static_cast<ParamID>(c) * 7) % 100) / 99.0);
    call->changes.Add(vrelbazzit::kVoiceMode, (c / 8 % 3) / 2.0);
    call->changes.Add(mapped(kCtrlModWheel), (c % 10) / 9.0);
    call->changes.Add(mapped(kPitchBend), (c % 7) / 6.0);
    call->changes.Add(mapped(kAfterTouch), 0.3);
    call->changes.Add(mapped(kCtrlSustainOnOff), c % 4 < 2 ? 1.0 : 0.0);
    if (c % 20 == 19) call->changes.Add(mapped(kCtrlAllNotesOff), 1.0);
    for (int16 n = 0; n < 5; ++n) {
      const int16 pitch = static_cast<int16>(40 + (c * 7 + n * 5) % 40);
      call->events.Add((c + n) % 3 ? NoteOn(pitch, 0.8f) : NoteOff(pitch));
      call->events.Add(PolyPressure(pitch, 0.5f));
    }
    calls.push_back(std::move(call));
  }

  int allocations = 0, locks = 0;
  double peak = 0.0;
  for (auto& call : calls) {
    {
      RealTimeProbe probe;
      EXPECT_EQ(processor->process(call->data), kResultOk);
      allocations += probe.Allocations();
      locks += probe.Locks();
    }
    for (int i = 0; i < 300; ++i)
      peak = std::max(peak, sampleSize == kSample64 ? std::abs(call->l64[static_cast<size_t>(i)])
                                                    : static_cast<double>(std::abs(call->l32[static_cast<size_t>(i)])));
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(peak, 0.01) << "the calls rendered sound";

  EXPECT_EQ(processor->setProcessing(false), kResultOk);
  EXPECT_EQ(asComponent->setActive(false), kResultOk);
  EXPECT_EQ(component->release(), 0u);
  VB_SKIP_LOCK_CHECK_IF_UNCOUNTED();
  EXPECT_EQ(locks, 0);
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, RealTimeBinding, ::testing::Values(kSample32, kSample64),
                         [](const ::testing::TestParamInfo<int32>& p) {
                           return p.param == kSample64 ? std::string("Float64") : std::string("Float32");
                         });

}  // namespace
}  // namespace vst3test
