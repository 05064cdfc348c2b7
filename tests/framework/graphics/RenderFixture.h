// Shared pieces of the drawing tests: a headless canvas, drawing one SVG
// into it, and reading pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "framework/graphics/svg/Draw.h"

namespace vbtest {

struct Rgba {
  int r = 0, g = 0, b = 0, a = 0;
};

// A premultiplied RGBA picture, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> px;

  Rgba At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
    return {px[i], px[i + 1], px[i + 2], px[i + 3]};
  }
};

// Parses `svgText` and draws it into (x, y, w, h) of a fresh canvas of
// canvasW x canvasH pixels, after `setup` has set the NanoVG transform.
template <typename Setup>
Picture DrawSvgText(const std::string& svgText, int canvasW, int canvasH, float x, float y, float w, float h,
                    Setup&& setup) {
  Picture pic;
  fw::svg::Document doc = fw::svg::Document::Parse(svgText);
  EXPECT_TRUE(doc.Valid()) << svgText;
  fw::offscreen::OffscreenCanvas canvas;
  std::string error;
  if (!canvas.Create(canvasW, canvasH, &error)) {
    ADD_FAILURE() << "headless canvas: " << error;
    return pic;
  }
  fw::svg::GradientTextures textures;
  textures.Create(canvas.Vg(), doc);
  canvas.BeginFrame();
  setup(canvas.Vg());
  fw::svg::DrawSvg(canvas.Vg(), doc, &textures, x, y, w, h);
  canvas.EndFrame();
  pic.width = canvasW;
  pic.height = canvasH;
  pic.px = canvas.ReadPremultiplied();
  return pic;
}

inline Picture DrawSvgText(const std::string& svgText, int canvasW, int canvasH) {
  return DrawSvgText(svgText, canvasW, canvasH, 0, 0, static_cast<float>(canvasW), static_cast<float>(canvasH),
                     [](NVGcontext*) {});
}

}  // namespace vbtest
