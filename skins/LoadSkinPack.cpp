// The skin file loader: reads at most 4096 bytes, walks the lines by the
// skin file grammar, validates every setting, then checks that each image the
// editor will need exists with a plausible size. The caller's pack changes
// only when everything passed.
#include <cstdint>
#include <set>
#include <string_view>
#include <utility>

#include "SkinFile.h"
#include "SkinPack.h"

namespace vrelbazzit {

namespace {

// Empty when the image is a regular file of 1 byte to 8 MiB, else the failure
// message. A special file (FIFO, device, socket) is there but never opened.
std::string CheckAsset(const SkinPack& pack, const char* imageName) {
  const std::string path = pack.Image(imageName);
  if (skinfile::KindOf(path) == skinfile::Kind::kSpecial) return std::string("Invalid asset: ") + imageName;
  const skinfile::File f = skinfile::Open(path);
  if (!f) return std::string("Missing asset: ") + imageName;
  const std::int64_t size = skinfile::Size(*f);
  if (size <= 0 || size > kMaxSkinAssetBytes) return std::string("Invalid asset: ") + imageName;
  return {};
}

bool IsColorKey(std::string_view key, size_t& index) {
  static constexpr std::array<std::string_view, kNumSkinColors> kColorKeys = {
      "background", "text", "muted", "accent", "detail", "panel", "button", "border"};
  for (size_t i = 0; i < kColorKeys.size(); ++i) {
    if (key == kColorKeys[i]) {
      index = i;
      return true;
    }
  }
  return false;
}

// Validates one setting into the pack; empty on success, else the message.
const char* ApplySetting(const std::string& key, const std::string& value, SkinPack& pack) {
  if (key == "name") {
    if (value.empty() || value.size() > kMaxSkinNameBytes) return "Invalid skin name.";
    pack.name = value;
  } else if (key == "title") {
    if (value.empty() || value.size() > kMaxSkinTitleBytes) return "Invalid skin title.";
    pack.title = value;
  } else if (key == "layout") {
    if (value != kCaseLayout) return "Unsupported skin layout.";
    pack.layout = value;
  } else if (key == "oled_text") {
    if (!ParseSkinColor(value, pack.oledText)) return "Invalid OLED text color.";
  } else if (key == "alt_knobs") {
    if (!ParseSkinNames(value, pack.altKnobs)) return "Invalid alternate control list.";
  } else if (key == "alt_sliders") {
    if (!ParseSkinNames(value, pack.altSliders)) return "Invalid alternate control list.";
  } else if (size_t index = 0; IsColorKey(key, index)) {
    if (!ParseSkinColor(value, pack.colors[index])) return "Invalid skin color.";
  } else {
    return "Unknown skin setting.";
  }
  return "";
}

// Walks the file's lines; empty on success, else the message.
std::string ParseSkinText(const std::string& data, SkinPack& pack) {
  std::set<std::string> seen;
  bool haveHeader = false;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    const size_t next = end == std::string::npos ? data.size() : end + 1;
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(start, end - start);
    start = next;

    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;

    if (!haveHeader) {
      if (line != kSkinFileHeader) return "Unsupported skin format.";
      haveHeader = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return "Invalid skin setting.";
    std::string key = line.substr(0, eq);
    if (seen.count(key) != 0) return "Duplicate skin setting.";
    seen.insert(key);
    const char* message = ApplySetting(key, line.substr(eq + 1), pack);
    if (*message != '\0') return message;
  }
  if (!haveHeader) return "Missing skin format header.";
  return {};
}

}  // namespace

bool LoadSkinPack(const char* path, SkinPack& pack, std::string& error) {
  if (path == nullptr || *path == '\0') {
    error = "Choose a skin.vbskin file.";
    return false;
  }
  // Only a regular file is opened; a folder or a special file cannot be read as one.
  skinfile::File f = skinfile::Open(path);
  if (!f) {
    error = "Could not read the skin file.";
    return false;
  }
  const std::int64_t size = skinfile::Size(*f);
  if (size < 0 || size > kMaxSkinFileBytes) {
    error = "Skin file is too large.";
    return false;
  }
  std::string data(static_cast<size_t>(size), '\0');
  f->seekg(0, std::ios::beg);
  if (!f->read(data.data(), static_cast<std::streamsize>(data.size()))) {
    error = "Could not read the skin file.";  // measured, but the bytes would not come
    return false;
  }
  f.reset();

  const std::string_view pathView(path);
  const size_t separator = pathView.find_last_of("\\/");
  if (separator == std::string_view::npos) {
    error = "Skin must be inside its asset folder.";
    return false;
  }

  SkinPack loaded;
  loaded.assetFolder = std::string(pathView.substr(0, separator));
  loaded.hasAssetFolder = true;
  if (std::string message = ParseSkinText(data, loaded); !message.empty()) {
    error = std::move(message);
    return false;
  }

  for (const char* imageName : kRequiredSkinAssets) {
    if (std::string message = CheckAsset(loaded, imageName); !message.empty()) {
      error = std::move(message);
      return false;
    }
  }
  if (!loaded.altKnobs.empty()) {
    if (std::string message = CheckAsset(loaded, kAltKnobAsset); !message.empty()) {
      error = std::move(message);
      return false;
    }
  }
  if (!loaded.altSliders.empty()) {
    if (std::string message = CheckAsset(loaded, kAltSliderAsset); !message.empty()) {
      error = std::move(message);
      return false;
    }
  }

  pack = std::move(loaded);
  error.clear();
  return true;
}

}  // namespace vrelbazzit
