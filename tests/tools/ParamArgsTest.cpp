// --param arguments checked against the instrument's parameter table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Params.h"
#include "tools/vrelbazzit-render/ParamArgs.h"

namespace vbrender {
namespace {

// The table as the plug-in declares it: names, ranges, display texts.
std::vector<ParamInfo> TableParams() {
  std::vector<ParamInfo> out;
  for (const vrelbazzit::ParamSpec& s : vrelbazzit::kParamSpecs) {
    ParamInfo p;
    p.name = s.name;
    p.min = s.minValue;
    p.max = s.maxValue;
    p.stepped = s.kind != vrelbazzit::ParamKind::Double;
    for (int i = 0; i < s.texts.count; ++i) p.texts.emplace_back(s.texts.items[i]);
    out.push_back(p);
  }
  return out;
}

TEST(ParseParamArg, AcceptedForms) {
  struct Case {
    const char* arg;
    int index;
    double value;
  };
  const Case cases[] = {
      {"Attack=50", vrelbazzit::kAttack, 50},
      {"8=50", vrelbazzit::kAttack, 50},
      {"0=10", vrelbazzit::kAmpLevel, 10},
      {"58=10", vrelbazzit::kVrelBite, 10},
      {"Attack=1", vrelbazzit::kAttack, 1},        // range ends are inside
      {"Attack=2000", vrelbazzit::kAttack, 2000},
      {"Attack=1e3", vrelbazzit::kAttack, 1000},
      {"Attack=+7.5", vrelbazzit::kAttack, 7.5},
      {" Attack = 50 ", vrelbazzit::kAttack, 50},
      {"Osc 2 Fine=-12.5", vrelbazzit::kOsc2Fine, -12.5},
      {"Osc 1 Range=-2", vrelbazzit::kOsc1Range, -2},
      {"250 Hz=10", vrelbazzit::kBand250, 10},     // a name with digits is a name
      {"Voice Mode=Poly", vrelbazzit::kVoiceMode, 2},
      {"Voice Mode=split", vrelbazzit::kVoiceMode, 0},
      {"Voice Mode=1", vrelbazzit::kVoiceMode, 1},
      {"Fat On=off", vrelbazzit::kFatOn, 0},
      {"Fat On=ON", vrelbazzit::kFatOn, 1},
      {"Fuzz On=0", vrelbazzit::kFuzzOn, 0},
      {"Osc 2 Wave=Hollow", vrelbazzit::kOsc2Wave, 6},
      {"Motion Sync=Dotted 1/8", vrelbazzit::kMotionSync, 3},
      {"Space Sync=1/16", vrelbazzit::kSpaceSync, 1},
  };
  const std::vector<ParamInfo> params = TableParams();
  for (const Case& c : cases) {
    ParamAssignment a;
    std::string error;
    ASSERT_TRUE(ParseParamArg(c.arg, params, a, error)) << c.arg << ": " << error;
    EXPECT_EQ(a.index, c.index) << c.arg;
    EXPECT_EQ(a.value, c.value) << c.arg;
  }
}

TEST(ParseParamArg, RejectedWithMessage) {
  struct Case {
    const char* arg;
    const char* message;  // expected in the error
  };
  const Case cases[] = {
      {"Atack=5", "unknown parameter \"Atack\""},
      {"attack=5", "unknown parameter \"attack\""},  // names match exactly
      {"=5", "unknown parameter \"\""},
      {"59=1", "unknown parameter index 59 (0..58)"},
      {"99999999999999999999=1", "unknown parameter index"},
      {"Attack", "expected NAME=VALUE"},
      {"Attack=", "\"\" is not a number"},
      {"Attack=abc", "parameter \"Attack\": \"abc\" is not a number"},
      {"Attack=5ms", "\"5ms\" is not a number"},
      {"Attack=nan", "\"nan\" is not a finite number"},
      {"Attack=-inf", "\"-inf\" is not a finite number"},
      {"Attack=0.5", "0.5 is out of range 1..2000"},
      {"Attack=2000.1", "2000.1 is out of range 1..2000"},
      {"Osc 2 Fine=-51", "-51 is out of range -50..50"},
      {"Voice Mode=3", "3 is out of range 0..2"},
      {"Voice Mode=Quad", "\"Quad\" is not one of Split, Mono, Poly"},
      {"Voice Mode=1.5", "1.5 is not a whole number"},
      {"Fat On=yes", "\"yes\" is not one of off, on"},
      {"Osc 1 Range=0.5", "0.5 is not a whole number"},
  };
  const std::vector<ParamInfo> params = TableParams();
  for (const Case& c : cases) {
    ParamAssignment a;
    std::string error;
    EXPECT_FALSE(ParseParamArg(c.arg, params, a, error)) << c.arg;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.arg << " gave: " << error;
  }
}

TEST(ParseParamArgs, KeepsOrderAndStopsAtTheFirstBadOne) {
  const std::vector<ParamInfo> params = TableParams();
  std::vector<ParamAssignment> out;
  std::string error;
  ASSERT_TRUE(ParseParamArgs({"Attack=5", "Voice Mode=Mono", "Attack=6"}, params, out, error)) << error;
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].index, vrelbazzit::kAttack);
  EXPECT_EQ(out[0].value, 5);
  EXPECT_EQ(out[1].index, vrelbazzit::kVoiceMode);
  EXPECT_EQ(out[1].value, 1);
  EXPECT_EQ(out[2].value, 6);

  EXPECT_FALSE(ParseParamArgs({"Attack=5", "Nope=1", "Attack=x"}, params, out, error));
  EXPECT_NE(error.find("\"Nope\""), std::string::npos) << error;
}

TEST(ParseAutomationArg, AcceptedForms) {
  struct Case {
    const char* arg;
    int index;
    std::vector<std::pair<double, double>> points;  // seconds, plain value
  };
  const Case cases[] = {
      {"Amp Level=0:70,1:0", vrelbazzit::kAmpLevel, {{0, 70}, {1, 0}}},
      {"0=0.5:10", vrelbazzit::kAmpLevel, {{0.5, 10}}},
      {" Amp Level = 0 : 70 , 1.5 : 35 , 1.5 : 0 ", vrelbazzit::kAmpLevel, {{0, 70}, {1.5, 35}, {1.5, 0}}},
      {"Voice Mode=0:Poly,2:mono,4:0", vrelbazzit::kVoiceMode, {{0, 2}, {2, 1}, {4, 0}}},
      {"Motion Sync=1e-3:Dotted 1/8", vrelbazzit::kMotionSync, {{0.001, 3}}},
      {"Osc 2 Fine=3:-50", vrelbazzit::kOsc2Fine, {{3, -50}}},
  };
  const std::vector<ParamInfo> params = TableParams();
  for (const Case& c : cases) {
    AutomationLane lane;
    std::string error;
    ASSERT_TRUE(ParseAutomationArg(c.arg, params, lane, error)) << c.arg << ": " << error;
    EXPECT_EQ(lane.index, c.index) << c.arg;
    std::vector<std::pair<double, double>> got;
    for (const AutomationPoint& p : lane.points) got.emplace_back(p.seconds, p.value);
    EXPECT_EQ(got, c.points) << c.arg;
  }
}

TEST(ParseAutomationArg, RejectedWithMessage) {
  struct Case {
    const char* arg;
    const char* message;
  };
  const Case cases[] = {
      {"Amp Level", "expected NAME=TIME:VALUE,TIME:VALUE"},
      {"Amp Level=", "expected NAME=TIME:VALUE"},
      {"Amp Levl=0:1", "unknown parameter \"Amp Levl\""},
      {"77=0:1", "unknown parameter index 77"},
      {"Amp Level=0:70,", "\"\" is not TIME:VALUE"},
      {"Amp Level=70", "\"70\" is not TIME:VALUE"},
      {"Amp Level=0:70;1:0", "\"70;1:0\" is not a number"},
      {"Amp Level=-1:70", "the time \"-1\" is not a number of seconds, 0 or more"},
      {"Amp Level=nan:70", "the time \"nan\""},
      {"Amp Level=1s:70", "the time \"1s\""},
      {"Amp Level=:70", "the time \"\""},
      {"Amp Level=2:70,1:0", "the time 1 comes before the point ahead of it"},
      {"Amp Level=0:101", "101 is out of range 0..100"},
      {"Amp Level=0:loud", "\"loud\" is not a number"},
      {"Voice Mode=0:Quad", "\"Quad\" is not one of Split, Mono, Poly"},
      {"Voice Mode=0:1.5", "1.5 is not a whole number"},
  };
  const std::vector<ParamInfo> params = TableParams();
  for (const Case& c : cases) {
    AutomationLane lane;
    std::string error;
    EXPECT_FALSE(ParseAutomationArg(c.arg, params, lane, error)) << c.arg;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.arg << " gave: " << error;
    EXPECT_EQ(error.rfind("--automate \"" + std::string(c.arg) + "\": ", 0), 0u) << c.arg << " gave: " << error;
  }
}

TEST(ParseAutomationArgs, OneLaneForEachParameter) {
  const std::vector<ParamInfo> params = TableParams();
  std::vector<AutomationLane> out;
  std::string error;
  ASSERT_TRUE(ParseAutomationArgs({"Amp Level=0:70", "Cutoff=1:20"}, params, out, error)) << error;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].index, vrelbazzit::kAmpLevel);
  EXPECT_EQ(out[1].index, vrelbazzit::kCutoff);

  EXPECT_FALSE(ParseAutomationArgs({"Amp Level=0:70", "0=1:20"}, params, out, error));
  EXPECT_NE(error.find("\"Amp Level\" is automated twice"), std::string::npos) << error;
}

}  // namespace
}  // namespace vbrender
