// Removal of the renderer's unfinished output when SIGINT, SIGTERM or SIGHUP
// ends the program: the handler unlinks the one registered temporary file and
// lets the signal end the program as it would have.
#pragma once

#include <string>

namespace vbrender {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP (once per program).
void InstallInterruptionCleanup();

// The file the handlers remove; empty: none. Safe to call with or without the
// handlers installed.
void SetFileToRemoveOnInterruption(const std::string& path);

}  // namespace vbrender
