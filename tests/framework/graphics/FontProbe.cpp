// A module built into a bundle-shaped folder by the font test: it reports
// the resources folder its own code finds, as the plug-in's module would.
#include <string>

#include "framework/graphics/font/FontFile.h"

extern "C" __attribute__((visibility("default"))) const char* VbFontProbeResourcesDir() {
  static std::string dir;
  dir = fw::font::ModuleResourcesDir();
  return dir.c_str();
}
