// The renderer's sound arguments: --factory (a factory patch by index or
// name), --patch (a patch file) and the name --save-patch gives the sound.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/Params.h"

namespace vbrender {

// The sound a render starts from, before any --param.
struct StartingSound {
  std::string name;                               // the patch's name
  std::array<double, vrelbazzit::kNumParams> values{};  // plain values, index order
  bool fromPatch = false;                         // a factory patch or a patch file was chosen
};

// A factory patch: an index 0..17 (digits only; others are refused rather
// than wrapped, so a typing mistake is not a different sound) or a name,
// regardless of case. On failure error holds one line.
bool ResolveFactoryArg(const std::string& text, int& index, std::string& error);

// From a patch file (any readable version) or a factory patch; neither gives
// the defaults, named "Init Vrels". On failure error holds one line.
bool ChooseStartingSound(const std::optional<std::string>& patchFile, const std::optional<std::string>& factory,
                         StartingSound& out, std::string& error);

// The name a saved patch carries: the starting sound's, with the modified
// marker " *" when --param changed it (once, as the editor marks an edit).
std::string SavedPatchName(const std::string& startName, bool edited);

}  // namespace vbrender
