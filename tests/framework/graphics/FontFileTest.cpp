// Finding the editor font: the bundle's resources folder found from the
// module's own file, the search order, and files that are missing or are not
// fonts (reported, never fatal).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/graphics/font/FontFile.h"
#include "tests/support/TempDir.h"

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kFakeTtf = std::string("\x00\x01\x00\x00", 4) + std::string(16, '\0');

TEST(FontFile, FirstFolderHoldingTheFileWins) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  WriteFile(tmp / "b/Roboto-Regular.ttf", kFakeTtf);
  WriteFile(tmp / "c/Roboto-Regular.ttf", kFakeTtf);
  EXPECT_EQ(fw::font::FindFontFile("Roboto-Regular.ttf", {tmp / "a", tmp / "b", tmp / "c"}), tmp / "b/Roboto-Regular.ttf");
  EXPECT_EQ(fw::font::FindFontFile("Roboto-Regular.ttf", {"", tmp / "c"}), tmp / "c/Roboto-Regular.ttf");
  EXPECT_EQ(fw::font::FindFontFile("Other.ttf", {tmp / "b", tmp / "c"}), "");
  EXPECT_EQ(fw::font::FindFontFile("Roboto-Regular.ttf", {}), "");
  // Only plain file names are looked up: no way out of the folders given.
  EXPECT_EQ(fw::font::FindFontFile("../b/Roboto-Regular.ttf", {tmp / "c"}), "");
  EXPECT_EQ(fw::font::FindFontFile("", {tmp / "b"}), "");
}

TEST(FontFile, ReadingRefusesMissingAndNonFontFiles) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  WriteFile(tmp / "font.ttf", kFakeTtf);
  WriteFile(tmp / "otto.otf", "OTTO" + std::string(12, '\0'));
  WriteFile(tmp / "text.ttf", "this is no font at all");
  WriteFile(tmp / "short.ttf", std::string("\x00\x01\x00\x00", 4));
  std::string bytes, error;
  EXPECT_TRUE(fw::font::ReadFontFile(tmp / "font.ttf", bytes, error)) << error;
  EXPECT_EQ(bytes, kFakeTtf);
  EXPECT_TRUE(fw::font::ReadFontFile(tmp / "otto.otf", bytes, error)) << error;
  for (const char* name : {"text.ttf", "short.ttf", "missing.ttf"}) {
    error.clear();
    EXPECT_FALSE(fw::font::ReadFontFile(tmp / name, bytes, error)) << name;
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_TRUE(bytes.empty()) << name;
  }
}

// The build copies the font into the plug-in's bundle.
TEST(FontFile, TheBundleShipsTheEditorFont) {
  std::string bytes, error;
  EXPECT_TRUE(fw::font::ReadFontFile(std::string(VB_PLUGIN_BUNDLE) + "/Contents/Resources/" + fw::font::kEditorFontFile,
                                     bytes, error))
      << error;
  EXPECT_GT(bytes.size(), 10000u);
}

// A module inside <bundle>/Contents/<arch>/ finds <bundle>/Contents/Resources;
// this test program, outside any bundle, finds none.
TEST(FontFile, ModuleFindsItsBundleResources) {
  void* probe = dlopen(VB_FONT_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(probe, nullptr) << dlerror();
  auto resourcesDir = reinterpret_cast<const char* (*)()>(dlsym(probe, "VbFontProbeResourcesDir"));
  ASSERT_NE(resourcesDir, nullptr);
  const std::string dir = resourcesDir();
  EXPECT_EQ(std::filesystem::weakly_canonical(dir), std::filesystem::weakly_canonical(VB_FONT_PROBE_RESOURCES));
  EXPECT_NE(fw::font::FindFontFile(fw::font::kEditorFontFile, {dir}), "");
  dlclose(probe);

  EXPECT_EQ(fw::font::ModuleResourcesDir(), "");
  // Outside a bundle the system's copy is the fallback (fonts-roboto).
  const std::string found = fw::font::FindFontFile(fw::font::kEditorFontFile, fw::font::DefaultFontDirs());
  std::string bytes, error;
  EXPECT_TRUE(fw::font::ReadFontFile(found, bytes, error)) << "found \"" << found << "\": " << error;
}

}  // namespace
