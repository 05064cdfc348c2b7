// vrelbazzit-preview: draws skin art as the plug-in does, without a host.
//   --svg FILE [--size WxH] --out PNG    one SVG file through our renderer
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
  app.add_option("--out,-o", svg.outPath, "the PNG file to write")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!size.empty() && !ParseSize(size, svg.width, svg.height)) {
    std::cerr << "vrelbazzit-preview: --size wants WxH with two whole numbers from 1 to 16384, not \"" << size << "\"\n";
    return 2;
  }
  if (svgOption->count() > 0) return RenderSvg(svg, std::cout, std::cerr);
  std::cerr << "vrelbazzit-preview: nothing to draw: give --svg FILE\n";
  return 2;
}
