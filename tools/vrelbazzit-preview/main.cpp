// vrelbazzit-preview: draws skin art as the plug-in does, without a host.
//   --svg FILE [--size WxH] --out PNG    one SVG file through our renderer
//   --screenshot PNG [--scale S] [--skin PATH]
//                                        the editor, drawn once without a host
// Each mode is a function of Preview.h; a mode is chosen by its option.
#include <CLI/CLI.hpp>
#include <iostream>

#include "Preview.h"

int main(int argc, char** argv) {
  using namespace vrelbazzit::preview;
  CLI::App app{"vrelbazzit-preview: draws skin art as the plug-in draws it"};
  SvgOptions svg;
  std::string size;
  auto* svgOption = app.add_option("--svg", svg.svgPath, "an SVG file to draw with the plug-in's renderer")
                        ->check(CLI::ExistingFile);
  app.add_option("--size", size, "picture size WxH in pixels (default: the drawing's own size)");
  auto* outOption = app.add_option("--out,-o", svg.outPath, "the PNG file to write (--svg)");
  ScreenshotOptions shot;
  auto* shotOption = app.add_option("--screenshot", shot.outPath, "writes the editor as a PNG file");
  auto* scaleOption = app.add_option("--scale", shot.scale, "the editor's scale for --screenshot (default 1)");
  auto* skinOption = app.add_option("--skin", shot.skinPath, "a skin file for --screenshot")->check(CLI::ExistingFile);
  shotOption->excludes(app.get_option("--svg"));
  scaleOption->needs(shotOption);
  skinOption->needs(shotOption);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!size.empty() && !ParseSize(size, svg.width, svg.height)) {
    std::cerr << "vrelbazzit-preview: --size wants WxH with two whole numbers from 1 to 16384, not \"" << size << "\"\n";
    return 2;
  }
  if (shotOption->count() > 0) return RenderScreenshot(shot, std::cout, std::cerr);
  if (svgOption->count() > 0) {
    if (outOption->count() == 0) {
      std::cerr << "vrelbazzit-preview: --svg needs --out PNG\n";
      return 2;
    }
    return RenderSvg(svg, std::cout, std::cerr);
  }
  std::cerr << "vrelbazzit-preview: nothing to draw: give --svg FILE or --screenshot PNG\n";
  return 2;
}
