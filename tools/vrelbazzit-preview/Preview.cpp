// The --svg mode of vrelbazzit-preview (see Preview.h).
#include "Preview.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "framework/graphics/svg/Draw.h"

namespace vrelbazzit::preview {

namespace {
constexpr int kMaxSide = 16384;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  auto number = [](const char* first, const char* last, int& v) {
    auto [ptr, ec] = std::from_chars(first, last, v);
    return ec == std::errc() && ptr == last && v > 0 && v <= kMaxSide;
  };
  return number(text.data(), text.data() + x, width) && number(text.data() + x + 1, text.data() + text.size(), height);
}

int RenderSvg(const SvgOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  const fw::svg::Document doc = fw::svg::Document::Load(options.svgPath, &error);
  if (!doc.Valid()) {
    err << "vrelbazzit-preview: " << error << "\n";
    return 1;
  }
  int width = options.width, height = options.height;
  if (width == 0 || height == 0) {
    width = static_cast<int>(std::lround(doc.Width()));
    height = static_cast<int>(std::lround(doc.Height()));
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
      err << "vrelbazzit-preview: " << options.svgPath << " has no usable size of its own; give --size WxH\n";
      return 1;
    }
  }
  fw::offscreen::OffscreenCanvas canvas;
  if (!canvas.Create(width, height, &error)) {
    err << "vrelbazzit-preview: no headless OpenGL canvas: " << error << "\n";
    return 1;
  }
  fw::svg::GradientTextures textures;
  textures.Create(canvas.Vg(), doc);
  canvas.BeginFrame();
  fw::svg::DrawSvg(canvas.Vg(), doc, &textures, 0, 0, static_cast<float>(width), static_cast<float>(height));
  canvas.EndFrame();
  if (!fw::offscreen::WritePng(options.outPath, width, height, canvas.ReadStraight(), &error)) {
    err << "vrelbazzit-preview: " << error << "\n";
    return 1;
  }
  out << "wrote " << options.outPath << " (" << width << "x" << height << ")\n";
  return 0;
}

}  // namespace vrelbazzit::preview
