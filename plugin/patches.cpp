// Patches: the patch file reader and writer, the factory bank, and the plug-in
// object's patch operations (capture, apply, the modified marker, the A/B
// variations, patch files, factory patches, the label after a state restore).
#include "patches.h"

#include "framework/graphics/IControl.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <locale>
#include <random>
#include <sstream>

#include "../framework/plug/Utf8Path.h"
#include "VrelBazzit.h"

#ifdef _WIN32
#include <io.h>

#include "framework/plug/WinApi.h"
#else
#include <unistd.h>
#endif

namespace vrelbazzit {

// ---- Patch file text ------------------------------------------------------------

namespace {

bool Fail(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
  return false;
}

// Shortest form that reads back as v, whatever the process's locale.
std::string Number(double v) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, result.ptr);
}

std::string HeaderLine(std::size_t n) { return std::string(kPatchHeader) + std::to_string(n); }

// The line that ends at the LF at lf (npos: the text's end), without the CR
// of a CR LF line end. A CR not followed by the LF stays in the line.
std::string_view LineBefore(std::string_view text, std::size_t lf) {
  std::string_view line = text.substr(0, lf);
  if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The reader for any N, over plain arrays. headerMatched tells the caller
// whether the file claims to hold n values, so a fallback can say which
// version's rule the file broke.
bool ParsePatchTextN(std::string_view text, std::size_t n, std::string& nameOut, double* valuesOut,
                     const double* minValues, const double* maxValues, std::string* reason,
                     bool* headerMatched) {
  if (headerMatched) *headerMatched = false;
  if (text.size() > kMaxPatchFileBytes)
    return Fail(reason, "the file is larger than " + std::to_string(kMaxPatchFileBytes) + " bytes");

  // Line 1, exactly, up to its line end: LF, or CR LF as a Windows editor
  // writes it. Any other CR makes the line differ.
  const std::size_t headerEnd = text.find('\n');
  const std::string expected = HeaderLine(n);
  if (LineBefore(text, headerEnd) != expected)
    return Fail(reason, "the first line is not \"" + expected + "\"");
  if (headerMatched) *headerMatched = true;

  // Line 2, unchanged, up to its line end (a CR inside it belongs to the name).
  if (headerEnd == std::string_view::npos || headerEnd + 1 >= text.size())
    return Fail(reason, "the file ends before the name line");
  const std::string_view afterHeader = text.substr(headerEnd + 1);
  const std::size_t nameEnd = afterHeader.find('\n');
  const std::string_view name = LineBefore(afterHeader, nameEnd);
  if (name.empty()) return Fail(reason, "the name line is empty");
  if (name.size() > kMaxPatchNameBytes)
    return Fail(reason, "the name line is longer than " + std::to_string(kMaxPatchNameBytes) + " bytes");
  const std::string_view body =
      nameEnd == std::string_view::npos ? std::string_view() : afterHeader.substr(nameEnd + 1);

  // The values: whitespace-separated numbers read by stream extraction in the
  // classic locale, so a host's locale cannot change the decimal point.
  std::istringstream in{std::string(body)};
  in.imbue(std::locale::classic());
  std::array<double, kNumParams> values{};
  for (std::size_t i = 0; i < n; ++i) {
    const auto what = [i] { return "value " + std::to_string(i + 1) + " (\"" + kParamSpecs[i].name + "\")"; };
    double v = 0.0;
    if (!(in >> v)) return Fail(reason, what() + " is missing or not a number");
    if (!std::isfinite(v)) return Fail(reason, what() + " is not finite");
    if (v < minValues[i] || v > maxValues[i])
      return Fail(reason, what() + " " + Number(v) + " is outside " + Number(minValues[i]) + ".." +
                              Number(maxValues[i]));
    values[i] = v;
  }
  std::string word;
  if (in >> word) {
    constexpr std::size_t kShownBytes = 32;
    if (word.size() > kShownBytes) word = word.substr(0, kShownBytes) + "...";
    return Fail(reason, "text after the last value: \"" + word + "\"");
  }

  nameOut.assign(name);
  std::copy_n(values.begin(), n, valuesOut);
  return true;
}

// The whole file, when it is a regular file that opens, its size is known and
// at most kMaxPatchFileBytes, and it reads completely. The type is looked at
// before opening: a FIFO would make the open wait for a writer.
bool ReadPatchFileText(const char* path, std::string& text, std::string* reason) {
  if (path == nullptr || *path == '\0') return Fail(reason, "no file name");
  std::filesystem::path native;
  if (!fw::PathFromUtf8(path, native)) return Fail(reason, "the file name is not UTF-8 text");
  std::error_code ec;
  const std::filesystem::file_type type = std::filesystem::status(native, ec).type();
  if (type == std::filesystem::file_type::directory) return Fail(reason, "the path is a folder");
  if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found &&
      type != std::filesystem::file_type::none)
    return Fail(reason, "not a regular file");
  std::ifstream file(native, std::ios::binary);
  if (!file) return Fail(reason, "cannot open the file");
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0) return Fail(reason, "cannot determine the file's size");
  if (size > static_cast<std::streamoff>(kMaxPatchFileBytes))
    return Fail(reason, "the file is larger than " + std::to_string(kMaxPatchFileBytes) + " bytes");
  file.seekg(0, std::ios::beg);
  std::string buffer(static_cast<std::size_t>(size), '\0');
  if (!file.read(buffer.data(), size) || file.gcount() != size) return Fail(reason, "cannot read the file");
  text = std::move(buffer);
  return true;
}

// ---- Safe replacement of a file ---------------------------------------------------

// Splits at the last directory separator: "dir/" and "name".
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
#ifdef _WIN32
  const std::size_t slash = path.find_last_of("/\\:");
#else
  const std::size_t slash = path.rfind('/');
#endif
  dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes a file named by UTF-8 text; errors are of no interest here.
void RemoveFile(const std::string& path) {
  std::filesystem::path native;
  std::error_code ec;
  if (fw::PathFromUtf8(path, native)) std::filesystem::remove(native, ec);
}

// Creates a new, hidden file beside path, opened for binary writing. Paths
// are UTF-8; on Windows the file is created through the wide call.
std::FILE* CreateTempBeside(const std::string& path, std::string& tempPath) {
  std::string dir, name;
  SplitPath(path, dir, name);
  // The temporary name ("." + name + ".tmp-xxxxxxxx") must fit the file
  // system's 255 bytes whenever the name itself does: a long name is cut, at a
  // whole UTF-8 character.
  constexpr size_t kMaxNameBytes = 255;
  constexpr size_t kDecorationBytes = 1 + 13;
  if (name.size() > kMaxNameBytes - kDecorationBytes) {
    size_t cut = kMaxNameBytes - kDecorationBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp-%08x", static_cast<unsigned>(random()));
    tempPath = dir + "." + name + suffix;
    std::filesystem::path native;
    if (!fw::PathFromUtf8(tempPath, native)) return nullptr;
#ifdef _WIN32
    const int fd = _wopen(native.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
#ifdef _WIN32
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
#else
    // A replaced file keeps its permissions.
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) (void)fchmod(fd, existing.st_mode & 07777);
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
#endif
    if (file == nullptr) RemoveFile(tempPath);
    return file;
  }
  return nullptr;
}

bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool MoveOnto(const std::string& from, const std::string& to) {
  std::filesystem::path nativeFrom, nativeTo;
  if (!fw::PathFromUtf8(from, nativeFrom) || !fw::PathFromUtf8(to, nativeTo)) return false;
#ifdef _WIN32
  return MoveFileExW(nativeFrom.c_str(), nativeTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(nativeFrom.c_str(), nativeTo.c_str()) == 0;
#endif
}

// Writes text to a temporary file beside path and moves it onto path once it
// is complete and on disk: path holds either its old content or the new one,
// never a part.
bool WriteFileReplacing(const std::string& path, const std::string& text) {
  std::string tempPath;
  std::FILE* file = CreateTempBeside(path, tempPath);
  if (file == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = ok && FlushToDisk(file);
  ok = (std::fclose(file) == 0) && ok;
  ok = ok && MoveOnto(tempPath, path);
  if (!ok) RemoveFile(tempPath);
  return ok;
}

}  // namespace

template <std::size_t N>
  requires(N == kNumParams)
std::string FormatPatchText(std::string name, const std::array<double, N>& values) {
  if (name.size() > kMaxPatchNameBytes) name.resize(kMaxPatchNameBytes);
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  std::string text = HeaderLine(N) + "\n" + name + "\n";
  for (const double v : values) {
    // 17 significant digits in the g notation, as printf's "%.17g" in the C
    // locale: enough to give every double back exactly.
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
    text.append(buf, result.ptr);
    text += '\n';
  }
  return text;
}

template <std::size_t N>
  requires(N >= kMinPatchFileValues && N <= kNumParams)
bool ParsePatchText(std::string_view text, std::string& name, std::array<double, N>& values,
                    const std::array<double, N>& minValues, const std::array<double, N>& maxValues,
                    std::string* reason) {
  return ParsePatchTextN(text, N, name, values.data(), minValues.data(), maxValues.data(), reason, nullptr);
}

template <std::size_t N>
  requires(N == kNumParams)
bool SavePatchFile(const char* path, std::string name, const std::array<double, N>& values) {
  if (path == nullptr || *path == '\0' || name.empty()) return false;
  // A value no reader would take back is not written.
  if (!std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); })) return false;
  return WriteFileReplacing(path, FormatPatchText<N>(std::move(name), values));
}

template <std::size_t N>
  requires(N >= kMinPatchFileValues && N <= kNumParams)
bool LoadPatchFile(const char* path, std::string& name, std::array<double, N>& values,
                   const std::array<double, N>& minValues, const std::array<double, N>& maxValues,
                   std::string* reason) {
  std::string text;
  if (!ReadPatchFileText(path, text, reason)) return false;
  return ParsePatchText<N>(text, name, values, minValues, maxValues, reason);
}

template std::string FormatPatchText<kNumParams>(std::string, const std::array<double, kNumParams>&);
template bool SavePatchFile<kNumParams>(const char*, std::string, const std::array<double, kNumParams>&);
template bool ParsePatchText<59>(std::string_view, std::string&, std::array<double, 59>&,
                                 const std::array<double, 59>&, const std::array<double, 59>&, std::string*);
template bool ParsePatchText<58>(std::string_view, std::string&, std::array<double, 58>&,
                                 const std::array<double, 58>&, const std::array<double, 58>&, std::string*);
template bool ParsePatchText<57>(std::string_view, std::string&, std::array<double, 57>&,
                                 const std::array<double, 57>&, const std::array<double, 57>&, std::string*);
template bool LoadPatchFile<59>(const char*, std::string&, std::array<double, 59>&, const std::array<double, 59>&,
                                const std::array<double, 59>&, std::string*);
template bool LoadPatchFile<58>(const char*, std::string&, std::array<double, 58>&, const std::array<double, 58>&,
                                const std::array<double, 58>&, std::string*);
template bool LoadPatchFile<57>(const char*, std::string&, std::array<double, 57>&, const std::array<double, 57>&,
                                const std::array<double, 57>&, std::string*);

bool ReadPatchFile(const char* path, std::string& name, std::array<double, kNumParams>& values,
                   std::string* reason) {
  std::string text;
  if (!ReadPatchFileText(path, text, reason)) return false;

  // Newest version first; each older one leaves its missing parameters at
  // their defaults. The reason reported is that of the version the header names.
  std::array<double, kNumParams> parsed = ParamDefaults<kNumParams>();
  constexpr std::array<double, kNumParams> kMin = ParamMinima<kNumParams>();
  constexpr std::array<double, kNumParams> kMax = ParamMaxima<kNumParams>();
  std::string parsedName;
  static_assert(kNumParams == 59, "the versions below are the parameter counts patch files have had");
  for (const std::size_t n : {std::size_t{59}, std::size_t{58}, std::size_t{57}}) {
    bool headerMatched = false;
    std::string why;
    if (ParsePatchTextN(text, n, parsedName, parsed.data(), kMin.data(), kMax.data(), &why, &headerMatched)) {
      name = std::move(parsedName);
      values = parsed;
      return true;
    }
    if (headerMatched) return Fail(reason, why);
  }
  return Fail(reason, "the first line is not \"" + HeaderLine(kNumParams) + "\" (nor 58 or 57)");
}

// ---- Factory bank ---------------------------------------------------------------

namespace {

// Display texts of the sync parameters, by index.
enum SyncDivision { kSyncFree = 0, kSync16th, kSync8th, kSyncDotted8th, kSyncQuarter, kSyncHalf };
constexpr double kOff = 0.0;

constexpr bool TextIs(int param, int value, std::string_view text) {
  const TextList& t = kParamSpecs[static_cast<std::size_t>(param)].texts;
  return value >= 0 && value < t.count && std::string_view(t.items[value]) == text;
}
// The engine's enumerations name the same values as the parameters' texts.
static_assert(TextIs(kVoiceMode, kSplit, "Split") && TextIs(kVoiceMode, kMono, "Mono") &&
              TextIs(kVoiceMode, kPoly, "Poly"));
static_assert(TextIs(kOsc1Wave, kBlend, "Blend") && TextIs(kOsc1Wave, kSaw, "Saw") &&
              TextIs(kOsc1Wave, kPulse, "Pulse") && TextIs(kOsc1Wave, kTriangle, "Triangle") &&
              TextIs(kOsc1Wave, kSine, "Sine") && TextIs(kOsc1Wave, kFold, "Fold") &&
              TextIs(kOsc1Wave, kHollow, "Hollow"));
static_assert(TextIs(kSpaceSync, kSyncFree, "Free") && TextIs(kSpaceSync, kSync16th, "1/16") &&
              TextIs(kSpaceSync, kSync8th, "1/8") && TextIs(kSpaceSync, kSyncDotted8th, "Dotted 1/8") &&
              TextIs(kSpaceSync, kSyncQuarter, "1/4") && TextIs(kSpaceSync, kSyncHalf, "1/2"));
static_assert(TextIs(kFatOn, static_cast<int>(kOff), "off"));

struct FactorySetting {
  int param = -1;  // -1: unused entry
  double value = 0.0;
};

// The largest row ("Clean Mono", "Glass Keys") sets 15 parameters.
constexpr int kMaxFactorySettings = 15;

struct FactoryRow {
  const char* name;
  FactorySetting settings[kMaxFactorySettings];
};

// One row per patch, as in the design's table: every parameter not named keeps
// the base value (the defaults, for the bank).
constexpr FactoryRow kFactoryRows[kNumFactoryPatches] = {
    {"Init Vrels", {}},
    {"Interval Glass",
     {{kColor, 71}, {kCutoff, 75}, {kSpace, 26}, {kRing, 16}, {kBankMix, 68}, {kSpan, 82}, {kOsc2Wave, kHollow}}},
    {"Filter Teeth",
     {{kColor, 38}, {kRing, 34}, {kResonance, 55}, {kBankMix, 82}, {kBand350, 28}, {kBand700, 100},
      {kBand1k4, 45}, {kBand2k8, 100}, {kFuzz, 22}, {kSpan, 88}}},
    {"Low Wire",
     {{kBody, 76}, {kCutoff, 44}, {kSpace, 0}, {kOsc1Range, -1}, {kOsc2Range, 0}, {kVoiceMode, kMono}, {kFat, 23},
      {kWidth, 3}, {kOsc1Wave, kHollow}}},
    {"Fat Circuit",
     {{kBody, 73}, {kCutoff, 58}, {kVoiceMode, kMono}, {kFat, 55}, {kFuzz, 31}, {kFatTune, 64},
      {kOsc1Wave, kFold}, {kOsc2Wave, kBlend}}},
    {"Hollow Choir",
     {{kSpace, 20}, {kAttack, 110}, {kRelease, 920}, {kBankMix, 62}, {kVoiceMode, kPoly}, {kFat, 9}, {kWidth, 31},
      {kOsc1Wave, kHollow}, {kOsc2Wave, kSine}}},
    {"Fold Bass",
     {{kBody, 70}, {kCutoff, 53}, {kSpace, 0}, {kVoiceMode, kMono}, {kFat, 38}, {kFuzz, 64}, {kFuzzWarmth, 72},
      {kOsc1Wave, kFold}, {kOsc2Wave, kBlend}}},
    {"Old Tape Echo",
     {{kAge, 47}, {kSpace, 39}, {kRelease, 660}, {kBankMix, 44}, {kVoiceMode, kSplit}, {kWidth, 22},
      {kOsc2Wave, kHollow}, {kSpaceSync, kSyncDotted8th}}},
    {"Needle Width",
     {{kCutoff, 66}, {kBankMix, 39}, {kVoiceMode, kPoly}, {kFat, 9}, {kWidth, 58}, {kWidthMotion, 72},
      {kOsc1Wave, kTriangle}, {kOsc2Wave, kBlend}}},
    {"Mono Fuzz",
     {{kBody, 78}, {kCutoff, 47}, {kSpace, 0}, {kVoiceMode, kMono}, {kFat, 48}, {kFuzz, 84}, {kFuzzWarmth, 88},
      {kOsc1Wave, kBlend}, {kOsc2Wave, kPulse}}},
    {"Ring Bend",
     {{kColor, 70}, {kRing, 61}, {kBankMix, 61}, {kVoiceMode, kSplit}, {kFuzz, 25}, {kSpan, 100},
      {kOsc1Wave, kSaw}, {kOsc2Wave, kFold}}},
    {"Poly Haze",
     {{kMotion, 25}, {kSpace, 30}, {kAttack, 75}, {kRelease, 1250}, {kVoiceMode, kPoly}, {kFat, 18}, {kWidth, 38},
      {kOsc1Wave, kHollow}, {kOsc2Wave, kBlend}, {kMotionSync, kSyncHalf}, {kSpaceSync, kSyncQuarter}}},
    {"Bare Circuit",
     {{kColor, 50}, {kCutoff, 80}, {kMotion, 0}, {kSpace, 0}, {kRing, 0}, {kBankMix, 0}, {kVoiceMode, kSplit},
      {kFat, 0}, {kWidth, 0}, {kFuzz, 0}, {kFatOn, kOff}, {kWidthOn, kOff}, {kFuzzOn, kOff}}},
    {"Clean Mono",
     {{kCutoff, 56}, {kSpace, 0}, {kAttack, 5}, {kRelease, 170}, {kOsc2Level, 35}, {kBankMix, 0},
      {kVoiceMode, kMono}, {kFat, 0}, {kWidth, 0}, {kFuzz, 0}, {kFatOn, kOff}, {kWidthOn, kOff}, {kFuzzOn, kOff},
      {kOsc1Wave, kPulse}, {kOsc2Wave, kSine}}},
    {"Glass Keys",
     {{kCutoff, 74}, {kSpace, 10}, {kAttack, 20}, {kRelease, 700}, {kResonance, 8}, {kBankMix, 14},
      {kVoiceMode, kPoly}, {kFat, 0}, {kWidth, 0}, {kFuzz, 0}, {kFatOn, kOff}, {kWidthOn, kOff}, {kFuzzOn, kOff},
      {kOsc1Wave, kTriangle}, {kOsc2Wave, kSine}}},
    {"Vrel Spark",
     {{kCutoff, 72}, {kSpace, 6}, {kRing, 18}, {kResonance, 28}, {kBankMix, 31}, {kVoiceMode, kSplit}, {kFat, 7},
      {kWidth, 9}, {kOsc1Wave, kSaw}, {kOsc2Wave, kPulse}, {kVrelBite, 29}}},
    {"Stereo Dust",
     {{kCutoff, 68}, {kMotion, 42}, {kSpace, 36}, {kAttack, 260}, {kRelease, 1500}, {kVoiceMode, kPoly},
      {kFat, 15}, {kWidth, 72}, {kWidthMotion, 68}, {kOsc1Wave, kTriangle}, {kOsc2Wave, kFold},
      {kMotionSync, kSyncQuarter}}},
    {"Night Keys",
     {{kColor, 34}, {kCutoff, 49}, {kAge, 62}, {kSpace, 24}, {kAttack, 35}, {kRelease, 820}, {kBankMix, 27},
      {kVoiceMode, kPoly}, {kWidth, 24}, {kOsc1Wave, kSine}, {kOsc2Wave, kTriangle}, {kSpaceSync, kSync8th}}},
};

// Every setting names a parameter once and lies in its declared range, whole
// for the stepped kinds, so applying a factory patch never clamps or rounds.
constexpr bool FactoryRowsValid() {
  for (const FactoryRow& row : kFactoryRows) {
    bool seen[kNumParams] = {};
    for (const FactorySetting& s : row.settings) {
      if (s.param < 0) continue;
      if (s.param >= kNumParams || seen[s.param]) return false;
      seen[s.param] = true;
      const ParamSpec& decl = kParamSpecs[static_cast<std::size_t>(s.param)];
      if (s.value < decl.minValue || s.value > decl.maxValue) return false;
      if (decl.kind != ParamKind::Double && s.value != static_cast<double>(static_cast<int>(s.value))) return false;
    }
  }
  return true;
}
static_assert(FactoryRowsValid());

constexpr std::array<const char*, kNumFactoryPatches> FactoryNamesOf(const FactoryRow (&rows)[kNumFactoryPatches]) {
  std::array<const char*, kNumFactoryPatches> names{};
  for (int i = 0; i < kNumFactoryPatches; ++i) names[static_cast<std::size_t>(i)] = rows[i].name;
  return names;
}

}  // namespace

constinit const std::array<const char*, kNumFactoryPatches> kFactoryNames = FactoryNamesOf(kFactoryRows);

std::array<double, kNumParams> MakeFactoryPatch(int index, std::array<double, kNumParams> base) {
  for (const FactorySetting& s : kFactoryRows[WrapFactoryIndex(index)].settings) {
    if (s.param >= 0) base[static_cast<std::size_t>(s.param)] = s.value;
  }
  return base;
}

// ---- The plug-in object's patch operations (main thread) -------------------------

namespace {
constexpr const char* kModifiedMarker = " *";
constexpr const char* kProjectSoundLabel = "Project sound";
}  // namespace

Patch VrelBazzit::CapturePatch() const {
  Patch patch{};
  for (int i = 0; i < kNumParams; ++i)
    if (const fw::IParam* param = GetParam(i)) patch[static_cast<std::size_t>(i)] = param->Value();
  return patch;
}

void VrelBazzit::ApplyPatch(const Patch& patch, const std::string& label) {
  mApplyingPatch = true;
  for (int i = 0; i < kNumParams; ++i) {
    fw::IParam& param = *GetParam(i);
    // Stepped kinds rounded half away from zero, then limited to the range.
    const double plain = param.Constrain(patch[static_cast<std::size_t>(i)]);
    // An editor-originated change: the host is told, the engine follows.
    SendParameterValueFromUI(i, param.ToNormalized(plain));
    // The way through the normalised value can move a continuous value by an
    // ulp (29 % comes back as 28.999999999999996, 110 ms as 110.00000000000001);
    // the patch's own value is the one kept and heard.
    if (param.Value() != plain) {
      param.Set(plain);
      NotifyParamChange(i);
    }
  }
  for (int i = 0; i < kNumParams; ++i)
    if (const fw::IParam* param = GetParam(i)) SendParameterValueFromDelegate(i, param->GetNormalized(), true);
  mApplyingPatch = false;
  mPatchLabel = label;
  RefreshPatchLabel();
}

void VrelBazzit::RefreshPatchLabel() {
  // The controls exist only while the editor is open; its layout sets these
  // pointers and shows the same state right after creating the controls.
  if (mPatchLabelControl != nullptr) mPatchLabelControl->SetStr(mPatchLabel.c_str());
  if (mABSelector != nullptr) {
    // The editor's A/B selector is set to mActiveSlot (and marked dirty) when it shows the other slot.
  }
}

void VrelBazzit::OnParamChangeUI(int /*paramIdx*/, fw::EParamSource source) {
  // Only the user's own edits mark the sound; host automation, state
  // restores, delegate sends and patch application do not.
  if (source != fw::kUI || mApplyingPatch) return;
  if (!mPatchLabel.empty() && mPatchLabel.back() == '*') return;
  mPatchLabel += kModifiedMarker;
  RefreshPatchLabel();
}

void VrelBazzit::SelectAB(int slot) {
  if ((slot != 0 && slot != 1) || slot == mActiveSlot) return;
  if (!mABReady) {
    // The first switch: both variations start as the current sound.
    mABPatches = {CapturePatch(), CapturePatch()};
    mABNames = {mPatchLabel, mPatchLabel};
    mABReady = true;
  }
  mABPatches[static_cast<std::size_t>(mActiveSlot)] = CapturePatch();
  mABNames[static_cast<std::size_t>(mActiveSlot)] = mPatchLabel;
  mActiveSlot = slot;
  ApplyPatch(mABPatches[static_cast<std::size_t>(slot)], mABNames[static_cast<std::size_t>(slot)]);
}

bool VrelBazzit::SavePatch(const char* path) const {
  return SavePatchFile<kNumParams>(path, mPatchLabel, CapturePatch());
}

bool VrelBazzit::LoadPatch(const char* path) {
  std::string name;
  Patch values{};
  if (!ReadPatchFile(path, name, values)) return false;
  ApplyPatch(values, name);
  mABReady = false;
  mActiveSlot = 0;
  RefreshPatchLabel();
  return true;
}

void VrelBazzit::SelectFactoryPatch(int index) {
  const int i = WrapFactoryIndex(index);
  mFactoryIndex = i;
  ApplyPatch(MakeFactoryPatch(i, ParamDefaults<kNumParams>()), kFactoryNames[static_cast<std::size_t>(i)]);
  mABReady = false;
  mActiveSlot = 0;
  RefreshPatchLabel();
}

void VrelBazzit::OnRestoreState() {
  // The restored values already reached the engine (every parameter was
  // notified by the restore itself).
  mPatchLabel = kProjectSoundLabel;
  mABReady = false;
  mActiveSlot = 0;
  RefreshPatchLabel();
  for (int i = 0; i < kNumParams; ++i)
    if (const fw::IParam* param = GetParam(i)) SendParameterValueFromDelegate(i, param->GetNormalized(), true);
}

}  // namespace vrelbazzit
