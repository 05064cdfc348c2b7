// The vrelbazzit-render executable with the real instrument: what it writes,
// that a fixed seed reproduces a render bit for bit, that factory patches and
// patch files set the sound and a saved patch reproduces it, and that bad
// input ends with a one-line message, a non-zero exit and no output file.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
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

RunResult RunTool(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = ShellQuote(VB_RENDER_EXE);
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

}  // namespace
}  // namespace vbrender
