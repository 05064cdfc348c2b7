// Patch files: what the writer produces byte for byte, what the reader accepts
// and refuses, the older 58- and 57-value files, and that saving never
// destroys an existing file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <string>
#include <vector>

#include "PatchTestSupport.h"
#include "tests/support/Fifo.h"
#include "PluginHarness.h"
#include "plugin/patches.h"

namespace vrelbazzit::test {
namespace {

using Values = std::array<double, kNumParams>;

// The defaults of the parameter table, index 0 to 58, as the writer prints them.
const std::vector<std::string> kDefaultValueLines = {
    "70", "55", "55", "70", "12", "12", "12", "0",                // Amp Level .. Ring
    "12", "280",                                                  // Attack, Release
    "80", "40", "0", "80", "40", "0", "0", "50",                  // Osc 1 Level .. Pulse Width
    "15", "0", "25",                                              // Resonance, High Pass, Filter Env Amount
    "180", "72",                                                  // Amp Decay, Amp Sustain
    "10", "280", "25", "380",                                     // filter envelope
    "33", "50", "45",                                             // LFO
    "1",                                                          // Glide
    "25", "75", "75", "75", "75", "75", "75", "75", "75",         // Bank Mix, eight bands
    "0",                                                          // Voice Mode
    "12", "12", "0", "35",                                        // Fat, Width, Fuzz, Span
    "1", "1", "1",                                                // the three switches
    "50", "50", "50",                                             // Fat Tune, Fuzz Warmth, Width Motion
    "0", "0", "0", "0", "0", "0",                                 // waves, wave fine, syncs
    "100", "0"};                                                  // Master Gain, Vrel Bite

std::string Join(const std::vector<std::string>& parts, const std::string& separator, bool endWithSeparator) {
  std::string s;
  for (size_t i = 0; i < parts.size(); ++i) s += parts[i] + (i + 1 < parts.size() || endWithSeparator ? separator : "");
  return s;
}

// A patch file: header, name and value lines, each ended by LF.
std::string FileText(const std::string& header, const std::string& name, const std::vector<std::string>& values) {
  return header + "\n" + name + "\n" + Join(values, "\n", true);
}

// The same text with CR LF line ends.
std::string WithCrLf(const std::string& text) {
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return crlf;
}

std::string DefaultFile() { return FileText("VRELBAZZIT_PATCH_V1 59", "Init Vrels", kDefaultValueLines); }

std::vector<std::string> DefaultsWith(int index, const std::string& text) {
  std::vector<std::string> v = kDefaultValueLines;
  v[static_cast<size_t>(index)] = text;
  return v;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    lines.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

Values Defaults() { return ParamDefaults<kNumParams>(); }

// ---- Writer ------------------------------------------------------------------------

TEST(PatchFileWriter, DefaultSoundByteForByte) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  VrelBazzit plug{fw::InstanceInfo{}};
  ASSERT_TRUE(plug.SavePatch((dir / "init.vbpatch").c_str()));
  const std::string text = ReadText(dir / "init.vbpatch");
  EXPECT_EQ(text, DefaultFile());
  EXPECT_EQ(SplitLines(text).size(), 61u) << "header, name, 59 values";
  EXPECT_EQ(text.find('\r'), std::string::npos) << "LF line ends only";
  EXPECT_EQ(text.back(), '\n') << "the last line ends with LF too";
  EXPECT_EQ(plug.PatchLabel(), "Init Vrels") << "saving leaves the label alone";
}

// 17 significant digits, the g conversion: fixed or exponent notation as it
// picks, trailing zeros and a trailing point removed.
TEST(PatchFileWriter, NumbersWithSeventeenSignificantDigits) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {70.0, "70"},
      {37.2, "37.200000000000003"},
      {0.00001, "1.0000000000000001e-05"},
      {0.1, "0.10000000000000001"},
      {250.875, "250.875"},
      {-50.0, "-50"},
      {0.0, "0"},
      {-0.0, "-0"},
      {1e20, "1e+20"},
      {123456789012345678.0, "1.2345678901234568e+17"},
      {0.0001, "0.0001"},  // exponent -4 still prints in fixed notation
  };
  for (const Case& c : cases) {
    Values v = Defaults();
    v[0] = c.value;
    const std::vector<std::string> lines = SplitLines(FormatPatchText<kNumParams>("N", v));
    ASSERT_EQ(lines.size(), 61u) << c.text;
    EXPECT_EQ(lines[2], c.text) << "value " << c.text;
  }
}

TEST(PatchFileWriter, NameCutToEightyBytesWithLineBreaksAsSpaces) {
  struct Case {
    const char* what;
    std::string name;
    std::string written;
  };
  const std::string eighty(80, 'n');
  const Case cases[] = {
      {"80 bytes kept", eighty, eighty},
      {"82 bytes (80 and the marker) cut to 80", eighty + " *", eighty},
      {"79 bytes and the marker cut after the space", std::string(79, 'n') + " *", std::string(79, 'n') + " "},
      {"CR and LF become spaces", "a\rb\nc\r\n", "a b c  "},
      {"cut first, then the line breaks replaced", std::string(79, 'n') + "\n\n", std::string(79, 'n') + " "},
  };
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const Case& c : cases) {
    const std::string path = dir / "name.vbpatch";
    ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), c.name, Defaults())) << c.what;
    const std::vector<std::string> lines = SplitLines(ReadText(path));
    ASSERT_EQ(lines.size(), 61u) << c.what;
    EXPECT_EQ(lines[1], c.written) << c.what;
  }
}

TEST(PatchFileWriter, RefusesWithoutTouchingAnyFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "p.vbpatch";
  Values withNan = Defaults();
  withNan[7] = std::numeric_limits<double>::quiet_NaN();
  Values withInf = Defaults();
  withInf[7] = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    const char* path;
    std::string name;
    Values values;
  };
  const Case cases[] = {
      {"null path", nullptr, "Name", Defaults()},
      {"empty path", "", "Name", Defaults()},
      {"empty name", path.c_str(), "", Defaults()},
      {"NaN value (no reader would take it back)", path.c_str(), "Name", withNan},
      {"infinite value", path.c_str(), "Name", withInf},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(SavePatchFile<kNumParams>(c.path, c.name, c.values)) << c.what;
    EXPECT_TRUE(dir.List().empty()) << c.what;
  }
}

TEST(PatchFileWriter, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "old.vbpatch";
  WriteText(path, std::string(5000, 'x'));  // longer than the new content
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "Init Vrels", Defaults()));
  EXPECT_EQ(ReadText(path), DefaultFile());
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"old.vbpatch"}) << "no temporary file left";
}

TEST(PatchFileWriter, NamesUpTo255BytesAreWritten) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  // 255 bytes: ASCII, and one ending in two-byte characters so that the
  // temporary name is cut inside a run of them.
  const std::string ascii = std::string(255 - 8, 'p') + ".vbpatch";
  std::string umlauts;
  while (umlauts.size() + 2 <= 255 - 8) umlauts += "\xc3\xa4";
  umlauts = std::string(255 - 8 - umlauts.size(), 'q') + umlauts + ".vbpatch";
  for (const std::string& name : {ascii, umlauts}) {
    ASSERT_EQ(name.size(), 255u);
    const std::string path = dir / name;
    ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "Long", Defaults())) << name.size();
    EXPECT_EQ(ReadText(path), FileText("VRELBAZZIT_PATCH_V1 59", "Long", kDefaultValueLines));
  }
  EXPECT_EQ(dir.List().size(), 2u) << "no temporary file left";
}

// A save that fails part-way leaves the old file, no temporary file and the sound.
TEST(PatchFileWriter, FailedSaveKeepsTheExistingFileAndTheSound) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir / "keep.vbpatch";
  const std::string old = FileText("VRELBAZZIT_PATCH_V1 59", "Old", kDefaultValueLines);
  WriteText(path, old);
  ASSERT_TRUE(std::filesystem::create_directory(dir / "a-directory"));

  VrelBazzit plug{fw::InstanceInfo{}};
  plug.SelectFactoryPatch(5);
  plug.SendParameterValueFromUI(kCutoff, 0.3);
  const Patch sound = plug.CapturePatch();
  const std::string label = plug.PatchLabel();

  {
    // The disk "fills up" after 64 bytes: the temporary file cannot be completed.
    FileSizeLimit limit(64);
    ASSERT_TRUE(limit.Ok());
    EXPECT_FALSE(plug.SavePatch(path.c_str())) << "write failure";
  }
  EXPECT_EQ(ReadText(path), old) << "write failure: the old file is intact";
  EXPECT_FALSE(plug.SavePatch((dir / "a-directory").c_str())) << "a directory cannot become a patch file";
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a-directory"));
  EXPECT_FALSE(plug.SavePatch((dir / "missing/p.vbpatch").c_str())) << "missing folder";

  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a-directory", "keep.vbpatch"})) << "no temporary file left";
  EXPECT_EQ(plug.CapturePatch(), sound);
  EXPECT_EQ(plug.PatchLabel(), label);
}

// ---- Reader ----------------------------------------------------------------------

struct ReaderCase {
  const char* what;
  std::string text;
  bool ok;
  std::string name = "Init Vrels";
  int changedIndex = -1;  // accepted: this value differs from the defaults ...
  double changedValue = 0.0;  // ... and is this one
};

std::vector<ReaderCase> ReaderCases() {
  const std::string header = "VRELBAZZIT_PATCH_V1 59";
  const std::string file = DefaultFile();
  std::vector<std::string> fiftyEight = kDefaultValueLines;
  fiftyEight.pop_back();
  std::vector<std::string> sixty = kDefaultValueLines;
  sixty.push_back("0");
  const std::string crlf = WithCrLf(file);

  return {
      // Accepted: strict lines 1 and 2, lenient values.
      {"the default file", file, true},
      {"values on one line", header + "\nInit Vrels\n" + Join(kDefaultValueLines, " ", false) + "\n", true},
      {"tabs, CR and LF between values", header + "\nInit Vrels\n" + Join(kDefaultValueLines, "\t\r\n", true), true},
      {"blank lines after the last value", file + "\n\n \t\n", true},
      {"blank lines before the first value", header + "\nInit Vrels\n\n\n" + Join(kDefaultValueLines, "\n", true),
       true},
      {"last value without a line end", file.substr(0, file.size() - 1), true},
      {"a plus sign and an exponent", FileText(header, "Init Vrels", DefaultsWith(kAmpLevel, "+6.5e1")), true,
       "Init Vrels", kAmpLevel, 65.0},
      {"1.5 for Osc 1 Range is read as written", FileText(header, "Init Vrels", DefaultsWith(kOsc1Range, "1.5")),
       true, "Init Vrels", kOsc1Range, 1.5},
      {"range limits themselves", FileText(header, "Init Vrels", DefaultsWith(kFilterDecay, "4000")), true,
       "Init Vrels", kFilterDecay, 4000.0},
      {"a name of 80 bytes", FileText(header, std::string(80, 'x'), kDefaultValueLines), true, std::string(80, 'x')},
      {"a name's spaces kept", FileText(header, "  Two  spaces ", kDefaultValueLines), true, "  Two  spaces "},
      {"a name already marked", FileText(header, "Edited *", kDefaultValueLines), true, "Edited *"},
      // CR LF line ends (a Windows editor, a CR LF checkout): the CR before
      // each LF belongs to the line end; any other CR keeps today's meaning.
      {"CR LF line ends", crlf, true},
      {"CR LF after the header only", FileText(header + "\r", "Init Vrels", kDefaultValueLines), true},
      {"CR LF after the name only", FileText(header, "Pad\r", kDefaultValueLines), true, "Pad"},
      {"a name of 80 bytes and CR LF", FileText(header, std::string(80, 'x') + "\r", kDefaultValueLines), true,
       std::string(80, 'x')},
      {"a CR inside the name belongs to the name", FileText(header, "Pa\rd", kDefaultValueLines), true, "Pa\rd"},
      {"two CRs before the name's LF: the first belongs to the name", FileText(header, "Pad\r\r", kDefaultValueLines),
       true, "Pad\r"},

      // Refused: size, header and name.
      {"empty file", "", false},
      {"header only, without a line end", header, false},
      {"header and nothing after it", header + "\n", false},
      {"empty name line", FileText(header, "", kDefaultValueLines), false},
      {"a name of 81 bytes", FileText(header, std::string(81, 'x'), kDefaultValueLines), false},
      {"a name of 81 bytes and CR LF", FileText(header, std::string(81, 'x') + "\r", kDefaultValueLines), false},
      {"an empty name line ended by CR LF", FileText(header, "\r", kDefaultValueLines), false},
      {"two CRs before the header's LF", FileText(header + "\r\r", "Init Vrels", kDefaultValueLines), false},
      {"a CR inside the header", FileText("VRELBAZZIT_PATCH_V1\r59", "Init Vrels", kDefaultValueLines), false},
      {"CR alone as the line end", header + "\rInit Vrels\r" + Join(kDefaultValueLines, "\r", true), false},
      {"header without its space", FileText("VRELBAZZIT_PATCH_V159", "Init Vrels", kDefaultValueLines), false},
      {"header with a trailing space", FileText(header + " ", "Init Vrels", kDefaultValueLines), false},
      {"header in lower case", FileText("vrelbazzit_patch_v1 59", "Init Vrels", kDefaultValueLines), false},
      {"header count with a leading zero", FileText("VRELBAZZIT_PATCH_V1 059", "Init Vrels", kDefaultValueLines),
       false},
      {"header after a byte order mark", "\xEF\xBB\xBF" + file, false},
      {"another format version", FileText("VRELBAZZIT_PATCH_V2 59", "Init Vrels", kDefaultValueLines), false},

      // Refused: counts and trailing text.
      {"58 values under a 59 header", FileText(header, "Init Vrels", fiftyEight), false},
      {"60 values under a 59 header", FileText(header, "Init Vrels", sixty), false},
      {"a comment after the last value", file + "# my favourite\n", false},
      {"a NUL byte after the last value", file + std::string(1, '\0'), false},

      // Refused: values.
      {"a value that is a word", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "abc")), false},
      {"a number glued to a word", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "70abc")), false},
      {"a decimal comma", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "70,5")), false},
      {"a hexadecimal number", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "0x10")), false},
      {"nan", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "nan")), false},
      {"inf", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "inf")), false},
      {"a number too large for a double", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "1e400")), false},
      {"100.5 for a percent parameter", FileText(header, "Init Vrels", DefaultsWith(kCutoff, "100.5")), false},
      {"-0.1 for a percent parameter", FileText(header, "Init Vrels", DefaultsWith(kBody, "-0.1")), false},
      {"4001 for Filter Decay", FileText(header, "Init Vrels", DefaultsWith(kFilterDecay, "4001")), false},
      {"9.5 for Release (minimum 10)", FileText(header, "Init Vrels", DefaultsWith(kRelease, "9.5")), false},
      {"7 for Osc 1 Wave", FileText(header, "Init Vrels", DefaultsWith(kOsc1Wave, "7")), false},
      {"-1 for Voice Mode", FileText(header, "Init Vrels", DefaultsWith(kVoiceMode, "-1")), false},
      {"200.5 for Master Gain", FileText(header, "Init Vrels", DefaultsWith(kMasterGain, "200.5")), false},
      {"-51 for Osc 2 Fine", FileText(header, "Init Vrels", DefaultsWith(kOsc2Fine, "-51")), false},
  };
}

TEST(PatchFileReader, AcceptsAndRefuses) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  constexpr Values kMin = ParamMinima<kNumParams>(), kMax = ParamMaxima<kNumParams>();
  const std::string path = dir / "case.vbpatch";
  for (const ReaderCase& c : ReaderCases()) {
    WriteText(path, c.text);
    // The file reader and the text reader agree; a refusal changes nothing.
    for (const bool fromFile : {true, false}) {
      const std::string how = std::string(c.what) + (fromFile ? " (file)" : " (text)");
      std::string name = "unchanged";
      Values values;
      values.fill(-7.0);
      const bool ok = fromFile ? LoadPatchFile<kNumParams>(path.c_str(), name, values, kMin, kMax)
                               : ParsePatchText<kNumParams>(c.text, name, values, kMin, kMax);
      ASSERT_EQ(ok, c.ok) << how;
      if (!ok) {
        EXPECT_EQ(name, "unchanged") << how;
        for (double v : values) ASSERT_EQ(v, -7.0) << how;
        continue;
      }
      EXPECT_EQ(name, c.name) << how;
      Values expected = Defaults();
      if (c.changedIndex >= 0) expected[static_cast<size_t>(c.changedIndex)] = c.changedValue;
      EXPECT_EQ(values, expected) << how;
    }
  }
}

TEST(PatchFileReader, SizeLimitIs8192Bytes) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  constexpr Values kMin = ParamMinima<kNumParams>(), kMax = ParamMaxima<kNumParams>();
  const std::string file = DefaultFile();
  for (const size_t size : {size_t{8191}, size_t{8192}, size_t{8193}, size_t{20000}}) {
    const std::string padded = file + std::string(size - file.size(), '\n');  // trailing blank lines are fine
    const std::string path = dir / ("size" + std::to_string(size));
    WriteText(path, padded);
    std::string name;
    Values values{};
    EXPECT_EQ(LoadPatchFile<kNumParams>(path.c_str(), name, values, kMin, kMax), size <= 8192) << size << " bytes";
    EXPECT_EQ(ParsePatchText<kNumParams>(padded, name, values, kMin, kMax), size <= 8192) << size << " bytes";
  }
}

TEST(PatchFileReader, RefusesPathsThatAreNoReadableFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  constexpr Values kMin = ParamMinima<kNumParams>(), kMax = ParamMaxima<kNumParams>();
  for (const char* path : {static_cast<const char*>(nullptr), "", "/nonexistent/x.vbpatch"}) {
    std::string name = "unchanged";
    Values values{};
    EXPECT_FALSE(LoadPatchFile<kNumParams>(path, name, values, kMin, kMax)) << (path ? path : "null");
    EXPECT_EQ(name, "unchanged");
  }
  std::string name;
  Values values{};
  EXPECT_FALSE(LoadPatchFile<kNumParams>((dir / "").c_str(), name, values, kMin, kMax)) << "a directory";

  // Special files are refused from their type, without being opened: a FIFO
  // would otherwise wait for a writer for ever. Each refusal says why in one line.
  const std::string fifo = dir / "pipe.vbpatch";
  ASSERT_TRUE(vbtest::MakeFifo(fifo));
  struct Case {
    std::string path;
    const char* reason;
  };
  for (const Case& c : {Case{fifo, "not a regular file"}, Case{"/dev/null", "not a regular file"},
                        Case{dir.Path(), "the path is a folder"}}) {
    std::string reason;
    bool ok = true;
    ASSERT_TRUE(vbtest::FinishesWithoutBlocking(fifo, [&] { ok = ReadPatchFile(c.path.c_str(), name, values, &reason); }))
        << c.path << " blocked";
    EXPECT_FALSE(ok) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
    VrelBazzit plug{fw::InstanceInfo{}};
    ASSERT_TRUE(vbtest::FinishesWithoutBlocking(fifo, [&] { ok = plug.LoadPatch(c.path.c_str()); })) << c.path;
    EXPECT_FALSE(ok) << c.path;
    EXPECT_EQ(plug.PatchLabel(), "Init Vrels") << c.path;
  }
}

// Every double that can stand in a patch comes back bit for bit: many rounds
// through the text, a few through files.
TEST(PatchFileReader, SavedFileLoadsBackToIdenticalValues) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  constexpr Values kMin = ParamMinima<kNumParams>(), kMax = ParamMaxima<kNumParams>();
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 2000; ++round) {
    Values v{};
    for (size_t i = 0; i < v.size(); ++i) {
      const double lo = kMin[i], hi = kMax[i];
      switch ((round + static_cast<int>(i)) % 5) {
        case 0: v[i] = lo; break;
        case 1: v[i] = std::nextafter(hi, lo); break;
        case 2: v[i] = lo == 0.0 ? std::numeric_limits<double>::denorm_min() : std::nextafter(lo, hi); break;
        default: v[i] = std::uniform_real_distribution<double>(lo, hi)(rng); break;
      }
    }
    std::string name;
    Values back{};
    if (round % 400 == 0) {
      const std::string path = dir / "roundtrip.vbpatch";
      ASSERT_TRUE(SavePatchFile<kNumParams>(path.c_str(), "Round trip", v));
      ASSERT_TRUE(LoadPatchFile<kNumParams>(path.c_str(), name, back, kMin, kMax)) << "round " << round;
    } else {
      ASSERT_TRUE(ParsePatchText<kNumParams>(FormatPatchText<kNumParams>("Round trip", v), name, back, kMin, kMax))
          << "round " << round;
    }
    EXPECT_EQ(name, "Round trip");
    for (size_t i = 0; i < v.size(); ++i)
      ASSERT_EQ(std::memcmp(&v[i], &back[i], sizeof(double)), 0) << "round " << round << ", value " << i;
  }
}

// A patch saved by the plug-in, turned into CR LF line ends as a Windows
// editor or a CR LF checkout leaves it, loads to the very same sound and name,
// for the current and the two older formats.
TEST(PatchFileReader, CrLfCopyOfASavedPatchLoadsTheSameSound) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  VrelBazzit saver{fw::InstanceInfo{}};
  saver.SelectFactoryPatch(16);  // "Stereo Dust": many values away from the defaults
  const std::string saved = dir / "saved.vbpatch";
  ASSERT_TRUE(saver.SavePatch(saved.c_str()));
  const std::string text = ReadText(saved);
  ASSERT_EQ(text.find('\r'), std::string::npos);

  // The same file with 58 and 57 values under their headers.
  const std::vector<std::string> lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 61u);
  const auto older = [&lines](int n) {
    return FileText("VRELBAZZIT_PATCH_V1 " + std::to_string(n), lines[1],
                    std::vector<std::string>(lines.begin() + 2, lines.begin() + 2 + n));
  };
  for (const auto& [what, lf] : {std::pair<const char*, std::string>{"59 values", text}, {"58 values", older(58)},
                                  {"57 values", older(57)}}) {
    const std::string lfPath = dir / "lf.vbpatch", crlfPath = dir / "crlf.vbpatch";
    WriteText(lfPath, lf);
    WriteText(crlfPath, WithCrLf(lf));
    VrelBazzit fromLf{fw::InstanceInfo{}}, fromCrLf{fw::InstanceInfo{}};
    ASSERT_TRUE(fromLf.LoadPatch(lfPath.c_str())) << what;
    ASSERT_TRUE(fromCrLf.LoadPatch(crlfPath.c_str())) << what;
    EXPECT_EQ(fromCrLf.CapturePatch(), fromLf.CapturePatch()) << what;
    EXPECT_EQ(fromCrLf.PatchLabel(), "Stereo Dust") << what;
  }
  VrelBazzit fromCrLf{fw::InstanceInfo{}};
  WriteText(dir / "crlf.vbpatch", WithCrLf(text));
  ASSERT_TRUE(fromCrLf.LoadPatch((dir / "crlf.vbpatch").c_str()));
  EXPECT_EQ(fromCrLf.CapturePatch(), saver.CapturePatch()) << "the saved sound itself";

  // Saving again writes LF only.
  ASSERT_TRUE(fromCrLf.SavePatch((dir / "again.vbpatch").c_str()));
  EXPECT_EQ(ReadText(dir / "again.vbpatch"), text);
}

// A host may set a global locale with a decimal comma and digit grouping;
// patch files keep the decimal point either way.
TEST(PatchFileReader, GlobalLocaleDoesNotChangeTheFormat) {
  struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  constexpr Values kMin = ParamMinima<kNumParams>(), kMax = ParamMaxima<kNumParams>();
  Values v = Defaults();
  v[kOsc2Fine] = 37.2;
  v[kRelease] = 1250.5;
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  const std::string text = FormatPatchText<kNumParams>("Locale", v);
  std::string name;
  Values back{};
  const bool ok = ParsePatchText<kNumParams>(text, name, back, kMin, kMax);
  std::locale::global(previous);
  EXPECT_NE(text.find("\n37.200000000000003\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n1250.5\n"), std::string::npos) << text;
  ASSERT_TRUE(ok);
  EXPECT_EQ(back, v);
}

// ---- Older files -------------------------------------------------------------------

TEST(PatchFileVersions, FewerValuesTakeTheDefaultsOfTheMissingOnes) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<std::string> values58(kDefaultValueLines.begin(), kDefaultValueLines.begin() + 58);
  values58[kCutoff] = "33";
  values58[kMasterGain] = "150";
  std::vector<std::string> values57(values58.begin(), values58.begin() + 57);
  struct Case {
    const char* what;
    std::string name;
    std::string text;
    double masterGain, vrelBite;  // 57: both at their defaults; 58: Vrel Bite
  };
  const Case cases[] = {
      {"58 values", "Old 58", FileText("VRELBAZZIT_PATCH_V1 58", "Old 58", values58), 150.0, 0.0},
      {"57 values", "Old 57", FileText("VRELBAZZIT_PATCH_V1 57", "Old 57", values57), 100.0, 0.0},
  };
  for (const Case& c : cases) {
    const std::string path = dir / "old.vbpatch";
    WriteText(path, c.text);
    std::string name;
    Values v{};
    ASSERT_TRUE(ReadPatchFile(path.c_str(), name, v)) << c.what;
    EXPECT_EQ(name, c.name) << c.what;
    EXPECT_EQ(v[kCutoff], 33.0) << c.what;
    EXPECT_EQ(v[kMasterGain], c.masterGain) << c.what;
    EXPECT_EQ(v[kVrelBite], c.vrelBite) << c.what;

    // Loaded into a plug-in whose missing parameters sit elsewhere: the
    // defaults are applied, not the current values kept.
    VrelBazzit plug{fw::InstanceInfo{}};
    plug.SendParameterValueFromUI(kMasterGain, 0.25);  // 50 %
    plug.SendParameterValueFromUI(kVrelBite, 0.4);     // 40 %
    ASSERT_TRUE(plug.LoadPatch(path.c_str())) << c.what;
    EXPECT_EQ(plug.GetParam(kMasterGain)->Value(), c.masterGain) << c.what;
    EXPECT_EQ(plug.GetParam(kVrelBite)->Value(), 0.0) << c.what;
    EXPECT_EQ(plug.PatchLabel(), c.name) << c.what;
  }

  // Each reader alone takes only its own count.
  const std::string path58 = dir / "58.vbpatch";
  WriteText(path58, cases[0].text);
  std::string name;
  std::array<double, 58> v58{};
  std::array<double, 57> v57{};
  Values v59{};
  EXPECT_TRUE(LoadPatchFile<58>(path58.c_str(), name, v58, ParamMinima<58>(), ParamMaxima<58>()));
  EXPECT_FALSE(LoadPatchFile<57>(path58.c_str(), name, v57, ParamMinima<57>(), ParamMaxima<57>()));
  EXPECT_FALSE(LoadPatchFile<59>(path58.c_str(), name, v59, ParamMinima<59>(), ParamMaxima<59>()));
}

TEST(PatchFileVersions, HeaderAndCountMustAgreeForEveryReader) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::vector<std::string> values58(kDefaultValueLines.begin(), kDefaultValueLines.begin() + 58);
  const std::vector<std::string> values57(kDefaultValueLines.begin(), kDefaultValueLines.begin() + 57);
  const std::vector<std::string> values56(kDefaultValueLines.begin(), kDefaultValueLines.begin() + 56);
  std::vector<std::string> values58BadBand = values58;
  values58BadBand[kBand250] = "175";
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"58 header with 59 values", FileText("VRELBAZZIT_PATCH_V1 58", "X", kDefaultValueLines)},
      {"57 header with 58 values", FileText("VRELBAZZIT_PATCH_V1 57", "X", values58)},
      {"59 header with 57 values", FileText("VRELBAZZIT_PATCH_V1 59", "X", values57)},
      {"56 values", FileText("VRELBAZZIT_PATCH_V1 56", "X", values56)},
      {"58 values, one out of range", FileText("VRELBAZZIT_PATCH_V1 58", "X", values58BadBand)},
  };
  for (const Case& c : cases) {
    const std::string path = dir / "bad.vbpatch";
    WriteText(path, c.text);
    std::string name = "unchanged", reason;
    Values v;
    v.fill(-7.0);
    EXPECT_FALSE(ReadPatchFile(path.c_str(), name, v, &reason)) << c.what;
    EXPECT_EQ(name, "unchanged") << c.what;
    for (double x : v) ASSERT_EQ(x, -7.0) << c.what;
    EXPECT_FALSE(reason.empty()) << c.what;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << c.what << ": one line: " << reason;
  }
}

}  // namespace
}  // namespace vrelbazzit::test
