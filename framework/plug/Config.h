// What a plug-in tells the framework about itself: identity, buses, editor size.
#pragma once

namespace fw {

enum EIPlugPluginType { kEffect = 0, kInstrument = 1, kMIDIEffect = 2 };

struct Config {
  int nParams = 0;
  int nPresets = 1;
  const char* channelIOStr = "0-2";
  const char* pluginName = "";
  const char* productName = "";
  const char* mfrName = "";
  int vendorVersion = 0;
  int uniqueID = 0;
  int mfrID = 0;
  int latency = 0;
  bool plugDoesMidiIn = false;
  bool plugDoesMidiOut = false;
  bool plugDoesMPE = false;
  bool plugDoesChunks = false;
  int plugType = kEffect;
  bool plugHasUI = false;
  int plugWidth = 0;
  int plugHeight = 0;
  bool plugHostResize = false;
  int plugMinWidth = 0;
  int plugMaxWidth = 0;
  int plugMinHeight = 0;
  int plugMaxHeight = 0;
  const char* bundleID = "";
  const char* appGroupID = "";
};

// Per-instance information a binding hands to the plug-in's constructor.
struct InstanceInfo {};

// Four-character code, first character in the most significant byte.
constexpr int FourCC(const char (&s)[5]) {
  return static_cast<int>((static_cast<unsigned>(static_cast<unsigned char>(s[0])) << 24) |
                          (static_cast<unsigned>(static_cast<unsigned char>(s[1])) << 16) |
                          (static_cast<unsigned>(static_cast<unsigned char>(s[2])) << 8) |
                          static_cast<unsigned>(static_cast<unsigned char>(s[3])));
}

}  // namespace fw
