// libFuzzer target for the patch file reader. Each input is taken as a patch
// file's bytes and checked against the reader's promises:
// - the text reader of every version (59, 58, 57 values) either refuses and
//   leaves its outputs alone, or returns a 1..80-byte name without LF and
//   finite values inside the declared ranges;
// - an accepted patch written back and read again gives the same values;
// - the plug-in's LoadPatch on a file holding the input accepts exactly when
//   one of the versions does; a refusal leaves the sound, the label and the
//   A/B state as they were, an acceptance applies the values (stepped kinds
//   rounded) and shows the file's name.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "plugin/VrelBazzit.h"
#include "plugin/patches.h"
#include "FuzzCheck.h"

namespace {

using namespace vrelbazzit;

constexpr double kSentinel = -12345.0;  // outside every range

template <std::size_t N>
bool CheckTextReader(std::string_view text, std::string& nameOut, std::array<double, N>& valuesOut) {
  constexpr std::array<double, N> kMin = ParamMinima<N>(), kMax = ParamMaxima<N>();
  std::string name = "unchanged";
  std::array<double, N> values;
  values.fill(kSentinel);
  std::string reason;
  const bool ok = ParsePatchText<N>(text, name, values, kMin, kMax, &reason);
  if (!ok) {
    FUZZ_CHECK(name == "unchanged");
    for (double v : values) FUZZ_CHECK(v == kSentinel);
    FUZZ_CHECK(!reason.empty());
    return false;
  }
  FUZZ_CHECK(text.size() <= kMaxPatchFileBytes);
  FUZZ_CHECK(!name.empty() && name.size() <= kMaxPatchNameBytes);
  FUZZ_CHECK(name.find('\n') == std::string::npos);
  for (std::size_t i = 0; i < N; ++i) {
    FUZZ_CHECK(std::isfinite(values[i]));
    FUZZ_CHECK(values[i] >= kMin[i] && values[i] <= kMax[i]);
  }
  nameOut = name;
  valuesOut = values;
  return true;
}

// Writes the accepted values as a 59-value file (missing ones at their
// defaults) and reads them back.
void CheckRoundTrip(const std::string& name, const std::array<double, kNumParams>& values) {
  const std::string text = FormatPatchText<kNumParams>(name, values);
  std::string nameBack;
  std::array<double, kNumParams> back{};
  FUZZ_CHECK(ParsePatchText<kNumParams>(text, nameBack, back, ParamMinima<kNumParams>(), ParamMaxima<kNumParams>()));
  for (std::size_t i = 0; i < values.size(); ++i) FUZZ_CHECK(back[i] == values[i]);
  FUZZ_CHECK(nameBack.size() == name.size());
}

struct Snapshot {
  Patch sound;
  std::string label;
  int slot;
  bool ready;
  int factoryIndex;
  std::array<Patch, 2> abPatches;
  std::array<std::string, 2> abNames;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const VrelBazzit& plug) {
  return {plug.CapturePatch(), plug.PatchLabel(), plug.ActiveSlot(), plug.ABReady(), plug.FactoryIndex(),
          plug.ABPatches(), plug.ABNames()};
}

// One file per process, removed after each input (libFuzzer may end the
// process without running exit handlers).
const std::string& TempPath() {
  static const std::string path = "/tmp/fuzz_patch_reader-" + std::to_string(getpid()) + ".vbpatch";
  return path;
}

bool WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return (std::fclose(f) == 0) && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The newest version that accepts the text decides, older ones filling in defaults.
  std::array<double, kNumParams> expected = ParamDefaults<kNumParams>();
  std::string expectedName;
  std::array<double, 59> v59{};
  std::array<double, 58> v58{};
  std::array<double, 57> v57{};
  std::string n59, n58, n57;
  const bool ok59 = CheckTextReader<59>(text, n59, v59);
  const bool ok58 = CheckTextReader<58>(text, n58, v58);
  const bool ok57 = CheckTextReader<57>(text, n57, v57);
  FUZZ_CHECK(int(ok59) + int(ok58) + int(ok57) <= 1);  // the header names one count
  if (ok59) {
    expected = v59;
    expectedName = n59;
  } else if (ok58) {
    std::copy(v58.begin(), v58.end(), expected.begin());
    expectedName = n58;
  } else if (ok57) {
    std::copy(v57.begin(), v57.end(), expected.begin());
    expectedName = n57;
  }
  const bool accepted = ok59 || ok58 || ok57;
  if (accepted) CheckRoundTrip(expectedName, expected);

  // Through the plug-in, from a file, starting from a state derived from the input.
  static VrelBazzit plug{fw::InstanceInfo{}};
  plug.SelectFactoryPatch(static_cast<int>(size % kNumFactoryPatches));
  plug.SelectAB(1);
  plug.SendParameterValueFromUI(kCutoff, size > 0 ? data[0] / 255.0 : 0.5);
  const Snapshot before = Take(plug);
  if (!WriteFile(TempPath(), data, size)) return 0;
  const bool loaded = plug.LoadPatch(TempPath().c_str());
  std::remove(TempPath().c_str());
  FUZZ_CHECK(loaded == accepted);
  if (!loaded) {
    FUZZ_CHECK(Take(plug) == before);
    return 0;
  }
  FUZZ_CHECK(plug.PatchLabel() == expectedName);
  FUZZ_CHECK(plug.ActiveSlot() == 0 && !plug.ABReady());
  FUZZ_CHECK(plug.FactoryIndex() == before.factoryIndex);
  const Patch sound = plug.CapturePatch();
  for (int i = 0; i < kNumParams; ++i) {
    const fw::IParam& param = *plug.GetParam(i);
    const double v = sound[static_cast<std::size_t>(i)];
    FUZZ_CHECK(v >= param.GetMin() && v <= param.GetMax());
    FUZZ_CHECK(!param.IsStepped() || v == std::round(v));
    FUZZ_CHECK(v == param.Constrain(expected[static_cast<std::size_t>(i)]));
  }
  return 0;
}
