// Opening the files of a skin (the skin file and its images) for reading.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vrelbazzit::skinfile {

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

// Opens the path for reading as raw bytes with the platform's narrow call. A
// folder never counts as opened: Windows refuses to open one, glibc would not.
File Open(const std::string& path);

// The size of an open file, or -1 when it cannot be measured.
long Size(std::FILE* f);

}  // namespace vrelbazzit::skinfile
