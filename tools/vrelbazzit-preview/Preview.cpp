// The --svg mode of vrelbazzit-preview (see Preview.h).
#include "Preview.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <ostream>

#include "framework/graphics/EditorLifecycle.h"
#include "framework/graphics/IGraphicsNanoVG.h"
#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "framework/graphics/svg/Draw.h"
#include "plugin/VrelBazzit.h"
#include "skins/SkinPack.h"

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

int RenderScreenshot(const ScreenshotOptions& options, std::ostream& out, std::ostream& err) {
  if (!(options.scale >= kMinScreenshotScale && options.scale <= kMaxScreenshotScale)) {
    err << "vrelbazzit-preview: --scale wants a number from 0.334 to 3, not " << options.scale << "\n";
    return 2;
  }
  std::string error;
  VrelBazzit plug(fw::InstanceInfo{});
  if (!options.skinPath.empty()) {
    // Checked here so that a refused file is named instead of silently replaced by a fallback.
    SkinPack pack;
    if (!LoadSkinPack(options.skinPath.c_str(), pack, error)) {
      err << "vrelbazzit-preview: " << options.skinPath << ": " << error << "\n";
      return 1;
    }
    plug.RequestSkinRestore(options.skinPath);
  }
  fw::offscreen::OffscreenCanvas canvas;
  const int width = static_cast<int>(std::lround(kEditorWidth * options.scale));
  const int height = static_cast<int>(std::lround(kEditorHeight * options.scale));
  if (!canvas.Create(width, height, &error)) {
    err << "vrelbazzit-preview: no headless OpenGL canvas: " << error << "\n";
    return 1;
  }
  std::unique_ptr<fw::IGraphics> ui = fw::OpenEditor(plug);
  auto* graphics = dynamic_cast<fw::IGraphicsNanoVG*>(ui.get());
  if (!graphics) {
    err << "vrelbazzit-preview: the plug-in made no editor\n";
    fw::CloseEditor(plug, ui);
    return 1;
  }
  graphics->SetScale(options.scale);
  canvas.BeginFrame();
  graphics->Paint(canvas.Vg(), width, height);
  canvas.EndFrame();
  fw::CloseEditor(plug, ui);
  if (!fw::offscreen::WritePng(options.outPath, width, height, canvas.ReadStraight(), &error)) {
    err << "vrelbazzit-preview: " << error << "\n";
    return 1;
  }
  out << "wrote " << options.outPath << " (" << width << "x" << height << ", skin \"" << plug.Skin().name << "\")\n";
  return 0;
}

}  // namespace vrelbazzit::preview
