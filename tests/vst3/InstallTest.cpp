// The bundle installed, as users do, under a folder whose name no single
// Windows code page can spell (Cyrillic and CJK together), loaded from there
// as a host loads it: the new instance finds its shipped skins (its state
// names the case skin's file in UTF-8) and a restored instance keeps it.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "Host.h"

namespace vst3test {
namespace {

constexpr size_t kStateBytesWithoutPath = 484;  // 59 x 8 + tag + length + bypass word

std::string Utf8(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

uint32_t GetLE32(const std::vector<uint8_t>& s, size_t at) {
  return static_cast<uint32_t>(s[at]) | (static_cast<uint32_t>(s[at + 1]) << 8) |
         (static_cast<uint32_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(s[at + 3]) << 24);
}

// The built bundle as a path this program can use (under wine, drive Z:).
std::filesystem::path BuiltBundle() {
  std::string path = BundlePath();
#if SMTG_OS_WINDOWS
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
  return std::filesystem::path(path);
}

// A copy of the bundle in <temp>/<unique>/Плагины 音符/, removed at the end.
class InstalledCopy {
public:
  InstalledCopy() {
    std::random_device random;
    mRoot = std::filesystem::temp_directory_path() / ("vrelbazzit-install-" + std::to_string(random()));
    mBundle = mRoot / std::filesystem::path(u8"Плагины 音符") / "VrelBazzit.vst3";
    std::error_code ec;
    std::filesystem::create_directories(mBundle, ec);
    if (!ec) std::filesystem::copy(BuiltBundle(), mBundle, std::filesystem::copy_options::recursive, ec);
    mOk = !ec;
  }
  ~InstalledCopy() {
    std::error_code ec;
    std::filesystem::remove_all(mRoot, ec);
  }
  bool Ok() const { return mOk; }
  const std::filesystem::path& Bundle() const { return mBundle; }
  std::filesystem::path Module() const {
#if SMTG_OS_WINDOWS
    return mBundle / "Contents" / "x86_64-win" / "VrelBazzit.vst3";
#else
    return mBundle / "Contents" / "x86_64-linux" / "VrelBazzit.so";
#endif
  }

private:
  std::filesystem::path mRoot, mBundle;
  bool mOk = false;
};

TEST(Install, UnderAFolderOutsideEveryCodePageTheShippedSkinsAreFound) {
#if SMTG_OS_WINDOWS
  // With the UTF-8 code page the narrow calls would work too and prove nothing.
  std::printf("ANSI code page %u\n", static_cast<unsigned>(GetACP()));
#endif
  InstalledCopy copy;
  ASSERT_TRUE(copy.Ok()) << "could not copy the bundle from " << Utf8(BuiltBundle());
  std::filesystem::path caseSkin =
      copy.Bundle() / "Contents" / "Resources" / "Skins" / "VrelBazzitCase" / "skin.vbskin";
  ASSERT_TRUE(std::filesystem::is_regular_file(caseSkin));

  LoadedModule module;
  std::string error;
  ASSERT_TRUE(module.Load(copy.Module(), error)) << error;
  ASSERT_TRUE(module.Enter());
  IPluginFactory* factory = module.GetFactory();
  ASSERT_NE(factory, nullptr);
  {
    Instance in(factory);
    ASSERT_TRUE(in.Ok());
    const std::vector<uint8_t> state = in.SaveState();
    ASSERT_GT(state.size(), kStateBytesWithoutPath) << "the new instance saved no skin path";
    const uint32_t length = GetLE32(state, 476);
    ASSERT_EQ(state.size(), kStateBytesWithoutPath + length);
    const std::string saved(state.begin() + 480, state.begin() + 480 + length);
    // The module reports its own path in the platform's form; the skin file is
    // the same file as the one installed, named in UTF-8.
    std::filesystem::path savedPath(std::u8string(saved.begin(), saved.end()));
    EXPECT_TRUE(std::filesystem::equivalent(savedPath, caseSkin)) << saved;
    EXPECT_NE(saved.find("Плагины 音符"), std::string::npos) << saved;

    // A second instance restored from it saves the same path.
    Instance restored(factory);
    ASSERT_EQ(restored.RestoreState(state), kResultOk);
    EXPECT_EQ(restored.SaveState(), state);
  }
  EXPECT_EQ(factory->release(), 0u);
  EXPECT_TRUE(module.Exit());
  module.Unload();
}

}  // namespace
}  // namespace vst3test
