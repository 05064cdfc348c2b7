// The skin record: the built-in look, moves, and the two path functions.
#include <gtest/gtest.h>

#include <utility>

#include "SkinTestFiles.h"

namespace vrelbazzit::test {
namespace {

TEST(SkinPack, DefaultIsTheBuiltInLook) {
  const SkinPack p;
  EXPECT_EQ(p.name, "Default");
  EXPECT_EQ(p.title, "VREL BAZZIT");
  EXPECT_EQ(p.layout, "");
  EXPECT_EQ(p.oledText, 0u);
  EXPECT_EQ(p.assetFolder, "");
  EXPECT_FALSE(p.hasAssetFolder);
  EXPECT_TRUE(p.altKnobs.empty());
  EXPECT_TRUE(p.altSliders.empty());
  const uint32_t colors[kNumSkinColors] = {0x11171E, 0xE9EDEE, 0x9BAEB5, 0x60D7C2,
                                           0xE6A464, 0x19222A, 0x22313B, 0x9BAEB5};
  for (int i = 0; i < kNumSkinColors; ++i) EXPECT_EQ(p.colors[static_cast<size_t>(i)], colors[i]) << "colour " << i;
  EXPECT_EQ(p.Asset("knob.svg"), "");
  EXPECT_EQ(p.Image("knob"), "");
}

SkinPack FullPack() {
  SkinPack p;
  p.name = "A name long enough to live on the heap";
  p.title = "TITLE";
  p.layout = kCaseLayout;
  p.oledText = 0xABCDEF;
  p.assetFolder = "/some/folder/that/is/long/enough/for/the/heap";
  p.colors.fill(0x102030);
  p.hasAssetFolder = true;
  p.altKnobs = {"Cutoff", "Span"};
  p.altSliders = {"250 Hz"};
  return p;
}

TEST(SkinPack, MovesTransferEveryFieldAndEmptyTheSource) {
  const SkinPack want = FullPack();
  auto expectEmptied = [](const SkinPack& from, const char* how) {
    EXPECT_TRUE(from.name.empty() && from.title.empty() && from.layout.empty() && from.assetFolder.empty()) << how;
    EXPECT_TRUE(from.altKnobs.empty() && from.altSliders.empty()) << how;
  };

  SkinPack source = FullPack();
  SkinPack target;
  target = std::move(source);
  EXPECT_TRUE(target == want) << "move assignment";
  expectEmptied(source, "move assignment");

  SkinPack source2 = FullPack();
  SkinPack constructed(std::move(source2));
  EXPECT_TRUE(constructed == want) << "move construction";
  expectEmptied(source2, "move construction");

  // The default look moved over a full pack replaces it entirely.
  SkinPack defaults;
  constructed = std::move(defaults);
  EXPECT_TRUE(constructed == SkinPack()) << "default moved over a full pack";
}

TEST(SkinPack, AssetJoinsWithAForwardSlash) {
  SkinPack p;
  p.hasAssetFolder = true;
  const struct {
    const char* folder;
    const char* file;
    const char* path;
  } cases[] = {
      {"/skins/mine", "knob.svg", "/skins/mine/knob.svg"},
      {"C:\\Skins\\Mine", "knob.png", "C:\\Skins\\Mine/knob.png"},
      {"rel", "faceplate.svg", "rel/faceplate.svg"},
      {"", "knob.svg", ""},
  };
  for (const auto& c : cases) {
    p.assetFolder = c.folder;
    EXPECT_EQ(p.Asset(c.file), c.path) << c.folder;
  }
}

TEST(SkinPack, ImagePrefersSvgThenNamesThePng) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteFile(dir / "both.svg", kTinySvg);
  WriteFile(dir / "both.png", kTinyPng);
  WriteFile(dir / "pngonly.png", kTinyPng);
  WriteFile(dir / "emptysvg.svg", "");
  WriteFile(dir / "upper.SVG", kTinySvg);
  SkinPack p;
  p.assetFolder = dir.Path();
  p.hasAssetFolder = true;
  const struct {
    const char* name;
    const char* file;
    const char* why;
  } cases[] = {
      {"both", "both.svg", "the SVG wins over the PNG"},
      {"pngonly", "pngonly.png", "no SVG: the PNG"},
      {"neither", "neither.png", "the PNG is named without being tested"},
      {"emptysvg", "emptysvg.svg", "an empty SVG still opens, so it is the one"},
      {"upper", "upper.png", "extensions are lower case and exact"},
  };
  for (const auto& c : cases) EXPECT_EQ(p.Image(c.name), dir / c.file) << c.name << ": " << c.why;

  p.assetFolder.clear();
  EXPECT_EQ(p.Image("both"), "") << "no asset folder";
}

}  // namespace
}  // namespace vrelbazzit::test
