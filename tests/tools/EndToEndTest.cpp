// The vrelbazzit-render executable with the real instrument: what it writes,
// that a fixed seed reproduces a render bit for bit, that factory patches and
// patch files set the sound and a saved patch reproduces it, and that bad
// input ends with a one-line message, a non-zero exit and no output file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "tests/support/RunProgram.h"

namespace vbrender {
namespace {

using test::TempDir;

using vbtest::RunResult;
using vbtest::ShellQuote;

// A renderer that waits on a file would hang the test: it is stopped after a
// minute and fails then.
RunResult RunTool(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = "timeout 60 " + ShellQuote(VB_RENDER_EXE);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  return vbtest::RunCommand(command, dir.Path());
}

struct Wav {
  bool ok = false;
  SF_INFO info{};
  std::vector<double> samples;  // interleaved
};

Wav ReadWav(const std::string& path) {
  Wav w;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &w.info);
  if (f == nullptr) return w;
  w.samples.resize(static_cast<size_t>(w.info.frames * w.info.channels));
  w.ok = sf_readf_double(f, w.samples.data(), w.info.frames) == w.info.frames;
  sf_close(f);
  return w;
}

double Rms(const Wav& w, int64_t fromFrame, int64_t toFrame) {
  double sum = 0.0;
  for (int64_t i = fromFrame * 2; i < toFrame * 2; ++i) sum += w.samples[size_t(i)] * w.samples[size_t(i)];
  return std::sqrt(sum / double((toFrame - fromFrame) * 2));
}

// A C major chord held 0.5 s under the sustain pedal with a pitch bend in the
// middle: the last message is at 0.5 s.
std::string WriteChordFile(const TempDir& dir) {
  const std::string path = dir / "chord.mid";
  const bool ok = test::WriteSmf(path, 96, 1,
                                 {{0, 0, test::Tempo(500000)},
                                  {0, 0, {0xB0, 64, 127}},
                                  {0, 0, {0x90, 60, 100}},
                                  {0, 0, {0x90, 64, 100}},
                                  {0, 0, {0x90, 67, 100}},
                                  {0, 48, {0xE0, 0, 80}},
                                  {0, 72, {0xE0, 0, 64}},
                                  {0, 96, {0x80, 60, 0}},
                                  {0, 96, {0x80, 64, 0}},
                                  {0, 96, {0x80, 67, 0}},
                                  {0, 96, {0xB0, 64, 0}}});
  return ok ? path : std::string();
}

TEST(RenderExecutable, WritesTheRequestedWav) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const std::string out = dir / "out.wav";
  const RunResult r = RunTool(dir, {"--seed", "42", "--rate", "44100", "--format", "float", "--length", "1.5",
                                "--quiet", midi, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "") << "--quiet prints nothing";
  const Wav w = ReadWav(out);
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(w.info.samplerate, 44100);
  EXPECT_EQ(w.info.channels, 2);
  EXPECT_EQ(w.info.frames, 66150) << "1.5 s at 44.1 kHz";
  for (double v : w.samples) ASSERT_TRUE(std::isfinite(v));
  EXPECT_GT(Rms(w, 0, 22050), 1e-3) << "the chord sounds in its first half second";
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"chord.mid", "out.wav"})) << "no temporary file left";
}

TEST(RenderExecutable, DefaultLengthIsLastEventPlusThreeSeconds) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const RunResult r = RunTool(dir, {"--seed", "1", "--rate", "8000", "--quiet", midi, dir / "out.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Wav w = ReadWav(dir / "out.wav");
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24) << "24-bit by default";
  EXPECT_EQ(w.info.frames, 28000) << "(0.5 s + 3 s) at 8 kHz";
}

TEST(RenderExecutable, DemoFileRenders) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const RunResult r = RunTool(dir, {"--seed", "3", "--rate", "8000", "--format", "16", "--quiet", VB_DEMO_MIDI,
                                dir / "demo.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Wav w = ReadWav(dir / "demo.wav");
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.info.frames, 96000) << "(9 s + 3 s) at 8 kHz";
  EXPECT_GT(Rms(w, 0, 72000), 1e-3);
}

TEST(RenderExecutable, FixedSeedRendersBitIdentical) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  for (const char* name : {"a.wav", "b.wav"}) {
    const RunResult r = RunTool(dir, {"--seed", "0x5eed", "--rate", "22050", "--format", "double", "--quiet", midi,
                                  dir / name});
    ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
  }
  const std::vector<unsigned char> a = test::ReadBytes(dir / "a.wav");
  EXPECT_GT(a.size(), 1000u);
  EXPECT_TRUE(a == test::ReadBytes(dir / "b.wav"));
}

// Without --seed a fresh seed is printed; giving it back reproduces the render.
TEST(RenderExecutable, PrintedSeedReproducesTheRender) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const RunResult first = RunTool(dir, {"--rate", "8000", "--format", "double", midi, dir / "first.wav"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const size_t at = first.err.find("seed: ");
  ASSERT_NE(at, std::string::npos) << first.err;
  const std::string seed = first.err.substr(at + 6, first.err.find('\n', at) - at - 6);
  ASSERT_FALSE(seed.empty());
  for (char c : seed) ASSERT_TRUE(c >= '0' && c <= '9') << "decimal seed: " << seed;

  const RunResult again =
      RunTool(dir, {"--rate", "8000", "--format", "double", "--seed", seed, "--quiet", midi, dir / "again.wav"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_TRUE(test::ReadBytes(dir / "first.wav") == test::ReadBytes(dir / "again.wav"));
}

TEST(RenderExecutable, ParametersByNameIndexAndDisplayText) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const std::vector<std::string> common = {"--seed", "9", "--rate", "8000", "--length", "1", "--format", "double",
                                           "--quiet"};
  auto render = [&](const std::string& name, std::vector<std::string> params) {
    std::vector<std::string> args = common;
    for (const std::string& p : params) {
      args.push_back("--param");
      args.push_back(p);
    }
    args.push_back(midi);
    args.push_back(dir / name);
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    return ReadWav(dir / name);
  };
  const Wav plain = render("plain.wav", {});
  const Wav named = render("named.wav", {"Voice Mode=Poly", "Fat On=off", "Attack=50", "Cutoff=30"});
  const Wav indexed = render("indexed.wav", {"40=2", "45=0", "8=50", "3=30"});
  ASSERT_TRUE(plain.ok && named.ok && indexed.ok);
  EXPECT_TRUE(named.samples == indexed.samples) << "a name and its index set the same parameter";
  EXPECT_FALSE(named.samples == plain.samples) << "the parameters change the sound";

  // Master Gain is the output's last multiplier: at 0 % nothing is left.
  const Wav muted = render("muted.wav", {"Master Gain=0"});
  ASSERT_TRUE(muted.ok);
  EXPECT_EQ(std::count(muted.samples.begin(), muted.samples.end(), 0.0), std::ssize(muted.samples));
}

TEST(RenderExecutable, FactoryPatchByIndexOrName) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  auto render = [&](const std::string& name, std::vector<std::string> sound) {
    std::vector<std::string> args = {"--seed", "9", "--rate", "8000", "--length", "1", "--format", "double",
                                     "--quiet"};
    args.insert(args.end(), sound.begin(), sound.end());
    args.push_back(midi);
    args.push_back(dir / name);
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    return ReadWav(dir / name);
  };
  const Wav defaults = render("defaults.wav", {});
  const Wav byIndex = render("index.wav", {"--factory", "14"});
  const Wav byName = render("name.wav", {"--factory", "glass keys"});
  const Wav init = render("init.wav", {"--factory", "0"});
  ASSERT_TRUE(defaults.ok && byIndex.ok && byName.ok && init.ok);
  EXPECT_TRUE(byIndex.samples == byName.samples) << "index 14 is \"Glass Keys\"";
  EXPECT_FALSE(byIndex.samples == defaults.samples) << "the factory patch changes the sound";
  EXPECT_TRUE(init.samples == defaults.samples) << "\"Init Vrels\" is the defaults";
}

// The sound a render used, saved as a patch and given back with --patch,
// renders the same samples.
TEST(RenderExecutable, SavedPatchReproducesTheRender) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const std::vector<std::string> common = {"--seed", "5", "--rate", "8000", "--length", "1", "--format", "double",
                                           "--quiet"};
  auto run = [&](std::vector<std::string> extra, const std::string& wav) {
    std::vector<std::string> args = common;
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(midi);
    args.push_back(dir / wav);
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.exitCode, 0) << wav << ": " << r.err;
    return ReadWav(dir / wav);
  };
  const std::string saved = dir / "edited.vbpatch";
  const Wav edited =
      run({"--factory", "Hollow Choir", "--param", "Cutoff=33", "--param", "Attack=250.875", "--save-patch", saved},
          "edited.wav");
  const std::vector<unsigned char> bytes = test::ReadBytes(saved);
  const std::string text(bytes.begin(), bytes.end());
  // Header, the factory name marked as edited, then the values: "Cutoff" is
  // the 4th (line 6), "Attack" the 9th (line 11), "Release" from the patch.
  EXPECT_EQ(text.rfind("VRELBAZZIT_PATCH_V1 59\nHollow Choir *\n70\n55\n55\n33\n12\n12\n20\n0\n250.875\n920\n", 0),
            0u)
      << text;

  const Wav reloaded = run({"--patch", saved}, "reloaded.wav");
  const Wav unedited = run({"--factory", "5"}, "unedited.wav");
  ASSERT_TRUE(edited.ok && reloaded.ok && unedited.ok);
  EXPECT_TRUE(reloaded.samples == edited.samples);
  EXPECT_FALSE(unedited.samples == edited.samples) << "--param changed the factory patch";

  // Without a starting sound the defaults are saved under their name.
  run({"--save-patch", dir / "init.vbpatch"}, "init.wav");
  const std::vector<unsigned char> init = test::ReadBytes(dir / "init.vbpatch");
  EXPECT_EQ(std::string(init.begin(), init.end()).rfind("VRELBAZZIT_PATCH_V1 59\nInit Vrels\n70\n55\n55\n70\n12\n", 0),
            0u);
}

TEST(RenderExecutable, BadInputFailsWithOneLineAndNoFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  test::WriteBytes(dir / "garbage.mid", {'n', 'o', 't', ' ', 'm', 'i', 'd', 'i'});
  test::WriteBytes(dir / "truncated.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0,
                                           0, 0, 4, 0, 0x90, 60, 100});
  // A lone CR before the header's CR LF: the header differs.
  const std::string badPatch = dir / "bad-header.vbpatch";
  test::WriteBytes(badPatch, {'V', 'R', 'E', 'L', 'B', 'A', 'Z', 'Z', 'I', 'T', '_', 'P', 'A', 'T', 'C', 'H', '_', 'V',
                              '1', ' ', '5', '9', '\r', '\r', '\n'});
  const std::string out = dir / "out.wav";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"missing MIDI file", {dir / "nope.mid", out}, "cannot open"},
      {"not a MIDI file", {dir / "garbage.mid", out}, "not a Standard MIDI File"},
      {"malformed MIDI file", {dir / "truncated.mid", out}, "malformed"},
      {"unknown parameter name", {"--param", "Atack=5", midi, out}, "unknown parameter \"Atack\""},
      {"unknown parameter index", {"--param", "999=1", midi, out}, "unknown parameter index 999"},
      {"value out of range", {"--param", "Attack=0", midi, out}, "out of range"},
      {"value not a number", {"--param", "Attack=nan", midi, out}, "not a finite number"},
      {"bad display text", {"--param", "Voice Mode=Quad", midi, out}, "\"Quad\""},
      {"rate too low", {"--rate", "100", midi, out}, "--rate"},
      {"block zero", {"--block", "0", midi, out}, "--block"},
      {"negative tempo", {"--tempo", "-1", midi, out}, "--tempo"},
      {"bad seed", {"--seed", "xyz", midi, out}, "--seed"},
      {"bad format", {"--format", "8", midi, out}, "--format"},
      {"zero length", {"--length", "0", midi, out}, "--length"},
      {"missing output", {midi}, "OUTPUT"},
      {"output directory missing", {midi, dir / "no-such-dir/out.wav"}, "no-such-dir/out.wav"},
      {"missing patch file", {"--patch", dir / "nope.vbpatch", midi, out}, "cannot open"},
      {"bad patch file", {"--patch", badPatch, midi, out}, "cannot load patch"},
      {"bad patch file, a patch to save", {"--patch", badPatch, "--save-patch", dir / "s.vbpatch", midi, out},
       "VRELBAZZIT_PATCH_V1 59"},
      {"factory index past the bank", {"--factory", "18", midi, out}, "0..17"},
      {"unknown factory name", {"--factory", "Nope", midi, out}, "\"Nope\""},
      {"patch file and factory patch", {"--patch", badPatch, "--factory", "1", midi, out}, "--factory"},
      {"patch to save into a missing folder",
       {"--seed", "1", "--rate", "8000", "--length", "0.1", "--save-patch", dir / "no-such-dir/p.vbpatch", midi,
        out},
       "cannot write the patch file"},
  };
  const std::vector<std::string> before = dir.List();
  for (const Case& c : cases) {
    const RunResult r = RunTool(dir, c.args);
    EXPECT_NE(r.exitCode, 0) << c.name;
    EXPECT_EQ(r.err.rfind("vrelbazzit-render: ", 0), 0u) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.name << ": one line, got: " << r.err;
    EXPECT_EQ(dir.List(), before) << c.name << ": files left behind";
  }
}

TEST(RenderExecutable, FailedRenderKeepsAnExistingOutput) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  test::WriteBytes(dir / "out.wav", {'k', 'e', 'e', 'p'});
  const RunResult r = RunTool(dir, {"--param", "Atack=5", midi, dir / "out.wav"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(test::ReadBytes(dir / "out.wav"), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
}

TEST(RenderExecutable, ProgressOnlyForLongRendersAndNeverWhenQuiet) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  const RunResult shortRender = RunTool(dir, {"--seed", "1", "--rate", "8000", midi, dir / "short.wav"});
  ASSERT_EQ(shortRender.exitCode, 0) << shortRender.err;
  EXPECT_EQ(shortRender.err, "") << "a given seed is not printed, a short render shows no progress";

  const RunResult longRender =
      RunTool(dir, {"--seed", "1", "--rate", "8000", "--length", "40", midi, dir / "long.wav"});
  ASSERT_EQ(longRender.exitCode, 0) << longRender.err;
  EXPECT_NE(longRender.err.find("50%"), std::string::npos) << longRender.err;
  EXPECT_NE(longRender.err.find("100%"), std::string::npos) << longRender.err;

  const RunResult quiet =
      RunTool(dir, {"--rate", "8000", "--length", "40", "--quiet", midi, dir / "quiet.wav"});
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
}

TEST(RenderExecutable, HelpExitsZero) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const RunResult r = RunTool(dir, {"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--param"), std::string::npos) << r.out;
  EXPECT_TRUE(dir.List().empty());
}

// The first frame whose left or right sample is not exactly zero; -1 if none.
int64_t FirstSoundingFrame(const Wav& w) {
  for (size_t i = 0; i < w.samples.size(); ++i) {
    if (w.samples[i] != 0.0) return static_cast<int64_t>(i / 2);
  }
  return -1;
}

// At 48 kHz and 24 000 ticks per quarter at 120 BPM a tick is one frame: a
// note at tick 700 lies on frame 700. "Age" 0 silences the hiss, so the
// output is exactly zero until the note sounds.
TEST(RenderExecutable, NoteSoundsFromItsOwnFrameWithSampleTiming) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = dir / "note-700.mid";
  ASSERT_TRUE(test::WriteSmf(midi, 24000, 1, {{0, 700, {0x90, 60, 100}}}));
  struct Case {
    const char* timing;
    int block;
    int64_t firstFrame;
  };
  const Case cases[] = {
      {"sample", 1024, 700},  // offset 700 of the first block
      {"sample", 512, 700},   // offset 188 of the second block
      {"sample", 1, 700},
      {"block", 1024, 0},     // the start of the block holding frame 700
      {"block", 512, 512},
      {"block", 1, 700},      // one-frame blocks: every frame is a block's start
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.timing) + "-" + std::to_string(c.block) + ".wav";
    const RunResult r = RunTool(dir, {"--seed", "7", "--rate", "48000", "--block", std::to_string(c.block),
                                      "--event-timing", c.timing, "--param", "Age=0", "--length", "0.05", "--format",
                                      "double", "--quiet", midi, dir / name});
    ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
    const Wav w = ReadWav(dir / name);
    ASSERT_TRUE(w.ok) << name;
    EXPECT_EQ(FirstSoundingFrame(w), c.firstFrame) << name;
  }
}

// Sample timing in blocks of 512 gives the very samples of block timing in
// blocks of one frame, where every event falls on a block's start: notes,
// a pedal and a bend at frames that are not multiples of anything.
TEST(RenderExecutable, SampleTimingEqualsBlockTimingInOneFrameBlocks) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = dir / "figure.mid";
  // 24 000 ticks per quarter at 120 BPM: one tick per frame at 48 kHz.
  ASSERT_TRUE(test::WriteSmf(midi, 24000, 1,
                             {{0, 301, {0xB0, 64, 127}},
                              {0, 777, {0x90, 60, 100}},
                              {0, 1500, {0x90, 67, 90}},
                              {0, 1501, {0xE0, 0, 80}},
                              {0, 2222, {0x80, 60, 0}},
                              {0, 2222, {0x90, 64, 70}},
                              {0, 3001, {0xB0, 64, 0}},
                              {0, 3333, {0x80, 67, 0}},
                              {0, 4100, {0x80, 64, 0}}}));
  const std::vector<std::string> common = {"--seed", "11", "--rate", "48000", "--length", "0.2", "--format",
                                           "double", "--param", "Voice Mode=Poly", "--quiet"};
  auto render = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args = common;
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(midi);
    args.push_back(dir / name);
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    return ReadWav(dir / name);
  };
  const Wav sample = render("sample.wav", {"--block", "512"});
  const Wav oneFrame = render("one-frame.wav", {"--block", "1", "--event-timing", "block"});
  const Wav coarse = render("coarse.wav", {"--block", "512", "--event-timing", "block"});
  ASSERT_TRUE(sample.ok && oneFrame.ok && coarse.ok);
  EXPECT_TRUE(sample.samples == oneFrame.samples);
  EXPECT_FALSE(coarse.samples == sample.samples) << "block timing in 512-frame blocks moves the events";
}

// A point goes to the start of the block holding its frame: at 8 kHz in
// blocks of 100, 0.50625 s is frame 4050 in the block from frame 4000, so the
// render follows the one without automation exactly up to frame 3999.
TEST(RenderExecutable, AutomationActsAtTheStartOfTheBlockHoldingEachPoint) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  auto render = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--seed", "4", "--rate", "8000", "--block", "100", "--length", "1", "--format",
                                     "double", "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(midi);
    args.push_back(dir / name);
    const RunResult r = RunTool(dir, args);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    return ReadWav(dir / name);
  };
  const Wav plain = render("plain.wav", {});
  const Wav cut = render("cut.wav", {"--automate", "Master Gain=0.50625:0"});
  // Frames 4000 and 4050 share a block: the last point wins, 100 % as before.
  const Wav lastWins = render("last-wins.wav", {"--automate", "Master Gain=0.5:0,0.50625:100"});
  ASSERT_TRUE(plain.ok && cut.ok && lastWins.ok);
  ASSERT_EQ(cut.samples.size(), plain.samples.size());
  size_t firstDifference = 0;
  while (firstDifference < plain.samples.size() && plain.samples[firstDifference] == cut.samples[firstDifference])
    ++firstDifference;
  EXPECT_EQ(firstDifference / 2, 4000u);
  // "Master Gain" glides to 0 with a 5 ms time constant: 1000 frames later
  // (25 time constants) less than 1e-10 of the level is left.
  EXPECT_LT(Rms(cut, 5000, 8000), 1e-10 * Rms(plain, 5000, 8000));
  EXPECT_GT(Rms(plain, 5000, 8000), 1e-4);
  EXPECT_TRUE(lastWins.samples == plain.samples);
}

TEST(RenderExecutable, RefusesWhatIsNotItsToReadOrReplace) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  test::WriteBytes(dir / "kept.wav", {'k', 'e', 'e', 'p'});
  test::WriteBytes(dir / "p.vbpatch", {'V', 'R', 'E', 'L'});
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(dir / "kept.wav", dir / "link.wav");
  std::filesystem::create_hard_link(midi, dir / "chord-link.mid");
  // 1 tick per quarter, the slowest tempo, and a note 2^28 - 1 ticks later:
  // 142 years.
  const std::string years = dir / "years.mid";
  test::WriteBytes(years, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 1, 'M', 'T', 'r', 'k', 0, 0, 0, 18, 0, 0xFF,
                           0x51, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1, 0, 0xFF, 0x2F, 0});
  const std::string out = dir / "out.wav";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string message;
  };
  // A device as OUTPUT is left to CheckReplaceable's own test: a fault here
  // would replace the machine's /dev/null.
  const std::vector<Case> cases = {
      {"FIFO as INPUT", {dir / "fifo", out}, "\"" + (dir / "fifo") + "\" is a FIFO"},
      {"folder as INPUT", {dir / "folder", out}, "is a folder"},
      {"FIFO as --patch", {"--patch", dir / "fifo", midi, out}, "--patch: \"" + (dir / "fifo") + "\" is a FIFO"},
      {"folder as --patch", {"--patch", dir / "folder", midi, out}, "is a folder"},
      {"FIFO as OUTPUT", {midi, dir / "fifo"}, "is a FIFO, not a regular file"},
      {"symbolic link as OUTPUT", {midi, dir / "link.wav"}, "is a symbolic link"},
      {"folder as OUTPUT", {midi, dir / "folder"}, "is a folder"},
      {"FIFO as --save-patch", {"--save-patch", dir / "fifo", midi, out}, "--save-patch: cannot write"},
      {"symbolic link as --save-patch", {"--save-patch", dir / "link.wav", midi, out}, "is a symbolic link"},
      {"OUTPUT is INPUT", {midi, midi}, "is the same file as INPUT"},
      {"OUTPUT is a hard link of INPUT", {midi, dir / "chord-link.mid"}, "is the same file as INPUT"},
      {"OUTPUT is the --patch file", {"--patch", dir / "p.vbpatch", midi, dir / "p.vbpatch"},
       "is the same file as --patch"},
      {"OUTPUT is the --save-patch file", {"--save-patch", dir / "new.wav", midi, dir / "./new.wav"},
       "is the same file as --save-patch"},
      {"--save-patch is INPUT", {"--save-patch", midi, midi, out}, "is the same file as INPUT"},
      {"a MIDI file longer than a day", {years, out}, "longer than the 86400 s"},
      {"automation of an unknown parameter", {"--automate", "Amp Levl=0:1", midi, out}, "unknown parameter"},
      {"automation going back in time", {"--automate", "Amp Level=1:0,0.5:70", midi, out}, "must not decrease"},
      {"automation out of range", {"--automate", "Amp Level=0:170", midi, out}, "out of range"},
      {"one parameter automated twice", {"--automate", "Cutoff=0:1", "--automate", "Cutoff=1:2", midi, out},
       "automated twice"},
      {"unknown event timing", {"--event-timing", "frame", midi, out}, "--event-timing"},
  };
  const std::vector<std::string> before = dir.List();
  const std::vector<unsigned char> midiBytes = test::ReadBytes(midi);
  for (const Case& c : cases) {
    const RunResult r = RunTool(dir, c.args);
    EXPECT_NE(r.exitCode, 0) << c.name;
    EXPECT_EQ(r.err.rfind("vrelbazzit-render: ", 0), 0u) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.name << ": one line, got: " << r.err;
    EXPECT_EQ(dir.List(), before) << c.name << ": files left behind";
    EXPECT_EQ(test::ReadBytes(midi), midiBytes) << c.name;
    EXPECT_EQ(test::ReadBytes(dir / "kept.wav"), (std::vector<unsigned char>{'k', 'e', 'e', 'p'})) << c.name;
    EXPECT_EQ(test::ReadBytes(dir / "p.vbpatch"), (std::vector<unsigned char>{'V', 'R', 'E', 'L'})) << c.name;
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo")) << c.name;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.wav")) << c.name;
  }
  // With a length the long file renders its start.
  const RunResult part = RunTool(dir, {"--length", "0.5", "--rate", "8000", "--quiet", years, out});
  EXPECT_EQ(part.exitCode, 0) << part.err;
}

// Output names as long as a file name may be (255 bytes) are written, the
// temporary name fitting beside them; a longer one is refused by the system.
TEST(RenderExecutable, OutputNamesUpToTheFileSystemsLimit) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string midi = WriteChordFile(dir);
  ASSERT_FALSE(midi.empty());
  std::string accented;
  while (accented.size() < 250) accented += "\xC3\xA9";  // "é", two bytes
  struct Case {
    const char* name;
    std::string file;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"255 ASCII bytes", std::string(251, 'a') + ".wav", true},
      {"255 bytes of two-byte characters", accented.substr(0, 250) + "x.wav", true},
      {"256 bytes", std::string(252, 'b') + ".wav", false},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.file.size(), c.ok ? 255u : 256u) << c.name;
    const RunResult r = RunTool(dir, {"--seed", "1", "--rate", "8000", "--length", "0.1", "--quiet", midi,
                                      dir / c.file});
    if (c.ok) {
      EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
      std::vector<std::string> expected = {"chord.mid", c.file};
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(dir.List(), expected) << c.name;
      std::filesystem::remove(dir / c.file);
    } else {
      EXPECT_NE(r.exitCode, 0) << c.name;
      EXPECT_NE(r.err.find("File name too long"), std::string::npos) << c.name << ": " << r.err;
      EXPECT_EQ(dir.List(), std::vector<std::string>{"chord.mid"}) << c.name;
    }
  }
}

// SIGINT, SIGTERM and SIGHUP during a long render end the program by that
// signal and leave no temporary file.
TEST(RenderExecutable, InterruptionRemovesTheTemporaryFile) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string midi = WriteChordFile(dir);
    ASSERT_FALSE(midi.empty());
    const std::string out = dir / "long.wav";
    const char* argv[] = {VB_RENDER_EXE, "--quiet", "--rate", "48000", "--length", "3600", midi.c_str(), out.c_str(),
                          nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attr, &defaults);  // even if this test runs with them ignored
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, VB_RENDER_EXE, nullptr, &attr, const_cast<char* const*>(argv), environ), 0);
    posix_spawnattr_destroy(&attr);

    // Waits for the temporary file, the sign that rendering has begun.
    bool started = false;
    for (int i = 0; i < 2000 && !started; ++i) {
      for (const std::string& name : dir.List()) started = started || name.rfind(".long.wav.tmp-", 0) == 0;
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(started) << strsignal(sig);
    kill(pid, sig);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << strsignal(sig) << ": status " << status;
    EXPECT_EQ(dir.List(), std::vector<std::string>{"chord.mid"}) << strsignal(sig);
  }
}

}  // namespace
}  // namespace vbrender
