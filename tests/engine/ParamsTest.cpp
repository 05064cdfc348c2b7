// Parameter intake (initial values, clamps, ignored indexes and NaN, the
// Voice Mode switch) and the sample-rate set-up of SynthCore.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/Params.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

// The engine values the constructor loads, copied from the "Initial" column of
// the parameter table (engine units).
constexpr double kInitial[kNumParams] = {
    0.7,   0.55, 0.55, 0.7,  0.12, 0.12, 0.12, 0.0,                     // 0-7
    0.012, 0.28,                                                         // 8-9 Attack, Release
    0.8,   0.4,  0.5,  0.8,  0.4,  0.5,  0.5,  0.5,                      // 10-17
    0.15,  0.0,  0.25,                                                   // 18-20
    0.18,  0.72,                                                         // 21-22
    0.01,  0.28, 0.25, 0.38,                                             // 23-26
    0.33,  0.5,  0.45,                                                   // 27-29
    0.001,                                                               // 30 Glide
    0.25,  0.75, 0.75, 0.75, 0.75, 0.75, 0.75, 0.75, 0.75,               // 31-39
    0.0,                                                                 // 40 Voice Mode
    0.12,  0.12, 0.0,  0.35,                                             // 41-44
    1.0,   1.0,  1.0,                                                    // 45-47 On switches
    0.5,   0.5,  0.5,                                                    // 48-50
    0.0,   0.0,  0.0,  0.0,  0.0,  0.0,                                  // 51-56
    1.0,   0.0,                                                          // 57-58
};

const std::set<int> kTimeParams = {kAttack, kRelease, kAmpDecay, kFilterAttack, kFilterDecay, kFilterRelease, kGlide};

std::vector<double> Params(const SynthCore& e) { return std::vector<double>(e.params, e.params + kNumParams); }

}  // namespace

TEST(EngineParams, InitialValuesAreTheConvertedDefaults) {
  SynthCore e;
  for (int i = 0; i < kNumParams; ++i) {
    SCOPED_TRACE(kParamSpecs[static_cast<size_t>(i)].name);
    EXPECT_NEAR(e.params[i], kInitial[i], 1e-12) << "index " << i;
    // The parameter table's display default, converted, gives the same value.
    EXPECT_NEAR(ToEngineValue(i, kParamSpecs[static_cast<size_t>(i)].defaultValue), kInitial[i], 1e-12) << "index " << i;
  }
}

TEST(EngineParams, ConstructorState) {
  SynthCore e;
  EXPECT_EQ(e.sampleRate, 48000.0);
  EXPECT_EQ(e.voiceMode, kSplit);
  EXPECT_EQ(e.tempo, 120.0);
  EXPECT_EQ(e.pitchBend, 0.0);
  EXPECT_EQ(e.modWheel, 0.0);
  EXPECT_EQ(e.channelPressure, 0.0);
  EXPECT_FALSE(e.sustain);
  EXPECT_EQ(e.noteCounter, 0u);
  for (int n = 0; n < SynthCore::kNumNotes; ++n) {
    ASSERT_FALSE(e.held[n]) << "note " << n;
    ASSERT_FALSE(e.keyDown[n]) << "note " << n;
  }
  EXPECT_EQ(e.outputGain, 1.0);
  EXPECT_EQ(e.fatAmount, 0.12);
  EXPECT_EQ(e.widthAmount, 0.12);
  EXPECT_EQ(e.fuzzAmount, 0.0);
  EXPECT_EQ(e.lfoPhase, 0.0);
  EXPECT_EQ(e.spaceTimes[0], 0.29);
  EXPECT_EQ(e.spaceTimes[1], 0.43);
  const double centres[8] = {250, 350, 500, 700, 1000, 1400, 2000, 2800};
  for (int b = 0; b < 8; ++b) EXPECT_EQ(e.bankCenters[b], centres[b]) << "band " << b;
  // Buffers stay empty until the sample rate is set.
  EXPECT_TRUE(e.spaceLeft.empty());
  EXPECT_TRUE(e.spaceRight.empty());
  EXPECT_TRUE(e.widthBuffer.empty());
  for (int i = 0; i < SynthCore::kNumVoices; ++i) {
    SCOPED_TRACE(i);
    const Voice& v = e.voices[i];
    EXPECT_EQ(v.note1, -1);
    EXPECT_EQ(v.note2, -1);
    EXPECT_FALSE(v.active);
    EXPECT_EQ(v.velocity, 1.0);
    EXPECT_EQ(v.pitch1, -1.0);
    EXPECT_EQ(v.ampStage, kIdle);
    EXPECT_EQ(v.ampLevel, 0.0);
    EXPECT_EQ(v.fade1, 1.0);
    EXPECT_EQ(v.fade2, 1.0);
  }
}

TEST(EngineParams, SetParameterClampsPerUnit) {
  // Time parameters: 0.001..4 s; "Master Gain": 0..2; every other one: 0..1.
  struct Probe {
    double in;
    double time, gain, other;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Probe probes[] = {
      {-1.0, 0.001, 0.0, 0.0},   {0.0, 0.001, 0.0, 0.0},    {0.0005, 0.001, 0.0005, 0.0005},
      {0.001, 0.001, 0.001, 0.001}, {0.5, 0.5, 0.5, 0.5},   {1.0, 1.0, 1.0, 1.0},
      {1.5, 1.5, 1.5, 1.0},      {3.0, 3.0, 2.0, 1.0},      {10.0, 4.0, 2.0, 1.0},
      {inf, 4.0, 2.0, 1.0},      {-inf, 0.001, 0.0, 0.0},
  };
  for (int index = 0; index < kNumParams; ++index) {
    if (index == kVoiceMode) continue;  // checked with its mode switch below
    for (const Probe& p : probes) {
      SynthCore e;
      e.SetParameter(index, p.in);
      const double expected = kTimeParams.count(index) ? p.time : index == kMasterGain ? p.gain : p.other;
      EXPECT_EQ(e.params[index], expected) << "index " << index << " value " << p.in;
    }
  }
}

TEST(EngineParams, ClampExamples) {
  SynthCore e;
  e.SetParameter(kAttack, 0.0);
  EXPECT_EQ(e.params[kAttack], 0.001);
  e.SetParameter(kAttack, 10.0);
  EXPECT_EQ(e.params[kAttack], 4.0);
  e.SetParameter(kMasterGain, 3.0);
  EXPECT_EQ(e.params[kMasterGain], 2.0);
  e.SetParameter(kAmpLevel, 1.5);
  EXPECT_EQ(e.params[kAmpLevel], 1.0);
}

TEST(EngineParams, NanIsIgnored) {
  for (int index = 0; index < kNumParams; ++index) {
    SynthCore e;
    const std::vector<double> before = Params(e);
    e.SetParameter(index, std::nan(""));
    EXPECT_EQ(Params(e), before) << "index " << index;
  }
}

TEST(EngineParams, OutOfRangeIndexesChangeNothing) {
  for (int index : {-1, int(kNumParams), 60, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    SynthCore e;
    e.SetSampleRate(48000);
    e.NoteOn(60, 1.0);
    e.Tick();
    const std::vector<double> before = Params(e);
    const double level = e.voices[0].ampLevel;
    e.SetParameter(index, 0.5);
    EXPECT_EQ(Params(e), before) << "index " << index;
    EXPECT_EQ(e.voiceMode, kSplit) << "index " << index;
    EXPECT_EQ(e.voices[0].ampLevel, level) << "index " << index;
    EXPECT_EQ(e.voices[0].note1, 60) << "index " << index;
  }
}

TEST(EngineParams, VoiceModeIsTheNearestIntegerOfTwiceTheValue) {
  // mode = nearest integer (halves away from zero) to 2 x the clamped value.
  const struct {
    double value;
    int mode;
  } cases[] = {{0.0, kSplit}, {0.24, kSplit}, {0.25, kMono}, {0.5, kMono}, {0.74, kMono},
               {0.75, kPoly}, {1.0, kPoly},   {5.0, kPoly},  {-3.0, kSplit}};
  for (const auto& c : cases) {
    SynthCore e;
    e.SetParameter(kVoiceMode, 0.5);  // start from Mono so that every case can switch
    e.SetParameter(kVoiceMode, c.value);
    EXPECT_EQ(e.voiceMode, c.mode) << "value " << c.value;
  }
}

TEST(EngineParams, VoiceModeRebuildsVoicesOnlyWhenTheModeChanges) {
  SynthCore e;
  e.SetSampleRate(48000);
  e.NoteOn(60, 1.0);
  for (int i = 0; i < 100; ++i) e.Tick();
  ASSERT_GT(e.voices[0].ampLevel, 0.0);

  // Split -> Mono: the voices are rebuilt, voice 0 takes the held note from silence.
  e.SetParameter(kVoiceMode, 0.5);
  ASSERT_EQ(e.voiceMode, kMono);
  EXPECT_EQ(e.voices[0].ampLevel, 0.0);
  EXPECT_EQ(e.voices[0].ampStage, kIdle);
  EXPECT_EQ(e.voices[0].phase1, 0.0);
  EXPECT_EQ(e.voices[0].note1, 60);
  EXPECT_TRUE(e.voices[0].active);

  for (int i = 0; i < 100; ++i) e.Tick();
  const double level = e.voices[0].ampLevel;
  const double phase = e.voices[0].phase1;
  ASSERT_GT(level, 0.0);
  // The same mode again (also through a different value that rounds to it) leaves the voice alone.
  for (double value : {0.5, 0.6, 0.26}) {
    e.SetParameter(kVoiceMode, value);
    EXPECT_EQ(e.voiceMode, kMono) << value;
    EXPECT_EQ(e.voices[0].ampLevel, level) << value;
    EXPECT_EQ(e.voices[0].phase1, phase) << value;
    EXPECT_EQ(e.params[kVoiceMode], value);
  }
}

TEST(EngineSampleRate, LinesAreSizedForTheRate) {
  // echo: integer part of 7 x rate; width: integer part of 0.1 x rate, plus 2.
  const struct {
    double rate, expectedRate;
    size_t echo, width;
  } cases[] = {
      {4000, 8000, 56000, 802},     {0, 8000, 56000, 802},       {-48000, 8000, 56000, 802},
      {8000, 8000, 56000, 802},     {22050, 22050, 154350, 2207}, {44100, 44100, 308700, 4412},
      {48000, 48000, 336000, 4802}, {96000, 96000, 672000, 9602},
  };
  for (const auto& c : cases) {
    SynthCore e;
    e.SetSampleRate(c.rate);
    EXPECT_EQ(e.sampleRate, c.expectedRate) << "rate " << c.rate;
    EXPECT_EQ(e.spaceLeft.size(), c.echo) << "rate " << c.rate;
    EXPECT_EQ(e.spaceRight.size(), c.echo) << "rate " << c.rate;
    EXPECT_EQ(e.widthBuffer.size(), c.width) << "rate " << c.rate;
  }
}

TEST(EngineSampleRate, TickBeforeTheRateIsSetIsSilent) {
  SynthCore e;
  e.NoteOn(60, 1.0);
  for (int i = 0; i < 10; ++i) {
    const auto [l, r] = e.Tick();
    EXPECT_EQ(l, 0.0);
    EXPECT_EQ(r, 0.0);
  }
}

TEST(EngineSampleRate, ResetsTheChainAndTheVoicesButKeepsNotesAndPhases) {
  SynthCore e;
  e.SetParameter(kVoiceMode, 1.0);  // Poly
  e.SetParameter(kSpace, 1.0);
  e.SetParameter(kSpaceSync, 0.8);
  e.SetSampleRate(48000);
  e.NoteOn(60, 0.8);
  e.NoteOn(64, 0.6);
  for (int i = 0; i < 4000; ++i) e.Tick();

  const double lfoPhase = e.lfoPhase;
  const double ageDrift = e.ageDrift;
  const double drift0 = e.driftPhase[0], drift1 = e.driftPhase[1];
  const uint64_t counter = e.noteCounter;
  ASSERT_NE(e.bodyLowpass, 0.0);
  ASSERT_NE(e.spaceWrite, 0u);

  e.SetSampleRate(44100);
  EXPECT_EQ(e.sampleRate, 44100.0);
  EXPECT_EQ(e.spaceWrite, 0u);
  EXPECT_EQ(e.widthWrite, 0u);
  EXPECT_EQ(e.spaceTimes[0], 0.29);
  EXPECT_EQ(e.spaceTimes[1], 0.43);
  EXPECT_EQ(e.bodyLowpass, 0.0);
  EXPECT_TRUE(std::all_of(e.spaceLeft.begin(), e.spaceLeft.end(), [](double x) { return x == 0.0; }));
  EXPECT_TRUE(std::all_of(e.spaceRight.begin(), e.spaceRight.end(), [](double x) { return x == 0.0; }));
  EXPECT_TRUE(std::all_of(e.widthBuffer.begin(), e.widthBuffer.end(), [](double x) { return x == 0.0; }));
  EXPECT_EQ(e.ageCountdown, 0);

  // Band filters: trapezoidal band-pass with k = 1 / 2.2 at each centre.
  for (int b = 0; b < 8; ++b) {
    SCOPED_TRACE(b);
    const double g = std::tan(kPi * e.bankCenters[b] / 44100.0);
    const double a1 = 1.0 / (1.0 + g * (g + 1.0 / 2.2));
    EXPECT_NEAR(e.bank.a1[b], a1, 1e-15);
    EXPECT_NEAR(e.bank.a2[b], g * a1, 1e-15);
    EXPECT_NEAR(e.bank.a3[b], g * g * a1, 1e-15);
    EXPECT_EQ(e.bank.ic1[b], 0.0);
    EXPECT_EQ(e.bank.ic2[b], 0.0);
  }

  // Poly: all voices reset and the held notes are not given voices again.
  for (int i = 0; i < SynthCore::kNumVoices; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(e.voices[i].note1, -1);
    EXPECT_FALSE(e.voices[i].active);
    EXPECT_EQ(e.voices[i].ampLevel, 0.0);
    EXPECT_EQ(e.voices[i].lowpass.ic1, 0.0);
    EXPECT_EQ(e.voices[i].phase1, 0.0);
  }
  // Note state, the LFO, the age walk and the drift sines stay as they were.
  EXPECT_TRUE(e.held[60]);
  EXPECT_TRUE(e.held[64]);
  EXPECT_EQ(e.noteCounter, counter);
  EXPECT_EQ(e.lfoPhase, lfoPhase);
  EXPECT_EQ(e.ageDrift, ageDrift);
  EXPECT_EQ(e.driftPhase[0], drift0);
  EXPECT_EQ(e.driftPhase[1], drift1);
}

TEST(EngineSampleRate, SmoothedAmountsJumpToTheirTargets) {
  const struct {
    double fatOn, widthOn, fuzzOn;
  } cases[] = {{1, 1, 1}, {0, 0, 0}, {1, 0, 1}, {0, 1, 0}};
  for (const auto& c : cases) {
    SynthCore e;
    e.SetParameter(kFat, 0.3);
    e.SetParameter(kWidth, 0.6);
    e.SetParameter(kFuzz, 0.9);
    e.SetParameter(kMasterGain, 1.7);
    e.SetParameter(kFatOn, c.fatOn);
    e.SetParameter(kWidthOn, c.widthOn);
    e.SetParameter(kFuzzOn, c.fuzzOn);
    e.SetSampleRate(48000);
    SCOPED_TRACE(testing::Message() << "switches " << c.fatOn << c.widthOn << c.fuzzOn);
    EXPECT_EQ(e.fatAmount, c.fatOn ? 0.3 : 0.0);
    EXPECT_EQ(e.widthAmount, c.widthOn ? 0.6 : 0.0);
    EXPECT_EQ(e.fuzzAmount, c.fuzzOn ? 0.9 : 0.0);
    EXPECT_EQ(e.outputGain, 1.7);
  }
}

TEST(EngineSampleRate, HeldNotesAreRefreshedInSplitAndMono) {
  const struct {
    double modeValue;
    int note1, note2;
  } cases[] = {{0.0, 48, 67}, {0.5, 55, 55}};  // Split: lowest/highest; Mono: the latest (55)
  for (const auto& c : cases) {
    SynthCore e;
    e.SetParameter(kVoiceMode, c.modeValue);
    e.SetSampleRate(48000);
    e.NoteOn(48, 0.5);
    e.NoteOn(67, 0.7);
    e.NoteOn(55, 0.9);
    for (int i = 0; i < 500; ++i) e.Tick();
    e.SetSampleRate(96000);
    SCOPED_TRACE(testing::Message() << "mode value " << c.modeValue);
    const Voice& v = e.voices[0];
    EXPECT_TRUE(v.active);
    EXPECT_EQ(v.note1, c.note1);
    EXPECT_EQ(v.note2, c.note2);
    EXPECT_EQ(v.pitch1, -1.0);  // voice starts fresh: jumps to its notes
    EXPECT_EQ(v.ampLevel, 0.0);
    EXPECT_EQ(v.ampStage, kIdle);
    // Velocity = mean of the velocities of note1 and note2.
    const double v1 = c.note1 == 48 ? 0.5 : 0.9;
    const double v2 = c.note2 == 67 ? 0.7 : 0.9;
    EXPECT_DOUBLE_EQ(v.velocity, (v1 + v2) / 2);
    // The next tick starts a fresh attack.
    e.Tick();
    EXPECT_EQ(e.voices[0].ampStage, kAttackStage);
  }
}
