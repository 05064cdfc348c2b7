// Opening the files of a skin for reading.
#include "SkinFile.h"

#include <system_error>

namespace vrelbazzit::skinfile {

bool ToNativePath(const std::string& path, std::filesystem::path& native) {
  try {
#ifdef _WIN32
    native = std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    native = std::filesystem::path(path);
#endif
    return true;
  } catch (const std::exception&) {  // not UTF-8: no file has that name
    return false;
  }
}

Kind KindOf(const std::string& path) {
  std::filesystem::path native;
  if (path.empty() || !ToNativePath(path, native)) return Kind::kNothing;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(native, ec);
  switch (status.type()) {
    case std::filesystem::file_type::regular: return Kind::kFile;
    case std::filesystem::file_type::directory: return Kind::kFolder;
    case std::filesystem::file_type::none:
    case std::filesystem::file_type::not_found: return Kind::kNothing;
    default: return Kind::kSpecial;
  }
}

File Open(const std::string& path) {
  // The type is looked at first: opening a FIFO would wait for a writer.
  if (KindOf(path) != Kind::kFile) return nullptr;
  std::filesystem::path native;
  if (!ToNativePath(path, native)) return nullptr;
  auto f = std::make_unique<std::ifstream>(native, std::ios::binary);
  if (!f->is_open()) return nullptr;
  return f;
}

std::int64_t Size(std::ifstream& f) {
  f.clear();
  f.seekg(0, std::ios::end);
  const std::streamoff end = f.tellg();
  if (!f || end < 0) return -1;
  return static_cast<std::int64_t>(end);
}

}  // namespace vrelbazzit::skinfile
