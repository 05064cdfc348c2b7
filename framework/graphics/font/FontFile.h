// Finding and reading the editor's font file. The build copies
// "Roboto-Regular.ttf" (Debian's fonts-roboto) into the bundle's
// Contents/Resources; the plug-in finds it there from its own module file.
// A font that cannot be found or read is reported by the result, never by
// failing: the caller draws without it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fw::font {

inline constexpr const char* kEditorFontName = "Roboto-Regular";
inline constexpr const char* kEditorFontFile = "Roboto-Regular.ttf";
inline constexpr std::size_t kMaxFontBytes = 32u << 20;

// Contents/Resources of the bundle holding the module that contains this
// code, or "" when the module does not sit in a bundle.
std::string ModuleResourcesDir();

// The folders searched, in order: the module's bundle resources, then the
// system's copy of the editor font (Linux: fonts-roboto's folder).
std::vector<std::string> DefaultFontDirs();

// The path of the first folder's file called fileName, or "" when none has it.
std::string FindFontFile(const std::string& fileName, const std::vector<std::string>& dirs);

// Reads a TrueType or OpenType file; false with a one-line reason when it is
// missing, too large or not a font.
bool ReadFontFile(const std::string& path, std::string& bytes, std::string& error);

}  // namespace fw::font
