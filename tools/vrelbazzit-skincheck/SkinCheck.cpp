// The skin checker's report.
#include "SkinCheck.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <iomanip>

#include "skins/SkinFile.h"
#include "skins/SkinPack.h"

namespace vrelbazzit::skincheck {

namespace {

// Centres of the case layout's knobs (single precision), in attach order; the
// editor names each knob's image after its centre.
struct KnobCentre {
  const char* parameter;
  float x, y;
};
constexpr KnobCentre kCaseKnobCentres[] = {
    {"Osc 1 Level", 170.28f, 363.0f},    {"Osc 1 Range", 249.96f, 413.91f},   {"Osc 2 Level", 417.37f, 363.0f},
    {"Osc 2 Range", 499.3f, 412.4f},     {"Master Gain", 1047.4f, 224.85f},   {"Bank Mix", 650.79f, 328.38f},
    {"Osc 2 Fine", 652.56f, 419.83f},    {"Pulse Width", 750.19f, 419.83f},   {"Ring", 847.13f, 419.83f},
    {"Resonance", 231.23f, 521.55f},     {"High Pass", 357.43f, 521.55f},     {"Filter Env Amount", 482.29f, 521.55f},
    {"LFO Rate", 604.34f, 521.55f},      {"LFO Pitch", 165.11f, 595.31f},     {"LFO Filter", 294.63f, 595.31f},
    {"Glide", 420.6f, 595.31f},          {"Amp Level", 543.2f, 595.31f},      {"Attack", 231.23f, 702.63f},
    {"Amp Decay", 357.43f, 702.63f},     {"Filter Attack", 482.29f, 702.63f}, {"Filter Decay", 604.34f, 702.63f},
    {"Amp Sustain", 166.83f, 779.71f},   {"Release", 294.63f, 779.71f},       {"Filter Sustain", 420.6f, 779.71f},
    {"Filter Release", 543.2f, 779.71f}, {"Span", 852.35f, 509.18f},          {"Fat", 717.4f, 584.52f},
    {"Width", 717.4f, 685.09f},          {"Fuzz", 717.4f, 778.45f},           {"Body", 948.17f, 431.66f},
    {"Color", 1034.74f, 501.19f},        {"Cutoff", 948.17f, 561.03f},        {"Motion", 1039.04f, 639.26f},
    {"Age", 950.14f, 708.81f},           {"Space", 1037.2f, 773.64f},
};
constexpr int kNumCaseFaders = 8;  // the filter bank's eight faders
constexpr const char* kOpenCircuitKnobImages[] = {
    "open-knob-osc1-pulse",   "open-knob-osc2-pulse",  "open-knob-vrel-bite",   "open-knob-fat-tune",
    "open-knob-width-motion", "open-knob-motion-sync", "open-knob-fuzz-warmth", "open-knob-space-sync"};

// A regular file that opens. The type is looked at first: opening a FIFO
// for reading would wait for a writer.
bool CanOpen(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && skinfile::Open(path) != nullptr;
}

std::string HexColor(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%06X", static_cast<unsigned>(rgb & 0xFFFFFFu));
  return text;
}

std::string JoinNames(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string joined;
  for (const std::string& n : names) joined += (joined.empty() ? "" : ", ") + n;
  return joined;
}

}  // namespace

std::string CaseKnobImageName(float centreX, float centreY) {
  char text[48];
  std::snprintf(text, sizeof(text), "knob-%ld-%ld", std::lround(centreX), std::lround(centreY));
  return text;
}

std::vector<AssetName> EditorAssetNames() {
  std::vector<AssetName> names;
  for (const char* n : kRequiredSkinAssets) names.push_back({n, "required"});
  names.push_back({kAltKnobAsset, "alternate"});
  names.push_back({kAltSliderAsset, "alternate"});
  names.push_back({"clear-on-off", "standard layout"});
  names.push_back({"clear-on-on", "standard layout"});
  for (int i = 0; i < kNumCaseFaders; ++i) names.push_back({"fader-" + std::to_string(i), "case layout"});
  for (const KnobCentre& k : kCaseKnobCentres) names.push_back({CaseKnobImageName(k.x, k.y), "case layout"});
  names.push_back({"voice-thumb", "case layout"});
  names.push_back({"open-faceplate", "case layout"});
  for (const char* n : kOpenCircuitKnobImages) names.push_back({n, "case layout"});
  return names;
}

int RunSkinCheck(const char* path, std::ostream& out, std::ostream& err) {
  SkinPack pack;
  std::string error;
  if (!LoadSkinPack(path, pack, error)) {
    err << error << '\n';
    return 1;
  }

  static constexpr const char* kColorKeys[kNumSkinColors] = {"background", "text",  "muted",  "accent",
                                                             "detail",     "panel", "button", "border"};
  out << "skin file    " << path << '\n';
  out << "name         " << pack.name << '\n';
  out << "title        " << pack.title << '\n';
  out << "layout       " << (pack.layout.empty() ? "standard" : pack.layout) << '\n';
  out << "asset folder " << pack.assetFolder << '\n';
  out << "colours\n";
  for (int i = 0; i < kNumSkinColors; ++i)
    out << "  " << std::left << std::setw(11) << kColorKeys[i] << HexColor(pack.colors[static_cast<size_t>(i)]) << '\n';
  out << "  " << std::left << std::setw(11) << "oled_text"
      << (pack.oledText == 0 ? std::string("none (the text colour)") : HexColor(pack.oledText)) << '\n';
  out << "alt_knobs    " << JoinNames(pack.altKnobs) << '\n';
  out << "alt_sliders  " << JoinNames(pack.altSliders) << '\n';

  out << "assets\n";
  for (const AssetName& asset : EditorAssetNames()) {
    out << "  " << std::left << std::setw(24) << asset.name << std::setw(17) << asset.use;
    const bool altKnob = asset.name == kAltKnobAsset, altSlider = asset.name == kAltSliderAsset;
    if ((altKnob && pack.altKnobs.empty()) || (altSlider && pack.altSliders.empty())) {
      out << "not used (" << (altKnob ? "alt_knobs" : "alt_sliders") << " is empty)\n";
      continue;
    }
    const std::string file = pack.Image(asset.name.c_str());
    // The loader has already opened every required and needed alternate image.
    out << (CanOpen(file) ? file : std::string("missing")) << '\n';
  }
  return 0;
}

}  // namespace vrelbazzit::skincheck
