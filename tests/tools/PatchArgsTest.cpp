// The renderer's sound arguments: factory patches by index or name, the
// starting sound from a patch file, and the name a saved patch carries.
#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "plugin/patches.h"
#include "tools/vrelbazzit-render/PatchArgs.h"

namespace vbrender {
namespace {

using vrelbazzit::kNumParams;

TEST(ResolveFactoryArg, IndicesAndNames) {
  struct Case {
    const char* text;
    int index;  // -1: refused
  };
  const Case cases[] = {
      {"0", 0},           {"17", 17},          {"014", 14},          {"Glass Keys", 14}, {"glass keys", 14},
      {"NIGHT KEYS", 17}, {"Init Vrels", 0},   {"18", -1},           {"36", -1},         {"-1", -1},
      {"+3", -1},         {"", -1},            {"Glass", -1},        {" Glass Keys", -1}, {"Glass Keys ", -1},
      {"99999999999999999999", -1},            {"1e1", -1},
  };
  for (const Case& c : cases) {
    int index = -7;
    std::string error;
    const bool ok = ResolveFactoryArg(c.text, index, error);
    EXPECT_EQ(ok, c.index >= 0) << "\"" << c.text << "\"";
    if (ok) {
      EXPECT_EQ(index, c.index) << "\"" << c.text << "\"";
    } else {
      EXPECT_EQ(index, -7) << "\"" << c.text << "\"";
      EXPECT_NE(error.find("--factory"), std::string::npos) << error;
      EXPECT_NE(error.find("0..17"), std::string::npos) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
}

TEST(ChooseStartingSound, DefaultsFactoryOrFile) {
  test::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  StartingSound s;
  std::string error;
  ASSERT_TRUE(ChooseStartingSound(std::nullopt, std::nullopt, s, error));
  EXPECT_EQ(s.name, "Init Vrels");
  EXPECT_FALSE(s.fromPatch);
  EXPECT_EQ(s.values, vrelbazzit::ParamDefaults<kNumParams>());

  ASSERT_TRUE(ChooseStartingSound(std::nullopt, std::string("ring bend"), s, error)) << error;
  EXPECT_EQ(s.name, "Ring Bend");
  EXPECT_TRUE(s.fromPatch);
  EXPECT_EQ(s.values, vrelbazzit::MakeFactoryPatch(10, vrelbazzit::ParamDefaults<kNumParams>()));

  // A 57-value file: "Master Gain" and "Vrel Bite" at their defaults.
  std::string text = "VRELBAZZIT_PATCH_V1 57\nOld One\n";
  const auto defaults = vrelbazzit::ParamDefaults<57>();
  for (int i = 0; i < 57; ++i) text += (i == vrelbazzit::kCutoff ? "21" : std::to_string(defaults[size_t(i)])) + "\n";
  const std::string path = dir / "old.vbpatch";
  test::WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
  ASSERT_TRUE(ChooseStartingSound(path, std::nullopt, s, error)) << error;
  EXPECT_EQ(s.name, "Old One");
  EXPECT_EQ(s.values[vrelbazzit::kCutoff], 21.0);
  EXPECT_EQ(s.values[vrelbazzit::kMasterGain], 100.0);
  EXPECT_EQ(s.values[vrelbazzit::kVrelBite], 0.0);
}

// A refused file gives one line naming the file and the broken rule.
TEST(ChooseStartingSound, RefusedFilesSayWhy) {
  test::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::string good = vrelbazzit::FormatPatchText<kNumParams>("Fine", vrelbazzit::ParamDefaults<kNumParams>());
  struct Case {
    const char* what;
    std::string text;  // empty: the file does not exist
    const char* because;
  };
  std::string outOfRange = good;
  outOfRange.replace(outOfRange.find("\n70\n"), 4, "\n170\n");  // "Amp Level"
  const Case cases[] = {
      {"missing", "", "cannot open"},
      {"wrong header", "VRELBAZZIT_PATCH_V1 60\nX\n", "VRELBAZZIT_PATCH_V1 59"},
      {"empty name", "VRELBAZZIT_PATCH_V1 59\n\n1\n", "name line is empty"},
      {"out of range", outOfRange, "value 1 (\"Amp Level\") 170 is outside 0..100"},
      {"a comment at the end", good + "# note\n", "text after the last value"},
      {"too large", good + std::string(9000, ' '), "larger than 8192 bytes"},
  };
  for (const Case& c : cases) {
    const std::string path = dir / "p.vbpatch";
    std::remove(path.c_str());
    if (!c.text.empty()) test::WriteBytes(path, std::vector<unsigned char>(c.text.begin(), c.text.end()));
    StartingSound s;
    s.name = "unchanged";
    std::string error;
    EXPECT_FALSE(ChooseStartingSound(path, std::nullopt, s, error)) << c.what;
    EXPECT_EQ(s.name, "unchanged") << c.what;
    // A file that cannot be opened is refused by the type check before the reader sees it.
    const std::string prefix = c.text.empty() ? "--patch: cannot open \"" + path + "\": "
                                              : "cannot load patch \"" + path + "\": ";
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << c.what << ": " << error;
    EXPECT_NE(error.find(c.because), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.what << ": " << error;
  }
}

TEST(SavedPatchName, MarkedOnceWhenEdited) {
  EXPECT_EQ(SavedPatchName("Glass Keys", false), "Glass Keys");
  EXPECT_EQ(SavedPatchName("Glass Keys", true), "Glass Keys *");
  EXPECT_EQ(SavedPatchName("Glass Keys *", true), "Glass Keys *");
  EXPECT_EQ(SavedPatchName("Star*", true), "Star*");
}

}  // namespace
}  // namespace vbrender
