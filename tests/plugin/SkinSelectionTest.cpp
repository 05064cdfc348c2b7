// Skin selection without the editor: the shipped skins found from the
// module's bundle, the case skin pending in a new instance, the idle tick's
// loading with its fallbacks, the "DEFAULT" action, and the skin path shared
// with the host's state calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "PluginHarness.h"
#include "tests/skins/SkinTestFiles.h"
#include "tests/support/Fifo.h"

namespace vrelbazzit::test {
namespace {

constexpr const char* kCase = VrelBazzit::kCaseSkinFolder;
constexpr const char* kDark = VrelBazzit::kDarkSkinFolder;
constexpr const char* kLimited = VrelBazzit::kLimitedSkinFolder;

// A bundle in a temporary folder that stands in for the module's own:
// VrelBazzit.vst3/Contents/x86_64-linux/VrelBazzit.so (the file itself need
// not exist) with its shipped skins under Contents/Resources/Skins.
class SkinSelection : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mDir.Ok());
    VrelBazzit::SetModulePathForTesting(ModulePath());
  }
  void TearDown() override { VrelBazzit::SetModulePathForTesting(""); }

  std::string Bundle() const { return mDir / "VrelBazzit.vst3"; }
  std::string ModulePath() const { return Bundle() + "/Contents/x86_64-linux/VrelBazzit.so"; }
  std::string ShippedPath(const char* folder) const {
    return Bundle() + "/Contents/Resources/Skins/" + folder + "/skin.vbskin";
  }
  // A loadable skin named name in the bundle's skin folder.
  std::string InstallShipped(const char* folder, const std::string& name) {
    return WriteSkinFolder(Bundle() + "/Contents/Resources/Skins/" + folder, SkinText("name=" + name + "\n"));
  }
  void InstallAllShipped() {
    InstallShipped(kCase, "Case Test");
    InstallShipped(kDark, "Dark Test");
    InstallShipped(kLimited, "Limited Test");
  }
  // A loadable skin outside the bundle.
  std::string UserSkin(const std::string& name) {
    return WriteSkinFolder(mDir / ("user/" + name), SkinText("name=" + name + "\n"));
  }

  TempDir mDir;
};

TEST_F(SkinSelection, ShippedSkinPathFollowsTheBundle) {
  InstallShipped(kCase, "Case Test");
  InstallShipped(kDark, "Dark Test");
  // A bundle nested inside a folder that is itself called Contents.
  const std::string outer = mDir / "Contents/outer/VrelBazzit.vst3";
  WriteSkinFolder(outer + "/Contents/Resources/Skins/VrelBazzitCase", SkinText(""));
  const struct {
    const char* name;
    std::string modulePath;
    const char* folder;
    std::string expected;
  } cases[] = {
      {"case skin in the bundle", ModulePath(), kCase, ShippedPath(kCase)},
      {"dark skin in the bundle", ModulePath(), kDark, ShippedPath(kDark)},
      {"a folder without its file", ModulePath(), kLimited, ""},
      {"module straight in Contents", Bundle() + "/Contents/VrelBazzit.so", kCase, ShippedPath(kCase)},
      {"the last Contents counts", outer + "/Contents/x86_64-linux/VrelBazzit.so", kCase,
       outer + "/Contents/Resources/Skins/VrelBazzitCase/skin.vbskin"},
      {"no Contents folder", mDir / "VrelBazzit.so", kCase, ""},
      {"Contents is case-sensitive", Bundle() + "/contents/x86_64-linux/VrelBazzit.so", kCase, ""},
      {"Contents needs a separator after it", Bundle() + "/Contents", kCase, ""},
      {"Contents as part of a name", Bundle() + "/MyContents/x/VrelBazzit.so", kCase, ""},
  };
  for (const auto& c : cases) {
    VrelBazzit::SetModulePathForTesting(c.modulePath);
    EXPECT_EQ(VrelBazzit::ShippedSkinPath(c.folder), c.expected) << c.name;
  }
}

TEST_F(SkinSelection, NewInstanceWithTheShippedCaseSkin) {
  InstallAllShipped();
  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  EXPECT_TRUE(plug.SkinRestorePending());
  EXPECT_EQ(plug.SkinPath(), ShippedPath(kCase));
  EXPECT_TRUE(plug.Skin() == SkinPack()) << "the built-in look until the first idle tick";
  EXPECT_FALSE(plug.SkinChanged());

  h.Host().Idle();
  EXPECT_EQ(plug.Skin().name, "Case Test");
  EXPECT_EQ(plug.Skin().assetFolder, Bundle() + "/Contents/Resources/Skins/VrelBazzitCase");
  EXPECT_FALSE(plug.SkinRestorePending());
  EXPECT_FALSE(plug.SkinChanged());
  EXPECT_EQ(plug.SkinPath(), ShippedPath(kCase)) << "the path a save writes";
  EXPECT_FALSE(plug.ApplyPendingSkin()) << "nothing pending any more";
}

TEST_F(SkinSelection, NewInstanceWithoutShippedSkins) {
  for (bool bundleExists : {false, true}) {
    if (!bundleExists) VrelBazzit::SetModulePathForTesting(mDir / "elsewhere/VrelBazzit.so");
    if (bundleExists) std::filesystem::create_directories(Bundle() + "/Contents/Resources/Skins/VrelBazzitCase");
    PluginHarness h;
    VrelBazzit& plug = h.Plug();
    EXPECT_FALSE(plug.SkinRestorePending()) << "bundle exists: " << bundleExists;
    EXPECT_EQ(plug.SkinPath(), "") << "bundle exists: " << bundleExists;
    h.Host().Idle();
    EXPECT_TRUE(plug.Skin() == SkinPack()) << "bundle exists: " << bundleExists;
    EXPECT_EQ(plug.SkinPath(), "") << "bundle exists: " << bundleExists;
    VrelBazzit::SetModulePathForTesting(ModulePath());
  }
}

// A restored path, with and without the shipped case skin: which skin shows
// and which path the next save writes.
TEST_F(SkinSelection, RestoredPaths) {
  const std::string user = UserSkin("User Skin"), previous = UserSkin("Previous");
  const std::string deleted = mDir / "user/Deleted/skin.vbskin";
  const std::string broken = WriteSkinFolder(mDir / "user/Broken", SkinText("name=Broken\n"));
  RemoveFile(mDir / "user/Broken/knob.svg");
  const struct {
    const char* name;
    bool caseSkin;  // the shipped case skin is present
    std::string restored;
    const char* shows;  // skin name after the idle tick
    std::string saved;
  } cases[] = {
      {"a skin that loads", true, user, "User Skin", user},
      {"a skin that loads, no case skin", false, user, "User Skin", user},
      {"an empty path loads the case skin", true, "", "Case Test", ShippedPath(kCase)},
      {"an empty path without the case skin", false, "", "Default", ""},
      {"a deleted skin falls back to the case skin", true, deleted, "Case Test", ShippedPath(kCase)},
      {"a deleted skin without the case skin", false, deleted, "Default", deleted},
      {"a skin that fails to load", true, broken, "Case Test", ShippedPath(kCase)},
      {"a skin that fails to load, no case skin", false, broken, "Default", broken},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(Bundle());
    if (c.caseSkin) InstallShipped(kCase, "Case Test");
    PluginHarness h;
    VrelBazzit& plug = h.Plug();
    // Another skin is showing when the host restores a project.
    plug.RequestSkinRestore(previous);
    h.Host().Idle();
    ASSERT_EQ(plug.Skin().name, "Previous") << c.name;
    // The state chunk makes the project's path pending.
    plug.RequestSkinRestore(c.restored);
    EXPECT_TRUE(plug.ApplyPendingSkin()) << c.name << ": a pending restore is handled whatever its outcome";
    EXPECT_EQ(plug.Skin().name, c.shows) << c.name;
    EXPECT_EQ(plug.Skin().hasAssetFolder, std::string(c.shows) != "Default") << c.name;
    EXPECT_EQ(plug.SkinPath(), c.saved) << c.name;
    EXPECT_FALSE(plug.SkinRestorePending()) << c.name;
    EXPECT_FALSE(plug.SkinChanged()) << c.name << ": a restore is no user action";
  }
}

// A restored path (from a project, so from anywhere) that names a FIFO, a
// device, or a skin with a FIFO for an image is refused by the loader without
// waiting, and the shipped case skin takes over as for any skin that fails.
TEST_F(SkinSelection, RestoredSpecialFilesNeverBlock) {
  InstallShipped(kCase, "Case Test");
  std::filesystem::create_directories(mDir / "user/Pipe");
  const std::string fifoSkin = mDir / "user/Pipe/skin.vbskin";
  ASSERT_TRUE(vbtest::MakeFifo(fifoSkin));
  const std::string fifoImageSkin = WriteSkinFolder(mDir / "user/PipeKnob", SkinText("name=Pipe Knob\n"));
  RemoveFile(mDir / "user/PipeKnob/knob.svg");
  ASSERT_TRUE(vbtest::MakeFifo(mDir / "user/PipeKnob/knob.svg"));
  const std::string release = mDir / "release";
  ASSERT_TRUE(vbtest::MakeFifo(release));
  struct Case {
    const char* name;
    std::string restored, fifo;
  };
  for (const Case& c : {Case{"a FIFO as the skin file", fifoSkin, fifoSkin},
                        Case{"a FIFO as the knob image", fifoImageSkin, mDir / "user/PipeKnob/knob.svg"},
                        Case{"a device", "/dev/zero", release}}) {
    PluginHarness h;
    VrelBazzit& plug = h.Plug();
    plug.RequestSkinRestore(c.restored);
    bool handled = false;
    ASSERT_TRUE(vbtest::FinishesWithoutBlocking(c.fifo, [&] { handled = plug.ApplyPendingSkin(); }))
        << c.name << ": the skin loader blocked";
    EXPECT_TRUE(handled) << c.name;
    EXPECT_EQ(plug.Skin().name, "Case Test") << c.name;
    EXPECT_EQ(plug.SkinPath(), ShippedPath(kCase)) << c.name;
  }

  // A FIFO in place of the shipped case skin: no shipped skin is found.
  std::filesystem::remove_all(Bundle());
  std::filesystem::create_directories(Bundle() + "/Contents/Resources/Skins/" + kCase);
  ASSERT_TRUE(vbtest::MakeFifo(ShippedPath(kCase)));
  std::string shipped = "unset";
  ASSERT_TRUE(vbtest::FinishesWithoutBlocking(ShippedPath(kCase), [&] { shipped = VrelBazzit::ShippedSkinPath(kCase); }));
  EXPECT_EQ(shipped, "");
  PluginHarness h;
  EXPECT_FALSE(h.Plug().SkinRestorePending()) << "a new instance has no case skin to load";
}

TEST_F(SkinSelection, RestoreBeforeTheFirstTickReplacesTheCaseSkin) {
  InstallShipped(kCase, "Case Test");
  const std::string user = UserSkin("Restored");
  PluginHarness h;
  h.Plug().RequestSkinRestore(user);
  h.Host().Idle();
  EXPECT_EQ(h.Plug().Skin().name, "Restored");
  EXPECT_EQ(h.Plug().SkinPath(), user);
}

TEST_F(SkinSelection, DefaultActionAndSavedEmptyPath) {
  InstallShipped(kCase, "Case Test");
  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  h.Host().Idle();
  ASSERT_EQ(plug.Skin().name, "Case Test");

  // "DEFAULT" also cancels a restore still waiting.
  plug.RequestSkinRestore(UserSkin("Never Shown"));
  plug.UseDefaultSkin();
  EXPECT_TRUE(plug.Skin() == SkinPack());
  EXPECT_EQ(plug.SkinPath(), "") << "a project saved now stores an empty path";
  EXPECT_FALSE(plug.SkinRestorePending());
  EXPECT_TRUE(plug.SkinChanged());
  h.Host().Idle();
  EXPECT_FALSE(plug.SkinChanged()) << "the tick consumes the change without an editor";
  EXPECT_TRUE(plug.Skin() == SkinPack()) << "and loads nothing";

  // Reopening that project: the empty path is pending and brings the case skin.
  PluginHarness reopened;
  reopened.Plug().RequestSkinRestore(plug.SkinPath());
  reopened.Host().Idle();
  EXPECT_EQ(reopened.Plug().Skin().name, "Case Test");
  EXPECT_EQ(reopened.Plug().SkinPath(), ShippedPath(kCase));
}

TEST_F(SkinSelection, ActivateSkinIsTheLastStepOfALoad) {
  PluginHarness h;  // no shipped skins
  VrelBazzit& plug = h.Plug();
  const std::string chosen = UserSkin("Chosen");
  SkinPack pack;
  std::string error;
  ASSERT_TRUE(LoadSkinPack(chosen.c_str(), pack, error)) << error;

  plug.RequestSkinRestore(UserSkin("Superseded"));
  plug.ActivateSkin(std::move(pack), chosen);
  EXPECT_EQ(plug.Skin().name, "Chosen");
  EXPECT_EQ(plug.SkinPath(), chosen);
  EXPECT_FALSE(plug.SkinRestorePending()) << "the user's choice cancels a waiting restore";
  EXPECT_TRUE(plug.SkinChanged());
  h.Host().Idle();
  EXPECT_FALSE(plug.SkinChanged());
  EXPECT_EQ(plug.Skin().name, "Chosen");
}

TEST_F(SkinSelection, NextShippedSkin) {
  const struct {
    const char* activeName;
    const char* next;
  } cases[] = {
      {"Default", kDark},   {"Vrel Bazzit Case", kDark}, {"My Dark Skin", kLimited},
      {"Limited", kCase},   {"Dark Limited", kLimited},  {"dark", kDark},
      {"Unlimited", kDark}, {"UnLimited", kCase},        {"", kDark},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(VrelBazzit::NextShippedSkin(c.activeName), c.next) << '"' << c.activeName << '"';
}

// The shipped skins of resources/Skins, copied into the test bundle, cycled
// the way the skin hot-spot does it (minus the image decoding).
TEST_F(SkinSelection, ShippedSkinsCycle) {
  const std::filesystem::path source = std::filesystem::path(VB_TEST_DATA_DIR) / "../../resources/Skins";
  ASSERT_TRUE(std::filesystem::is_directory(source)) << source;
  std::filesystem::create_directories(Bundle() + "/Contents/Resources");
  std::filesystem::copy(source, Bundle() + "/Contents/Resources/Skins", std::filesystem::copy_options::recursive);

  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  h.Host().Idle();
  ASSERT_EQ(plug.SkinPath(), ShippedPath(kCase)) << "the case skin is a new instance's skin";
  plug.UseDefaultSkin();
  const char* expected[] = {kDark, kLimited, kCase, kDark};  // from the built-in look onwards
  for (const char* folder : expected) {
    const char* next = VrelBazzit::NextShippedSkin(plug.Skin().name);
    EXPECT_STREQ(next, folder) << "after " << plug.Skin().name;
    const std::string path = VrelBazzit::ShippedSkinPath(next);
    ASSERT_EQ(path, ShippedPath(folder));
    SkinPack pack;
    std::string error;
    ASSERT_TRUE(LoadSkinPack(path.c_str(), pack, error)) << folder << ": " << error;
    plug.ActivateSkin(std::move(pack), path);
    EXPECT_EQ(plug.SkinPath(), path);
  }
}

// Saving and reopening projects through the host state chunk.
TEST_F(SkinSelection, ProjectsThroughTheStateChunk) {
  InstallShipped(kCase, "Case Test");
  // Saves a's state and restores it into a fresh instance, as a host reopening the project.
  auto reopen = [](VrelBazzit& saved, PluginHarness& into) {
    fw::IByteChunk chunk;
    ASSERT_TRUE(saved.SerializeState(chunk));
    const int32_t bypass = 0;  // the framework writes its bypass word after the chunk
    chunk.Put(&bypass);
    ASSERT_GT(into.Plug().UnserializeState(chunk, 0), 0);
    into.Host().Idle();
  };

  PluginHarness first;
  first.Host().Idle();
  ASSERT_EQ(first.Plug().SkinPath(), ShippedPath(kCase));

  const std::string user = UserSkin("User Skin");
  SkinPack pack;
  std::string error;
  ASSERT_TRUE(LoadSkinPack(user.c_str(), pack, error)) << error;
  first.Plug().ActivateSkin(std::move(pack), user);
  PluginHarness withUser;
  reopen(first.Plug(), withUser);
  EXPECT_EQ(withUser.Plug().Skin().name, "User Skin") << "the project's skin comes back";

  // The user's skin was deleted before the project was reopened.
  std::filesystem::remove_all(mDir / "user/User Skin");
  PluginHarness afterDelete;
  reopen(withUser.Plug(), afterDelete);
  EXPECT_EQ(afterDelete.Plug().Skin().name, "Case Test");
  EXPECT_EQ(afterDelete.Plug().SkinPath(), ShippedPath(kCase)) << "saved from then on";

  // Saved after "DEFAULT": the empty path brings the case skin, not the built-in look.
  first.Plug().UseDefaultSkin();
  PluginHarness afterDefault;
  reopen(first.Plug(), afterDefault);
  EXPECT_EQ(afterDefault.Plug().Skin().name, "Case Test");
  EXPECT_EQ(afterDefault.Plug().SkinPath(), ShippedPath(kCase));
}

// The host's state thread writes and reads the skin path while the main
// thread ticks and acts; the last restore wins once both are done.
TEST_F(SkinSelection, StateCallsOnAnotherThread) {
  InstallShipped(kCase, "Case Test");
  const std::string a = UserSkin("Skin A"), b = UserSkin("Skin B");
  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  constexpr int kRounds = 200;
  std::thread host([&] {
    for (int i = 0; i < kRounds; ++i) {
      plug.RequestSkinRestore(i % 2 ? a : b);
      const std::string saved = plug.SkinPath();
      EXPECT_TRUE(saved == a || saved == b || saved == ShippedPath(kCase) || saved.empty()) << saved;
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    h.Host().Idle();
    if (i % 50 == 0) plug.UseDefaultSkin();
  }
  host.join();
  plug.RequestSkinRestore(a);
  h.Host().Idle();
  EXPECT_EQ(plug.Skin().name, "Skin A");
  EXPECT_EQ(plug.SkinPath(), a);
  EXPECT_FALSE(plug.SkinRestorePending());
}

}  // namespace
}  // namespace vrelbazzit::test
