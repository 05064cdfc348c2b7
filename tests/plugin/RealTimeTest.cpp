// The audio path (parameter intake, MIDI, ProcessBlock with every Tick) must
// neither allocate nor lock. This program replaces the global operator new,
// malloc (outside sanitizer builds, which own malloc) and pthread_mutex_lock
// with versions that count calls made on the current thread while counting is
// on, then drives the plug-in through busy process calls.
#include <dlfcn.h>
#include <pthread.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "PluginHarness.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VB_SANITIZED 1
#else
#define VB_SANITIZED 0
#endif

namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
thread_local int tLocks = 0;
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

#if !VB_SANITIZED
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* malloc(size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_realloc(p, size);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
  using Fn = int (*)(pthread_mutex_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (tCounting) ++tLocks;
  return real(m);
}
#endif

namespace vrelbazzit::test {
namespace {

using fw::IMidiMsg;

struct Counting {
  Counting() {
    tAllocations = 0;
    tLocks = 0;
    tCounting = true;
  }
  ~Counting() { tCounting = false; }
};

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
      Counting counting;
      h.Host().ProcessBlock(blocks[b], left.data(), right.data(), 256);
      allocations += tAllocations;
      locks += tLocks;
    }
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(locks, 0);
}

#if !VB_SANITIZED
// The hooks themselves must work, or the test above proves nothing.
TEST(RealTime, HooksSeeAllocationsAndLocks) {
  Counting counting;
  std::vector<int>* v = new std::vector<int>(100);
  void* raw = std::malloc(16);
  std::mutex m;
  m.lock();
  m.unlock();
  const int allocations = tAllocations;
  const int locks = tLocks;
  std::free(raw);
  delete v;
  EXPECT_GE(allocations, 3);
  EXPECT_EQ(locks, 1);
}
#endif

}  // namespace
}  // namespace vrelbazzit::test
