// The Windows idle timer: a thread timer (SetTimer without a window) whose
// callback the thread's message loop calls. The callback receives only the
// timer's id, so the running timers are found in a table by id; a callback for
// an id no longer in the table (a timer stopped meanwhile) does nothing.
#include <windows.h>

#include <map>
#include <mutex>

#include "Vst3IdleTimer.h"

namespace fw::vst3 {

namespace {

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}

std::map<UINT_PTR, IdleTimer*>& Table() {
  static std::map<UINT_PTR, IdleTimer*> t;
  return t;
}

void CALLBACK OnIdleTimer(HWND, UINT, UINT_PTR id, DWORD) {
  IdleTimer* timer = nullptr;
  {
    std::lock_guard<std::mutex> lock(TableMutex());
    const auto it = Table().find(id);
    if (it != Table().end()) timer = it->second;
  }
  // Timers are started, stopped and fired on the thread that owns them, so
  // the timer found cannot go away while it ticks.
  if (timer) timer->Fire();
}

}  // namespace

bool IdleTimer::Start() {
  if (mTimerId != 0) return true;
  const UINT_PTR id = SetTimer(nullptr, 0, kIdleIntervalMs, OnIdleTimer);
  if (id == 0) return false;
  std::lock_guard<std::mutex> lock(TableMutex());
  Table()[id] = this;
  mTimerId = id;
  return true;
}

void IdleTimer::Stop() {
  if (mTimerId == 0) return;
  KillTimer(nullptr, static_cast<UINT_PTR>(mTimerId));
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().erase(static_cast<UINT_PTR>(mTimerId));
  mTimerId = 0;
}

}  // namespace fw::vst3
