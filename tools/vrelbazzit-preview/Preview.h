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

struct ScreenshotOptions {
  std::string outPath;
  float scale = 1.f;     // the editor's scale: the picture is 1200 x 900 times this
  std::string skinPath;  // a skin file; "" for the plug-in's own choice
};

// The scales --screenshot accepts: the editor's own scale limits.
inline constexpr float kMinScreenshotScale = 1.f / 3.f;
inline constexpr float kMaxScreenshotScale = 3.f;

// --screenshot: the plug-in object without a host, its editor opened, drawn
// once on a headless canvas at the scale and written as PNG. Returns the exit
// code: 0 written, 1 failed, 2 a bad scale (one line on err naming the problem).
int RenderScreenshot(const ScreenshotOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vrelbazzit::preview
