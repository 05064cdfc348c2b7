// Pixels of our SVG drawing at places derived by hand: fills in and out,
// the caller's rotation and scale, viewBox fitting, the fill rules, dashes
// and gradient colours. Probes sit away from edges, so anti-aliasing does not
// matter; colours allow a small tolerance for rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "RenderFixture.h"
#include "nanovg.h"

namespace {

using vbtest::DrawSvgText;
using vbtest::Picture;
using vbtest::Rgba;

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

::testing::AssertionResult Near(const Picture& pic, int x, int y, Rgba want, int tol = 3) {
  if (pic.px.empty()) return ::testing::AssertionFailure() << "no picture";
  const Rgba got = pic.At(x, y);
  if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol &&
      std::abs(got.a - want.a) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", "
                                       << got.b << ", " << got.a << "), want (" << want.r << ", " << want.g << ", "
                                       << want.b << ", " << want.a << ")";
}

const std::string kRedRect = R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">
  <rect x="20" y="20" width="40" height="40" fill="red"/></svg>)";

TEST(SvgProbe, RedRectInsideRedOutsideClear) {
  const Picture pic = DrawSvgText(kRedRect, 100, 100);
  EXPECT_TRUE(Near(pic, 40, 40, kRed));
  EXPECT_TRUE(Near(pic, 21, 21, kRed));
  EXPECT_TRUE(Near(pic, 58, 58, kRed));
  EXPECT_TRUE(Near(pic, 10, 10, kClear));
  EXPECT_TRUE(Near(pic, 70, 40, kClear));
  EXPECT_TRUE(Near(pic, 40, 70, kClear));
}

// The caller scales the whole drawing (the editor's scale factor): the rect's
// 20..60 becomes 20s..60s.
TEST(SvgProbe, CallerScaleMovesTheRect) {
  for (float s : {0.75f, 1.f, 1.5f}) {
    SCOPED_TRACE("scale " + std::to_string(s));
    const Picture pic = DrawSvgText(kRedRect, 150, 150, 0, 0, 100, 100, [s](NVGcontext* vg) { nvgScale(vg, s, s); });
    const auto at = [s](float v) { return static_cast<int>(std::lround(v * s)); };
    EXPECT_TRUE(Near(pic, at(22), at(22), kRed));
    EXPECT_TRUE(Near(pic, at(40), at(40), kRed));
    EXPECT_TRUE(Near(pic, at(57), at(57), kRed));
    EXPECT_TRUE(Near(pic, at(63), at(40), kClear));
    EXPECT_TRUE(Near(pic, at(40), at(17), kClear));
    EXPECT_TRUE(Near(pic, at(70), at(70), kClear));
  }
}

// Drawn the way a knob is: translate to the centre, rotate, draw centred.
// A blue square at 10..30 (centre 20, 20: offset (-30, -30) from the centre
// 50, 50) turned 90 degrees clockwise on screen lands at offset (30, -30):
// around (80, 20). Turned 180 degrees: around (80, 80).
TEST(SvgProbe, RotatedDrawingLandsWhereExpected) {
  const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100" viewBox="0 0 100 100">
    <rect x="10" y="10" width="20" height="20" fill="blue"/></svg>)";
  struct Case {
    float degrees;
    int x, y;
  };
  for (const Case& c : {Case{0, 20, 20}, Case{90, 80, 20}, Case{180, 80, 80}, Case{-90, 20, 80}}) {
    SCOPED_TRACE("angle " + std::to_string(c.degrees));
    const Picture pic = DrawSvgText(svg, 100, 100, -50, -50, 100, 100, [&](NVGcontext* vg) {
      nvgTranslate(vg, 50, 50);
      nvgRotate(vg, nvgDegToRad(c.degrees));
    });
    EXPECT_TRUE(Near(pic, c.x, c.y, kBlue));
    EXPECT_TRUE(Near(pic, c.x - 8, c.y + 8, kBlue));
    EXPECT_TRUE(Near(pic, 50, 50, kClear));
    for (const Case& other : {Case{0, 20, 20}, Case{0, 80, 20}, Case{0, 80, 80}, Case{0, 20, 80}})
      if (other.x != c.x || other.y != c.y) {
        EXPECT_TRUE(Near(pic, other.x, other.y, kClear));
      }
  }
}

// A viewBox 0 0 100 50 filled red, drawn into 100 x 100: meet leaves a band
// 50 high at the top, middle or bottom; slice and none cover everything.
TEST(SvgProbe, PreserveAspectRatioPlacesTheViewBox) {
  struct Case {
    const char* aspect;
    int top, bottom;  // red rows; outside them clear
  };
  for (const Case& c : {Case{"xMidYMin meet", 0, 50}, Case{"xMidYMid meet", 25, 75}, Case{"xMinYMax meet", 50, 100},
                        Case{"xMidYMid slice", 0, 100}, Case{"none", 0, 100}}) {
    SCOPED_TRACE(c.aspect);
    const std::string svg = std::string(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 50" preserveAspectRatio=")") +
                            c.aspect + R"("><rect width="100" height="50" fill="red"/></svg>)";
    const Picture pic = DrawSvgText(svg, 100, 100);
    EXPECT_TRUE(Near(pic, 50, c.top + 2, kRed));
    EXPECT_TRUE(Near(pic, 50, c.bottom - 3, kRed));
    if (c.top > 0) {
      EXPECT_TRUE(Near(pic, 50, c.top - 3, kClear));
    }
    if (c.bottom < 100) {
      EXPECT_TRUE(Near(pic, 50, c.bottom + 2, kClear));
    }
  }
  // Slice keeps the aspect: viewBox 0 0 50 100 into 100 x 100 scales by 2,
  // xMidYMid shows the middle: viewBox y 25..75. A marker at y 30..40 of the
  // viewBox lands at rows 10..30; one at y 80..90 is cut off.
  const Picture pic = DrawSvgText(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 50 100" preserveAspectRatio="xMidYMid slice">
      <rect x="0" y="30" width="50" height="10" fill="red"/><rect x="0" y="80" width="50" height="10" fill="blue"/></svg>)",
                                  100, 100);
  EXPECT_TRUE(Near(pic, 50, 20, kRed));
  EXPECT_TRUE(Near(pic, 50, 5, kClear));
  EXPECT_TRUE(Near(pic, 50, 35, kClear));
  EXPECT_TRUE(Near(pic, 50, 98, kClear));
}

// Two nested squares and a pentagram under both rules. Same-direction
// squares: non-zero fills the middle (winding 2), even-odd leaves it clear;
// opposite directions leave it clear under both. The pentagram's centre has
// winding 2: filled by non-zero, clear by even-odd.
TEST(SvgProbe, FillRules) {
  struct Case {
    const char* d;
    const char* rule;
    bool centreFilled;
  };
  const Case cases[] = {
      {"M10 10 H90 V90 H10 Z M30 30 H70 V70 H30 Z", "nonzero", true},
      {"M10 10 H90 V90 H10 Z M30 30 H70 V70 H30 Z", "evenodd", false},
      {"M10 10 H90 V90 H10 Z M30 30 V70 H70 V30 Z", "nonzero", false},
      {"M10 10 H90 V90 H10 Z M30 30 V70 H70 V30 Z", "evenodd", false},
      {"M50 5 L76 90 L5 37 H95 L24 90 Z", "nonzero", true},
      {"M50 5 L76 90 L5 37 H95 L24 90 Z", "evenodd", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.d) + " " + c.rule);
    const std::string svg = std::string(R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100"><path d=")") +
                            c.d + R"(" fill="blue" fill-rule=")" + c.rule + R"("/></svg>)";
    // Mirrored or turned, the orientation of the subpaths flips or not: the
    // result must not change.
    const std::vector<std::pair<const char*, void (*)(NVGcontext*)>> views = {
        {"as is", [](NVGcontext*) {}},
        {"mirrored",
         [](NVGcontext* vg) {
           nvgTranslate(vg, 100, 0);
           nvgScale(vg, -1, 1);
         }},
        {"turned 90",
         [](NVGcontext* vg) {
           nvgTranslate(vg, 50, 50);
           nvgRotate(vg, nvgDegToRad(90));
           nvgTranslate(vg, -50, -50);
         }},
    };
    for (const auto& [name, view] : views) {
      SCOPED_TRACE(name);
      const Picture pic = DrawSvgText(svg, 100, 100, 0, 0, 100, 100, view);
      EXPECT_TRUE(Near(pic, 50, 52, c.centreFilled ? kBlue : kClear));
      EXPECT_TRUE(Near(pic, 2, 2, kClear));
    }
  }
  // The outer ring of the squares is filled under every rule.
  const Picture ring = DrawSvgText(R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">
      <path d="M10 10 H90 V90 H10 Z M30 30 H70 V70 H30 Z" fill="blue" fill-rule="evenodd"/></svg>)",
                                   100, 100);
  EXPECT_TRUE(Near(ring, 20, 50, kBlue));
  EXPECT_TRUE(Near(ring, 80, 50, kBlue));
}

// A line along y = 10 from x = 0, width 6, dashes "10 10": on 0..10, off
// 10..20, on 20..30. Offset 5 shifts the pattern back: on 0..5, off 5..15,
// on 15..25.
TEST(SvgProbe, DashesCutTheStroke) {
  struct Case {
    const char* extra;
    std::vector<int> on, off;
  };
  for (const Case& c : {Case{"", {5, 25, 45}, {15, 35, 55}}, Case{R"( stroke-dashoffset="5")", {2, 20, 40}, {10, 30, 50}},
                        Case{R"( stroke-dasharray="none")", {5, 15, 25}, {}}}) {
    SCOPED_TRACE(c.extra);
    std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="60" height="20"><line x1="0" y1="10" x2="60" y2="10" stroke="red" stroke-width="6")";
    if (std::string(c.extra).find("dasharray") == std::string::npos) svg += R"( stroke-dasharray="10 10")";
    svg += std::string(c.extra) + "/></svg>";
    const Picture pic = DrawSvgText(svg, 60, 20);
    for (int x : c.on) EXPECT_TRUE(Near(pic, x, 10, kRed));
    for (int x : c.off) EXPECT_TRUE(Near(pic, x, 10, kClear));
  }
}

// Gradient colours in the middle of their span: black to white gives grey
// 127.5 at the middle; red-lime-blue gives pure lime at 50 % and the red-lime
// mix at 25 %.
TEST(SvgProbe, GradientColoursAtKnownOffsets) {
  const Picture pic = DrawSvgText(R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">
    <linearGradient id="g"><stop offset="0" stop-color="black"/><stop offset="1" stop-color="white"/></linearGradient>
    <linearGradient id="m"><stop offset="0" stop-color="red"/><stop offset=".5" stop-color="lime"/><stop offset="1" stop-color="blue"/></linearGradient>
    <radialGradient id="r" gradientUnits="userSpaceOnUse" cx="150" cy="50" r="40"><stop offset="0" stop-color="white"/><stop offset="1" stop-color="black"/></radialGradient>
    <rect x="0" y="0" width="100" height="40" fill="url(#g)"/>
    <rect x="0" y="50" width="100" height="40" fill="url(#m)"/>
    <rect x="110" y="10" width="80" height="80" fill="url(#r)"/> </svg>)svg",
                                  200, 100);
  // Pixel centres sit at x + 0.5: offset 0.505 at column 50.
  EXPECT_TRUE(Near(pic, 50, 20, {129, 129, 129, 255}, 3));
  EXPECT_TRUE(Near(pic, 2, 20, {6, 6, 6, 255}, 3));
  EXPECT_TRUE(Near(pic, 50, 70, {0, 252, 3, 255}, 4));
  EXPECT_TRUE(Near(pic, 25, 70, {125, 130, 0, 255}, 4));  // 0.51 of red to lime
  // Radial: white at the centre, black at radius 40 and beyond (pad).
  EXPECT_TRUE(Near(pic, 150, 50, {250, 250, 250, 255}, 4));  // 0.7 / 40 of the way
  EXPECT_TRUE(Near(pic, 170, 50, {124, 124, 124, 255}, 4));  // 20.5 / 40 of the way
  EXPECT_TRUE(Near(pic, 188, 12, {0, 0, 0, 255}, 2));
}

// Elements outside the supported subset are skipped; the rest still draws.
TEST(SvgProbe, UnsupportedElementsAreSkipped) {
  const Picture pic = DrawSvgText(R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="100">
    <text x="10" y="50" font-size="40">Hi</text>
    <mask id="m"><rect width="100" height="100" fill="white"/></mask>
    <clipPath id="c"><rect x="0" y="0" width="10" height="10"/></clipPath>
    <filter id="f"><feGaussianBlur stdDeviation="3"/></filter>
    <pattern id="p" width="4" height="4"><rect width="2" height="2" fill="red"/></pattern>
    <image x="0" y="0" width="100" height="100" href="missing.png"/>
    <rect x="20" y="20" width="40" height="40" fill="red"/>
    <rect x="70" y="70" width="20" height="20" fill="url(#p) blue"/> </svg>)svg",
                                  100, 100);
  EXPECT_TRUE(Near(pic, 40, 40, kRed));
  EXPECT_TRUE(Near(pic, 80, 80, kBlue));  // the pattern's fallback colour
  EXPECT_TRUE(Near(pic, 5, 5, kClear));
  EXPECT_TRUE(Near(pic, 15, 45, kClear));
}

// Drawing an invalid document, or into an empty rectangle, draws nothing.
TEST(SvgProbe, InvalidOrEmptyDrawsNothing) {
  fw::offscreen::OffscreenCanvas canvas;
  std::string error;
  ASSERT_TRUE(canvas.Create(20, 20, &error)) << error;
  const fw::svg::Document bad = fw::svg::Document::Parse("<svg><g></svg>");
  const fw::svg::Document good = fw::svg::Document::Parse(kRedRect);
  ASSERT_FALSE(bad.Valid());
  canvas.BeginFrame();
  fw::svg::DrawSvg(canvas.Vg(), bad, nullptr, 0, 0, 20, 20);
  fw::svg::DrawSvg(canvas.Vg(), good, nullptr, 0, 0, 0, 20);
  fw::svg::DrawSvg(canvas.Vg(), good, nullptr, 0, 0, 20, -1);
  canvas.EndFrame();
  for (std::uint8_t v : canvas.ReadPremultiplied()) ASSERT_EQ(v, 0);
}

}  // namespace
