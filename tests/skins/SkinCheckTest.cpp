// The vrelbazzit-skincheck tool: its report of a good skin, its message for a
// bad one, the image names it lists, and the executable's exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "SkinTestFiles.h"
#include "tests/support/RunProgram.h"
#include "tools/vrelbazzit-skincheck/SkinCheck.h"

namespace vrelbazzit::test {
namespace {

using skincheck::CaseKnobImageName;
using skincheck::EditorAssetNames;
using skincheck::RunSkinCheck;

// The report line of one asset name, or "" when it is not listed.
std::string AssetLine(const std::string& report, const std::string& name) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  " + name + " ", 0) == 0) return line;
  }
  return {};
}

TEST(SkinCheck, ReportsSettingsAndTheFileBehindEachImage) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path =
      WriteSkinFolder(dir.Path(), SkinText("name=Checked\ntitle=CHECK\nlayout=vrel-case-v1\naccent=#0a0b0c\n"
                                           "alt_knobs=Osc 1 Level, Cutoff\n"));
  WriteFile(dir / "knob-alt.png", kTinyPng);
  WriteFile(dir / "knob.png", kTinyPng);  // beside knob.svg: the SVG is the one used
  WriteFile(dir / "fader-3.png", kTinyPng);
  WriteFile(dir / "knob-250-414.svg", kTinySvg);
  WriteFile(dir / "open-faceplate.svg", kTinySvg);

  std::ostringstream out, err;
  ASSERT_EQ(RunSkinCheck(path.c_str(), out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  const std::string report = out.str();
  for (const std::string want :
       {"name         Checked\n", "title        CHECK\n", "layout       vrel-case-v1\n", "  accent     #0A0B0C\n",
        "  text       #E9EDEE\n", "  oled_text  none (the text colour)\n", "alt_knobs    Osc 1 Level, Cutoff\n",
        "alt_sliders  none\n"})
    EXPECT_NE(report.find(want), std::string::npos) << "missing \"" << want << "\" in\n" << report;

  const struct {
    const char* name;
    std::string ends;  // what the asset's line ends with
  } assets[] = {
      {"faceplate", dir / "faceplate.svg"},
      {"knob", dir / "knob.svg"},
      {"button-active", dir / "button-active.svg"},
      {"knob-alt", dir / "knob-alt.png"},
      {"slider-handle-alt", "not used (alt_sliders is empty)"},
      {"clear-on-off", "missing"},
      {"fader-3", dir / "fader-3.png"},
      {"fader-4", "missing"},
      {"knob-250-414", dir / "knob-250-414.svg"},
      {"knob-170-363", "missing"},
      {"voice-thumb", "missing"},
      {"open-faceplate", dir / "open-faceplate.svg"},
      {"open-knob-space-sync", "missing"},
  };
  for (const auto& a : assets) {
    const std::string line = AssetLine(report, a.name);
    ASSERT_FALSE(line.empty()) << a.name << " not listed";
    EXPECT_TRUE(line.size() >= a.ends.size() && line.compare(line.size() - a.ends.size(), a.ends.size(), a.ends) == 0)
        << a.name << ": " << line;
  }
}

TEST(SkinCheck, FailurePrintsTheLoadersMessageOnly) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = WriteSkinFolder(dir.Path(), SkinText("name=Broken\n"));
  RemoveFile(dir / "button.svg");
  std::ostringstream out, err;
  EXPECT_EQ(RunSkinCheck(path.c_str(), out, err), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "Missing asset: button\n");
}

TEST(SkinCheck, KnobImageNamesRoundTheCentreHalfAwayFromZero) {
  const struct {
    float x, y;
    const char* name;
  } cases[] = {
      {170.28f, 363.0f, "knob-170-363"}, {249.96f, 413.91f, "knob-250-414"}, {1047.4f, 224.85f, "knob-1047-225"},
      {499.3f, 412.4f, "knob-499-412"},  {0.0f, 412.5f, "knob-0-413"},       {1.5f, 2.49f, "knob-2-2"},
  };
  for (const auto& c : cases) EXPECT_EQ(CaseKnobImageName(c.x, c.y), c.name) << c.name;
}

TEST(SkinCheck, ListsEveryImageNameTheEditorAsksFor) {
  // The case layout's knob image names, as its knob table fixes them.
  const char* knobs[] = {"knob-170-363",  "knob-250-414", "knob-417-363",  "knob-499-412", "knob-1047-225",
                         "knob-651-328",  "knob-653-420", "knob-750-420",  "knob-847-420", "knob-231-522",
                         "knob-357-522",  "knob-482-522", "knob-604-522",  "knob-165-595", "knob-295-595",
                         "knob-421-595",  "knob-543-595", "knob-231-703",  "knob-357-703", "knob-482-703",
                         "knob-604-703",  "knob-167-780", "knob-295-780",  "knob-421-780", "knob-543-780",
                         "knob-852-509",  "knob-717-585", "knob-717-685",  "knob-717-778", "knob-948-432",
                         "knob-1035-501", "knob-948-561", "knob-1039-639", "knob-950-709", "knob-1037-774"};
  const auto names = EditorAssetNames();
  auto has = [&](const std::string& n, const char* use) {
    return std::any_of(names.begin(), names.end(),
                       [&](const auto& a) { return a.name == n && std::string(a.use) == use; });
  };
  for (size_t i = 0; i < kRequiredSkinAssets.size(); ++i) {
    ASSERT_LT(i, names.size());
    EXPECT_EQ(names[i].name, kRequiredSkinAssets[i]) << "required images first, in the loader's order";
  }
  for (const char* k : knobs) EXPECT_TRUE(has(k, "case layout")) << k;
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(has("fader-" + std::to_string(i), "case layout")) << i;
  EXPECT_FALSE(has("fader-8", "case layout"));
  for (const char* n : {"voice-thumb", "open-faceplate", "open-knob-osc1-pulse", "open-knob-osc2-pulse",
                        "open-knob-vrel-bite", "open-knob-fat-tune", "open-knob-width-motion", "open-knob-motion-sync",
                        "open-knob-fuzz-warmth", "open-knob-space-sync"})
    EXPECT_TRUE(has(n, "case layout")) << n;
  EXPECT_TRUE(has("clear-on-off", "standard layout"));
  EXPECT_TRUE(has("clear-on-on", "standard layout"));
  EXPECT_TRUE(has("knob-alt", "alternate"));
  EXPECT_TRUE(has("slider-handle-alt", "alternate"));
  // 8 required, 2 alternates, 2 standard, 8 faders, 35 knobs, thumb, open faceplate, 8 open knobs.
  EXPECT_EQ(names.size(), 8u + 2 + 2 + 8 + 35 + 1 + 1 + 8);
}

// ---- The executable ------------------------------------------------------------

using vbtest::RunResult;
using vbtest::ShellQuote;

RunResult RunTool(const TempDir& dir, const std::string& args) {
  return vbtest::RunCommand(ShellQuote(VB_SKINCHECK_EXE) + " " + args, dir / "tool");
}

TEST(SkinCheckExecutable, ExitCodes) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string good = WriteSkinFolder(dir / "good", SkinText("name=Good\n"));
  const std::string bad = WriteSkinFolder(dir / "bad", SkinText("name=\n"));

  const RunResult ok = RunTool(dir, ShellQuote(good));
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_NE(ok.out.find("name         Good\n"), std::string::npos) << ok.out;

  const RunResult failed = RunTool(dir, ShellQuote(bad));
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err, "Invalid skin name.\n");
  EXPECT_EQ(failed.out, "");

  const RunResult usage = RunTool(dir, "");
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_NE(usage.err.find("usage: vrelbazzit-skincheck"), std::string::npos) << usage.err;
}

}  // namespace
}  // namespace vrelbazzit::test
