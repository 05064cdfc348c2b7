// What the VST 3 module needs from the plug-in, and what it keeps of itself:
// the plug-in's instance constructor and the module's own handle.
#pragma once

#include "../plug/IPlugBase.h"

namespace fw {

// Implemented by the plug-in: constructs one instance on the heap and returns
// it (null when that failed). Hosts may call it from several threads at once;
// the plug-in serialises construction with its creation mutex. Must not throw.
IPlugBase* MakePlug(const InstanceInfo& info);

}  // namespace fw

namespace fw::vst3 {

// The module's handle, stored by the first module entry: the instance handle
// (HINSTANCE) on Windows, the handle the host's dlopen gave on Linux. Null
// before the host entered the module.
void* ModuleHandle();

}  // namespace fw::vst3
