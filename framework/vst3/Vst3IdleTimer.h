// The plug-in's 20 ms idle tick on the host's main thread.
//
// Linux: from the host's run loop. It runs from construction when the host
// offers a run loop in its context, else while the editor's view holds the
// frame's run loop.
// Windows: a timer of the thread's message queue (SetTimer), started when the
// component is initialised, whether or not the editor is open; the host's
// message loop (or a modal dialog's) delivers it.
//
// On both, a tick that comes while the previous one still runs (a modal dialog
// pumping events) is skipped.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "pluginterfaces/gui/iplugview.h"

namespace fw::vst3 {

// Runs the tick unless it is running already.
class IdleTick {
public:
  explicit IdleTick(std::function<void()> tick) : mTick(std::move(tick)) {}

  void Run() {
    if (mInTick) return;
    mInTick = true;
    mTick();
    mInTick = false;
  }

private:
  std::function<void()> mTick;
  bool mInTick = false;
};

inline constexpr int kIdleIntervalMs = 20;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

#if SMTG_OS_LINUX
class IdleTimer final : public Steinberg::Linux::ITimerHandler {
public:
  static constexpr Steinberg::Linux::TimerInterval kIntervalMs = kIdleIntervalMs;

  explicit IdleTimer(std::function<void()> tick) : mTick(std::move(tick)) {}
  ~IdleTimer() { Stop(); }
  IdleTimer(const IdleTimer&) = delete;
  IdleTimer& operator=(const IdleTimer&) = delete;

  // Starts ticking from runLoop (holding a reference); false when it refused.
  // Running already: true, nothing changes.
  bool Start(Steinberg::Linux::IRunLoop* runLoop) {
    if (mRunLoop) return true;
    if (!runLoop || runLoop->registerTimer(this, kIntervalMs) != Steinberg::kResultOk) return false;
    runLoop->addRef();
    mRunLoop = runLoop;
    return true;
  }
  void Stop() {
    if (!mRunLoop) return;
    mRunLoop->unregisterTimer(this);
    mRunLoop->release();
    mRunLoop = nullptr;
  }
  bool IsRunning() const { return mRunLoop != nullptr; }
  Steinberg::Linux::IRunLoop* RunLoop() const { return mRunLoop; }

  void PLUGIN_API onTimer() override { mTick.Run(); }

  // Owned by its component: the host's references never outlive it (Stop
  // unregisters), so counting is not needed.
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queried, void** obj) override {
    if (!obj) return Steinberg::kInvalidArgument;
    if (Steinberg::FUnknownPrivate::iidEqual(queried, Steinberg::FUnknown::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(queried, Steinberg::Linux::ITimerHandler::iid)) {
      *obj = this;
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
  IdleTick mTick;
  Steinberg::Linux::IRunLoop* mRunLoop = nullptr;
};
#elif SMTG_OS_WINDOWS
class IdleTimer final {
public:
  explicit IdleTimer(std::function<void()> tick) : mTick(std::move(tick)) {}
  ~IdleTimer() { Stop(); }
  IdleTimer(const IdleTimer&) = delete;
  IdleTimer& operator=(const IdleTimer&) = delete;

  // Starts ticking on the calling thread's message queue; false when Windows
  // refused the timer. Running already: true, nothing changes.
  bool Start();
  void Stop();
  bool IsRunning() const { return mTimerId != 0; }

  // The timer's callback (Vst3IdleTimerWin.cpp) runs the tick through this.
  void Fire() { mTick.Run(); }

private:
  IdleTick mTick;
  uintptr_t mTimerId = 0;
};
#endif

#pragma GCC diagnostic pop

}  // namespace fw::vst3
