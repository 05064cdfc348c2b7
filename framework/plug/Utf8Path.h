// Paths are UTF-8 text inside the program; these turn them into the
// platform's own paths at the file system's door and back. On Windows a
// std::filesystem::path holds UTF-16 and every call made with it (streams,
// status, rename) goes through the wide API, so folder names outside the
// system code page work; elsewhere the bytes pass unchanged.
#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

namespace fw {

// False when the text is not valid UTF-8 (Windows only): no file has that name.
inline bool PathFromUtf8(std::string_view utf8, std::filesystem::path& out) {
  try {
#ifdef _WIN32
    out = std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    out = std::filesystem::path(std::string(utf8));
#endif
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// False when the path has no UTF-8 form (an unpaired surrogate on Windows).
inline bool Utf8FromPath(const std::filesystem::path& path, std::string& out) {
  try {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    out.assign(text.begin(), text.end());
#else
    out = path.native();
#endif
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace fw
