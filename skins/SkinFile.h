// Opening the files of a skin (the skin file and its images) for reading.
// Paths are UTF-8 text; on Windows they reach the file system through the
// wide calls (std::filesystem::path), so any folder name works. Only regular
// files are ever opened: a FIFO, device or socket is recognised from its
// file type first, so looking at a skin never blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace vrelbazzit::skinfile {

// What a path names, found without opening it.
enum class Kind {
  kNothing,  // no such entry, or a path the platform cannot express
  kFolder,
  kFile,     // a regular file
  kSpecial,  // a FIFO, device, socket or other non-regular entry
};
Kind KindOf(const std::string& path);

// The path as the platform's file calls take it: on Windows the UTF-8 text
// turned into UTF-16, elsewhere the bytes unchanged. False when the text is
// not valid UTF-8 on Windows.
bool ToNativePath(const std::string& path, std::filesystem::path& native);

using File = std::unique_ptr<std::ifstream>;

// Opens a regular file for reading as raw bytes; null for anything else
// (missing, a folder, a special file, no permission).
File Open(const std::string& path);

// The size of an open file, or -1 when it cannot be measured.
std::int64_t Size(std::ifstream& f);

}  // namespace vrelbazzit::skinfile
