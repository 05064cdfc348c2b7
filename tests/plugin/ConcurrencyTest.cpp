// Editor-side parameter changes on the main thread while the audio thread
// renders. The engine must only ever be touched by the audio thread while
// processing runs (run under ThreadSanitizer, any race fails the test), and
// every change must arrive.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "PluginHarness.h"

namespace vrelbazzit::test {
namespace {

TEST(Concurrency, EditorChangesWhileTheAudioThreadRenders) {
  PluginHarness h;
  h.Start(48000.0, 128);
  std::atomic<bool> stop{false};
  std::atomic<int> blocksDone{0};

  std::thread audio([&] {
    std::vector<double> left(128), right(128);
    fw::OfflineBlock notes;
    notes.events = {fw::IMidiMsg::NoteOn(0, 48, 100), fw::IMidiMsg::NoteOn(0, 55, 100), fw::IMidiMsg::NoteOn(0, 60, 100)};
    const fw::OfflineBlock empty;
    int b = 0;
    while (!stop.load()) {
      h.Host().ProcessBlock(b++ == 0 ? notes : empty, left.data(), right.data(), 128);
      blocksDone.fetch_add(1);
    }
  });

  // Main thread: voice-mode switches (each rebuilds the voices) and knob turns,
  // interleaved with idle ticks, until the audio thread has rendered a while.
  int i = 0;
  while (blocksDone.load() < 400 || i < 2000) {
    h.Plug().SendParameterValueFromUI(kVoiceMode, (i % 3) / 2.0);
    h.Plug().SendParameterValueFromUI(kCutoff, (i % 100) / 100.0);
    h.Plug().SendParameterValueFromUI(kFuzz, (i % 7) / 7.0);
    if (i % 16 == 0) h.Host().Idle();
    ++i;
    if (i % 64 == 0) std::this_thread::yield();
  }
  // Settle on final values, then let the audio thread pick them up.
  h.Plug().SendParameterValueFromUI(kVoiceMode, 1.0);
  h.Plug().SendParameterValueFromUI(kCutoff, 0.3);
  const int seen = blocksDone.load();
  while (blocksDone.load() < seen + 2) std::this_thread::yield();
  stop.store(true);
  audio.join();

  EXPECT_EQ(h.Synth().voiceMode, kPoly);
  EXPECT_DOUBLE_EQ(h.Synth().params[kCutoff], 0.3);
  // The three held notes came back as poly voices after the last rebuild.
  int active = 0;
  for (int v = 1; v < 5; ++v) active += h.Synth().voices[v].active ? 1 : 0;
  EXPECT_EQ(active, 3);
}

}  // namespace
}  // namespace vrelbazzit::test
