// Denormal safety: after a note, ten minutes of silence with "Age" at 0 (no
// hiss to keep the states busy) leave no recursive state subnormal and no
// output NaN. This is the one long test of the suite (28.8 million samples).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EngineTestUtil.h"

using namespace vrelbazzit;
using namespace vbtest;

namespace {

bool Subnormal(double x) { return std::fpclassify(x) == FP_SUBNORMAL; }

// The first subnormal state value, described, or "" when there is none.
std::string FindSubnormal(const SynthCore& e, bool withLines) {
  auto check = [](double x, const std::string& what) { return Subnormal(x) ? what + " = " + std::to_string(x) : ""; };
  std::vector<std::pair<double, std::string>> values;
  for (int i = 0; i < SynthCore::kNumVoices; ++i) {
    const Voice& v = e.voices[i];
    const std::string p = "voice " + std::to_string(i) + " ";
    for (const auto& [svf, name] : {std::pair{&v.lowpass, "lowpass"}, std::pair{&v.highpass, "highpass"}}) {
      values.push_back({svf->a1, p + name + " a1"});
      values.push_back({svf->a2, p + name + " a2"});
      values.push_back({svf->a3, p + name + " a3"});
      values.push_back({svf->ic1, p + name + " ic1"});
      values.push_back({svf->ic2, p + name + " ic2"});
    }
    values.push_back({v.ampLevel, p + "ampLevel"});
    values.push_back({v.filterLevel, p + "filterLevel"});
    values.push_back({v.fuzzLowpass, p + "fuzzLowpass"});
    values.push_back({v.outputLowpass, p + "outputLowpass"});
    values.push_back({v.pitch1, p + "pitch1"});
    values.push_back({v.pitch2, p + "pitch2"});
    values.push_back({v.phase1, p + "phase1"});
    values.push_back({v.phase2, p + "phase2"});
    values.push_back({v.layerPhase1, p + "layerPhase1"});
    values.push_back({v.layerPhase2, p + "layerPhase2"});
    values.push_back({v.subPhase, p + "subPhase"});
  }
  for (int b = 0; b < 8; ++b) {
    values.push_back({e.bank.ic1[b], "band " + std::to_string(b) + " ic1"});
    values.push_back({e.bank.ic2[b], "band " + std::to_string(b) + " ic2"});
  }
  values.push_back({e.bodyLowpass, "bodyLowpass"});
  values.push_back({e.fatAmount, "fatAmount"});
  values.push_back({e.widthAmount, "widthAmount"});
  values.push_back({e.fuzzAmount, "fuzzAmount"});
  values.push_back({e.outputGain, "outputGain"});
  values.push_back({e.gains.ampLevel, "gains.ampLevel"});
  values.push_back({e.gains.osc1Level, "gains.osc1Level"});
  values.push_back({e.gains.osc2Level, "gains.osc2Level"});
  values.push_back({e.gains.ring, "gains.ring"});
  values.push_back({e.gains.bankMix, "gains.bankMix"});
  values.push_back({e.gains.space, "gains.space"});
  for (int b = 0; b < 8; ++b) values.push_back({e.gains.bands[b], "gains.bands[" + std::to_string(b) + "]"});
  values.push_back({e.spanShift, "spanShift"});
  values.push_back({e.polyLevel, "polyLevel"});
  for (int i = 0; i < SynthCore::kNumVoices; ++i) {
    values.push_back({e.declickOffset[i], "declickOffset[" + std::to_string(i) + "]"});
    values.push_back({e.voiceOutput[i], "voiceOutput[" + std::to_string(i) + "]"});
  }
  values.push_back({e.widthPhase1, "widthPhase1"});
  values.push_back({e.widthPhase2, "widthPhase2"});
  values.push_back({e.wobblePhase, "wobblePhase"});
  values.push_back({e.spaceTimes[0], "spaceTimes[0]"});
  values.push_back({e.spaceTimes[1], "spaceTimes[1]"});
  values.push_back({e.ageDrift, "ageDrift"});
  values.push_back({e.lfoPhase, "lfoPhase"});
  values.push_back({e.driftValue[0], "driftValue[0]"});
  values.push_back({e.driftValue[1], "driftValue[1]"});
  for (const auto& [x, what] : values)
    if (const std::string s = check(x, what); !s.empty()) return s;
  if (withLines) {
    for (size_t i = 0; i < e.spaceLeft.size(); ++i) {
      if (Subnormal(e.spaceLeft[i])) return "spaceLeft[" + std::to_string(i) + "]";
      if (Subnormal(e.spaceRight[i])) return "spaceRight[" + std::to_string(i) + "]";
    }
    for (size_t i = 0; i < e.widthBuffer.size(); ++i)
      if (Subnormal(e.widthBuffer[i])) return "widthBuffer[" + std::to_string(i) + "]";
  }
  return "";
}

}  // namespace

TEST(EngineDenormals, TenMinutesOfSilenceAfterANote) {
  // Poly: note 60 is released and its voice finishes; note 48 stays held with
  // both sustain levels at 0, so its voice decays to silence and keeps being
  // rendered (envelopes, filters and one-poles on a zero input) for the whole run.
  const int rate = 48000;
  SynthCore e;
  e.SetParameter(kVoiceMode, 1.0);
  e.SetParameter(kAge, 0.0);
  e.SetParameter(kAmpSustain, 0.0);
  e.SetParameter(kFilterSustain, 0.0);
  e.SetParameter(kAmpDecay, 0.05);
  e.SetParameter(kSpace, 1.0);
  e.SetParameter(kWidth, 1.0);
  e.SetParameter(kFat, 1.0);
  e.SetParameter(kFuzz, 0.9);  // past 60 %: the saturation one-poles run too
  e.SetParameter(kResonance, 1.0);
  e.SetParameter(kBankMix, 0.5);
  e.SetSampleRate(rate);
  e.NoteOn(48, 1.0);
  e.NoteOn(60, 1.0);
  // Struck again while sounding: the declick offset fades out too.
  for (int n = 0; n < rate / 50; ++n) e.Tick();
  e.NoteOn(60, 1.0);
  ASSERT_NE(e.declickOffset[2], 0.0);
  for (int n = 0; n < rate; ++n) e.Tick();
  e.NoteOff(60);
  // The smoothed amounts and gliding gains fade to 0 as well.
  e.SetParameter(kFatOn, 0.0);
  e.SetParameter(kWidthOn, 0.0);
  e.SetParameter(kFuzzOn, 0.0);
  e.SetParameter(kOsc2Level, 0.0);
  e.SetParameter(kBand250, 0.0);
  e.SetParameter(kSpace, 0.0);

  const int seconds = 600;
  for (int s = 1; s <= seconds; ++s) {
    for (int n = 0; n < rate; ++n) {
      const auto [l, r] = e.Tick();
      if (std::isnan(l) || std::isnan(r)) FAIL() << "NaN output at second " << s << ", sample " << n;
    }
    // The delay lines (0.7 million values) every 4 s: an echo passes through the
    // subnormal range within about 30 passes of 0.3, some 9 s at the shortest delay.
    const std::string found = FindSubnormal(e, s % 4 == 0);
    ASSERT_EQ(found, "") << "after " << s << " s of silence";
  }
  // Everything that decays has reached exactly 0.
  EXPECT_TRUE(e.voices[1].active);
  EXPECT_EQ(e.voices[1].ampLevel, 0.0);
  EXPECT_EQ(e.voices[1].filterLevel, 0.0);
  EXPECT_EQ(e.voices[1].lowpass.ic1, 0.0);
  EXPECT_EQ(e.voices[2].ampLevel, 0.0);
  EXPECT_EQ(e.fuzzAmount, 0.0);
  EXPECT_EQ(e.gains.osc2Level, 0.0);
  EXPECT_EQ(e.gains.bands[0], 0.0);
  EXPECT_EQ(e.gains.space, 0.0);
  EXPECT_EQ(e.declickOffset[2], 0.0);
  EXPECT_EQ(e.bodyLowpass, 0.0);
  EXPECT_EQ(e.spaceLeft[e.spaceWrite], 0.0);
}
