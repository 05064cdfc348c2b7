// Reads a whole file into memory with an upper bound, from a UTF-8 path (the
// wide file API on Windows, through std::filesystem).
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fw {

inline std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// False with a one-line message when the file cannot be opened or read, or is
// larger than maxBytes.
inline bool ReadFileBytes(const std::string& utf8Path, std::size_t maxBytes, std::string& out, std::string& error) {
  out.clear();
  std::error_code ec;
  const std::filesystem::path path = Utf8Path(utf8Path);
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "cannot open " + utf8Path;
    return false;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read " + utf8Path;
    return false;
  }
  if (size > maxBytes) {
    error = utf8Path + " is larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + utf8Path;
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  if (in.gcount() != static_cast<std::streamsize>(out.size())) {
    error = "cannot read " + utf8Path;
    out.clear();
    return false;
  }
  return true;
}

}  // namespace fw
