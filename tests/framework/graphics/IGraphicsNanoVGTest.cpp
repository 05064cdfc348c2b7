// The NanoVG graphics context on the headless canvas: shapes, text, SVG and
// bitmaps land where the design puts them, at scales 0.75, 1 and 1.5, probed
// at places derived by hand from the drawing calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "framework/graphics/IGraphicsNanoVG.h"
#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "tests/support/TempDir.h"

namespace {

using fw::IColor;
using fw::IGraphics;
using fw::IRECT;

constexpr int kDesignW = 200, kDesignH = 100;
constexpr float kScales[] = {0.75f, 1.f, 1.5f};

// A control that draws with a function.
class DrawControl : public fw::IControl {
public:
  DrawControl(const IRECT& r, std::function<void(IGraphics&)> draw) : IControl(r), mDraw(std::move(draw)) {}
  void Draw(IGraphics& g) override { mDraw(g); }

private:
  std::function<void(IGraphics&)> mDraw;
};

struct Rgba {
  int r, g, b, a;
};

// One editor of 200 x 100 design units at a scale, painted on a canvas of its pixel size.
class Scene {
public:
  explicit Scene(float scale) : mScale(scale), mGraphics(nullptr, kDesignW, kDesignH, 30, 1.f) {
    mGraphics.SetScaleConstraints(0.5f, 2.f);
    mGraphics.SetScale(scale);
  }
  fw::IGraphicsNanoVG& G() { return mGraphics; }
  void Add(std::function<void(IGraphics&)> draw) { mGraphics.AttachControl(new DrawControl(mGraphics.GetBounds(), std::move(draw))); }

  // Paints and reads back (straight alpha).
  bool Paint(std::string& error) {
    const int w = mGraphics.WindowWidth(), h = mGraphics.WindowHeight();
    if (!mCanvas.Vg() && !mCanvas.Create(w, h, &error)) return false;
    mCanvas.BeginFrame();
    mGraphics.Paint(mCanvas.Vg(), w, h);
    mCanvas.EndFrame();
    mPixels = mCanvas.ReadStraight();
    return true;
  }
  // The pixel under a point in design units.
  Rgba At(float x, float y) const {
    const int px = static_cast<int>(x * mScale), py = static_cast<int>(y * mScale);
    const std::size_t i = (static_cast<std::size_t>(py) * static_cast<std::size_t>(mCanvas.Width()) + static_cast<std::size_t>(px)) * 4;
    return {mPixels[i], mPixels[i + 1], mPixels[i + 2], mPixels[i + 3]};
  }
  // Pixels with any ink inside / outside a design rectangle.
  int Ink(const IRECT& r, bool inside) const {
    int n = 0;
    for (int y = 0; y < mCanvas.Height(); ++y)
      for (int x = 0; x < mCanvas.Width(); ++x) {
        const float dx = (static_cast<float>(x) + 0.5f) / mScale, dy = (static_cast<float>(y) + 0.5f) / mScale;
        const bool in = dx >= r.L && dx < r.R && dy >= r.T && dy < r.B;
        if (in == inside && mPixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(mCanvas.Width()) + static_cast<std::size_t>(x)) * 4 + 3] > 0) ++n;
      }
    return n;
  }
  int PixelW() const { return mCanvas.Width(); }

private:
  float mScale;
  fw::IGraphicsNanoVG mGraphics;
  fw::offscreen::OffscreenCanvas mCanvas;
  std::vector<std::uint8_t> mPixels;
};

void ExpectColor(const Scene& s, float x, float y, const Rgba& want, const std::string& what, int tol = 8) {
  const Rgba got = s.At(x, y);
  EXPECT_TRUE(std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol &&
              std::abs(got.a - want.a) <= tol)
      << what << " at (" << x << ", " << y << "): got " << got.r << "," << got.g << "," << got.b << "," << got.a
      << " want " << want.r << "," << want.g << "," << want.b << "," << want.a;
}

constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kNone{0, 0, 0, 0};

std::string WriteFile(const vbtest::TempDir& dir, const char* name, const std::string& text) {
  const std::string path = dir / name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(IGraphicsNanoVG, ShapesAtTheirPlacesAtEveryScale) {
  for (float scale : kScales) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    Scene s(scale);
    s.Add([](IGraphics& g) {
      g.FillRect(IColor(255, 255, 0, 0), IRECT(10, 10, 50, 50));
      // Corner radius 20: the corner point (61, 11) lies 26.9 from the arc's centre (80, 30).
      g.FillRoundRect(IColor(255, 0, 255, 0), IRECT(60, 10, 120, 90), 20.f);
      // A pie from 12 to 3 o'clock: the upper right quarter of the circle about (160, 50).
      g.FillArc(IColor(255, 0, 0, 255), 160.f, 50.f, 35.f, 0.f, 90.f);
    });
    std::string error;
    ASSERT_TRUE(s.Paint(error)) << error;
    ExpectColor(s, 30, 30, kRed, "rectangle");
    ExpectColor(s, 5, 30, kNone, "left of the rectangle");
    ExpectColor(s, 30, 55, kNone, "below the rectangle");
    ExpectColor(s, 90, 50, kGreen, "round rectangle's middle");
    ExpectColor(s, 62, 50, kGreen, "round rectangle's straight edge");
    ExpectColor(s, 61.5f, 11.5f, kNone, "round rectangle's cut corner");
    ExpectColor(s, 175, 35, kBlue, "pie, upper right");
    ExpectColor(s, 145, 35, kNone, "pie, upper left");
    ExpectColor(s, 175, 65, kNone, "pie, lower right");
    ExpectColor(s, 145, 65, kNone, "pie, lower left");
  }
}

TEST(IGraphicsNanoVG, ArcsStrokeFromTwelveOClockClockwise) {
  for (float scale : kScales) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    Scene s(scale);
    // 90 to 180 degrees: from 3 o'clock to 6 o'clock, the lower right quarter.
    s.Add([](IGraphics& g) { g.DrawArc(IColor(255, 255, 0, 0), 100.f, 50.f, 30.f, 90.f, 180.f, nullptr, 6.f); });
    std::string error;
    ASSERT_TRUE(s.Paint(error)) << error;
    // On the circle at 135 degrees: (100 + 30 sin 135, 50 - 30 cos 135) = (121.2, 71.2).
    ExpectColor(s, 121.2f, 71.2f, kRed, "arc at 135 degrees");
    ExpectColor(s, 78.8f, 28.8f, kNone, "opposite side, 315 degrees");
    ExpectColor(s, 121.2f, 28.8f, kNone, "45 degrees, outside the sweep");
    ExpectColor(s, 100, 50, kNone, "centre");
  }
}

TEST(IGraphicsNanoVG, TextInkStaysInsideItsBoxAndAMissingFontDrawsNothing) {
  for (float scale : kScales) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    Scene s(scale);
    ASSERT_TRUE(s.G().LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
    const IRECT box(40, 20, 160, 80);
    s.Add([box](IGraphics& g) { g.DrawText(fw::IText(40.f, IColor(255, 255, 255, 255)), "Hello", box); });
    std::string error;
    ASSERT_TRUE(s.Paint(error)) << error;
    const float pixelsInBox = box.W() * box.H() * scale * scale;
    EXPECT_GT(s.Ink(box, true), static_cast<int>(0.05f * pixelsInBox));
    EXPECT_EQ(s.Ink(box, false), 0);
    // Centred: the ink's left and right margins in the box are about equal.
    int left = 0, right = 0;
    left = s.Ink(IRECT(box.L, box.T, box.MW(), box.B), true);
    right = s.Ink(IRECT(box.MW(), box.T, box.R, box.B), true);
    EXPECT_NEAR(static_cast<double>(left) / (left + right), 0.5, 0.15);
  }
  Scene noFont(1.f);
  EXPECT_FALSE(noFont.G().LoadFont("Missing", "/no/such/font.ttf"));
  noFont.Add([](IGraphics& g) { g.DrawText(fw::IText(40.f, IColor(255, 255, 255, 255)), "Hello", IRECT(0, 0, 200, 100)); });
  std::string error;
  ASSERT_TRUE(noFont.Paint(error)) << error;
  EXPECT_EQ(noFont.Ink(IRECT(0, 0, 200, 100), true), 0);
}

TEST(IGraphicsNanoVG, SvgAndBitmapAtTheirPlacesAndTurned) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  // 20 x 20: the top half red, the bottom half blue.
  const std::string svgPath = WriteFile(tmp, "halves.svg",
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="20">)"
      R"(<rect width="20" height="10" fill="#f00"/><rect y="10" width="20" height="10" fill="#00f"/></svg>)");
  // 2 x 2 pixels: a red row over a blue row.
  const std::string pngPath = tmp / "rows.png";
  ASSERT_TRUE(fw::offscreen::WritePng(pngPath, 2, 2, {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255}));

  for (float scale : kScales) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    Scene s(scale);
    const fw::ISVG svg = s.G().LoadSVG(svgPath.c_str());
    ASSERT_TRUE(svg.IsValid());
    EXPECT_EQ(svg.W(), 20.f);
    EXPECT_EQ(svg.H(), 20.f);
    const fw::IBitmap bmp = s.G().LoadBitmap(pngPath.c_str());
    ASSERT_TRUE(bmp.IsValid());
    s.Add([&](IGraphics& g) {
      g.DrawSVG(svg, IRECT(10, 10, 50, 50));                     // doubled: red 10..30, blue 30..50
      g.DrawRotatedSVG(svg, 100.f, 50.f, 40.f, 40.f, 90.f);       // red turned to the right half
      g.DrawRotatedSVG(svg, 160.f, 30.f, 20.f, 20.f, 180.f);      // red turned to the bottom
      g.DrawFittedBitmap(bmp, IRECT(130, 50, 190, 98));           // 2 x 2 stretched to 60 x 48
    });
    std::string error;
    ASSERT_TRUE(s.Paint(error)) << error;
    ExpectColor(s, 30, 15, kRed, "SVG top half");
    ExpectColor(s, 30, 45, kBlue, "SVG bottom half");
    ExpectColor(s, 5, 30, kNone, "left of the SVG");
    ExpectColor(s, 115, 50, kRed, "turned 90: right half");
    ExpectColor(s, 85, 50, kBlue, "turned 90: left half");
    ExpectColor(s, 100, 25, kNone, "turned 90: above its box");
    ExpectColor(s, 160, 36, kRed, "turned 180: bottom half");
    ExpectColor(s, 160, 24, kBlue, "turned 180: top half");
    ExpectColor(s, 160, 52, kRed, "bitmap's top row");
    ExpectColor(s, 160, 96, kBlue, "bitmap's bottom row");
    ExpectColor(s, 125, 74, kNone, "left of the bitmap");
    // Drawn smooth: the middle of the stretched bitmap mixes the two rows.
    const Rgba mid = s.At(160, 74);
    EXPECT_GT(mid.r, 60);
    EXPECT_GT(mid.b, 60);
  }
}

TEST(IGraphicsNanoVG, FilesThatDoNotDecodeGiveInvalidImages) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  fw::IGraphicsNanoVG g(nullptr, kDesignW, kDesignH);
  const std::string junk = WriteFile(tmp, "junk.png", "not an image at all");
  const std::string badSvg = WriteFile(tmp, "bad.svg", "<svg width='10' height='10'><rect");
  const std::string empty = WriteFile(tmp, "empty.svg", "");
  EXPECT_FALSE(g.LoadBitmap(junk.c_str()).IsValid());
  EXPECT_FALSE(g.LoadBitmap((tmp / "missing.png").c_str()).IsValid());
  EXPECT_FALSE(g.LoadBitmap(badSvg.c_str()).IsValid());
  EXPECT_FALSE(g.LoadSVG(badSvg.c_str()).IsValid());
  EXPECT_FALSE(g.LoadSVG(empty.c_str()).IsValid());
  EXPECT_FALSE(g.LoadSVG(junk.c_str()).IsValid());
  EXPECT_FALSE(g.LoadSVG((tmp / "missing.svg").c_str()).IsValid());
  // Drawing invalid handles draws nothing and does not fail.
  Scene s(1.f);
  s.Add([](IGraphics& gr) {
    gr.DrawSVG(fw::ISVG(), IRECT(0, 0, 50, 50));
    gr.DrawFittedBitmap(fw::IBitmap(7, 2, 2), IRECT(0, 0, 50, 50));  // an id this context never gave
  });
  std::string error;
  ASSERT_TRUE(s.Paint(error)) << error;
  EXPECT_EQ(s.Ink(IRECT(0, 0, 200, 100), true), 0);
}

}  // namespace
