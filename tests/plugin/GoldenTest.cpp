// Golden renders: short fixed scenarios played through the plug-in object with
// a fixed circuit seed, compared sample by sample with stored output, so any
// change to the sound shows. To accept an intended change of sound, run the
// test with VB_UPDATE_GOLDEN=1 and commit the rewritten files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "PluginHarness.h"
#include "simd/Kernels.h"

namespace vrelbazzit::test {
namespace {

using fw::IMidiMsg;

// Optimisations may move results by rounding only; anything above this is a
// change of sound.
constexpr double kTolerance = 1e-9;

struct Scenario {
  const char* name;
  double rate;
  int block;
  int frames;
  double tempo;
  std::vector<std::pair<int, double>> plainValues;  // restored before processing
  std::map<int, fw::OfflineBlock> blocks;          // events by block index
  double tolerance = kTolerance;
};

void PrintTo(const Scenario& sc, std::ostream* os) { *os << sc.name; }

fw::OfflineBlock Notes(std::vector<IMidiMsg> events, std::vector<IMidiMsg> controllers = {}) {
  return Events(std::move(events), std::move(controllers));
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> s;
  s.push_back({"split-default", 48000.0, 128, 19200, 120.0, {},
               {{0, Notes({IMidiMsg::NoteOn(0, 48, 100)})},
                {20, Notes({IMidiMsg::NoteOn(0, 55, 90)})},
                {75, Notes({IMidiMsg::NoteOff(0, 55)})},
                {110, Notes({IMidiMsg::NoteOff(0, 48)})}}});
  s.push_back({"mono-glide", 48000.0, 100, 19200, 120.0,
               {{kVoiceMode, 1.0}, {kGlide, 120.0}, {kOsc2Range, -1.0}, {kResonance, 70.0}},
               {{0, Notes({IMidiMsg::NoteOn(0, 60, 110)})},
                {30, Notes({IMidiMsg::NoteOn(0, 64, 80)}, {IMidiMsg::ControlChange(0, 1, 100)})},
                {60, Notes({IMidiMsg::NoteOn(0, 67, 127)}, {IMidiMsg::PitchBend(0, 12000)})},
                {100, Notes({IMidiMsg::NoteOff(0, 67)})},
                {150, Notes({IMidiMsg::NoteOff(0, 64), IMidiMsg::NoteOff(0, 60)})}}});
  s.push_back({"poly-steal-pedal", 44100.0, 256, 17640, 120.0, {{kVoiceMode, 2.0}, {kRelease, 150.0}},
               {{0, Notes({IMidiMsg::NoteOn(0, 60, 100), IMidiMsg::NoteOn(0, 62, 100), IMidiMsg::NoteOn(0, 64, 100),
                           IMidiMsg::NoteOn(0, 65, 100)})},
                {10, Notes({IMidiMsg::NoteOn(0, 67, 100)}, {IMidiMsg::ControlChange(0, 64, 127)})},
                {25, Notes({IMidiMsg::NoteOff(0, 67), IMidiMsg::NoteOff(0, 60)})},
                {40, Notes({}, {IMidiMsg::ControlChange(0, 64, 0)})},
                {55, Notes({IMidiMsg::NoteOff(0, 62), IMidiMsg::NoteOff(0, 64), IMidiMsg::NoteOff(0, 65)})}}});
  s.push_back({"poly-effects", 48000.0, 64, 19200, 100.0,
               {{kVoiceMode, 2.0}, {kFat, 80.0}, {kWidth, 80.0}, {kFuzz, 80.0}, {kSpace, 80.0}, {kAge, 80.0},
                {kVrelBite, 50.0}, {kOsc1Wave, 3.0}, {kOsc2Wave, 5.0}, {kMotionSync, 2.0}, {kSpaceSync, 4.0},
                {kMotion, 60.0}},
               {{0, Notes({IMidiMsg::NoteOn(0, 48, 100), IMidiMsg::NoteOn(0, 55, 100), IMidiMsg::NoteOn(0, 60, 100),
                           IMidiMsg::NoteOn(0, 64, 100)})},
                {50, Notes({IMidiMsg::PolyPressure(0, 60, 90)}, {IMidiMsg::ChannelPressure(0, 40)})},
                {200, Notes({IMidiMsg::NoteOff(0, 48), IMidiMsg::NoteOff(0, 55), IMidiMsg::NoteOff(0, 60),
                             IMidiMsg::NoteOff(0, 64)})}}});
  s.push_back({"effects-off", 48000.0, 512, 19200, 120.0,
               {{kFatOn, 0.0}, {kWidthOn, 0.0}, {kFuzzOn, 0.0}, {kSpace, 0.0}, {kAge, 0.0}, {kBankMix, 100.0},
                {kColor, 0.0}, {kRing, 50.0}, {kOsc1Wave, 6.0}, {kOsc2Wave, 2.0}, {kOsc1WaveFine, 1.0},
                {kOsc2WaveFine, 1.0}, {kHighPass, 30.0}},
               {{0, Notes({IMidiMsg::NoteOn(0, 45, 127), IMidiMsg::NoteOn(0, 69, 127)})},
                {25, Notes({IMidiMsg::NoteOff(0, 45), IMidiMsg::NoteOff(0, 69)})}}});
  return s;
}

// Renders that set every value before processing starts, change none while
// playing and never restart a sounding voice, with "Width" and "Age" at 0 so
// the width taps and the echo wobble stay still: gliding gain controls, the
// smoothed poly level, the span shift and the declick leave every sample of
// these as it is, so they are compared bit for bit. Each voice mode, every
// gliding control away from its default, notes that come and go one at a time.
std::vector<Scenario> ExactScenarios() {
  const std::vector<std::pair<int, double>> quiet = {{kWidth, 0.0}, {kAge, 0.0}};
  auto with = [&quiet](std::vector<std::pair<int, double>> more) {
    more.insert(more.begin(), quiet.begin(), quiet.end());
    return more;
  };
  std::vector<Scenario> s;
  s.push_back({"exact-mono-gains", 48000.0, 128, 19200, 120.0,
               with({{kVoiceMode, 1.0}, {kAmpLevel, 45.0}, {kOsc1Level, 60.0}, {kOsc2Level, 35.0}, {kRing, 30.0},
                     {kBankMix, 70.0}, {kBand250, 20.0}, {kBand700, 100.0}, {kBand1k4, 40.0}, {kBand2k8, 90.0},
                     {kSpace, 60.0}, {kFat, 50.0}, {kFuzz, 70.0}, {kMotion, 50.0}, {kLfoRate, 100.0},
                     {kGlide, 40.0}}),
               {{0, Notes({IMidiMsg::NoteOn(0, 48, 100)})},
                {40, Notes({IMidiMsg::NoteOn(0, 55, 70)})},
                {80, Notes({IMidiMsg::NoteOff(0, 55), IMidiMsg::NoteOff(0, 48)})},
                {100, Notes({IMidiMsg::NoteOn(0, 60, 120)})},
                {130, Notes({IMidiMsg::NoteOff(0, 60)})}},
               0.0});
  // Poly notes one after another, each silent before the next starts (a 10 ms
  // release is silent within 140 ms): a fresh voice each, then the silent first
  // voices again.
  {
    Scenario poly{"exact-poly-single", 16000.0, 64, 19968, 120.0,
                  with({{kVoiceMode, 2.0}, {kRelease, 10.0}, {kAmpLevel, 60.0}, {kSpace, 40.0}, {kBand500, 30.0}}),
                  {},
                  0.0};
    const int notes[] = {60, 64, 67, 72, 62, 65};
    for (int i = 0; i < 6; ++i) {
      poly.blocks[i * 52] = Notes({IMidiMsg::NoteOn(0, notes[i], 90)});
      poly.blocks[i * 52 + 10] = Notes({IMidiMsg::NoteOff(0, notes[i])});
    }
    s.push_back(std::move(poly));
  }
  s.push_back({"exact-split-single", 44100.0, 100, 17640, 120.0,
               with({{kVoiceMode, 0.0}, {kSpan, 100.0}, {kRing, 20.0}, {kBankMix, 50.0}, {kOsc2Level, 50.0}}),
               {{0, Notes({IMidiMsg::NoteOn(0, 45, 100)})},
                {60, Notes({IMidiMsg::NoteOff(0, 45)})},
                {80, Notes({IMidiMsg::NoteOn(0, 57, 100)})},
                {150, Notes({IMidiMsg::NoteOff(0, 57)})}},
               0.0});
  // The width taps and the echo wobble at full depth, up to just before the
  // LFO's first wrap (2.53 Hz: at 0.395 s): until then their phases agree with
  // the LFO's own to rounding.
  s.push_back({"exact-before-wrap", 48000.0, 128, 18900, 120.0,
               {{kVoiceMode, 1.0}, {kWidth, 100.0}, {kWidthMotion, 100.0}, {kAge, 100.0}, {kSpace, 80.0},
                {kLfoRate, 75.0}},
               {{0, Notes({IMidiMsg::NoteOn(0, 57, 100)})}, {60, Notes({IMidiMsg::NoteOn(0, 69, 100)})}},
               1e-10});
  return s;
}

// With kernels: the engine computes with that table instead of the one the
// plug-in chose for the processor.
std::vector<double> Render(const Scenario& sc, uint64_t seed = kTestSeed, const dsp::Kernels* kernels = nullptr) {
  PluginHarness h(seed);
  if (kernels) h.Plug().SetEngineKernels(*kernels);
  EXPECT_TRUE(h.Restore(sc.plainValues));
  h.Start(sc.rate, sc.block);
  int done = 0;
  for (int index = 0; done < sc.frames; ++index) {
    const int n = std::min(sc.block, sc.frames - done);
    auto it = sc.blocks.find(index);
    fw::OfflineBlock b = it != sc.blocks.end() ? it->second : fw::OfflineBlock{};
    b.tempo = sc.tempo;
    h.Block(b, n);
    done += n;
  }
  std::vector<double> interleaved;
  interleaved.reserve(2 * h.left.size());
  for (size_t i = 0; i < h.left.size(); ++i) {
    interleaved.push_back(h.left[i]);
    interleaved.push_back(h.right[i]);
  }
  return interleaved;
}

std::string GoldenPath(const std::string& name) {
  const char* dir = std::getenv("VB_TEST_DATA");
  return std::string(dir ? dir : VB_TEST_DATA_DIR) + "/golden/" + name + ".f64";
}

// Little-endian doubles, left and right interleaved.
bool ReadGolden(const std::string& path, std::vector<double>& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (bytes.size() % 8 != 0) return false;
  out.resize(bytes.size() / 8);
  for (size_t i = 0; i < out.size(); ++i) {
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | bytes[i * 8 + static_cast<size_t>(b)];
    std::memcpy(&out[i], &bits, 8);
  }
  return true;
}

void WriteGolden(const std::string& path, const std::vector<double>& data) {
  std::ofstream f(path, std::ios::binary);
  for (double d : data) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int b = 0; b < 8; ++b) f.put(static_cast<char>((bits >> (8 * b)) & 0xFF));
  }
}

class Golden : public ::testing::TestWithParam<Scenario> {};

TEST_P(Golden, MatchesStoredOutput) {
  const Scenario& sc = GetParam();
  const std::vector<double> got = Render(sc);
  const std::string path = GoldenPath(sc.name);
  if (std::getenv("VB_UPDATE_GOLDEN")) {
    WriteGolden(path, got);
    GTEST_SKIP() << "rewrote " << path;
  }
  std::vector<double> want;
  ASSERT_TRUE(ReadGolden(path, want)) << "missing golden file " << path;
  ASSERT_EQ(got.size(), want.size());
  double peak = 0.0;
  for (size_t i = 0; i < got.size(); ++i) {
    peak = std::max(peak, std::fabs(want[i]));
    ASSERT_NEAR(got[i], want[i], sc.tolerance)
        << sc.name << ": frame " << i / 2 << (i % 2 ? " right" : " left");
  }
  EXPECT_GT(peak, 0.01) << "a golden render that is silent proves nothing";
}

std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& param) {
  std::string n = param.param.name;
  for (char& c : n)
    if (c == '-') c = '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Golden, ::testing::ValuesIn(Scenarios()), ScenarioName);
INSTANTIATE_TEST_SUITE_P(Exact, Golden, ::testing::ValuesIn(ExactScenarios()), ScenarioName);

// Every vector table this processor runs renders every scenario as the plain
// kernels do, within 1e-12 (they are built to agree bit for bit).
class GoldenVectorPath : public ::testing::TestWithParam<Scenario> {};

TEST_P(GoldenVectorPath, MatchesThePlainPath) {
  const Scenario& sc = GetParam();
  const auto tables = simd::SupportedVectorKernels();
  if (tables.empty()) GTEST_SKIP() << "this processor has no vector kernels";
  const std::vector<double> plain = Render(sc, kTestSeed, &dsp::kPlainKernels);
  for (const dsp::Kernels* table : tables) {
    const std::vector<double> vector = Render(sc, kTestSeed, table);
    ASSERT_EQ(vector.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i)
      ASSERT_NEAR(vector[i], plain[i], 1e-12) << table->name << ", frame " << i / 2 << (i % 2 ? " right" : " left");
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenVectorPath, ::testing::ValuesIn(Scenarios()), ScenarioName);
INSTANTIATE_TEST_SUITE_P(Exact, GoldenVectorPath, ::testing::ValuesIn(ExactScenarios()), ScenarioName);

TEST(GoldenRender, SameSeedSameSoundOtherSeedOtherSound) {
  const Scenario sc = Scenarios()[0];
  const std::vector<double> a = Render(sc);
  const std::vector<double> b = Render(sc);
  EXPECT_EQ(a, b);

  // Another circuit: slightly other tuning, drift and noise, so other samples.
  const std::vector<double> c = Render(sc, kTestSeed + 1);
  ASSERT_EQ(c.size(), a.size());
  double diff = 0.0;
  for (size_t i = 0; i < a.size(); ++i) diff = std::max(diff, std::fabs(a[i] - c[i]));
  EXPECT_GT(diff, 1e-6);
}

}  // namespace
}  // namespace vrelbazzit::test
