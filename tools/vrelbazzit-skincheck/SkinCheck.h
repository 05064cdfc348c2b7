// The skin checker: loads a skin file with the skin loader and reports either
// the loader's message or what the editor would take from the skin (its
// settings and the file behind every image name the editor asks for).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vrelbazzit::skincheck {

// One image name the editor asks for, and when.
struct AssetName {
  std::string name;
  const char* use;  // "required", "alternate", "standard layout" or "case layout"
};

// "knob-X-Y" of a case-layout knob: its centre rounded half away from zero.
std::string CaseKnobImageName(float centreX, float centreY);

// Every image name the editor asks for: the required ones in the loader's
// order, the two alternates, then the optional ones of each layout.
std::vector<AssetName> EditorAssetNames();

// Checks the skin file at path. Success: the report goes to out, result 0.
// Failure: the loader's message and a line end go to err, result 1.
int RunSkinCheck(const char* path, std::ostream& out, std::ostream& err);

}  // namespace vrelbazzit::skincheck
