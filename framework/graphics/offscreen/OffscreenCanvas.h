// A headless OpenGL context with NanoVG, for tests and the preview tool: Mesa's
// software renderer (llvmpipe) through EGL on its surfaceless platform, so no
// X server or GPU is needed. Draw with Vg() between BeginFrame and EndFrame,
// then read the pixels back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nanovg.h"

namespace fw::offscreen {

class OffscreenCanvas {
 public:
  OffscreenCanvas() = default;
  ~OffscreenCanvas();
  OffscreenCanvas(const OffscreenCanvas&) = delete;
  OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

  // Makes a width x height pixel surface with its context current on this
  // thread; false with a one-line reason when no context can be made.
  bool Create(int width, int height, std::string* error = nullptr);

  // A new surface size for the same context (what lives in the context
  // stays, as when a window is resized); false with a one-line reason.
  bool Resize(int width, int height, std::string* error = nullptr);

  NVGcontext* Vg() const { return vg_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Clears to transparent black and starts a NanoVG frame of Width() x Height()
  // units at one pixel per unit. Without `clearStencil` the stencil keeps
  // what it had (as an editor window's does: the editor clears it itself).
  void BeginFrame(bool clearStencil = true);
  void EndFrame();

  // The pixels, top row first, RGBA with premultiplied alpha as drawn.
  std::vector<std::uint8_t> ReadPremultiplied() const;
  // The same with straight alpha, as PNG files hold it.
  std::vector<std::uint8_t> ReadStraight() const;

 private:
  void Destroy();
  void* display_ = nullptr;
  void* surface_ = nullptr;
  void* context_ = nullptr;
  void* config_ = nullptr;
  NVGcontext* vg_ = nullptr;
  int width_ = 0, height_ = 0;
};

// Premultiplied to straight alpha, in place.
void Unpremultiply(std::vector<std::uint8_t>& rgba);
// Straight to premultiplied alpha, in place.
void Premultiply(std::vector<std::uint8_t>& rgba);

// Writes RGBA pixels (straight alpha, top row first) as a PNG file through
// stb_image_write; false with a one-line reason.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
              std::string* error = nullptr);

}  // namespace fw::offscreen
