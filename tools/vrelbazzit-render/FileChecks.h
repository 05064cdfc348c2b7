// Checks the renderer makes on the files it is given before it touches them:
// inputs are read only when they are regular files (opened without blocking,
// so a FIFO or a device never hangs the program), and an output path may only
// name a regular file or nothing yet. Paths are UTF-8 strings.
#pragma once

#include <string>

#include "CommandLine.h"

namespace vbrender {

// "\"path\"", the way messages name a file.
std::string Quoted(const std::string& path);

// Opens path for reading without blocking and returns the descriptor when it
// is a regular file. Otherwise returns -1 and sets error to one line naming
// the file ("cannot open \"x\": ...", "\"x\" is a folder, not a file", ...).
int OpenRegularFile(const std::string& path, std::string& error);

// For a path about to be replaced: true when nothing exists there yet or it
// is a regular file. A folder, symbolic link, FIFO, device or socket is
// refused with one line naming the path and what it is.
bool CheckReplaceable(const std::string& path, std::string& error);

// True when both paths name the same existing file (same device and inode,
// following symbolic links), or neither exists and both name the same place.
bool SameFile(const std::string& a, const std::string& b);

// The renderer's paths before anything is read or written: OUTPUT and
// --save-patch may be replaced (CheckReplaceable), OUTPUT is none of INPUT,
// the --patch file and the --save-patch file, and --save-patch is not INPUT.
bool CheckRenderPaths(const RenderOptions& options, std::string& error);

}  // namespace vbrender
