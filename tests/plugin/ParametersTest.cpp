// The parameter set as the plug-in declares it, and the conversion of each
// plain value into the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "PluginHarness.h"

namespace vrelbazzit::test {
namespace {

TEST(Parameters, DeclaredFromTheTableInIndexOrder) {
  VrelBazzit plug{fw::InstanceInfo{}};
  ASSERT_EQ(plug.NParams(), 59);
  for (int i = 0; i < kNumParams; ++i) {
    const fw::IParam& p = *plug.GetParam(i);
    const ParamSpec& decl = kParamSpecs[static_cast<size_t>(i)];
    SCOPED_TRACE(decl.name);
    EXPECT_STREQ(p.GetName(), decl.name);
    EXPECT_STREQ(p.GetGroup(), decl.group);
    EXPECT_EQ(p.Value(), decl.defaultValue);
    EXPECT_EQ(p.GetMin(), decl.minValue);
    EXPECT_EQ(p.GetMax(), decl.maxValue);
    EXPECT_EQ(p.GetFlags(), 0);
  }
}

TEST(Parameters, KindsShapesAndTexts) {
  VrelBazzit plug{fw::InstanceInfo{}};
  const int timeParams[] = {kAttack, kRelease, kAmpDecay, kFilterAttack, kFilterDecay, kFilterRelease, kGlide};
  for (int i = 0; i < kNumParams; ++i) {
    const fw::IParam& p = *plug.GetParam(i);
    SCOPED_TRACE(p.GetName());
    const bool isTime = std::find(std::begin(timeParams), std::end(timeParams), i) != std::end(timeParams);
    EXPECT_EQ(p.GetShape().kind == fw::IParam::Shape::kPowCurve, isTime);
    if (isTime) {
      EXPECT_EQ(p.GetShape().exponent, 3.0);
      EXPECT_STREQ(p.GetLabel(), "ms");
    }
  }
  EXPECT_EQ(plug.GetParam(kVoiceMode)->Type(), fw::IParam::kTypeEnum);
  EXPECT_STREQ(plug.GetParam(kVoiceMode)->GetDisplayText(2), "Poly");
  EXPECT_STREQ(plug.GetParam(kOsc2Wave)->GetDisplayText(6), "Hollow");
  EXPECT_STREQ(plug.GetParam(kSpaceSync)->GetDisplayText(3), "Dotted 1/8");
  EXPECT_EQ(plug.GetParam(kFatOn)->Type(), fw::IParam::kTypeBool);
  EXPECT_STREQ(plug.GetParam(kFatOn)->GetDisplayText(0), "off");
  EXPECT_STREQ(plug.GetParam(kFatOn)->GetDisplayText(1), "on");
  EXPECT_EQ(plug.GetParam(kOsc1Range)->Type(), fw::IParam::kTypeInt);
  EXPECT_STREQ(plug.GetParam(kOsc1Range)->GetLabel(), " oct");
  EXPECT_STREQ(plug.GetParam(kOsc2Fine)->GetLabel(), " cents");
  EXPECT_EQ(plug.GetParam(kGlide)->GetDefault(), plug.GetParam(kGlide)->GetMin());  // 1 ms, the minimum
  EXPECT_EQ(plug.GetParam(kRelease)->GetMin(), 10.0);
}

TEST(Parameters, HostNormalisation) {
  VrelBazzit plug{fw::InstanceInfo{}};
  // Power-3 curve: 1 + 0.5^3 x (2000 - 1) = 250.875 ms, not rounded to the 1 ms step.
  plug.GetParam(kAttack)->SetNormalized(0.5);
  EXPECT_EQ(plug.GetParam(kAttack)->Value(), 250.875);
  EXPECT_DOUBLE_EQ(plug.GetParam(kAttack)->GetNormalized(), 0.5);
  // An int: -2 + 0.5 x 4 = 0.
  plug.GetParam(kOsc1Range)->SetNormalized(0.5);
  EXPECT_EQ(plug.GetParam(kOsc1Range)->Value(), 0.0);
  // A percent parameter is linear.
  plug.GetParam(kCutoff)->SetNormalized(0.25);
  EXPECT_EQ(plug.GetParam(kCutoff)->Value(), 25.0);
}

struct Conversion {
  int index;
  double plain;
  double engine;
};

TEST(Parameters, PlainValuesReachTheEngineConverted) {
  const Conversion cases[] = {
      {kAmpLevel, 55.0, 0.55},     {kAttack, 1.0, 0.001},        {kAttack, 2000.0, 2.0},
      {kRelease, 10.0, 0.01},      {kGlide, 4000.0, 4.0},        {kMasterGain, 200.0, 2.0},
      {kOsc2Fine, -50.0, 0.0},     {kOsc2Fine, 0.0, 0.5},        {kOsc2Fine, 50.0, 1.0},
      {kOsc1Range, -2.0, 0.0},     {kOsc1Range, 0.0, 0.5},       {kOsc2Range, 2.0, 1.0},
      {kVoiceMode, 1.0, 0.5},      {kVoiceMode, 2.0, 1.0},       {kOsc1Wave, 6.0, 1.0},
      {kOsc2Wave, 3.0, 0.5},       {kMotionSync, 5.0, 1.0},      {kSpaceSync, 1.0, 0.2},
      {kFatOn, 0.0, 0.0},          {kOsc1WaveFine, 1.0, 1.0},    {kVrelBite, 100.0, 1.0},
  };
  for (const Conversion& c : cases) {
    PluginHarness h;
    h.Start();
    fw::OfflineBlock b;
    b.params.push_back({c.index, c.plain, false});
    h.Block(b, 0);
    SCOPED_TRACE(std::string(kParamSpecs[static_cast<size_t>(c.index)].name) + " = " + std::to_string(c.plain));
    EXPECT_NEAR(h.Synth().params[c.index], c.engine, 1e-15);
  }
}

TEST(Parameters, NonFiniteHostValuesNeverReachTheEngine) {
  PluginHarness h;
  h.Start();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  fw::OfflineBlock b;
  b.params = {{kCutoff, nan, true}, {kAttack, nan, false}, {kMasterGain, inf, false}, {kBody, -inf, false},
              {kFuzz, 7.0, true}};
  h.Block(b, 16);
  EXPECT_DOUBLE_EQ(h.Synth().params[kCutoff], 0.7);    // unchanged default
  EXPECT_DOUBLE_EQ(h.Synth().params[kAttack], 0.012);  // unchanged default
  EXPECT_EQ(h.Synth().params[kMasterGain], 2.0);  // clamped to 200 %
  EXPECT_EQ(h.Synth().params[kBody], 0.0);        // clamped to 0 %
  EXPECT_EQ(h.Synth().params[kFuzz], 1.0);        // normalised above 1 clamps
  for (double s : h.left) EXPECT_TRUE(std::isfinite(s));
}

TEST(Parameters, OutOfRangeIndicesChangeNothing) {
  PluginHarness h;
  h.Start();
  double before[kNumParams];
  std::copy(std::begin(h.Synth().params), std::end(h.Synth().params), before);
  h.Plug().OnParamChange(59);
  h.Plug().OnParamChange(-1);
  fw::OfflineBlock b;
  b.params = {{59, 0.5, true}, {-3, 0.5, true}};
  h.Block(b, 0);
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(h.Synth().params[i], before[i]) << i;
}

TEST(Parameters, SameVoiceModeKeepsSoundingVoiceAndNewModeRebuilds) {
  PluginHarness h;
  ASSERT_TRUE(h.Restore({{kVoiceMode, 1.0}}));  // Mono
  h.Start();
  h.Render(480, Events({fw::IMidiMsg::NoteOn(0, 60, 100)}));
  const double level = h.Synth().voices[0].ampLevel;
  ASSERT_GT(level, 0.0);

  fw::OfflineBlock mono;
  mono.params.push_back({kVoiceMode, 1.0, false});
  h.Block(mono, 0);
  EXPECT_EQ(h.Synth().voices[0].ampLevel, level) << "Mono to Mono must leave the voice alone";

  fw::OfflineBlock poly;
  poly.params.push_back({kVoiceMode, 2.0, false});
  h.Block(poly, 0);
  EXPECT_EQ(h.Synth().voiceMode, kPoly);
  EXPECT_EQ(h.Synth().voices[0].note1, -1) << "voice 0 is reset by the rebuild";
  EXPECT_EQ(h.Synth().voices[1].note1, 60) << "the held note gets a poly voice";
  EXPECT_TRUE(h.Synth().voices[1].active);
  EXPECT_EQ(h.Synth().voices[1].ampLevel, 0.0) << "and starts from silence";
}

TEST(Parameters, EditorChangesWaitForTheAudioThreadWhileProcessing) {
  PluginHarness h;
  h.Start();
  h.Render(64, Events({fw::IMidiMsg::NoteOn(0, 60, 100)}));

  // An editor gesture on the main thread while processing: the engine sees it
  // only at the start of the next process call.
  h.Plug().SendParameterValueFromUI(kVoiceMode, 1.0);  // normalised 1 = Poly
  EXPECT_EQ(h.Plug().GetParam(kVoiceMode)->Value(), 2.0);
  EXPECT_EQ(h.Synth().voiceMode, kSplit);
  EXPECT_EQ(h.Synth().params[kVoiceMode], 0.0);

  h.Block({}, 0);
  EXPECT_EQ(h.Synth().voiceMode, kPoly);
  EXPECT_EQ(h.Synth().params[kVoiceMode], 1.0);
}

TEST(Parameters, EditorChangesApplyAtOnceWhileNotProcessing) {
  PluginHarness h;
  h.Plug().SendParameterValueFromUI(kCutoff, 0.2);
  EXPECT_DOUBLE_EQ(h.Synth().params[kCutoff], 0.2);
}

TEST(Parameters, ResetPushesEveryRestoredValue) {
  PluginHarness h;
  ASSERT_TRUE(h.Restore({{kCutoff, 20.0}, {kAttack, 500.0}, {kVoiceMode, 2.0}, {kOsc1Wave, 4.0}}));
  h.Start(44100.0);
  EXPECT_DOUBLE_EQ(h.Synth().params[kCutoff], 0.2);
  EXPECT_DOUBLE_EQ(h.Synth().params[kAttack], 0.5);
  EXPECT_EQ(h.Synth().voiceMode, kPoly);
  EXPECT_DOUBLE_EQ(h.Synth().params[kOsc1Wave], 4.0 / 6.0);
  EXPECT_EQ(h.Synth().sampleRate, 44100.0);
}

}  // namespace
}  // namespace vrelbazzit::test
