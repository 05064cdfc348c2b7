// The patch model: capturing and applying patches, the modified marker, the
// A/B variations and the label after a host state restore.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PatchTestSupport.h"
#include "PluginHarness.h"
#include "plugin/patches.h"

namespace vrelbazzit::test {
namespace {

constexpr int kGlassKeys = 14;
constexpr int kPolyHaze = 11;

// A fresh instance with recorders in the editor's and the host's places.
struct Fixture {
  PluginHarness h;
  EditorRecorder editor;
  HostRecorder host;
  Fixture() {
    h.Plug().SetEditorSink(&editor);
    h.Plug().SetHostSink(&host);
  }
  VrelBazzit& plug() { return h.Plug(); }
  double Value(int idx) { return plug().GetParam(idx)->Value(); }
};

// Everything a failed or ignored operation must leave as it was.
struct PatchState {
  Patch sound;
  std::string label;
  int slot;
  bool ready;
  int factoryIndex;
  std::array<Patch, 2> abPatches;
  std::array<std::string, 2> abNames;
  bool operator==(const PatchState&) const = default;
};
PatchState StateOf(const VrelBazzit& p) {
  return {p.CapturePatch(), p.PatchLabel(), p.ActiveSlot(), p.ABReady(), p.FactoryIndex(), p.ABPatches(),
          p.ABNames()};
}

TEST(PatchModel, FreshInstance) {
  VrelBazzit plug{fw::InstanceInfo{}};
  EXPECT_EQ(plug.PatchLabel(), "Init Vrels");
  EXPECT_EQ(plug.ActiveSlot(), 0);
  EXPECT_FALSE(plug.ABReady());
  EXPECT_EQ(plug.FactoryIndex(), 0);
  EXPECT_EQ(plug.CapturePatch(), ParamDefaults<kNumParams>());
}

// Stepped kinds are rounded half away from zero, everything is limited to its
// range, and continuous values arrive exactly as the patch holds them.
TEST(PatchModel, ApplyRoundsLimitsAndKeepsExactValues) {
  struct Case {
    const char* what;
    int index;
    double given, applied;
  };
  const Case cases[] = {
      {"Voice Mode 2.5 rounds to 3, limited to Poly", kVoiceMode, 2.5, 2.0},
      {"Voice Mode 0.5 rounds away from zero to Mono", kVoiceMode, 0.5, 1.0},
      {"Osc 1 Range 1.5 becomes 2", kOsc1Range, 1.5, 2.0},
      {"Osc 2 Range -1.5 becomes -2", kOsc2Range, -1.5, -2.0},
      {"Osc 2 Range -2.5 rounds to -3, limited to -2", kOsc2Range, -2.5, -2.0},
      {"Fat On 0.49 is off", kFatOn, 0.49, 0.0},
      {"150 for a percent parameter is 100", kCutoff, 150.0, 100.0},
      {"-3 for a percent parameter is 0", kBody, -3.0, 0.0},
      {"Attack 0 is its minimum 1 ms", kAttack, 0.0, 1.0},
      {"Master Gain 250 is 200", kMasterGain, 250.0, 200.0},
      {"Osc 2 Fine -60 is -50", kOsc2Fine, -60.0, -50.0},
      // Values a round trip through the normalised value would move by an ulp.
      {"Vrel Bite 29 exactly", kVrelBite, 29.0, 29.0},
      {"Attack 110 ms exactly", kAttack, 110.0, 110.0},
      {"Osc 2 Fine 37.2 exactly", kOsc2Fine, 37.2, 37.2},
      {"Release 250.875 ms kept unrounded", kRelease, 250.875, 250.875},
  };
  for (const Case& c : cases) {
    Fixture f;
    Patch p = ParamDefaults<kNumParams>();
    p[static_cast<size_t>(c.index)] = c.given;
    f.plug().ApplyPatch(p, "Applied");
    EXPECT_EQ(f.Value(c.index), c.applied) << c.what;
    // The engine holds the converted value of what the parameter holds.
    EXPECT_EQ(f.h.Synth().params[c.index], ToEngineValue(c.index, c.applied)) << c.what;
    EXPECT_EQ(f.plug().PatchLabel(), "Applied") << c.what;
  }
}

// Every parameter goes to the host as one change (no gesture), then every
// value to the editor's controls, normalised.
TEST(PatchModel, ApplyInformsTheHostAndTheEditorOfEveryParameter) {
  Fixture f;
  Patch p = MakeFactoryPatch(kPolyHaze, ParamDefaults<kNumParams>());
  f.plug().ApplyPatch(p, "Poly Haze");
  ASSERT_EQ(f.host.changes.size(), static_cast<size_t>(kNumParams));
  EXPECT_EQ(f.host.gestures, 0);
  ASSERT_EQ(f.editor.values.size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i) {
    const fw::IParam& param = *f.plug().GetParam(i);
    SCOPED_TRACE(param.GetName());
    EXPECT_EQ(f.host.changes[static_cast<size_t>(i)].first, i);
    EXPECT_NEAR(f.host.changes[static_cast<size_t>(i)].second, param.ToNormalized(p[static_cast<size_t>(i)]), 1e-15);
    EXPECT_EQ(f.editor.values[static_cast<size_t>(i)].paramIdx, i);
    EXPECT_TRUE(f.editor.values[static_cast<size_t>(i)].normalized);
    EXPECT_EQ(f.editor.values[static_cast<size_t>(i)].value, param.GetNormalized());
    EXPECT_EQ(param.Value(), p[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(f.h.Synth().voiceMode, kPoly);
}

// While the audio thread processes, an applied patch reaches the engine at
// the start of the next block, not before.
TEST(PatchModel, ApplyWhileProcessingReachesTheEngineAtTheNextBlock) {
  Fixture f;
  f.h.Start(48000.0, 64);
  f.h.Render(64);
  const double cutoffBefore = f.h.Synth().params[kCutoff];
  f.plug().SelectFactoryPatch(kGlassKeys);
  EXPECT_EQ(f.Value(kCutoff), 74.0);
  EXPECT_EQ(f.h.Synth().params[kCutoff], cutoffBefore) << "not touched off the audio thread";
  f.h.Render(64);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(f.h.Synth().params[i], ToEngineValue(i, f.Value(i))) << f.plug().GetParam(i)->GetName();
  EXPECT_EQ(f.h.Synth().voiceMode, kPoly);
}

TEST(PatchModel, EditorGesturesMarkTheLabelOnce) {
  Fixture f;
  f.plug().SendParameterValueFromUI(kCutoff, 0.4);
  EXPECT_EQ(f.plug().PatchLabel(), "Init Vrels *");
  f.plug().SendParameterValueFromUI(kBody, 0.1);
  f.plug().SendParameterValueFromUI(kCutoff, 0.2);
  EXPECT_EQ(f.plug().PatchLabel(), "Init Vrels *") << "the marker is added once";
}

TEST(PatchModel, OnlyEditorSourcedChangesMark) {
  const struct {
    fw::EParamSource source;
    const char* what;
    bool marks;
  } cases[] = {
      {fw::kReset, "reset", false},     {fw::kHost, "host", false},          {fw::kPresetRecall, "preset recall", false},
      {fw::kUI, "editor", true},        {fw::kDelegate, "delegate", false},  {fw::kRecompile, "recompile", false},
      {fw::kUnknown, "unknown", false},
  };
  for (const auto& c : cases) {
    VrelBazzit plug{fw::InstanceInfo{}};
    plug.OnParamChangeUI(kCutoff, c.source);
    EXPECT_EQ(plug.PatchLabel(), c.marks ? "Init Vrels *" : "Init Vrels") << c.what;
  }
}

TEST(PatchModel, HostAutomationRestoresAndAppliedPatchesNeverMark) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  Fixture f;
  ASSERT_TRUE(f.plug().SavePatch((dir / "p.vbpatch").c_str()));

  // Host automation during processing.
  f.h.Start(48000.0, 64);
  fw::OfflineBlock automation;
  automation.params = {{kCutoff, 0.3, true}, {kAttack, 500.0, false}};
  f.h.Render(128, automation);
  EXPECT_EQ(f.Value(kCutoff), 30.0);
  EXPECT_EQ(f.plug().PatchLabel(), "Init Vrels") << "host automation";

  // Patches applied from the factory, a file and an A/B slot.
  f.plug().SelectFactoryPatch(3);
  EXPECT_EQ(f.plug().PatchLabel(), "Low Wire") << "factory patch";
  ASSERT_TRUE(f.plug().LoadPatch((dir / "p.vbpatch").c_str()));
  EXPECT_EQ(f.plug().PatchLabel(), "Init Vrels") << "patch file";
  f.plug().SelectAB(1);
  EXPECT_EQ(f.plug().PatchLabel(), "Init Vrels") << "A/B switch";
  f.plug().ApplyPatch(MakeFactoryPatch(9, ParamDefaults<kNumParams>()), "Direct");
  EXPECT_EQ(f.plug().PatchLabel(), "Direct") << "ApplyPatch";

  // A host state restore.
  f.h.Host().Stop();
  ASSERT_TRUE(f.h.Restore({{kCutoff, 40.0}}));
  EXPECT_EQ(f.plug().PatchLabel(), "Project sound") << "state restore";
}

TEST(PatchModel, ANameEndingInAStarIsNotMarkedAgain) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "starred.vbpatch";
  ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "Bright*", ParamDefaults<kNumParams>()));
  VrelBazzit plug{fw::InstanceInfo{}};
  ASSERT_TRUE(plug.LoadPatch(path.c_str()));
  EXPECT_EQ(plug.PatchLabel(), "Bright*");
  plug.SendParameterValueFromUI(kCutoff, 0.9);
  EXPECT_EQ(plug.PatchLabel(), "Bright*");
}

// The sequence of the A/B variations, starting from "Glass Keys".
TEST(PatchModel, ABVariationsKeepTheirSoundsAndLabels) {
  Fixture f;
  VrelBazzit& p = f.plug();
  p.SelectFactoryPatch(kGlassKeys);
  const Patch glassKeys = MakeFactoryPatch(kGlassKeys, ParamDefaults<kNumParams>());
  ASSERT_EQ(p.CapturePatch(), glassKeys);
  ASSERT_EQ(p.PatchLabel(), "Glass Keys");

  // To B: both slots hold the sound, labelled "Glass Keys"; nothing audible changes.
  p.SelectAB(1);
  EXPECT_EQ(p.ActiveSlot(), 1);
  EXPECT_TRUE(p.ABReady());
  EXPECT_EQ(p.ABPatches()[0], glassKeys);
  EXPECT_EQ(p.ABPatches()[1], glassKeys);
  EXPECT_EQ(p.ABNames()[0], "Glass Keys");
  EXPECT_EQ(p.ABNames()[1], "Glass Keys");
  EXPECT_EQ(p.CapturePatch(), glassKeys);
  EXPECT_EQ(p.PatchLabel(), "Glass Keys");

  // Edit B.
  p.SendParameterValueFromUI(kCutoff, 0.25);
  p.SendParameterValueFromUI(kVoiceMode, 0.5);  // Mono
  EXPECT_EQ(p.PatchLabel(), "Glass Keys *");
  const Patch editedB = p.CapturePatch();
  EXPECT_EQ(editedB[kCutoff], 25.0);

  // To A: A's sound and unmarked label return; B keeps the edit.
  p.SelectAB(0);
  EXPECT_EQ(p.ActiveSlot(), 0);
  EXPECT_EQ(p.CapturePatch(), glassKeys);
  EXPECT_EQ(p.PatchLabel(), "Glass Keys");
  EXPECT_EQ(p.ABPatches()[1], editedB);
  EXPECT_EQ(p.ABNames()[1], "Glass Keys *");
  EXPECT_EQ(f.h.Synth().voiceMode, kPoly);

  // Back to B: the edited sound and the marked label.
  p.SelectAB(1);
  EXPECT_EQ(p.CapturePatch(), editedB);
  EXPECT_EQ(p.PatchLabel(), "Glass Keys *");
  EXPECT_EQ(f.h.Synth().voiceMode, kMono);
  EXPECT_EQ(p.FactoryIndex(), kGlassKeys) << "A/B switches leave the factory index";
}

TEST(PatchModel, ABSwitchesThatChangeNothing) {
  const struct {
    const char* what;
    bool toB;  // first put B in play
    int slot;
  } cases[] = {
      {"A while single", false, 0}, {"B while B", true, 1},     {"slot 2", false, 2},
      {"slot -1", false, -1},       {"slot 2 while B", true, 2}, {"slot -1 while B", true, -1},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.plug().SelectFactoryPatch(kGlassKeys);
    if (c.toB) {
      f.plug().SelectAB(1);
      f.plug().SendParameterValueFromUI(kCutoff, 0.1);
    }
    const PatchState before = StateOf(f.plug());
    const size_t hostChanges = f.host.changes.size();
    f.plug().SelectAB(c.slot);
    EXPECT_TRUE(StateOf(f.plug()) == before) << c.what;
    EXPECT_EQ(f.host.changes.size(), hostChanges) << c.what << ": no parameter was set";
  }
}

TEST(PatchModel, ASoundFromOutsideForgetsTheVariations) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "file.vbpatch";
  ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "From File", MakeFactoryPatch(2, ParamDefaults<kNumParams>())));

  struct Case {
    const char* what;
    std::function<void(PluginHarness&)> choose;
    std::string label;
  };
  const std::vector<Case> cases = {
      {"factory patch", [](PluginHarness& h) { h.Plug().SelectFactoryPatch(kPolyHaze); }, "Poly Haze"},
      {"patch file", [&](PluginHarness& h) { ASSERT_TRUE(h.Plug().LoadPatch(path.c_str())); }, "From File"},
      {"host state", [](PluginHarness& h) { ASSERT_TRUE(h.Restore({{kCutoff, 12.5}})); }, "Project sound"},
  };
  for (const Case& c : cases) {
    PluginHarness h;
    h.Plug().SelectFactoryPatch(kGlassKeys);
    h.Plug().SelectAB(1);
    h.Plug().SendParameterValueFromUI(kCutoff, 0.1);
    c.choose(h);
    EXPECT_EQ(h.Plug().ActiveSlot(), 0) << c.what << ": the selector shows A";
    EXPECT_FALSE(h.Plug().ABReady()) << c.what;
    EXPECT_EQ(h.Plug().PatchLabel(), c.label) << c.what;

    // The next switch to B copies the new sound into both slots first.
    const Patch chosen = h.Plug().CapturePatch();
    h.Plug().SelectAB(1);
    EXPECT_EQ(h.Plug().CapturePatch(), chosen) << c.what;
    EXPECT_EQ(h.Plug().ABPatches()[0], chosen) << c.what;
    EXPECT_EQ(h.Plug().ABPatches()[1], chosen) << c.what;
    EXPECT_EQ(h.Plug().ABNames()[1], c.label) << c.what;
  }
}

TEST(PatchModel, StateRestoreShowsProjectSoundAndSendsEveryValue) {
  Fixture f;
  f.plug().SelectFactoryPatch(7);
  f.plug().SelectAB(1);
  f.editor.values.clear();
  f.host.changes.clear();
  ASSERT_TRUE(f.h.Restore({{kCutoff, 42.0}, {kVoiceMode, 2.0}, {kAttack, 250.875}}));
  EXPECT_EQ(f.plug().PatchLabel(), "Project sound");
  EXPECT_EQ(f.plug().ActiveSlot(), 0);
  EXPECT_FALSE(f.plug().ABReady());
  EXPECT_EQ(f.plug().FactoryIndex(), 7) << "a state restore leaves the factory index";
  // The engine follows the restored values.
  EXPECT_EQ(f.h.Synth().params[kCutoff], ToEngineValue(kCutoff, 42.0));
  EXPECT_EQ(f.h.Synth().voiceMode, kPoly);
  EXPECT_EQ(f.h.Synth().params[kAttack], ToEngineValue(kAttack, 250.875));
  // Every value goes to the editor, normalised through its shape.
  ASSERT_EQ(f.editor.values.size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i) {
    EXPECT_EQ(f.editor.values[static_cast<size_t>(i)].paramIdx, i);
    EXPECT_TRUE(f.editor.values[static_cast<size_t>(i)].normalized);
    EXPECT_EQ(f.editor.values[static_cast<size_t>(i)].value, f.plug().GetParam(i)->GetNormalized());
  }
  EXPECT_DOUBLE_EQ(f.editor.values[kAttack].value, 0.5) << "250.875 ms is half-way on the power-3 curve";
  EXPECT_TRUE(f.host.changes.empty()) << "a restore is not reported back to the host";

  // The next A/B switch captures the restored sound into both slots.
  const Patch restored = f.plug().CapturePatch();
  f.plug().SelectAB(1);
  EXPECT_EQ(f.plug().ABPatches()[0], restored);
  EXPECT_EQ(f.plug().ABPatches()[1], restored);
  EXPECT_EQ(f.plug().ABNames()[0], "Project sound");
}

// A refused file changes nothing: not the sound, not the label, not A/B.
TEST(PatchModel, FailedLoadChangesNothing) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string good = FormatPatchText<kNumParams>("Good", MakeFactoryPatch(4, ParamDefaults<kNumParams>()));
  struct Case {
    const char* what;
    std::string text;  // empty: no file at all
  };
  const Case cases[] = {
      {"missing file", ""},
      {"a lone CR in the header's line end", "VRELBAZZIT_PATCH_V1 59\r\r\n" + good.substr(good.find('\n') + 1)},
      {"value out of range", good.substr(0, good.rfind("\n0\n")) + "\n101\n"},
      {"trailing word", good + "end\n"},
      {"too large", good + std::string(8192, ' ')},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.plug().SelectFactoryPatch(kGlassKeys);
    f.plug().SelectAB(1);
    f.plug().SendParameterValueFromUI(kCutoff, 0.1);
    const PatchState before = StateOf(f.plug());
    f.host.changes.clear();
    f.editor.values.clear();

    const std::string path = dir / "bad.vbpatch";
    std::filesystem::remove(path);
    if (!c.text.empty()) WriteText(path, c.text);
    EXPECT_FALSE(f.plug().LoadPatch(path.c_str())) << c.what;
    EXPECT_TRUE(StateOf(f.plug()) == before) << c.what;
    EXPECT_TRUE(f.host.changes.empty()) << c.what;
    EXPECT_TRUE(f.editor.values.empty()) << c.what;
  }
  VrelBazzit plug{fw::InstanceInfo{}};
  EXPECT_FALSE(plug.LoadPatch(nullptr));
  EXPECT_FALSE(plug.LoadPatch(""));
  EXPECT_EQ(plug.PatchLabel(), "Init Vrels");
}

// Saved with its marker, loaded back exactly, label from the file's name line.
TEST(PatchModel, SaveAndLoadThroughThePlugin) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "mine.vbpatch";
  Fixture f;
  f.plug().SelectFactoryPatch(16);
  f.plug().SendParameterValueFromUI(kAttack, 0.37);  // a power-curve value no table holds
  f.plug().SendParameterValueFromUI(kOsc2Fine, 0.123);
  const Patch saved = f.plug().CapturePatch();
  ASSERT_TRUE(f.plug().SavePatch(path.c_str()));
  EXPECT_EQ(f.plug().PatchLabel(), "Stereo Dust *");

  f.plug().SelectFactoryPatch(0);
  f.plug().SelectAB(1);
  ASSERT_TRUE(f.plug().LoadPatch(path.c_str()));
  EXPECT_EQ(f.plug().CapturePatch(), saved) << "every value back exactly";
  EXPECT_EQ(f.plug().PatchLabel(), "Stereo Dust *");
  EXPECT_EQ(f.plug().ActiveSlot(), 0);
  EXPECT_FALSE(f.plug().ABReady());
  EXPECT_EQ(f.plug().FactoryIndex(), 0) << "loading a file leaves the factory index";
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(f.h.Synth().params[i], ToEngineValue(i, saved[static_cast<size_t>(i)])) << i;
}

// A name of 80 bytes with the marker appended is saved as its first 80 bytes.
TEST(PatchModel, MarkedEightyByteNameSavedWithoutTheMarker) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string eighty(80, 'q');
  ASSERT_TRUE(SavePatchFile<kNumParams>((dir / "a").c_str(), eighty, ParamDefaults<kNumParams>()));
  VrelBazzit plug{fw::InstanceInfo{}};
  ASSERT_TRUE(plug.LoadPatch((dir / "a").c_str()));
  plug.SendParameterValueFromUI(kCutoff, 0.5);
  ASSERT_EQ(plug.PatchLabel().size(), 82u);
  ASSERT_TRUE(plug.SavePatch((dir / "b").c_str()));
  ASSERT_TRUE(plug.LoadPatch((dir / "b").c_str()));
  EXPECT_EQ(plug.PatchLabel(), eighty);
}

}  // namespace
}  // namespace vrelbazzit::test
