// IRECT helpers, colours and the path transform against hand-derived values.
#include "framework/graphics/IGraphicsStructs.h"
#include "framework/graphics/IRECT.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

void ExpectRect(const IRECT& got, const IRECT& want, const std::string& name) {
  EXPECT_FLOAT_EQ(got.L, want.L) << name;
  EXPECT_FLOAT_EQ(got.T, want.T) << name;
  EXPECT_FLOAT_EQ(got.R, want.R) << name;
  EXPECT_FLOAT_EQ(got.B, want.B) << name;
}

// A 100 x 60 rectangle at (10, 20): right 110, bottom 80, middle (60, 50).
const IRECT kR(10.f, 20.f, 110.f, 80.f);

TEST(IRECTTest, DerivedRectangles) {
  struct Case {
    const char* name;
    IRECT got, want;
  };
  const std::vector<Case> cases = {
      {"GetFromTop 15", kR.GetFromTop(15.f), {10, 20, 110, 35}},
      {"GetFromBottom 15", kR.GetFromBottom(15.f), {10, 65, 110, 80}},
      {"GetFromLeft 30", kR.GetFromLeft(30.f), {10, 20, 40, 80}},
      {"GetFromRight 30", kR.GetFromRight(30.f), {80, 20, 110, 80}},
      {"GetReducedFromTop 15", kR.GetReducedFromTop(15.f), {10, 35, 110, 80}},
      {"GetReducedFromBottom 15", kR.GetReducedFromBottom(15.f), {10, 20, 110, 65}},
      {"GetReducedFromLeft 30", kR.GetReducedFromLeft(30.f), {40, 20, 110, 80}},
      {"GetReducedFromRight 30", kR.GetReducedFromRight(30.f), {10, 20, 80, 80}},
      {"GetPadded 5 grows", kR.GetPadded(5.f), {5, 15, 115, 85}},
      {"GetPadded -5 shrinks", kR.GetPadded(-5.f), {15, 25, 105, 75}},
      {"GetPadded per side", kR.GetPadded(1.f, 2.f, -3.f, -4.f), {11, 22, 107, 76}},
      {"GetHPadded 2", kR.GetHPadded(2.f), {8, 20, 112, 80}},
      {"GetVPadded 2", kR.GetVPadded(2.f), {10, 18, 110, 82}},
      {"GetMidHPadded 1", kR.GetMidHPadded(1.f), {59, 20, 61, 80}},
      {"GetMidVPadded 4", kR.GetMidVPadded(4.f), {10, 46, 110, 54}},
      {"GetCentredInside 20 x 10", kR.GetCentredInside(20.f, 10.f), {50, 45, 70, 55}},
      {"GetCentredInside square 20", kR.GetCentredInside(20.f), {50, 40, 70, 60}},
      {"GetCentredInside rect", kR.GetCentredInside(IRECT(0, 0, 40, 30)), {40, 35, 80, 65}},
      {"GetVShifted 7", kR.GetVShifted(7.f), {10, 27, 110, 87}},
      {"GetHShifted -10", kR.GetHShifted(-10.f), {0, 20, 100, 80}},
      {"GetTranslated 1 2", kR.GetTranslated(1.f, 2.f), {11, 22, 111, 82}},
      {"GetScaled 1.5", kR.GetScaled(1.5f), {15, 30, 165, 120}},
      {"GetScaledAboutCentre 0.5", kR.GetScaledAboutCentre(0.5f), {35, 35, 85, 65}},
      {"SubRectVertical 3 of 0", kR.SubRectVertical(3, 0), {10, 20, 110, 40}},
      {"SubRectVertical 3 of 2", kR.SubRectVertical(3, 2), {10, 60, 110, 80}},
      {"SubRectHorizontal 4 of 1", kR.SubRectHorizontal(4, 1), {35, 20, 60, 80}},
      {"SubRect horizontal 4 of 3", kR.SubRect(EDirection::Horizontal, 4, 3), {85, 20, 110, 80}},
      {"GetGridCell row 1 col 2 of 3 x 4", kR.GetGridCell(1, 2, 3, 4), {60, 40, 85, 60}},
      {"GetGridCell index 5 of 3 x 4", kR.GetGridCell(5, 3, 4), {35, 40, 60, 60}},
      {"FracRectHorizontal 0.25", kR.FracRectHorizontal(0.25f), {10, 20, 35, 80}},
      {"FracRectHorizontal 0.25 right", kR.FracRectHorizontal(0.25f, true), {85, 20, 110, 80}},
      {"FracRectVertical 0.5 (from the bottom)", kR.FracRectVertical(0.5f), {10, 50, 110, 80}},
      {"FracRectVertical 0.5 from the top", kR.FracRectVertical(0.5f, true), {10, 20, 110, 50}},
      {"Union", kR.Union(IRECT(100, 0, 120, 30)), {10, 0, 120, 80}},
      {"Union with an empty one", kR.Union(IRECT()), kR},
      {"empty Union with one", IRECT().Union(kR), kR},
      {"Intersect", kR.Intersect(IRECT(100, 0, 120, 30)), {100, 20, 110, 30}},
      {"Intersect with a neighbour", kR.Intersect(IRECT(110, 20, 130, 80)), IRECT()},
      {"MakeXYWH", IRECT::MakeXYWH(5, 6, 10, 20), {5, 6, 15, 26}},
  };
  for (const auto& c : cases) ExpectRect(c.got, c.want, c.name);

  EXPECT_FLOAT_EQ(kR.W(), 100.f);
  EXPECT_FLOAT_EQ(kR.H(), 60.f);
  EXPECT_FLOAT_EQ(kR.MW(), 60.f);
  EXPECT_FLOAT_EQ(kR.MH(), 50.f);
}

TEST(IRECTTest, ContainsIsHalfOpenAndIntersectsNeedsArea) {
  struct Case {
    const char* name;
    bool got, want;
  };
  const std::vector<Case> cases = {
      {"top-left corner inside", kR.Contains(10.f, 20.f), true},
      {"right edge outside", kR.Contains(110.f, 50.f), false},
      {"bottom edge outside", kR.Contains(60.f, 80.f), false},
      {"just inside the right edge", kR.Contains(109.99f, 79.99f), true},
      {"ContainsEdge takes the right edge", kR.ContainsEdge(110.f, 80.f), true},
      {"empty rect contains nothing", IRECT(5, 5, 5, 10).Contains(5.f, 6.f), false},
      {"inner rect", kR.Contains(IRECT(20, 30, 110, 80)), true},
      {"rect sticking out", kR.Contains(IRECT(20, 30, 111, 80)), false},
      {"overlap", kR.Intersects(IRECT(100, 70, 200, 200)), true},
      {"touching edge only", kR.Intersects(IRECT(110, 20, 200, 80)), false},
      {"touching bottom only", kR.Intersects(IRECT(10, 80, 110, 90)), false},
      {"empty one", kR.Intersects(IRECT(50, 50, 50, 60)), false},
      {"inverted is empty", IRECT(10, 10, 5, 20).Empty(), true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(IRECTTest, GridCellsTileTheRectangleWithoutGaps) {
  // Every cell of a 3 x 4 grid: adjacent cells share an edge, and the last ones end on the rectangle's edges.
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      const IRECT c = kR.GetGridCell(row, col, 3, 4);
      EXPECT_FLOAT_EQ(c.W(), 25.f);
      EXPECT_FLOAT_EQ(c.H(), 20.f);
      if (col < 3) {
        EXPECT_FLOAT_EQ(c.R, kR.GetGridCell(row, col + 1, 3, 4).L);
      }
      if (row < 2) {
        EXPECT_FLOAT_EQ(c.B, kR.GetGridCell(row + 1, col, 3, 4).T);
      }
    }
  }
  EXPECT_FLOAT_EQ(kR.GetGridCell(2, 3, 3, 4).R, kR.R);
  EXPECT_FLOAT_EQ(kR.GetGridCell(2, 3, 3, 4).B, kR.B);
}

TEST(IColorTest, CodesOpacityAndContrast) {
  const IColor c = IColor::FromColorCode(0x60D7C2);
  EXPECT_EQ(c, IColor(255, 96, 215, 194));
  EXPECT_EQ(c.ToColorCode(), 0x60D7C2u);
  EXPECT_EQ(IColor::FromColorCode(0x000000), COLOR_BLACK);
  EXPECT_EQ(c.WithOpacity(0.5f).A, 127);  // 127.5 truncated
  EXPECT_EQ(c.WithOpacity(2.f).A, 255);
  EXPECT_EQ(c.WithOpacity(-1.f).A, 0);
  EXPECT_EQ(c.WithOpacity(0.5f).G, 215);
  EXPECT_EQ(IColor(255, 250, 10, 128).WithContrast(0.1f), IColor(255, 255, 35, 153));  // 0.1 x 255 = 25
  EXPECT_TRUE(DEFAULT_BGCOLOR.IsTransparent());
}

TEST(IMatrixTest, LocalFrameComposition) {
  // Translate then rotate 90 degrees: a local point (1, 0) turns to (0, 1) and is then moved.
  IMatrix m;
  m.Translate(10, 20).Rotate(90);
  double x = 1, y = 0;
  m.TransformPoint(x, y);
  EXPECT_NEAR(x, 10.0, 1e-12);
  EXPECT_NEAR(y, 21.0, 1e-12);

  // Scale in the local frame after a translation scales only the local offsets.
  IMatrix s;
  s.Translate(5, 5).Scale(2, 3);
  x = 1;
  y = 1;
  s.TransformPoint(x, y);
  EXPECT_DOUBLE_EQ(x, 7.0);
  EXPECT_DOUBLE_EQ(y, 8.0);
}

TEST(IMouseModTest, FineControlWithShiftOrControl) {
  EXPECT_FALSE(IsFineControl(IMouseMod(true)));
  EXPECT_TRUE(IsFineControl(IMouseMod(true, false, true)));
  EXPECT_TRUE(IsFineControl(IMouseMod(true, false, false, true)));
  EXPECT_FALSE(IsFineControl(IMouseMod(true, false, false, false, true)));  // Alt alone
}

TEST(ImageHandleTest, Validity) {
  EXPECT_FALSE(ISVG().IsValid());
  EXPECT_FALSE(IBitmap().IsValid());
  EXPECT_FALSE(IBitmap(3, 0, 10).IsValid());
  const IBitmap b(3, 128, 64, 2.f);
  EXPECT_TRUE(b.IsValid());
  EXPECT_FLOAT_EQ(b.W(), 64.f);  // pixels over its scale
  EXPECT_FLOAT_EQ(b.H(), 32.f);
}

}  // namespace
}  // namespace fw
