// Draws a parsed SVG Document with NanoVG paths, so it stays sharp at every
// scale and under any rotation the caller sets with nvgRotate. Drawing reads
// the document only: no allocation, no file access.
#pragma once

#include <vector>

#include "framework/graphics/svg/Document.h"
#include "nanovg.h"

namespace fw::svg {

// The colour ramps of one document's gradients as images of one NanoVG
// context: a 1024 x 1 ramp per linear gradient, a 256 x 256 picture per
// radial gradient (so multi-stop gradients and focal points need no
// per-frame work). Create them once per document and context.
class GradientTextures {
 public:
  static constexpr int kLinearRampWidth = 1024;
  static constexpr int kRadialSize = 256;

  GradientTextures() = default;
  ~GradientTextures() { Release(); }
  GradientTextures(const GradientTextures&) = delete;
  GradientTextures& operator=(const GradientTextures&) = delete;
  GradientTextures(GradientTextures&& other) noexcept;
  GradientTextures& operator=(GradientTextures&& other) noexcept;

  // Replaces the images held with one per gradient of `doc`. The context
  // must outlive this object or see Release() first.
  void Create(NVGcontext* vg, const Document& doc);
  void Release();
  // Forgets the images without deleting them: their context is already gone.
  void Abandon();
  // The NanoVG image of gradient `index`, or 0.
  int Image(int index) const;
  NVGcontext* Context() const { return vg_; }

 private:
  NVGcontext* vg_ = nullptr;
  std::vector<int> images_;
};

// Draws `doc` into the rectangle (x, y, w, h) of the current NanoVG
// coordinates, fitted by its viewBox and preserveAspectRatio and clipped to
// the rectangle. Gradients use `textures` when given (made for this context
// and document); without them a gradient paints its middle colour. An
// invalid document or an empty rectangle draws nothing.
void DrawSvg(NVGcontext* vg, const Document& doc, const GradientTextures* textures, float x, float y, float w, float h);

// The colour of a gradient at offset t (pad spreading), straight alpha.
Color GradientColorAt(const Gradient& g, float t);

}  // namespace fw::svg
