// Skin folders for tests: a temporary directory that is removed with its
// contents, and helpers that write a skin file and image files into it.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "tests/support/TempDir.h"
#include "skins/SkinPack.h"

namespace vrelbazzit::test {

// A small stand-in image: the loader only opens and measures image files.
inline const std::string kTinySvg =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"><rect width=\"8\" height=\"8\"/></svg>\n";
inline const std::string kTinyPng = "\x89PNG\r\n\x1a\n(not decoded by the loader)";

using TempDir = vbtest::TempDir;

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A file of the given size without writing its bytes (a sparse file).
inline void WriteFileOfSize(const std::string& path, std::uintmax_t size) {
  WriteFile(path, "");
  std::filesystem::resize_file(path, size);
}

inline void RemoveFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

// Writes "<folder>/skin.vbskin" with the text and, unless told otherwise, the
// eight required images as SVG files. Returns the skin file's path.
inline std::string WriteSkinFolder(const std::string& folder, const std::string& skinText,
                                   bool withRequiredImages = true, const std::string& imageExtension = ".svg") {
  const std::string skinPath = folder + "/skin.vbskin";
  WriteFile(skinPath, skinText);
  if (withRequiredImages) {
    for (const char* name : kRequiredSkinAssets)
      WriteFile(folder + "/" + name + imageExtension, imageExtension == ".png" ? kTinyPng : kTinySvg);
  }
  return skinPath;
}

inline std::string SkinText(const std::string& settings) { return std::string(kSkinFileHeader) + "\n" + settings; }

}  // namespace vrelbazzit::test
