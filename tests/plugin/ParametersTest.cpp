// The parameter set as the plug-in declares it, and the conversion of each
// plain value into the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <string>

#include "PluginHarness.h"

namespace vrelbazzit::test {
namespace {

// The 59 declarations as the design lists them, written out here rather than
// read from the table the plug-in declares from.
enum Kind { kDouble, kInt, kBool, kEnum };
struct Declared {
  const char* name;
  const char* group;
  Kind kind;
  int texts;  // display texts of bool and enum parameters
  double defaultValue, minValue, maxValue, step;
  const char* label;
  bool power3;
};
constexpr Declared kDeclared[] = {
{"Amp Level", "Amp Envelope", kDouble, 0, 70, 0, 100, 0.1, "%", false},  // 0
    {"Body", "", kDouble, 0, 55, 0, 100, 0.1, "%", false},  // 1
    {"Color", "", kDouble, 0, 55, 0, 100, 0.1, "%", false},  // 2
    {"Cutoff", "", kDouble, 0, 70, 0, 100, 0.1, "%", false},  // 3
    {"Motion", "", kDouble, 0, 12, 0, 100, 0.1, "%", false},  // 4
    {"Age", "", kDouble, 0, 12, 0, 100, 0.1, "%", false},  // 5
    {"Space", "", kDouble, 0, 12, 0, 100, 0.1, "%", false},  // 6
    {"Ring", "", kDouble, 0, 0, 0, 100, 0.1, "%", false},  // 7
    {"Attack", "Envelope", kDouble, 0, 12, 1, 2000, 1, "ms", true},  // 8
    {"Release", "Envelope", kDouble, 0, 280, 10, 4000, 1, "ms", true},  // 9
    {"Osc 1 Level", "Oscillators", kDouble, 0, 80, 0, 100, 0.1, "%", false},  // 10
    {"Osc 1 Pulse", "Oscillators", kDouble, 0, 40, 0, 100, 0.1, "%", false},  // 11
    {"Osc 1 Range", "Oscillators", kInt, 0, 0, -2, 2, 1, " oct", false},  // 12
    {"Osc 2 Level", "Oscillators", kDouble, 0, 80, 0, 100, 0.1, "%", false},  // 13
    {"Osc 2 Pulse", "Oscillators", kDouble, 0, 40, 0, 100, 0.1, "%", false},  // 14
    {"Osc 2 Range", "Oscillators", kInt, 0, 0, -2, 2, 1, " oct", false},  // 15
    {"Osc 2 Fine", "Oscillators", kDouble, 0, 0, -50, 50, 0.1, " cents", false},  // 16
    {"Pulse Width", "Oscillators", kDouble, 0, 50, 0, 100, 0.1, "%", false},  // 17
    {"Resonance", "Filter", kDouble, 0, 15, 0, 100, 0.1, "%", false},  // 18
    {"High Pass", "Filter", kDouble, 0, 0, 0, 100, 0.1, "%", false},  // 19
    {"Filter Env Amount", "Filter", kDouble, 0, 25, 0, 100, 0.1, "%", false},  // 20
    {"Amp Decay", "Amp Envelope", kDouble, 0, 180, 1, 4000, 1, "ms", true},  // 21
    {"Amp Sustain", "Amp Envelope", kDouble, 0, 72, 0, 100, 0.1, "%", false},  // 22
    {"Filter Attack", "Filter Envelope", kDouble, 0, 10, 1, 4000, 1, "ms", true},  // 23
    {"Filter Decay", "Filter Envelope", kDouble, 0, 280, 1, 4000, 1, "ms", true},  // 24
    {"Filter Sustain", "Filter Envelope", kDouble, 0, 25, 0, 100, 0.1, "%", false},  // 25
    {"Filter Release", "Filter Envelope", kDouble, 0, 380, 1, 4000, 1, "ms", true},  // 26
    {"LFO Rate", "LFO", kDouble, 0, 33, 0, 100, 0.1, "%", false},  // 27
    {"LFO Pitch", "LFO", kDouble, 0, 50, 0, 100, 0.1, "%", false},  // 28
    {"LFO Filter", "LFO", kDouble, 0, 45, 0, 100, 0.1, "%", false},  // 29
    {"Glide", "Oscillators", kDouble, 0, 1, 1, 4000, 1, "ms", true},  // 30
    {"Bank Mix", "Filter Bank", kDouble, 0, 25, 0, 100, 0.1, "%", false},  // 31
    {"250 Hz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 32
    {"350 Hz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 33
    {"500 Hz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 34
    {"700 Hz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 35
    {"1 kHz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 36
    {"1.4 kHz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 37
    {"2 kHz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 38
    {"2.8 kHz", "Filter Bank", kDouble, 0, 75, 0, 100, 0.1, "%", false},  // 39
    {"Voice Mode", "", kEnum, 3, 0, 0, 2, 1, "", false},  // 40
    {"Fat", "Character", kDouble, 0, 12, 0, 100, 0.1, "%", false},  // 41
    {"Width", "Character", kDouble, 0, 12, 0, 100, 0.1, "%", false},  // 42
    {"Fuzz", "Character", kDouble, 0, 0, 0, 100, 0.1, "%", false},  // 43
    {"Span", "Character", kDouble, 0, 35, 0, 100, 0.1, "%", false},  // 44
    {"Fat On", "", kBool, 2, 1, 0, 1, 1, "", false},  // 45
    {"Width On", "", kBool, 2, 1, 0, 1, 1, "", false},  // 46
    {"Fuzz On", "", kBool, 2, 1, 0, 1, 1, "", false},  // 47
    {"Fat Tune", "Open Circuit", kDouble, 0, 50, 0, 100, 0.1, "%", false},  // 48
    {"Fuzz Warmth", "Open Circuit", kDouble, 0, 50, 0, 100, 0.1, "%", false},  // 49
    {"Width Motion", "Open Circuit", kDouble, 0, 50, 0, 100, 0.1, "%", false},  // 50
    {"Osc 1 Wave", "", kEnum, 7, 0, 0, 6, 1, "", false},  // 51
    {"Osc 2 Wave", "", kEnum, 7, 0, 0, 6, 1, "", false},  // 52
    {"Osc 1 Wave Fine", "", kBool, 2, 0, 0, 1, 1, "", false},  // 53
    {"Osc 2 Wave Fine", "", kBool, 2, 0, 0, 1, 1, "", false},  // 54
    {"Motion Sync", "", kEnum, 6, 0, 0, 5, 1, "", false},  // 55
    {"Space Sync", "", kEnum, 6, 0, 0, 5, 1, "", false},  // 56
    {"Master Gain", "Output", kDouble, 0, 100, 0, 200, 0.1, "%", false},  // 57
    {"Vrel Bite", "Open Circuit", kDouble, 0, 0, 0, 100, 0.1, "%", false},  // 58
};

TEST(Parameters, DeclaredInIndexOrderAsDesigned) {
  static_assert(std::size(kDeclared) == 59);
  VrelBazzit plug{fw::InstanceInfo{}};
  ASSERT_EQ(plug.NParams(), 59);
  for (int i = 0; i < 59; ++i) {
    const fw::IParam& p = *plug.GetParam(i);
    const Declared& d = kDeclared[i];
    SCOPED_TRACE(std::to_string(i) + " " + d.name);
    EXPECT_STREQ(p.GetName(), d.name);
    EXPECT_STREQ(p.GetGroup(), d.group);
    EXPECT_EQ(p.Value(), d.defaultValue);
    EXPECT_EQ(p.GetDefault(), d.defaultValue);
    EXPECT_EQ(p.GetMin(), d.minValue);
    EXPECT_EQ(p.GetMax(), d.maxValue);
    EXPECT_EQ(p.GetStep(), d.step);
    EXPECT_STREQ(p.GetLabel(), d.label);
    EXPECT_EQ(p.GetFlags(), 0);
    EXPECT_EQ(p.NDisplayTexts(), d.texts);
    EXPECT_EQ(p.GetShape().kind == fw::IParam::Shape::kPowCurve, d.power3);
    if (d.power3) {
      EXPECT_EQ(p.GetShape().exponent, 3.0);
    }
    const fw::IParam::EParamType type = d.kind == kDouble ? fw::IParam::kTypeDouble
                                        : d.kind == kInt  ? fw::IParam::kTypeInt
                                        : d.kind == kBool ? fw::IParam::kTypeBool
                                                          : fw::IParam::kTypeEnum;
    EXPECT_EQ(p.Type(), type);
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
