// The skin record's moves and its two path functions.
#include "SkinPack.h"

#include <utility>

#include "SkinFile.h"

namespace vrelbazzit {

SkinPack::SkinPack(SkinPack&& other) noexcept { *this = std::move(other); }

SkinPack& SkinPack::operator=(SkinPack&& other) noexcept {
  if (this == &other) return *this;
  name = std::move(other.name);
  title = std::move(other.title);
  layout = std::move(other.layout);
  oledText = other.oledText;
  assetFolder = std::move(other.assetFolder);
  colors = other.colors;
  hasAssetFolder = other.hasAssetFolder;
  altKnobs = std::move(other.altKnobs);
  altSliders = std::move(other.altSliders);
  // A moved-from string or vector is only "valid"; make it empty for certain.
  other.name.clear();
  other.title.clear();
  other.layout.clear();
  other.assetFolder.clear();
  other.altKnobs.clear();
  other.altSliders.clear();
  return *this;
}

std::string SkinPack::Asset(const char* file) const {
  if (assetFolder.empty()) return {};
  std::string path = assetFolder;
  path += '/';
  if (file != nullptr) path += file;
  return path;
}

std::string SkinPack::Image(const char* imageName) const {
  if (assetFolder.empty()) return {};
  const std::string stem = Asset(imageName);
  const std::string svg = stem + ".svg";
  // A special file of that name counts as present (and is refused by the
  // loader) without being opened.
  if (skinfile::KindOf(svg) == skinfile::Kind::kSpecial || skinfile::Open(svg)) return svg;
  return stem + ".png";
}

}  // namespace vrelbazzit
