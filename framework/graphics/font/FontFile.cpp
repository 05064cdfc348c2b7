// Font lookup in the bundle's resources (see FontFile.h).
#include "framework/graphics/font/FontFile.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "framework/graphics/FileBytes.h"

#if defined(_WIN32)
#include "framework/plug/WinApi.h"
#else
#include <dlfcn.h>
#endif

namespace fw::font {

namespace {

std::string ToUtf8(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

// The file of the module (shared object, DLL or executable) containing this code.
std::filesystem::path ModuleFile() {
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ModuleFile), &module))
    return {};
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return {};
  buffer.resize(n);
  return std::filesystem::path(buffer);
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFile), &info) == 0 || info.dli_fname == nullptr) return {};
  return std::filesystem::path(info.dli_fname);
#endif
}

}  // namespace

std::string ModuleResourcesDir() {
  const std::filesystem::path module = ModuleFile();
  if (module.empty()) return {};
  // <bundle>/Contents/<arch>/<module>  ->  <bundle>/Contents/Resources
  const std::filesystem::path contents = module.parent_path().parent_path();
  if (contents.filename() != "Contents") return {};
  std::error_code ec;
  const std::filesystem::path resources = contents / "Resources";
  return std::filesystem::is_directory(resources, ec) ? ToUtf8(resources) : std::string{};
}

std::vector<std::string> DefaultFontDirs() {
  std::vector<std::string> dirs;
  if (std::string bundle = ModuleResourcesDir(); !bundle.empty()) dirs.push_back(bundle);
#if !defined(_WIN32)
  dirs.emplace_back("/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF");
#endif
  return dirs;
}

std::string FindFontFile(const std::string& fileName, const std::vector<std::string>& dirs) {
  if (fileName.empty() || fileName.find('/') != std::string::npos || fileName.find('\\') != std::string::npos)
    return {};
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    std::error_code ec;
    const std::filesystem::path candidate = Utf8Path(dir) / Utf8Path(fileName);
    if (std::filesystem::is_regular_file(candidate, ec)) return ToUtf8(candidate);
  }
  return {};
}

bool ReadFontFile(const std::string& path, std::string& bytes, std::string& error) {
  if (!ReadFileBytes(path, kMaxFontBytes, bytes, error)) return false;
  // TrueType (0x00010000 or 'true') and OpenType ('OTTO') outlines.
  static const char* const kMagic[] = {"\x00\x01\x00\x00", "true", "OTTO"};
  for (const char* magic : kMagic)
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), magic, 4) == 0) return true;
  error = path + " is not a TrueType or OpenType font";
  bytes.clear();
  return false;
}

}  // namespace fw::font
