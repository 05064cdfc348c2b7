#include "PatchArgs.h"

#include <unistd.h>

#include <cctype>
#include <charconv>

#include "FileChecks.h"
#include "plugin/patches.h"

namespace vbrender {
namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool ResolveFactoryArg(const std::string& text, int& index, std::string& error) {
  const std::string range = "0.." + std::to_string(vrelbazzit::kNumFactoryPatches - 1);
  if (AllDigits(text)) {
    int n = -1;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || ptr != text.data() + text.size() || n >= vrelbazzit::kNumFactoryPatches) {
      error = "--factory " + text + ": no factory patch with that index (" + range + ")";
      return false;
    }
    index = n;
    return true;
  }
  for (int i = 0; i < vrelbazzit::kNumFactoryPatches; ++i) {
    if (EqualsNoCase(text, vrelbazzit::kFactoryNames[static_cast<size_t>(i)])) {
      index = i;
      return true;
    }
  }
  error = "--factory \"" + text + "\": not a factory patch name nor an index " + range;
  return false;
}

bool ChooseStartingSound(const std::optional<std::string>& patchFile, const std::optional<std::string>& factory,
                         StartingSound& out, std::string& error) {
  StartingSound sound;
  sound.values = vrelbazzit::ParamDefaults<vrelbazzit::kNumParams>();
  sound.name = vrelbazzit::kFactoryNames[0];
  if (patchFile) {
    // The type first, without blocking: the patch reader would wait forever
    // on a FIFO and cannot tell a folder from an unreadable file.
    const int fd = OpenRegularFile(*patchFile, error);
    if (fd < 0) {
      error = "--patch: " + error;
      return false;
    }
    close(fd);
    std::string reason;
    if (!vrelbazzit::ReadPatchFile(patchFile->c_str(), sound.name, sound.values, &reason)) {
      error = "cannot load patch \"" + *patchFile + "\": " + reason;
      return false;
    }
    sound.fromPatch = true;
  } else if (factory) {
    int index = 0;
    if (!ResolveFactoryArg(*factory, index, error)) return false;
    sound.values = vrelbazzit::MakeFactoryPatch(index, sound.values);
    sound.name = vrelbazzit::kFactoryNames[static_cast<size_t>(index)];
    sound.fromPatch = true;
  }
  out = std::move(sound);
  return true;
}

std::string SavedPatchName(const std::string& startName, bool edited) {
  if (!edited || (!startName.empty() && startName.back() == '*')) return startName;
  return startName + " *";
}

}  // namespace vbrender
