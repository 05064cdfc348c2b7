// The factory bank: its names, each patch's settings written in the design's
// words (parameter names and display texts), the wrap-around of indices, and
// that selecting a patch starts from the defaults.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "PatchTestSupport.h"
#include "PluginHarness.h"
#include "plugin/patches.h"

namespace vrelbazzit::test {
namespace {

struct DesignRow {
  const char* name;
  const char* settings;  // "Name value; Name value; ..." with enum values as display texts
};

// The factory bank as the design lists it.
const DesignRow kDesignBank[] = {
    {"Init Vrels", ""},
    {"Interval Glass", "Color 71; Cutoff 75; Space 26; Ring 16; Bank Mix 68; Span 82; Osc 2 Wave Hollow"},
    {"Filter Teeth",
     "Color 38; Ring 34; Resonance 55; Bank Mix 82; 350 Hz 28; 700 Hz 100; 1.4 kHz 45; 2.8 kHz 100; Fuzz 22; "
     "Span 88"},
    {"Low Wire",
     "Body 76; Cutoff 44; Space 0; Osc 1 Range -1; Osc 2 Range 0; Voice Mode Mono; Fat 23; Width 3; "
     "Osc 1 Wave Hollow"},
    {"Fat Circuit",
     "Body 73; Cutoff 58; Voice Mode Mono; Fat 55; Fuzz 31; Fat Tune 64; Osc 1 Wave Fold; Osc 2 Wave Blend"},
    {"Hollow Choir",
     "Space 20; Attack 110; Release 920; Bank Mix 62; Voice Mode Poly; Fat 9; Width 31; Osc 1 Wave Hollow; "
     "Osc 2 Wave Sine"},
    {"Fold Bass",
     "Body 70; Cutoff 53; Space 0; Voice Mode Mono; Fat 38; Fuzz 64; Fuzz Warmth 72; Osc 1 Wave Fold; "
     "Osc 2 Wave Blend"},
    {"Old Tape Echo",
     "Age 47; Space 39; Release 660; Bank Mix 44; Voice Mode Split; Width 22; Osc 2 Wave Hollow; "
     "Space Sync Dotted 1/8"},
    {"Needle Width",
     "Cutoff 66; Bank Mix 39; Voice Mode Poly; Fat 9; Width 58; Width Motion 72; Osc 1 Wave Triangle; "
     "Osc 2 Wave Blend"},
    {"Mono Fuzz",
     "Body 78; Cutoff 47; Space 0; Voice Mode Mono; Fat 48; Fuzz 84; Fuzz Warmth 88; Osc 1 Wave Blend; "
     "Osc 2 Wave Pulse"},
    {"Ring Bend",
     "Color 70; Ring 61; Bank Mix 61; Voice Mode Split; Fuzz 25; Span 100; Osc 1 Wave Saw; Osc 2 Wave Fold"},
    {"Poly Haze",
     "Motion 25; Space 30; Attack 75; Release 1250; Voice Mode Poly; Fat 18; Width 38; Osc 1 Wave Hollow; "
     "Osc 2 Wave Blend; Motion Sync 1/2; Space Sync 1/4"},
    {"Bare Circuit",
     "Color 50; Cutoff 80; Motion 0; Space 0; Ring 0; Bank Mix 0; Voice Mode Split; Fat 0; Width 0; Fuzz 0; "
     "Fat On off; Width On off; Fuzz On off"},
    {"Clean Mono",
     "Cutoff 56; Space 0; Attack 5; Release 170; Osc 2 Level 35; Bank Mix 0; Voice Mode Mono; Fat 0; Width 0; "
     "Fuzz 0; Fat On off; Width On off; Fuzz On off; Osc 1 Wave Pulse; Osc 2 Wave Sine"},
    {"Glass Keys",
     "Cutoff 74; Space 10; Attack 20; Release 700; Resonance 8; Bank Mix 14; Voice Mode Poly; Fat 0; Width 0; "
     "Fuzz 0; Fat On off; Width On off; Fuzz On off; Osc 1 Wave Triangle; Osc 2 Wave Sine"},
    {"Vrel Spark",
     "Cutoff 72; Space 6; Ring 18; Resonance 28; Bank Mix 31; Voice Mode Split; Fat 7; Width 9; Osc 1 Wave Saw; "
     "Osc 2 Wave Pulse; Vrel Bite 29"},
    {"Stereo Dust",
     "Cutoff 68; Motion 42; Space 36; Attack 260; Release 1500; Voice Mode Poly; Fat 15; Width 72; "
     "Width Motion 68; Osc 1 Wave Triangle; Osc 2 Wave Fold; Motion Sync 1/4"},
    {"Night Keys",
     "Color 34; Cutoff 49; Age 62; Space 24; Attack 35; Release 820; Bank Mix 27; Voice Mode Poly; Width 24; "
     "Osc 1 Wave Sine; Osc 2 Wave Triangle; Space Sync 1/8"},
};

struct Setting {
  int index;
  double value;
};

// Resolves "Osc 2 Wave Hollow" against the declared parameters: the longest
// declared name the setting starts with, then the rest as a value or display text.
std::vector<Setting> ParseDesignSettings(const VrelBazzit& plug, const std::string& text, std::string& error) {
  std::vector<Setting> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("; ", start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    start = end + 2;
    int best = -1;
    size_t bestLength = 0;
    for (int i = 0; i < kNumParams; ++i) {
      const std::string name = plug.GetParam(i)->GetName();
      if (item.size() > name.size() && item.compare(0, name.size(), name) == 0 && item[name.size()] == ' ' &&
          name.size() > bestLength) {
        best = i;
        bestLength = name.size();
      }
    }
    double value = 0.0;
    if (best < 0 || !plug.GetParam(best)->StringToValue(item.substr(bestLength + 1), value)) {
      error = "cannot read \"" + item + "\"";
      return {};
    }
    out.push_back({best, value});
  }
  return out;
}

TEST(PatchFactory, NamesInOrder) {
  ASSERT_EQ(kNumFactoryPatches, 18);
  for (int i = 0; i < kNumFactoryPatches; ++i) EXPECT_STREQ(kFactoryNames[static_cast<size_t>(i)], kDesignBank[i].name) << i;
}

TEST(PatchFactory, EachPatchIsTheDefaultsWithItsSettings) {
  VrelBazzit plug{fw::InstanceInfo{}};
  const Patch defaults = ParamDefaults<kNumParams>();
  for (int p = 0; p < kNumFactoryPatches; ++p) {
    std::string error;
    const std::vector<Setting> settings = ParseDesignSettings(plug, kDesignBank[p].settings, error);
    ASSERT_TRUE(error.empty()) << kDesignBank[p].name << ": " << error;
    Patch expected = defaults;
    for (const Setting& s : settings) expected[static_cast<size_t>(s.index)] = s.value;
    const Patch made = MakeFactoryPatch(p, defaults);
    for (int i = 0; i < kNumParams; ++i)
      EXPECT_EQ(made[static_cast<size_t>(i)], expected[static_cast<size_t>(i)])
          << kDesignBank[p].name << ", \"" << plug.GetParam(i)->GetName() << "\"";
  }
}

// Settings equal to a default still belong to the patch: on another base they
// are written, and every parameter not named keeps the base's value.
TEST(PatchFactory, SettingsAreWrittenOverAnyBase) {
  VrelBazzit plug{fw::InstanceInfo{}};
  Patch base{};
  for (size_t i = 0; i < base.size(); ++i) base[i] = 1000.0 + static_cast<double>(i);  // no setting has such values
  EXPECT_EQ(MakeFactoryPatch(0, base), base) << "Init Vrels is the base itself";
  for (int p = 1; p < kNumFactoryPatches; ++p) {
    std::string error;
    const std::vector<Setting> settings = ParseDesignSettings(plug, kDesignBank[p].settings, error);
    ASSERT_TRUE(error.empty()) << error;
    Patch expected = base;
    for (const Setting& s : settings) expected[static_cast<size_t>(s.index)] = s.value;
    EXPECT_EQ(MakeFactoryPatch(p, base), expected) << kDesignBank[p].name;
  }
}

TEST(PatchFactory, IndicesWrapAround) {
  const struct {
    int given, selected;
  } cases[] = {
      {0, 0},   {17, 17}, {18, 0},  {36, 0},  {19, 1},      {-1, 17},     {-18, 0},
      {-19, 17}, {35, 17}, {-36, 0}, {INT_MAX, 1},  // 2147483647 = 18 x 119304647 + 1
      {INT_MIN, 16},                                 // -2147483648 = 18 x -119304647 - 2
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WrapFactoryIndex(c.given), c.selected) << c.given;
    EXPECT_EQ(MakeFactoryPatch(c.given, ParamDefaults<kNumParams>()),
              MakeFactoryPatch(c.selected, ParamDefaults<kNumParams>()))
        << c.given;
    VrelBazzit plug{fw::InstanceInfo{}};
    plug.SelectFactoryPatch(c.given);
    EXPECT_EQ(plug.FactoryIndex(), c.selected) << c.given;
    EXPECT_EQ(plug.PatchLabel(), kFactoryNames[static_cast<size_t>(c.selected)]) << c.given;
  }
}

TEST(PatchFactory, PreviousAndNextStepRoundTheBank) {
  VrelBazzit plug{fw::InstanceInfo{}};
  plug.SelectFactoryPatch(plug.FactoryIndex() - 1);
  EXPECT_EQ(plug.FactoryIndex(), 17) << "previous from Init Vrels";
  EXPECT_EQ(plug.PatchLabel(), "Night Keys");
  plug.SelectFactoryPatch(plug.FactoryIndex() + 1);
  EXPECT_EQ(plug.FactoryIndex(), 0) << "next from Night Keys";
  EXPECT_EQ(plug.PatchLabel(), "Init Vrels");
}

// Selecting applies exactly the patch and starts from the defaults, whatever was edited.
TEST(PatchFactory, SelectingStartsFromTheDefaults) {
  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  for (int p = 0; p < kNumFactoryPatches; ++p) {
    // Something edited everywhere first.
    for (int i = 0; i < kNumParams; ++i) plug.SendParameterValueFromUI(i, 0.77);
    plug.SelectFactoryPatch(p);
    EXPECT_EQ(plug.CapturePatch(), MakeFactoryPatch(p, ParamDefaults<kNumParams>())) << kFactoryNames[p];
    EXPECT_EQ(plug.PatchLabel(), kFactoryNames[p]);
    for (int i = 0; i < kNumParams; ++i)
      ASSERT_EQ(h.Synth().params[i], ToEngineValue(i, plug.GetParam(i)->Value()))
          << kFactoryNames[p] << ": the engine follows \"" << plug.GetParam(i)->GetName() << "\"";
  }

  // The design's example: edit "Poly Haze", then choose "Glass Keys".
  plug.SelectFactoryPatch(11);
  plug.SendParameterValueFromUI(kMotion, 0.9);
  plug.SelectFactoryPatch(14);
  EXPECT_EQ(plug.GetParam(kMotion)->Value(), 12.0);
  EXPECT_EQ(plug.GetParam(kMotionSync)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(kSpaceSync)->Value(), 0.0);

  // Reset: every parameter at its default.
  plug.SelectFactoryPatch(0);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(plug.GetParam(i)->Value(), kParamSpecs[static_cast<size_t>(i)].defaultValue)
        << plug.GetParam(i)->GetName();
}

// Only SelectFactoryPatch moves the factory index: after a file, next steps
// from the last factory patch chosen.
TEST(PatchFactory, IndexSurvivesFilesABAndRestores) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "x.vbpatch";
  ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "File", MakeFactoryPatch(2, ParamDefaults<kNumParams>())));
  PluginHarness h;
  VrelBazzit& plug = h.Plug();
  plug.SelectFactoryPatch(5);
  ASSERT_TRUE(plug.LoadPatch(path.c_str()));
  plug.SelectAB(1);
  plug.SelectAB(0);
  ASSERT_TRUE(h.Restore({{kCutoff, 10.0}}));
  EXPECT_EQ(plug.FactoryIndex(), 5);
  plug.SelectFactoryPatch(plug.FactoryIndex() + 1);
  EXPECT_EQ(plug.PatchLabel(), "Fold Bass");
}

}  // namespace
}  // namespace vrelbazzit::test
