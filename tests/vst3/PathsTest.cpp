// Paths in any language through the plug-in object: a patch file saved,
// replaced and loaded, a skin loaded and restored, and the shipped skins
// found, all under folders whose names no single Windows code page can spell
// (Cyrillic and CJK together). Paths travel as UTF-8; on Windows the files
// are reached through the wide calls. Built for Linux and, run under wine,
// for Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "framework/plug/Utf8Path.h"
#include "plugin/VrelBazzit.h"
#include "plugin/patches.h"
#include "skins/SkinPack.h"

namespace vrelbazzit::test {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
  std::string text;
  EXPECT_TRUE(fw::Utf8FromPath(p, text));
  return text;
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A skin folder with its skin file and the eight required images.
fs::path WriteSkin(const fs::path& folder, const std::string& name) {
  WriteBytes(folder / "skin.vbskin", std::string(kSkinFileHeader) + "\nname=" + name + "\n");
  for (const char* image : kRequiredSkinAssets)
    WriteBytes(folder / (std::string(image) + ".svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
  return folder / "skin.vbskin";
}

// <temp>/vrelbazzit-paths-<n>/Плагины 音符, removed with everything in it.
class Folder : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    mRoot = fs::temp_directory_path() / ("vrelbazzit-paths-" + std::to_string(random()));
    mDir = mRoot / fs::path(u8"Плагины 音符");
    std::error_code ec;
    ASSERT_TRUE(fs::create_directories(mDir, ec)) << ec.message();
  }
  void TearDown() override {
    VrelBazzit::SetModulePathForTesting("");
    std::error_code ec;
    fs::remove_all(mRoot, ec);
  }
  fs::path mRoot, mDir;
};

TEST_F(Folder, PatchFileIsSavedReplacedAndLoaded) {
  const fs::path file = mDir / fs::path(u8"Звук ß 音.vbpatch");
  const std::string path = Utf8(file);

  VrelBazzit saver{fw::InstanceInfo{}};
  saver.SelectFactoryPatch(16);  // "Stereo Dust"
  ASSERT_TRUE(saver.SavePatch(path.c_str()));
  ASSERT_TRUE(fs::is_regular_file(file)) << "saved under its own name";
  const std::string first = ReadBytes(file);
  EXPECT_EQ(first.rfind("VRELBAZZIT_PATCH_V1 59\nStereo Dust\n", 0), 0u);

  // Saving again replaces the file whole, through a temporary file beside it.
  saver.SelectFactoryPatch(14);  // "Glass Keys"
  ASSERT_TRUE(saver.SavePatch(path.c_str()));
  EXPECT_NE(ReadBytes(file), first);
  std::vector<fs::path> entries;
  for (const auto& e : fs::directory_iterator(mDir)) entries.push_back(e.path().filename());
  EXPECT_EQ(entries, std::vector<fs::path>{file.filename()}) << "no temporary file left";

  VrelBazzit loader{fw::InstanceInfo{}};
  ASSERT_TRUE(loader.LoadPatch(path.c_str()));
  EXPECT_EQ(loader.CapturePatch(), saver.CapturePatch());
  EXPECT_EQ(loader.PatchLabel(), "Glass Keys");
}

TEST_F(Folder, SkinIsLoadedAndRestored) {
  const fs::path skinFile = WriteSkin(mDir / fs::path(u8"Скин 皮肤"), "Unicode Folder");
  const std::string path = Utf8(skinFile);

  SkinPack pack;
  std::string error;
  ASSERT_TRUE(LoadSkinPack(path.c_str(), pack, error)) << error;
  EXPECT_EQ(pack.name, "Unicode Folder");
  EXPECT_EQ(pack.assetFolder, Utf8(mDir / fs::path(u8"Скин 皮肤")));
  EXPECT_EQ(pack.Image("knob"), pack.assetFolder + "/knob.svg");

  // A path restored from a project loads by the idle tick.
  VrelBazzit plug{fw::InstanceInfo{}};
  plug.RequestSkinRestore(path);
  EXPECT_TRUE(plug.ApplyPendingSkin());
  EXPECT_EQ(plug.Skin().name, "Unicode Folder");
  EXPECT_EQ(plug.SkinPath(), path);

  // A missing image there is named as usual.
  fs::remove(mDir / fs::path(u8"Скин 皮肤") / "button.svg");
  EXPECT_FALSE(LoadSkinPack(path.c_str(), pack, error));
  EXPECT_EQ(error, "Missing asset: button");
}

TEST_F(Folder, ShippedSkinsAreFoundBesideTheModule) {
  const fs::path bundle = mDir / "VrelBazzit.vst3";
  const fs::path skins = bundle / "Contents" / "Resources" / "Skins";
  WriteSkin(skins / VrelBazzit::kCaseSkinFolder, "Case Test");
  WriteSkin(skins / VrelBazzit::kDarkSkinFolder, "Dark Test");
#ifdef _WIN32
  const fs::path module = bundle / "Contents" / "x86_64-win" / "VrelBazzit.vst3";
#else
  const fs::path module = bundle / "Contents" / "x86_64-linux" / "VrelBazzit.so";
#endif
  VrelBazzit::SetModulePathForTesting(Utf8(module.lexically_normal().make_preferred()));

  const std::string casePath = VrelBazzit::ShippedSkinPath(VrelBazzit::kCaseSkinFolder);
  ASSERT_FALSE(casePath.empty());
  fs::path found;
  ASSERT_TRUE(fw::PathFromUtf8(casePath, found));
  EXPECT_TRUE(fs::equivalent(found, skins / VrelBazzit::kCaseSkinFolder / "skin.vbskin")) << casePath;
  EXPECT_EQ(VrelBazzit::ShippedSkinPath(VrelBazzit::kLimitedSkinFolder), "") << "not installed";

  VrelBazzit plug{fw::InstanceInfo{}};
  EXPECT_TRUE(plug.SkinRestorePending());
  EXPECT_TRUE(plug.ApplyPendingSkin());
  EXPECT_EQ(plug.Skin().name, "Case Test");
  EXPECT_EQ(plug.SkinPath(), casePath);
}

}  // namespace
}  // namespace vrelbazzit::test
