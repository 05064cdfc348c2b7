// Product identity and the framework configuration of the plug-in.
#pragma once

#include "../engine/Params.h"
#include "../framework/plug/Config.h"

namespace vrelbazzit {

inline constexpr const char* kPluginName = "Vrel Bazzit";
inline constexpr const char* kManufacturerName = "Orvandel Interactive";
inline constexpr const char* kVersionString = "0.10.11";
// major x 65536 + minor x 256 + revision
inline constexpr int kVendorVersion = 0 * 65536 + 10 * 256 + 11;
inline constexpr int kUniqueId = fw::FourCC("VrBz");
inline constexpr int kManufacturerId = fw::FourCC("OrVd");
inline constexpr int kEditorWidth = 1200;
inline constexpr int kEditorHeight = 900;
inline constexpr int kEditorFPS = 30;

inline fw::Config MakeConfig() {
  fw::Config c;
  c.nParams = kNumParams;
  c.nPresets = 1;
  c.channelIOStr = "0-2";
  c.pluginName = kPluginName;
  c.productName = kPluginName;
  c.mfrName = kManufacturerName;
  c.vendorVersion = kVendorVersion;
  c.uniqueID = kUniqueId;
  c.mfrID = kManufacturerId;
  c.latency = 0;
  c.plugDoesMidiIn = true;
  c.plugDoesMidiOut = false;
  c.plugDoesMPE = false;
  c.plugDoesChunks = false;
  c.plugType = fw::kInstrument;
  c.plugHasUI = true;
  c.plugWidth = kEditorWidth;
  c.plugHeight = kEditorHeight;
  c.plugHostResize = false;
  c.plugMinWidth = 400;
  c.plugMaxWidth = 3600;
  c.plugMinHeight = 300;
  c.plugMaxHeight = 2700;
  c.bundleID = "";
  c.appGroupID = "";
  return c;
}

}  // namespace vrelbazzit
