// The module's entry points: ModuleEntry / ModuleExit on Linux, InitDll /
// ExitDll with DllMain on Windows. Calls are counted; the first entry runs
// InitModule, the matching last exit runs DeinitModule. GetPluginFactory is
// the plug-in's (plugin/Module.cpp).
#include <mutex>

#include "Vst3Module.h"
#include "pluginterfaces/base/fplatform.h"

#if SMTG_OS_WINDOWS
#include "framework/plug/WinApi.h"
#endif

namespace fw::vst3 {

namespace {

std::mutex gEntryMutex;
int gEntryCount = 0;
// The handle the loader gave (DllMain on Windows, ModuleEntry on Linux).
void* gLoaderHandle = nullptr;
// The framework's global instance handle, set by InitModule.
void* gHINSTANCE = nullptr;

bool InitModule() {
  gHINSTANCE = gLoaderHandle;
  return true;
}

bool DeinitModule() { return true; }

bool EnterModule() {
  std::lock_guard<std::mutex> lock(gEntryMutex);
  if (++gEntryCount == 1 && !InitModule()) {
    --gEntryCount;
    return false;
  }
  return true;
}

bool ExitModule() {
  std::lock_guard<std::mutex> lock(gEntryMutex);
  if (gEntryCount <= 0) return false;  // an exit without an entry
  if (--gEntryCount == 0) return DeinitModule();
  return true;
}

}  // namespace

void* ModuleHandle() {
  std::lock_guard<std::mutex> lock(gEntryMutex);
  return gHINSTANCE;
}

}  // namespace fw::vst3

#if SMTG_OS_WINDOWS

extern "C" {

SMTG_EXPORT_SYMBOL bool InitDll() { return fw::vst3::EnterModule(); }
SMTG_EXPORT_SYMBOL bool ExitDll() { return fw::vst3::ExitModule(); }

// Keeps the module's instance handle for InitModule.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) fw::vst3::gLoaderHandle = instance;
  return TRUE;
}

}  // extern "C"

#else

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  {
    std::lock_guard<std::mutex> lock(fw::vst3::gEntryMutex);
    if (fw::vst3::gEntryCount == 0) fw::vst3::gLoaderHandle = sharedLibraryHandle;
  }
  return fw::vst3::EnterModule();
}

SMTG_EXPORT_SYMBOL bool ModuleExit() { return fw::vst3::ExitModule(); }

}  // extern "C"

#endif
