// vrelbazzit-preview: shows skin art as the plug-in draws it. Each mode is one
// function here; main.cpp only reads the command line.
#pragma once

#include <iosfwd>
#include <string>

namespace vrelbazzit::preview {

struct SvgOptions {
  std::string svgPath;
  std::string outPath;
  int width = 0, height = 0;  // 0 x 0: the drawing's own size
};

// Parses "WxH" (two positive integers up to 16384); false otherwise.
bool ParseSize(const std::string& text, int& width, int& height);

// --svg: draws one SVG file with our renderer into a transparent picture of
// the given size on a headless canvas and writes it as PNG. Returns the exit
// code: 0 written, 1 failed (one line on err naming the problem).
int RenderSvg(const SvgOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vrelbazzit::preview
