// One skin as a plain value record, the loader of a skin file ("skin.vbskin",
// header line "VRELBAZZIT_SKIN_V1", key=value settings) and its two value
// parsers. The loader reads and validates; it checks that the image files
// exist and have a plausible size but never decodes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vrelbazzit {

// Indices into SkinPack::colors, in the order of the keys that set them.
enum SkinColorRole {
  kSkinBackground = 0,
  kSkinText,
  kSkinMuted,
  kSkinAccent,
  kSkinDetail,
  kSkinPanel,
  kSkinButton,
  kSkinBorder,
  kNumSkinColors
};

inline constexpr std::array<uint32_t, kNumSkinColors> kDefaultSkinColors = {0x11171E, 0xE9EDEE, 0x9BAEB5, 0x60D7C2,
                                                                            0xE6A464, 0x19222A, 0x22313B, 0x9BAEB5};

inline constexpr const char* kSkinFileHeader = "VRELBAZZIT_SKIN_V1";
// The only layout identifier besides the empty (standard) one.
inline constexpr const char* kCaseLayout = "vrel-case-v1";
inline constexpr long kMaxSkinFileBytes = 4096;
inline constexpr long kMaxSkinAssetBytes = 8388608;  // 8 MiB: the loader only measures images
inline constexpr size_t kMaxSkinNameBytes = 40;
inline constexpr size_t kMaxSkinTitleBytes = 32;
inline constexpr size_t kMaxNameListBytes = 256;
inline constexpr size_t kMaxNameListItemBytes = 48;  // longer than any parameter name
inline constexpr size_t kMaxNameListItems = 16;

// The images every skin must provide, in the order the loader tests them.
inline constexpr std::array<const char*, 8> kRequiredSkinAssets = {
    "faceplate", "knob", "switch-off", "switch-on", "slider-track", "slider-handle", "button", "button-active"};
// Needed only when alt_knobs, respectively alt_sliders, names something.
inline constexpr const char* kAltKnobAsset = "knob-alt";
inline constexpr const char* kAltSliderAsset = "slider-handle-alt";

struct SkinPack {
  std::string name = "Default";
  std::string title = "VREL BAZZIT";
  std::string layout;       // empty or kCaseLayout
  uint32_t oledText = 0;    // 0xRRGGBB; 0: the patch display uses the text colour
  std::string assetFolder;  // the skin file's path before its last separator
  std::array<uint32_t, kNumSkinColors> colors = kDefaultSkinColors;
  bool hasAssetFolder = false;  // false only for the built-in look
  std::vector<std::string> altKnobs;
  std::vector<std::string> altSliders;

  SkinPack() = default;
  SkinPack(const SkinPack&) = default;
  SkinPack& operator=(const SkinPack&) = default;
  // Moves transfer every field and leave the source's strings and lists empty.
  SkinPack(SkinPack&& other) noexcept;
  SkinPack& operator=(SkinPack&& other) noexcept;
  ~SkinPack() = default;

  bool operator==(const SkinPack&) const = default;

  // assetFolder + "/" + file; "" when there is no asset folder.
  std::string Asset(const char* file) const;
  // The image of that name: its ".svg" file when that opens, else its ".png"
  // file (not tested); "" when there is no asset folder.
  std::string Image(const char* imageName) const;
};

// Reads and validates the skin file at path. On success the pack is replaced
// whole and error cleared; on failure the pack is untouched and error holds
// one of the loader's messages.
bool LoadSkinPack(const char* path, SkinPack& pack, std::string& error);

// "#RRGGBB" (hex digits of either case) into 0xRRGGBB; out is written only on success.
bool ParseSkinColor(const std::string& text, uint32_t& out);

// A comma-separated list of 1 to 16 distinct names of 1 to 48 bytes, blanks
// around each name dropped. On success the names are appended in order; on
// failure the list is untouched.
bool ParseSkinNames(const std::string& text, std::vector<std::string>& names);

}  // namespace vrelbazzit
