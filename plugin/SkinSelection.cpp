// Skin selection: which skin the plug-in object holds. Finds the skins that
// ship in the module's bundle, makes the case skin pending for a new
// instance, loads a pending path (from construction or a state restore) with
// its fallbacks, and keeps mSkinPath and mSkinRestorePending under
// mSkinMutex, which is held for one copy or assignment and never while a
// file is read.
//
// Editor seams: LoadSkin (loader, then each required image decoded with the
// editor's graphics context, then ActivateSkin), the cycling and file-choice
// actions with their message boxes, and the rebuild after a change belong to
// the editor; they use ShippedSkinPath, NextShippedSkin and ActivateSkin.
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>

#include "../framework/plug/Utf8Path.h"
#include "../skins/SkinFile.h"
#include "VrelBazzit.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vrelbazzit {

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
// Longest module path accepted, in characters with the terminator.
constexpr size_t kModulePathBuffer = 32768;

// A module-wide stand-in for the module path, set only by tests.
struct ModulePathOverride {
  std::mutex mutex;
  std::string path;
};
ModulePathOverride& TestModulePath() {
  static ModulePathOverride instance;
  return instance;
}

// An address inside this module, to ask the loader which module holds it.
void ModuleAnchor() {}

// The full path of the module file that holds this code; "" when unknown.
std::string ModuleFilePath() {
  {
    ModulePathOverride& test = TestModulePath();
    std::lock_guard<std::mutex> lock(test.mutex);
    if (!test.path.empty()) return test.path;
  }
#ifdef _WIN32
  // The wide calls: the module may sit in a folder whose name the system's
  // narrow code page cannot spell. The path is kept as UTF-8 from here on.
  HMODULE module = nullptr;
  // Look the module up by an address inside it; leave its reference count alone.
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&ModuleAnchor), &module)) return {};
  std::wstring buffer(kModulePathBuffer, L'\0');
  const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(kModulePathBuffer));
  if (length == 0 || length >= kModulePathBuffer) return {};
  buffer.resize(length);
  std::string path;
  if (!fw::Utf8FromPath(std::filesystem::path(std::move(buffer)), path)) return {};
  return path;
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  if (path.empty() || path.size() >= kModulePathBuffer) return {};
  return path;
#endif
}

// For a module inside a bundle (bundle, "Contents", architecture folder,
// module file) this names the bundle's own Contents/Resources/Skins folder.
std::string BundledCaseManifest(const char* folder) {
  if (folder == nullptr) return {};
  const std::string modulePath = ModuleFilePath();
  const std::string sep(1, kPathSeparator);
  const size_t contents = modulePath.rfind(sep + "Contents" + sep);
  if (contents == std::string::npos) return {};
  std::string path = modulePath.substr(0, contents);
  path += sep + "Contents" + sep + "Resources" + sep + "Skins" + sep + folder + sep + "skin.vbskin";
  if (!skinfile::Open(path)) return {};
  return path;
}

}  // namespace

std::string VrelBazzit::ShippedSkinPath(const char* folder) { return BundledCaseManifest(folder); }

const char* VrelBazzit::NextShippedSkin(const std::string& activeSkinName) {
  if (activeSkinName.find("Dark") != std::string::npos) return kLimitedSkinFolder;
  if (activeSkinName.find("Limited") != std::string::npos) return kCaseSkinFolder;
  return kDarkSkinFolder;
}

void VrelBazzit::SetModulePathForTesting(std::string path) {
  ModulePathOverride& test = TestModulePath();
  std::lock_guard<std::mutex> lock(test.mutex);
  test.path = std::move(path);
}

bool VrelBazzit::ApplyPendingSkin() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mSkinMutex);
    if (!mSkinRestorePending) return false;
    path = mSkinPath;
    mSkinRestorePending = false;
  }

  // Loader messages are dropped: a restore happens without anyone to tell.
  std::string error;
  SkinPack pack;
  if (!path.empty() && LoadSkinPack(path.c_str(), pack, error)) {
    mSkin = std::move(pack);
    return true;
  }

  std::string casePath = BundledCaseManifest(kCaseSkinFolder);
  if (!casePath.empty() && LoadSkinPack(casePath.c_str(), pack, error)) {
    mSkin = std::move(pack);
    std::lock_guard<std::mutex> lock(mSkinMutex);
    // A restore that arrived during the load wins: its path stays, still pending.
    if (!mSkinRestorePending) mSkinPath = std::move(casePath);
    return true;
  }

  // The built-in look; the path stays, so the project keeps naming its skin.
  mSkin = SkinPack();
  return true;
}

void VrelBazzit::UseDefaultSkin() {
  mSkin = SkinPack();
  {
    std::lock_guard<std::mutex> lock(mSkinMutex);
    mSkinPath.clear();
    mSkinRestorePending = false;
  }
  mSkinChanged = true;
}

void VrelBazzit::ActivateSkin(SkinPack&& pack, const std::string& path) {
  mSkin = std::move(pack);
  std::string copy = path;  // copied before the lock, so the lock covers one assignment
  {
    std::lock_guard<std::mutex> lock(mSkinMutex);
    mSkinPath = std::move(copy);
    mSkinRestorePending = false;
  }
  mSkinChanged = true;
}

void VrelBazzit::RequestSkinRestore(std::string path) {
  std::lock_guard<std::mutex> lock(mSkinMutex);
  mSkinPath = std::move(path);
  mSkinRestorePending = true;
}

std::string VrelBazzit::SkinPath() const {
  std::lock_guard<std::mutex> lock(mSkinMutex);
  return mSkinPath;
}

bool VrelBazzit::SkinRestorePending() const {
  std::lock_guard<std::mutex> lock(mSkinMutex);
  return mSkinRestorePending;
}

}  // namespace vrelbazzit
