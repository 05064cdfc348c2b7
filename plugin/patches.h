// Patches: the text format of patch files (reader and writer), the factory
// bank built from the parameter defaults, and the parameter ranges a patch is
// checked against. The plug-in's own patch operations (capture, apply, A/B,
// label) are members of VrelBazzit, implemented in patches.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "../engine/Params.h"

namespace vrelbazzit {

// ---- Patch files -------------------------------------------------------------

// First line of a patch file: this text, then the number of values.
inline constexpr const char* kPatchHeader = "VRELBAZZIT_PATCH_V1 ";
// Largest patch file read; 59 values of 17 digits need about 1.5 kB.
inline constexpr std::size_t kMaxPatchFileBytes = 8192;
// Longest patch name (the second line), in bytes.
inline constexpr std::size_t kMaxPatchNameBytes = 80;
inline constexpr const char* kPatchFileExtension = "vbpatch";
inline constexpr const char* kPatchFileProposedName = "Vrel Bazzit Patch.vbpatch";

// What the editor shows when a patch operation returns false, in a message
// box with this caption and one OK button. Failures carry no other reason.
inline constexpr const char* kPatchMessageCaption = "Vrel Bazzit";
inline constexpr const char* kSavePatchFailedMessage = "Could not save this patch.";
inline constexpr const char* kLoadPatchFailedMessage = "This patch could not be loaded.";

// Oldest readable file: 57 values ("Master Gain" and "Vrel Bite" came later).
inline constexpr std::size_t kMinPatchFileValues = 57;

// One declared field (default, minimum or maximum) of the first N parameters, in index order.
template <std::size_t N>
  requires(N <= kNumParams)
constexpr std::array<double, N> ParamField(double ParamSpec::*field) {
  std::array<double, N> a{};
  for (std::size_t i = 0; i < N; ++i) a[i] = kParamSpecs[i].*field;
  return a;
}
template <std::size_t N>
constexpr std::array<double, N> ParamDefaults() { return ParamField<N>(&ParamSpec::defaultValue); }
template <std::size_t N>
constexpr std::array<double, N> ParamMinima() { return ParamField<N>(&ParamSpec::minValue); }
template <std::size_t N>
constexpr std::array<double, N> ParamMaxima() { return ParamField<N>(&ParamSpec::maxValue); }

// The file's text: header with N, the name line, N value lines with 17
// significant digits in the g notation, each line ending in LF. The name is
// cut to 80 bytes and its CR and LF bytes become spaces. Locale-independent.
template <std::size_t N>
  requires(N == kNumParams)
std::string FormatPatchText(std::string name, const std::array<double, N>& values);

// Reads the text of a patch file holding N values. The header and name lines
// are strict, the values lenient (any whitespace between them). Every line
// may end in LF or CR LF (a file from a Windows editor). On failure
// returns false, leaves name and values unchanged and, when reason is given,
// says in one line why.
template <std::size_t N>
  requires(N >= kMinPatchFileValues && N <= kNumParams)
bool ParsePatchText(std::string_view text, std::string& name, std::array<double, N>& values,
                    const std::array<double, N>& minValues, const std::array<double, N>& maxValues,
                    std::string* reason = nullptr);

// Writes a patch file; the path is UTF-8 text. False for a null or empty path
// or an empty name (no file touched) and when the file cannot be written. The text goes to a
// temporary file beside path that replaces path only once it is complete, so
// a failed save leaves an existing file as it was.
template <std::size_t N>
  requires(N == kNumParams)
bool SavePatchFile(const char* path, std::string name, const std::array<double, N>& values);

// Reads a patch file holding N values; the path is UTF-8 text. False for a
// null or empty path, a folder or special file (never opened, so a FIFO cannot
// block), a file that cannot be read or exceeds 8192 bytes, and
// whatever ParsePatchText refuses; name and values are then unchanged.
template <std::size_t N>
  requires(N >= kMinPatchFileValues && N <= kNumParams)
bool LoadPatchFile(const char* path, std::string& name, std::array<double, N>& values,
                   const std::array<double, N>& minValues, const std::array<double, N>& maxValues,
                   std::string* reason = nullptr);

// Any readable version of a patch file, as the plug-in loads it: 59 values,
// else 58 ("Vrel Bite" at its default), else 57 ("Master Gain" and "Vrel
// Bite" at their defaults), all against the declared ranges. The file is
// read once. On failure name and values are unchanged.
bool ReadPatchFile(const char* path, std::string& name, std::array<double, kNumParams>& values,
                   std::string* reason = nullptr);

// ---- Factory bank --------------------------------------------------------------

inline constexpr int kNumFactoryPatches = 18;
extern const std::array<const char*, kNumFactoryPatches> kFactoryNames;

// index reduced to 0..17 (remainder of the division by 18, made non-negative).
constexpr int WrapFactoryIndex(int index) {
  const int r = index % kNumFactoryPatches;
  return r < 0 ? r + kNumFactoryPatches : r;
}

// base with the settings of factory patch index (wrapped) written over it;
// patch 0 is base unchanged.
std::array<double, kNumParams> MakeFactoryPatch(int index, std::array<double, kNumParams> base);

}  // namespace vrelbazzit
