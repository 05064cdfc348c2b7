// The audio path (parameter intake, MIDI, ProcessBlock with every Tick) must
// neither allocate nor lock: busy process calls of the plug-in object under
// the counting hooks of RealTimeHooks.h.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "PluginHarness.h"
#include "tests/support/RealTimeHooks.h"

namespace vrelbazzit::test {
namespace {

using fw::IMidiMsg;

// A busy session: every voice mode, every parameter moved by the host, note
// storms with stealing and backfill, pedals, all-notes-off, controllers, and
// editor changes (a voice-mode switch among them) handed to the audio thread.
std::vector<fw::OfflineBlock> BusyBlocks() {
  std::vector<fw::OfflineBlock> blocks;
  for (int b = 0; b < 120; ++b) {
    fw::OfflineBlock blk;
    blk.tempo = 60.0 + b;
    for (int p = 0; p < kNumParams; ++p)
      if ((p + b) % 7 == 0) blk.params.push_back({p, ((p * 37 + b * 11) % 100) / 99.0, true});
    blk.params.push_back({kVoiceMode, (b / 10) % 3 / 2.0, true});
    blk.params.push_back({kFuzz, 0.9, true});
    blk.params.push_back({kVrelBite, 0.7, true});
    blk.controllers.push_back(IMidiMsg::ControlChange(0, 1, b % 128));
    blk.controllers.push_back(IMidiMsg::PitchBend(0, (b * 997) % 16384));
    blk.controllers.push_back(IMidiMsg::ChannelPressure(0, b % 128));
    blk.controllers.push_back(IMidiMsg::ControlChange(0, 64, (b % 9 < 4) ? 127 : 0));
    if (b % 31 == 30) blk.controllers.push_back(IMidiMsg::ControlChange(0, 123, 0));
    for (int n = 0; n < 6; ++n) {
      const int note = 36 + (b * 5 + n * 7) % 60;
      blk.events.push_back((b + n) % 3 ? IMidiMsg::NoteOn(n, note, 1 + (b * 13 + n) % 127) : IMidiMsg::NoteOff(n, note));
      blk.events.push_back(IMidiMsg::PolyPressure(0, note, (b * 3) % 128));
    }
    blocks.push_back(std::move(blk));
  }
  return blocks;
}

TEST(RealTime, AudioPathNeitherAllocatesNorLocks) {
  PluginHarness h;
  h.Start(48000.0, 256);
  const std::vector<fw::OfflineBlock> blocks = BusyBlocks();
  std::vector<double> left(256), right(256);

  int allocations = 0, locks = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    // Main thread between process calls: editor gestures, deferred to the audio thread.
    h.Plug().SendParameterValueFromUI(kVoiceMode, (b % 3) / 2.0);
    h.Plug().SendParameterValueFromUI(kCutoff, (b % 10) / 10.0);
    if (b % 5 == 0) h.Host().Idle();
    {
      RealTimeProbe probe;
      h.Host().ProcessBlock(blocks[b], left.data(), right.data(), 256);
      allocations += probe.Allocations();
      locks += probe.Locks();
    }
  }
  EXPECT_EQ(allocations, 0);
  VB_SKIP_LOCK_CHECK_IF_UNCOUNTED();
  EXPECT_EQ(locks, 0);
}

// The hooks themselves must work, or the test above proves nothing.
TEST(RealTime, HooksSeeAllocationsAndLocks) {
  if (!vbtest_rt::kCountsLocks) GTEST_SKIP() << "malloc and locks are not hooked in a sanitizer build";
  RealTimeProbe probe;
  std::vector<int>* v = new std::vector<int>(100);
  void* raw = std::malloc(16);
  std::mutex m;
  m.lock();
  m.unlock();
  const int allocations = probe.Allocations();
  const int locks = probe.Locks();
  std::free(raw);
  delete v;
  EXPECT_EQ(allocations, 3) << "two operator new calls and one malloc";
  EXPECT_EQ(locks, 1);
}

}  // namespace
}  // namespace vrelbazzit::test
