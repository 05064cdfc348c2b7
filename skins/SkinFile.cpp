// Opening the files of a skin for reading.
#include "SkinFile.h"

#include <filesystem>
#include <system_error>

namespace vrelbazzit::skinfile {

File Open(const std::string& path) {
  if (path.empty()) return nullptr;
  File f(std::fopen(path.c_str(), "rb"));
  std::error_code ec;
  if (f && std::filesystem::is_directory(std::filesystem::path(path), ec)) return nullptr;
  return f;
}

long Size(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  return std::ftell(f);
}

}  // namespace vrelbazzit::skinfile
