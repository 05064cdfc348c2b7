// Removal of the renderer's unfinished output when SIGINT, SIGTERM or SIGHUP
// ends the program: the handler unlinks the one registered temporary file and
// lets the signal end the program as it would have.
#pragma once

#include <signal.h>

#include <string>

namespace vbrender {

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime: a file created
// inside it is registered for removal before such a signal can end the
// program. A signal that came meanwhile arrives when it ends.
class InterruptionsHeld {
public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

private:
  sigset_t mOld;
};

// Installs the handlers for SIGINT, SIGTERM and SIGHUP (once per program).
void InstallInterruptionCleanup();

// The file the handlers remove; empty: none. Safe to call with or without the
// handlers installed.
void SetFileToRemoveOnInterruption(const std::string& path);

}  // namespace vbrender
