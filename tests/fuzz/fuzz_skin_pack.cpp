// libFuzzer target for the skin file loader and its value parsers. Each input
// becomes the skin file of one temporary skin folder (made once per process,
// holding the eight required images and "knob-alt" but not
// "slider-handle-alt"), so inputs reach both the settings and the image checks.
// Invariants: a failed load leaves the caller's pack as it was and gives one
// of the loader's messages; a successful one gives values within their rules.
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "skins/SkinPack.h"
#include "FuzzCheck.h"

namespace {

using vrelbazzit::SkinPack;

void WriteFile(const std::string& path, const void* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  if (size > 0) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);
}

class SkinFolder {
public:
  SkinFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vbskin-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    mDir = pattern;
    static const char kSvg[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"/>";
    for (const char* name : vrelbazzit::kRequiredSkinAssets)
      WriteFile(mDir + "/" + name + ".svg", kSvg, sizeof(kSvg) - 1);
    WriteFile(mDir + "/knob-alt.svg", kSvg, sizeof(kSvg) - 1);
  }
  ~SkinFolder() {
    std::error_code ec;
    std::filesystem::remove_all(mDir, ec);
  }
  const std::string& Dir() const { return mDir; }
  std::string SkinPath() const { return mDir + "/skin.vbskin"; }

private:
  std::string mDir;
};

SkinFolder& Folder() {
  static SkinFolder folder;
  return folder;
}

SkinPack SentinelPack() {
  SkinPack p;
  p.name = "Sentinel";
  p.title = "SENTINEL";
  p.layout = vrelbazzit::kCaseLayout;
  p.oledText = 0x123456;
  p.assetFolder = "/nowhere";
  p.colors.fill(0xABCDEF);
  p.hasAssetFolder = true;
  p.altKnobs = {"Cutoff"};
  p.altSliders = {"250 Hz"};
  return p;
}

bool IsLoaderMessage(const std::string& error) {
  static const std::set<std::string> kMessages = {"Could not read the skin file.", "Skin file is too large.",
                                                  "Unsupported skin format.",      "Invalid skin setting.",
                                                  "Duplicate skin setting.",       "Invalid skin name.",
                                                  "Invalid skin title.",           "Unsupported skin layout.",
                                                  "Invalid OLED text color.",      "Invalid alternate control list.",
                                                  "Invalid skin color.",           "Unknown skin setting.",
                                                  "Missing skin format header.",   "Missing asset: slider-handle-alt"};
  // The required images and knob-alt exist and are good in this folder.
  return kMessages.count(error) != 0;
}

// A valid name list as ParseSkinNames produces it.
bool ValidNames(const std::vector<std::string>& names) {
  if (names.size() > vrelbazzit::kMaxNameListItems) return false;
  std::set<std::string> seen;
  for (const std::string& n : names) {
    if (n.empty() || n.size() > vrelbazzit::kMaxNameListItemBytes) return false;
    if (n.front() == ' ' || n.back() == ' ' || n.find(',') != std::string::npos) return false;
    if (!seen.insert(n).second) return false;
  }
  return true;
}

void CheckColorParser(const std::string& text) {
  uint32_t out = 0xFFFFFFFF;
  const bool ok = vrelbazzit::ParseSkinColor(text, out);
  const bool shape = text.size() == 7 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), [](char c) {
                       return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                     });
  FUZZ_CHECK(ok == shape);
  if (ok)
    FUZZ_CHECK(out == std::stoul(text.substr(1), nullptr, 16));
  else
    FUZZ_CHECK(out == 0xFFFFFFFF);
}

void CheckNameParser(const std::string& text) {
  std::vector<std::string> names = {"kept"};
  const bool ok = vrelbazzit::ParseSkinNames(text, names);
  FUZZ_CHECK(!names.empty() && names.front() == "kept");
  if (!ok) {
    FUZZ_CHECK(names.size() == 1);
    return;
  }
  FUZZ_CHECK(names.size() >= 2);
  FUZZ_CHECK(!text.empty() && text.size() <= vrelbazzit::kMaxNameListBytes && text.back() != ',');
  const std::vector<std::string> parsed(names.begin() + 1, names.end());
  FUZZ_CHECK(ValidNames(parsed));
  // Commas split the value into exactly these items, each padded only by blanks.
  FUZZ_CHECK(static_cast<size_t>(std::count(text.begin(), text.end(), ',')) + 1 == parsed.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckColorParser(text);
  CheckNameParser(text);

  const SkinFolder& folder = Folder();
  const std::string path = folder.SkinPath();
  WriteFile(path, data, size);

  const SkinPack before = SentinelPack();
  SkinPack pack = before;
  std::string error = "stale";
  const bool ok = vrelbazzit::LoadSkinPack(path.c_str(), pack, error);
  if (!ok) {
    FUZZ_CHECK(pack == before);
    FUZZ_CHECK(IsLoaderMessage(error));
    FUZZ_CHECK((size > static_cast<size_t>(vrelbazzit::kMaxSkinFileBytes)) == (error == "Skin file is too large."));
    return 0;
  }
  FUZZ_CHECK(error.empty());
  FUZZ_CHECK(size <= static_cast<size_t>(vrelbazzit::kMaxSkinFileBytes));
  FUZZ_CHECK(text.find(vrelbazzit::kSkinFileHeader) != std::string::npos);
  FUZZ_CHECK(pack.hasAssetFolder && pack.assetFolder == folder.Dir());
  FUZZ_CHECK(!pack.name.empty() && pack.name.size() <= vrelbazzit::kMaxSkinNameBytes);
  FUZZ_CHECK(!pack.title.empty() && pack.title.size() <= vrelbazzit::kMaxSkinTitleBytes);
  FUZZ_CHECK(pack.layout.empty() || pack.layout == vrelbazzit::kCaseLayout);
  FUZZ_CHECK(pack.oledText <= 0xFFFFFF);
  for (uint32_t c : pack.colors) FUZZ_CHECK(c <= 0xFFFFFF);
  FUZZ_CHECK(ValidNames(pack.altKnobs) && ValidNames(pack.altSliders));
  FUZZ_CHECK(pack.altSliders.empty());  // no slider-handle-alt in the folder
  // A value that differs from its default was set by a line of the file.
  if (pack.name != "Default") FUZZ_CHECK(text.find("name=" + pack.name) != std::string::npos);
  if (pack.title != "VREL BAZZIT") FUZZ_CHECK(text.find("title=" + pack.title) != std::string::npos);
  return 0;
}
