// Small value types of the graphics layer: mouse modifiers, the path
// transform, fill patterns, blending, fill and stroke options, and the image
// handles ISVG and IBitmap.
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "IColor.h"
#include "IGraphicsConstants.h"
#include "IRECT.h"

namespace fw {

namespace svg { class Document; }

// Mouse buttons and modifier keys of one mouse event: left and right button,
// Shift, Control, Alt.
struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

// True when the modifiers ask for fine adjustment (Shift or Control).
constexpr bool IsFineControl(const IMouseMod& mod) { return mod.S || mod.C; }

// A 2D affine transform: x' = XX x + XY y + TX, y' = YX x + YY y + TY.
// Translate, Scale and Rotate act in the current (local) frame: they are
// applied to a point before the transform already held, as canvas transforms are.
struct IMatrix {
  double mXX = 1.0, mYX = 0.0, mXY = 0.0, mYY = 1.0, mTX = 0.0, mTY = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx, double yx, double xy, double yy, double tx, double ty)
      : mXX(xx), mYX(yx), mXY(xy), mYY(yy), mTX(tx), mTY(ty) {}

  // this = this x m (m applies first).
  IMatrix& Transform(const IMatrix& m) {
    const IMatrix p = *this;
    mXX = p.mXX * m.mXX + p.mXY * m.mYX;
    mYX = p.mYX * m.mXX + p.mYY * m.mYX;
    mXY = p.mXX * m.mXY + p.mXY * m.mYY;
    mYY = p.mYX * m.mXY + p.mYY * m.mYY;
    mTX = p.mXX * m.mTX + p.mXY * m.mTY + p.mTX;
    mTY = p.mYX * m.mTX + p.mYY * m.mTY + p.mTY;
    return *this;
  }
  IMatrix& Translate(double x, double y) { return Transform(IMatrix(1, 0, 0, 1, x, y)); }
  IMatrix& Scale(double x, double y) { return Transform(IMatrix(x, 0, 0, y, 0, 0)); }
  // Degrees; positive turns clockwise on screen (y grows downwards).
  IMatrix& Rotate(double degrees) {
    const double r = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    return Transform(IMatrix(c, s, -s, c, 0, 0));
  }
  void TransformPoint(double& x, double& y) const {
    const double x0 = x, y0 = y;
    x = mXX * x0 + mXY * y0 + mTX;
    y = mYX * x0 + mYY * y0 + mTY;
  }
  bool operator==(const IMatrix& o) const {
    return mXX == o.mXX && mYX == o.mYX && mXY == o.mXY && mYY == o.mYY && mTX == o.mTX && mTY == o.mTY;
  }
};

// What a path is filled or stroked with: a solid colour, or a two-colour
// linear or radial gradient (start and end point, or centre and radius).
struct IPattern {
  EPatternType mType = EPatternType::Solid;
  std::array<IColor, 2> mColors{COLOR_BLACK, COLOR_BLACK};
  float mX1 = 0.f, mY1 = 0.f, mX2 = 0.f, mY2 = 0.f;  // linear: the two ends; radial: centre, radius in mX2

  IPattern() = default;
  IPattern(const IColor& color) : mColors{color, color} {}  // NOLINT: a colour is a solid pattern
  static IPattern CreateLinearGradient(float x1, float y1, float x2, float y2, const IColor& c1, const IColor& c2) {
    IPattern p;
    p.mType = EPatternType::Linear;
    p.mColors = {c1, c2};
    p.mX1 = x1; p.mY1 = y1; p.mX2 = x2; p.mY2 = y2;
    return p;
  }
  static IPattern CreateRadialGradient(float cx, float cy, float r, const IColor& inner, const IColor& outer) {
    IPattern p;
    p.mType = EPatternType::Radial;
    p.mColors = {inner, outer};
    p.mX1 = cx; p.mY1 = cy; p.mX2 = r;
    return p;
  }
  const IColor& GetStartColor() const { return mColors[0]; }
  bool operator==(const IPattern& o) const {
    return mType == o.mType && mColors == o.mColors && mX1 == o.mX1 && mY1 == o.mY1 && mX2 == o.mX2 && mY2 == o.mY2;
  }
};

// How drawing combines with what is there: a mode and an opacity (0..1).
struct IBlend {
  EBlend mMethod = EBlend::Default;
  float mWeight = 1.f;
  constexpr IBlend() = default;
  constexpr IBlend(EBlend method, float weight = 1.f) : mMethod(method), mWeight(weight) {}
};

struct IFillOptions {
  EFillRule mFillRule = EFillRule::Winding;
  bool mPreserve = false;  // keep the path after filling
};

struct IStrokeOptions {
  ELineJoin mJoin = ELineJoin::Miter;
  ELineCap mCap = ELineCap::Butt;
  float mMiterLimit = 10.f;
  bool mPreserve = false;  // keep the path after stroking
};

// A parsed SVG image: a shared handle to the document (parsed once, drawn by
// the backend) with its width and height in design units. Copies share the
// document. Valid when it holds a document.
class ISVG {
public:
  ISVG() = default;
  ISVG(std::shared_ptr<const svg::Document> doc, float width, float height)
      : mDoc(std::move(doc)), mW(width), mH(height) {}
  bool IsValid() const { return mDoc != nullptr; }
  float W() const { return mW; }
  float H() const { return mH; }
  const std::shared_ptr<const svg::Document>& Document() const { return mDoc; }

private:
  std::shared_ptr<const svg::Document> mDoc;
  float mW = 0.f, mH = 0.f;
};

// A decoded bitmap: the backend's image id (0: none), its size in pixels, the
// scale it was made for (W() and H() are the size in design units), its frame
// count and the name it was loaded from. Valid when it has an id and a size.
class IBitmap {
public:
  static constexpr int kNoImage = 0;

  IBitmap() = default;
  IBitmap(int id, int widthPx, int heightPx, float scale = 1.f, int nFrames = 1, bool framesAreHorizontal = false,
          std::string resourceName = {})
      : mID(id), mW(widthPx), mH(heightPx), mScale(scale > 0.f ? scale : 1.f), mN(nFrames > 0 ? nFrames : 1),
        mFramesAreHorizontal(framesAreHorizontal), mResourceName(std::move(resourceName)) {}

  bool IsValid() const { return mID != kNoImage && mW > 0 && mH > 0; }
  int GetID() const { return mID; }
  int PixelW() const { return mW; }
  int PixelH() const { return mH; }
  float GetScale() const { return mScale; }
  float W() const { return static_cast<float>(mW) / mScale; }
  float H() const { return static_cast<float>(mH) / mScale; }
  int N() const { return mN; }
  bool GetFramesAreHorizontal() const { return mFramesAreHorizontal; }
  const std::string& GetResourceName() const { return mResourceName; }

private:
  int mID = kNoImage;
  int mW = 0, mH = 0;
  float mScale = 1.f;
  int mN = 1;
  bool mFramesAreHorizontal = false;
  std::string mResourceName;
};

}  // namespace fw
