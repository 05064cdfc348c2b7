// Replays a Document with NanoVG (see Draw.h).
//
// Fill rules: NanoVG normally turns every subpath to the same orientation,
// which unites the subpaths. For the non-zero rule each subpath is given the
// orientation it has in the file (up to one flip for the whole path, so the
// largest subpath keeps NanoVG's anti-aliased outer edge); NanoVG's stencil
// then counts true winding numbers. For the even-odd rule the stencil counts
// parity instead (fw::nvg::SetEvenOddFill, implemented in vb_nanovg's back
// end). Both are exact for any geometry, crossings included.
#include "framework/graphics/svg/Draw.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/graphics/nanovg/FillRule.h"

namespace fw::svg {

Color GradientColorAt(const Gradient& g, float t) {
  const auto& s = g.stops;
  if (s.empty()) return Color{0, 0, 0, 0};
  if (t <= s.front().offset) return s.front().color;
  if (t >= s.back().offset) return s.back().color;
  std::size_t i = 1;
  while (i < s.size() && s[i].offset < t) ++i;
  const GradientStop& a = s[i - 1];
  const GradientStop& b = s[i];
  const float span = b.offset - a.offset;
  const float f = span > 0 ? (t - a.offset) / span : 1.f;
  return {a.color.r + (b.color.r - a.color.r) * f, a.color.g + (b.color.g - a.color.g) * f,
          a.color.b + (b.color.b - a.color.b) * f, a.color.a + (b.color.a - a.color.a) * f};
}

namespace {

void PutPremultiplied(unsigned char* px, const Color& c) {
  const float a = std::clamp(c.a, 0.f, 1.f);
  px[0] = static_cast<unsigned char>(std::lround(std::clamp(c.r, 0.f, 1.f) * a * 255.f));
  px[1] = static_cast<unsigned char>(std::lround(std::clamp(c.g, 0.f, 1.f) * a * 255.f));
  px[2] = static_cast<unsigned char>(std::lround(std::clamp(c.b, 0.f, 1.f) * a * 255.f));
  px[3] = static_cast<unsigned char>(std::lround(a * 255.f));
}

// Half the side of the square a radial picture covers, relative to r: a
// little more than r, so that the edge texels NanoVG clamps to lie outside
// the circle and carry the last stop's colour.
constexpr float kRadialCover = 1.f + 2.f / static_cast<float>(GradientTextures::kRadialSize);

// The gradient offset of point (x, y) for a radial gradient: the t whose
// circle, centred at focus + t (centre - focus) with radius t r, passes
// through the point.
float RadialOffset(const Gradient& g, float x, float y) {
  const double qx = x - g.fx, qy = y - g.fy, ex = g.cx - g.fx, ey = g.cy - g.fy;
  const double a = ex * ex + ey * ey - static_cast<double>(g.r) * g.r;  // < 0: focus inside
  const double qe = qx * ex + qy * ey, qq = qx * qx + qy * qy;
  if (a > -1e-12) return 1.f;
  const double disc = std::max(0.0, qe * qe - a * qq);
  return static_cast<float>((qe - std::sqrt(disc)) / a);
}

Transform ToTransform(const float* t) { return {t[0], t[1], t[2], t[3], t[4], t[5]}; }

NVGcolor ToNvg(const Color& c, float alphaScale = 1.f) { return nvgRGBAf(c.r, c.g, c.b, c.a * alphaScale); }

// The paint of a gradient for a shape, in the shape's coordinates.
NVGpaint GradientPaint(NVGcontext* vg, const Document& doc, const Shape& shape, const Paint& paint,
                       const GradientTextures* textures) {
  const Gradient& g = doc.Gradients()[static_cast<std::size_t>(paint.gradient)];
  const int image = textures ? textures->Image(paint.gradient) : 0;
  bool degenerate = g.kind == Gradient::Kind::Linear ? (g.x1 == g.x2 && g.y1 == g.y2) : !(g.r > 0);
  if (degenerate) {  // paints the last stop's colour
    NVGpaint p = nvgLinearGradient(vg, 0, 0, 1, 0, ToNvg(g.stops.back().color, paint.opacity),
                                   ToNvg(g.stops.back().color, paint.opacity));
    return p;
  }
  if (image == 0) {
    const Color mid = GradientColorAt(g, 0.5f);
    return nvgLinearGradient(vg, 0, 0, 1, 0, ToNvg(mid, paint.opacity), ToNvg(mid, paint.opacity));
  }
  const Transform units = g.userSpace ? Transform{}
                                      : Transform{shape.bboxW, 0, 0, shape.bboxH, shape.bboxX, shape.bboxY};
  Transform ramp;
  if (g.kind == Gradient::Kind::Linear) {
    // Texel i of N holds offset i / (N - 1); map the image's unit square so that
    // texel centres land on their offsets along x1,y1 -> x2,y2.
    const float n = static_cast<float>(GradientTextures::kLinearRampWidth);
    const float dx = g.x2 - g.x1, dy = g.y2 - g.y1;
    ramp = {dx * n / (n - 1), dy * n / (n - 1), -dy, dx, g.x1 - 0.5f / (n - 1) * dx, g.y1 - 0.5f / (n - 1) * dy};
  } else {
    const float half = g.r * kRadialCover;
    ramp = {2 * half, 0, 0, 2 * half, g.cx - half, g.cy - half};
  }
  const Transform m = units.Then(g.transform).Then(ramp);
  NVGpaint p = nvgImagePattern(vg, 0, 0, 1, 1, 0, image, paint.opacity);
  p.xform[0] = m.a;
  p.xform[1] = m.b;
  p.xform[2] = m.c;
  p.xform[3] = m.d;
  p.xform[4] = m.e;
  p.xform[5] = m.f;
  return p;
}

// Adds a path range to NanoVG's current path. With `windings` each subpath
// keeps its own orientation (see the note at the top).
void EmitPath(NVGcontext* vg, const Document& doc, const PathRange& r, bool windings, float determinant) {
  const Verb* verbs = doc.Verbs().data() + r.firstVerb;
  const Point* pts = doc.Points().data() + r.firstPoint;
  const float* areas = doc.SubpathAreas().data() + r.firstSubpath;
  float flip = 1;
  if (windings) {
    std::uint32_t largest = 0;
    for (std::uint32_t i = 1; i < r.subpathCount; ++i)
      if (std::fabs(areas[i]) > std::fabs(areas[largest])) largest = i;
    // NanoVG's signed area is the negative of ours (after the transform).
    flip = -areas[largest] * determinant >= 0 ? 1.f : -1.f;
  }
  std::uint32_t sub = 0;
  for (std::uint32_t i = 0; i < r.verbCount; ++i) {
    switch (verbs[i]) {
      case Verb::MoveTo:
        nvgMoveTo(vg, pts->x, pts->y);
        ++pts;
        if (windings && sub < r.subpathCount) {
          nvgPathWinding(vg, flip * -areas[sub] * determinant >= 0 ? NVG_CCW : NVG_CW);
          ++sub;
        }
        break;
      case Verb::LineTo:
        nvgLineTo(vg, pts->x, pts->y);
        ++pts;
        break;
      case Verb::CubicTo:
        nvgBezierTo(vg, pts[0].x, pts[0].y, pts[1].x, pts[1].y, pts[2].x, pts[2].y);
        pts += 3;
        break;
      case Verb::Close:
        nvgClosePath(vg);
        break;
    }
  }
}

int NvgCap(LineCap c) { return c == LineCap::Round ? NVG_ROUND : (c == LineCap::Square ? NVG_SQUARE : NVG_BUTT); }
int NvgJoin(LineJoin j) { return j == LineJoin::Round ? NVG_ROUND : (j == LineJoin::Bevel ? NVG_BEVEL : NVG_MITER); }

}  // namespace

GradientTextures::GradientTextures(GradientTextures&& other) noexcept
    : vg_(std::exchange(other.vg_, nullptr)), images_(std::move(other.images_)) {}

GradientTextures& GradientTextures::operator=(GradientTextures&& other) noexcept {
  if (this != &other) {
    Release();
    vg_ = std::exchange(other.vg_, nullptr);
    images_ = std::move(other.images_);
  }
  return *this;
}

void GradientTextures::Create(NVGcontext* vg, const Document& doc) {
  Release();
  vg_ = vg;
  std::vector<unsigned char> pixels;
  for (const Gradient& g : doc.Gradients()) {
    int image = 0;
    if (g.kind == Gradient::Kind::Linear) {
      const int n = kLinearRampWidth;
      pixels.assign(static_cast<std::size_t>(n) * 4, 0);
      for (int i = 0; i < n; ++i)
        PutPremultiplied(&pixels[static_cast<std::size_t>(i) * 4], GradientColorAt(g, static_cast<float>(i) / (n - 1)));
      image = nvgCreateImageRGBA(vg, n, 1, NVG_IMAGE_PREMULTIPLIED, pixels.data());
    } else {
      const int n = kRadialSize;
      pixels.assign(static_cast<std::size_t>(n) * n * 4, 0);
      const float half = g.r * kRadialCover;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          const float x = g.cx - half + (static_cast<float>(i) + 0.5f) * 2 * half / n;
          const float y = g.cy - half + (static_cast<float>(j) + 0.5f) * 2 * half / n;
          PutPremultiplied(&pixels[(static_cast<std::size_t>(j) * n + static_cast<std::size_t>(i)) * 4],
                           GradientColorAt(g, RadialOffset(g, x, y)));
        }
      image = nvgCreateImageRGBA(vg, n, n, NVG_IMAGE_PREMULTIPLIED, pixels.data());
    }
    images_.push_back(image);
  }
}

void GradientTextures::Release() {
  if (vg_)
    for (int image : images_)
      if (image > 0) nvgDeleteImage(vg_, image);
  images_.clear();
  vg_ = nullptr;
}

void GradientTextures::Abandon() {
  images_.clear();
  vg_ = nullptr;
}

int GradientTextures::Image(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < images_.size() ? images_[static_cast<std::size_t>(index)] : 0;
}

void DrawSvg(NVGcontext* vg, const Document& doc, const GradientTextures* textures, float x, float y, float w, float h) {
  if (vg == nullptr || !doc.Valid() || !(w > 0 && h > 0)) return;
  if (textures && textures->Context() != vg) textures = nullptr;
  const Transform view = doc.ViewportTransform(x, y, w, h);
  if (!view.IsFinite()) return;
  nvgSave(vg);
  nvgIntersectScissor(vg, x, y, w, h);
  nvgTransform(vg, view.a, view.b, view.c, view.d, view.e, view.f);
  for (const Shape& shape : doc.Shapes()) {
    nvgSave(vg);
    const Transform& t = shape.transform;
    nvgTransform(vg, t.a, t.b, t.c, t.d, t.e, t.f);
    float current[6];
    nvgCurrentTransform(vg, current);
    const float det = ToTransform(current).Determinant();
    bool pathBuilt = false;
    if (shape.fill.kind != Paint::Kind::None) {
      nvgBeginPath(vg);
      EmitPath(vg, doc, shape.fillPath, shape.fillPath.subpathCount > 1, det);
      if (shape.selfOverlapping && shape.fillPath.subpathCount == 1) {
        // A second, empty subpath keeps NanoVG off its convex fan and on the
        // stencil fill, which counts the windings.
        const Point& first = doc.Points()[shape.fillPath.firstPoint];
        nvgMoveTo(vg, first.x, first.y);
      }
      pathBuilt = true;
      if (shape.fill.kind == Paint::Kind::Color) nvgFillColor(vg, ToNvg(shape.fill.color));
      else nvgFillPaint(vg, GradientPaint(vg, doc, shape, shape.fill, textures));
      fw::nvg::SetEvenOddFill(vg, shape.evenOdd);
      nvgFill(vg);
    }
    if (shape.stroke.kind != Paint::Kind::None) {
      const bool samePath = shape.strokePath.firstVerb == shape.fillPath.firstVerb;
      if (!pathBuilt || !samePath) {
        nvgBeginPath(vg);
        EmitPath(vg, doc, shape.strokePath, false, det);
      }
      nvgStrokeWidth(vg, shape.strokeWidth);
      nvgLineCap(vg, NvgCap(shape.cap));
      nvgLineJoin(vg, NvgJoin(shape.join));
      nvgMiterLimit(vg, shape.miterLimit);
      if (shape.stroke.kind == Paint::Kind::Color) nvgStrokeColor(vg, ToNvg(shape.stroke.color));
      else nvgStrokePaint(vg, GradientPaint(vg, doc, shape, shape.stroke, textures));
      nvgStroke(vg);
    }
    nvgRestore(vg);
  }
  nvgRestore(vg);
}

}  // namespace fw::svg
