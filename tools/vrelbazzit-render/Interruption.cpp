#include "Interruption.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vbrender {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A copy of the path made before it is published, so the handler only reads
// finished memory; replaced and freed with the signals blocked.
std::atomic<char*> gFileToRemove{nullptr};

extern "C" void RemoveFileAndEnd(int sig) {
  // unlink and raise are async-signal-safe. SA_RESETHAND has put back the
  // default action, so the re-raised signal ends the program once the handler
  // returns, with the status a plain SIGINT (or TERM, HUP) would give.
  const int savedErrno = errno;
  if (char* path = gFileToRemove.load()) unlink(path);
  raise(sig);
  errno = savedErrno;
}

sigset_t HandledSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kSignals) sigaddset(&set, sig);
  return set;
}

}  // namespace

InterruptionsHeld::InterruptionsHeld() {
  const sigset_t block = HandledSignals();
  sigprocmask(SIG_BLOCK, &block, &mOld);
}

InterruptionsHeld::~InterruptionsHeld() { sigprocmask(SIG_SETMASK, &mOld, nullptr); }

void InstallInterruptionCleanup() {
  struct sigaction action {};
  action.sa_handler = RemoveFileAndEnd;
  action.sa_mask = HandledSignals();  // one handler at a time
  action.sa_flags = SA_RESETHAND;
  for (int sig : kSignals) {
    struct sigaction previous {};
    // A signal ignored when the program started (nohup) stays ignored.
    if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
}

void SetFileToRemoveOnInterruption(const std::string& path) {
  char* copy = path.empty() ? nullptr : strdup(path.c_str());
  const sigset_t block = HandledSignals();
  sigset_t old;
  sigprocmask(SIG_BLOCK, &block, &old);
  char* previous = gFileToRemove.exchange(copy);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  std::free(previous);
}

}  // namespace vbrender
