// The SVG reader: what a file becomes in the model (sizes, path points,
// transforms, styles, references, gradients, dashes) and how malformed or
// hostile files are refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "framework/graphics/svg/Document.h"

namespace {

using fw::svg::Color;
using fw::svg::Document;
using fw::svg::Paint;
using fw::svg::Point;
using fw::svg::Shape;
using fw::svg::Verb;

std::string Svg(const std::string& body, const std::string& attrs = R"~(width="100" height="100")~") {
  return R"~(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )~" + attrs + ">" + body +
         "</svg>";
}

Document Parse(const std::string& text) {
  std::string error;
  Document doc = Document::Parse(text, &error);
  EXPECT_TRUE(doc.Valid()) << error << "\n" << text;
  return doc;
}

// The verbs and points of a shape's geometry, in its own coordinates.
struct Outline {
  std::vector<Verb> verbs;
  std::vector<Point> points;
};

Outline FillOutline(const Document& doc, const Shape& s) {
  Outline o;
  o.verbs.assign(doc.Verbs().begin() + s.fillPath.firstVerb, doc.Verbs().begin() + s.fillPath.firstVerb + s.fillPath.verbCount);
  std::size_t n = 0;
  for (Verb v : o.verbs) n += static_cast<std::size_t>(fw::svg::PointsOf(v));
  o.points.assign(doc.Points().begin() + s.fillPath.firstPoint, doc.Points().begin() + s.fillPath.firstPoint + n);
  return o;
}

std::string Describe(const Outline& o) {
  std::string out;
  std::size_t pi = 0;
  char buf[64];
  for (Verb v : o.verbs) {
    const char* name = v == Verb::MoveTo ? "M" : v == Verb::LineTo ? "L" : v == Verb::CubicTo ? "C" : "Z";
    out += name;
    for (int i = 0; i < fw::svg::PointsOf(v); ++i, ++pi) {
      std::snprintf(buf, sizeof buf, " %g,%g", static_cast<double>(o.points[pi].x), static_cast<double>(o.points[pi].y));
      out += buf;
    }
    out += " ";
  }
  return out;
}

bool SameColor(const Color& a, const Color& b) {
  return std::fabs(a.r - b.r) < 1e-3f && std::fabs(a.g - b.g) < 1e-3f && std::fabs(a.b - b.b) < 1e-3f &&
         std::fabs(a.a - b.a) < 1e-3f;
}

TEST(SvgParse, MalformedFilesAreInvalidWithAReason) {
  const char* cases[] = {
      "",
      "not xml at all",
      "<svg",
      "<svg xmlns='http://www.w3.org/2000/svg'><g></svg>",
      "<svg></svg><svg></svg>",
      "<svg width=100></svg>",
      "<svg width='1' width='2'></svg>",
      "<svg><rect fill='&bogus;'/></svg>",
      "<svg><rect fill='&#xD800;'/></svg>",
      "<svg><!-- never closed </svg>",
      "<rect width='10' height='10'/>",
      "<svg>text</svg>trailing",
      "<svg><g a='<'/></svg>",
  };
  for (const char* text : cases) {
    std::string error;
    const Document doc = Document::Parse(text, &error);
    EXPECT_FALSE(doc.Valid()) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(error.find('\n'), std::string::npos) << text;
    EXPECT_TRUE(doc.Shapes().empty()) << text;
  }
}

TEST(SvgParse, PrologCommentsDoctypeAndEntitiesAreRead) {
  const Document doc = Parse(
      "\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE svg PUBLIC '-//W3C//DTD SVG 1.1//EN' 'x.dtd' [ <!ENTITY e 'v'> ]>\n"
      "<!-- c --><svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><![CDATA[ <not markup> ]]>"
      "<rect width='5' height='5' fill='&#x23;00f'/></svg>");
  ASSERT_EQ(doc.Shapes().size(), 1u);
  EXPECT_TRUE(SameColor(doc.Shapes()[0].fill.color, {0, 0, 1, 1}));
}

TEST(SvgParse, SizeFromWidthHeightAndViewBox) {
  struct Case {
    const char* attrs;
    float w, h;
  };
  const Case cases[] = {
      {R"~(width="120" height="80")~", 120, 80},
      {R"~(width="120px" height="80px" viewBox="0 0 12 8")~", 120, 80},
      {R"~(viewBox="0 0 300 150")~", 300, 150},
      {R"~(width="60" viewBox="0 0 300 150")~", 60, 30},
      {R"~(height="60" viewBox="0 0 300 150")~", 120, 60},
      {R"~(width="1in" height="72pt")~", 96, 96},
      {R"~(width="100%" height="50%" viewBox="0 0 40 20")~", 40, 20},
      {R"~(viewBox="0 0 -5 10" width="7" height="9")~", 7, 9},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg("", c.attrs));
    EXPECT_FLOAT_EQ(doc.Width(), c.w) << c.attrs;
    EXPECT_FLOAT_EQ(doc.Height(), c.h) << c.attrs;
  }
}

TEST(SvgParse, PathDataCommands) {
  struct Case {
    const char* d;
    const char* outline;
  };
  const Case cases[] = {
      {"M10 20 L30 40", "M 10,20 L 30,40 "},
      {"M10,20 30,40 50,60", "M 10,20 L 30,40 L 50,60 "},
      {"m10 20 l5 5 h10 v-5 z", "M 10,20 L 15,25 L 25,25 L 25,20 Z "},
      {"M10 20 H0 V5 Z l1 1", "M 10,20 L 0,20 L 0,5 Z M 10,20 L 11,21 "},
      {"M.5.5L1e1-2", "M 0.5,0.5 L 10,-2 "},
      {"M0 0 C 1 2 3 4 5 6 S 9 10 11 12", "M 0,0 C 1,2 3,4 5,6 C 7,8 9,10 11,12 "},
      {"M0 0 s 3 3 6 0", "M 0,0 C 0,0 3,3 6,0 "},
      {"M0 0 Q 3 6 6 0 T 12 0", "M 0,0 C 2,4 4,4 6,0 C 8,-4 10,-4 12,0 "},
      {"M0 0 L10 10 L20", "M 0,0 L 10,10 "},  // an error ends the path; what came before stays
      {"M0 0 L10 10 X 5 5", "M 0,0 L 10,10 "},
      {"M0 0 L10 10 Z 5", "M 0,0 L 10,10 Z "},  // a close takes no numbers
      {"M0 0 A 5 5 0 0 1 0 0 L 1 1", "M 0,0 L 1,1 "},  // an arc to its own start is dropped
      {"M0 0 A 0 5 0 0 1 10 0", "M 0,0 L 10,0 "},      // a zero radius makes it a line
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg(std::string(R"~(<path fill="black" d=")~") + c.d + R"~("/>)~"));
    ASSERT_EQ(doc.Shapes().size(), 1u) << c.d;
    EXPECT_EQ(Describe(FillOutline(doc, doc.Shapes()[0])), c.outline) << c.d;
  }
}

// A half circle of radius 10 from (0, 0) to (20, 0): sweep 1 bulges up (y
// negative), sweep 0 down; radii too small to reach are scaled up to 10.
TEST(SvgParse, ArcsByEndpointsWithRadiusCorrection) {
  struct Case {
    const char* d;
    float minY, maxY;
  };
  const Case cases[] = {
      {"M0 0 A10 10 0 0 1 20 0", -10, 0},
      {"M0 0 A10 10 0 0 0 20 0", 0, 10},
      {"M0 0 A1 1 0 0 1 20 0", -10, 0},
      {"M0 0 a2 2 0 0 0 20 0", 0, 10},
      {"M0 0 A10 5 90 0 1 20 0", -20, 0},  // the ellipse turned upright, radii doubled: 20 high
      {"M0 0 A20 20 0 1 1 20 0", -37.3205f, 0},  // the large arc of a circle of radius 20
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg(std::string(R"~(<path fill="black" d=")~") + c.d + R"~("/>)~"));
    ASSERT_EQ(doc.Shapes().size(), 1u) << c.d;
    const Shape& s = doc.Shapes()[0];
    EXPECT_NEAR(s.bboxY, c.minY, 1e-3) << c.d;
    EXPECT_NEAR(s.bboxY + s.bboxH, c.maxY, 1e-3) << c.d;
    // The arc ends exactly at its end point.
    EXPECT_EQ(doc.Points()[s.fillPath.firstPoint + FillOutline(doc, s).points.size() - 1].x, 20.f) << c.d;
  }
}

TEST(SvgParse, BasicShapesBecomeOutlines) {
  struct Case {
    const char* element;
    float x, y, w, h;  // bounding box
    std::size_t subpaths;
  };
  const Case cases[] = {
      {R"~(<rect x="1" y="2" width="30" height="40"/>)~", 1, 2, 30, 40, 1},
      {R"~(<rect x="1" y="2" width="30" height="40" rx="50"/>)~", 1, 2, 30, 40, 1},  // rx clamped to 15
      {R"~(<circle cx="50" cy="50" r="10"/>)~", 40, 40, 20, 20, 1},
      {R"~(<ellipse cx="50" cy="50" rx="10" ry="4"/>)~", 40, 46, 20, 8, 1},
      {R"~(<polygon points="0,0 10,0 10,10"/>)~", 0, 0, 10, 10, 1},
      {R"~(<polyline points="0 0 10 0 10 10 5"/>)~", 0, 0, 10, 10, 1},
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg(c.element));
    ASSERT_EQ(doc.Shapes().size(), 1u) << c.element;
    const Shape& s = doc.Shapes()[0];
    EXPECT_NEAR(s.bboxX, c.x, 1e-4) << c.element;
    EXPECT_NEAR(s.bboxY, c.y, 1e-4) << c.element;
    EXPECT_NEAR(s.bboxW, c.w, 1e-4) << c.element;
    EXPECT_NEAR(s.bboxH, c.h, 1e-4) << c.element;
    EXPECT_EQ(s.fillPath.subpathCount, c.subpaths) << c.element;
  }
  // Shapes with nothing to draw are left out.
  const Document empty = Parse(Svg(R"~(<rect width="0" height="5"/><rect width="5"/><circle r="-1"/><ellipse rx="0"/>
      <polygon points="1 1"/><path d=""/><rect width="5" height="5" fill="none"/>)~"));
  EXPECT_TRUE(empty.Shapes().empty());
}

// rect rx: a 30 x 40 rect with rx 5 (ry follows) starts at (x + 5, y).
TEST(SvgParse, RoundedRectCorners) {
  const Document doc = Parse(Svg(R"~(<rect x="0" y="0" width="30" height="40" rx="5"/>)~"));
  const Outline o = FillOutline(doc, doc.Shapes()[0]);
  ASSERT_FALSE(o.points.empty());
  EXPECT_EQ(o.points[0].x, 5.f);
  EXPECT_EQ(o.points[0].y, 0.f);
  EXPECT_EQ(o.points[1].x, 25.f);  // the top edge ends rx before the corner
}

TEST(SvgParse, TransformsNestAndCompose) {
  struct Case {
    const char* transform;
    Point in, out;
  };
  const Case cases[] = {
      {"translate(10 20)", {1, 1}, {11, 21}},
      {"translate(10)", {1, 1}, {11, 1}},
      {"scale(2)", {1, 3}, {2, 6}},
      {"scale(2, -1)", {1, 3}, {2, -3}},
      {"rotate(90)", {1, 0}, {0, 1}},
      {"rotate(90 50 50)", {60, 50}, {50, 60}},
      {"skewX(45)", {0, 10}, {10, 10}},
      {"skewY(45)", {10, 0}, {10, 10}},
      {"matrix(1 2 3 4 5 6)", {1, 1}, {9, 12}},
      {"translate(10,0) scale(2)", {1, 1}, {12, 2}},  // the last one applies first
      {"translate(10 0)scale(2)", {1, 1}, {12, 2}},
      {"scale(2) bogus(1)", {1, 1}, {1, 1}},  // a malformed list is ignored as a whole
      {"rotate(1 2)", {1, 1}, {1, 1}},
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg(std::string(R"~(<rect width="1" height="1" transform=")~") + c.transform + R"~("/>)~"));
    ASSERT_EQ(doc.Shapes().size(), 1u) << c.transform;
    const Point p = doc.Shapes()[0].transform.Apply(c.in);
    EXPECT_NEAR(p.x, c.out.x, 1e-4) << c.transform;
    EXPECT_NEAR(p.y, c.out.y, 1e-4) << c.transform;
  }
  // Groups nest: translate(10 0) around rotate(90) around scale(2).
  const Document nested = Parse(Svg(R"~(<g transform="translate(10 0)"><g transform="rotate(90)">
      <rect width="1" height="1" transform="scale(2)"/></g></g>)~"));
  const Point p = nested.Shapes()[0].transform.Apply({1, 0});  // scale -> (2,0), rotate -> (0,2), translate -> (10,2)
  EXPECT_NEAR(p.x, 10, 1e-4);
  EXPECT_NEAR(p.y, 2, 1e-4);
}

TEST(SvgParse, Colours) {
  struct Case {
    const char* text;
    Color want;
  };
  const Case good[] = {
      {"#f00", {1, 0, 0, 1}},          {"#FF0000", {1, 0, 0, 1}},      {"red", {1, 0, 0, 1}},
      {"RED", {1, 0, 0, 1}},           {" rgb(255, 0, 0) ", {1, 0, 0, 1}}, {"rgb(100%,0%,0%)", {1, 0, 0, 1}},
      {"rgb(300,-5,0)", {1, 0, 0, 1}}, {"green", {0, 128 / 255.f, 0, 1}}, {"rebeccapurple", {0x66 / 255.f, 0x33 / 255.f, 0x99 / 255.f, 1}},
      {"#1a2B3c", {0x1a / 255.f, 0x2b / 255.f, 0x3c / 255.f, 1}}, {"rgba(0,0,255,0.5)", {0, 0, 1, 0.5f}},
  };
  for (const Case& c : good) {
    Color got;
    ASSERT_TRUE(fw::svg::ParseColor(c.text, got)) << c.text;
    EXPECT_TRUE(SameColor(got, c.want)) << c.text;
  }
  for (const char* bad : {"", "#ff", "#12345", "#ggg", "rgb(1,2)", "rgb(1 2 3", "nocolor", "rgb(1,2,3) x"}) {
    Color got;
    EXPECT_FALSE(fw::svg::ParseColor(bad, got)) << bad;
  }
}

TEST(SvgParse, StylesInheritAndStyleAttributeWins) {
  const Document doc = Parse(Svg(R"~(
    <g fill="blue" stroke="black" stroke-width="3" stroke-linecap="round" fill-rule="evenodd">
      <rect width="5" height="5"/>
      <rect width="5" height="5" fill="red" style="fill: lime ; stroke-width:6 !important"/>
      <rect width="5" height="5" style="stroke:none;stroke-linejoin:bevel" fill-rule="nonzero"/>
    </g>
    <g opacity="0.5"><rect width="5" height="5" fill="black" opacity="0.5" fill-opacity="0.5"/></g>
    <g color="#00f"><rect width="5" height="5" fill="currentColor" stroke="none"/></g>
    <rect width="5" height="5" fill="bogus"/>
    <rect width="5" height="5" display="none"/>
    <g style="display:none"><rect width="5" height="5"/></g>
    <g visibility="hidden"><rect width="5" height="5"/><rect width="5" height="5" visibility="visible" fill="red"/></g>)~"));
  const auto& s = doc.Shapes();
  ASSERT_EQ(s.size(), 7u);
  EXPECT_TRUE(SameColor(s[0].fill.color, {0, 0, 1, 1}));
  EXPECT_TRUE(SameColor(s[0].stroke.color, {0, 0, 0, 1}));
  EXPECT_EQ(s[0].strokeWidth, 3.f);
  EXPECT_EQ(s[0].cap, fw::svg::LineCap::Round);
  EXPECT_TRUE(s[0].evenOdd);
  EXPECT_TRUE(SameColor(s[1].fill.color, {0, 1, 0, 1}));  // style="" beats the attribute
  EXPECT_EQ(s[1].strokeWidth, 6.f);
  EXPECT_EQ(s[2].stroke.kind, Paint::Kind::None);
  EXPECT_EQ(s[2].join, fw::svg::LineJoin::Bevel);
  EXPECT_FALSE(s[2].evenOdd);
  EXPECT_NEAR(s[3].fill.color.a, 0.125f, 1e-6);  // 0.5 (group) x 0.5 (element) x 0.5 (fill-opacity)
  EXPECT_TRUE(SameColor(s[4].fill.color, {0, 0, 1, 1}));
  EXPECT_TRUE(SameColor(s[5].fill.color, {0, 0, 0, 1}));  // an invalid fill keeps the inherited black
  EXPECT_TRUE(SameColor(s[6].fill.color, {1, 0, 0, 1}));  // visible again inside a hidden group
}

TEST(SvgParse, UseReferencesDefsWithBothHrefForms) {
  const Document doc = Parse(Svg(R"~(<defs><rect id="r" width="10" height="10"/></defs>
      <use xlink:href="#r" x="5" y="6" fill="red"/>
      <use href="#r" transform="translate(100 0)" x="1"/>
      <use href="#nothing"/><use href="r"/>
      <defs><symbol id="s"><circle r="3" fill="blue"/></symbol></defs><use href="#s" x="50"/>)~"));
  ASSERT_EQ(doc.Shapes().size(), 3u);
  const Point a = doc.Shapes()[0].transform.Apply({0, 0});
  EXPECT_EQ(a.x, 5.f);
  EXPECT_EQ(a.y, 6.f);
  EXPECT_TRUE(SameColor(doc.Shapes()[0].fill.color, {1, 0, 0, 1}));  // inherited from the use element
  EXPECT_EQ(doc.Shapes()[1].transform.Apply({0, 0}).x, 101.f);        // transform, then x
  EXPECT_TRUE(SameColor(doc.Shapes()[1].fill.color, {0, 0, 0, 1}));
  EXPECT_EQ(doc.Shapes()[2].transform.Apply({0, 0}).x, 50.f);
}

// References that loop or multiply stay bounded: cycles are cut, a tree of
// references that would reach too many elements makes the file invalid, and
// neither takes long.
TEST(SvgParse, UseCyclesAndExplosionsAreBounded) {
  const auto start = std::chrono::steady_clock::now();
  const Document cycle = Parse(Svg(R"~(<g id="a"><rect width="1" height="1"/><use href="#b"/></g>
      <g id="b"><use href="#a"/></g><use id="self" href="#self"/>)~"));
  EXPECT_LE(cycle.Shapes().size(), 40u);
  std::string body = R"~(<defs><g id="l0"><rect width="1" height="1"/></g>)~";
  for (int level = 1; level <= 12; ++level) {
    body += "<g id=\"l" + std::to_string(level) + "\">";
    for (int k = 0; k < 10; ++k) body += "<use href=\"#l" + std::to_string(level - 1) + "\"/>";
    body += "</g>";
  }
  body += R"~(</defs><use href="#l12"/>)~";
  std::string error;
  const Document bomb = Document::Parse(Svg(body), &error);
  EXPECT_FALSE(bomb.Valid());
  EXPECT_NE(error.find("too many"), std::string::npos) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(SvgParse, GradientsResolveUnitsStopsAndReferences) {
  const Document doc = Parse(Svg(R"~(<defs>
      <linearGradient id="base" x1="10%" x2="90%" gradientUnits="objectBoundingBox">
        <stop offset="0" stop-color="red"/><stop offset="150%" stop-color="blue" stop-opacity=".5"/>
        <stop offset="-1" style="stop-color: lime"/></linearGradient>
      <linearGradient id="child" href="#base" x1="0.25"/>
      <radialGradient id="rad" xlink:href="#base" gradientUnits="userSpaceOnUse" cx="20" r="50%" fx="200"/>
      <linearGradient id="one"><stop offset="0" stop-color="#0f0" stop-opacity="0.5"/></linearGradient>
      <linearGradient id="none"/>
    </defs>
    <rect width="10" height="10" fill="url(#child)"/>
    <rect width="10" height="10" fill="url(#rad)" fill-opacity="0.5"/>
    <rect width="10" height="10" fill="url(#one)"/>
    <rect width="10" height="10" fill="url(#none)"/>
    <rect width="10" height="10" fill="url(#missing) #00f"/>
    <rect width="10" height="10" fill="url('#base')"/>
    <line x2="10" stroke="url(#base)"/>)~",
                                 R"~(width="200" height="100")~"));
  const auto& s = doc.Shapes();
  ASSERT_EQ(s.size(), 5u);  // "none" has no stops and paints nothing; the flat line has no box to span
  ASSERT_EQ(s[0].fill.kind, Paint::Kind::Gradient);
  const fw::svg::Gradient& child = doc.Gradients()[static_cast<std::size_t>(s[0].fill.gradient)];
  EXPECT_FLOAT_EQ(child.x1, 0.25f);
  EXPECT_FLOAT_EQ(child.x2, 0.9f);  // from the referenced gradient
  ASSERT_EQ(child.stops.size(), 3u);
  EXPECT_FLOAT_EQ(child.stops[1].offset, 1.f);   // clamped
  EXPECT_FLOAT_EQ(child.stops[2].offset, 1.f);   // never below the previous stop
  EXPECT_FLOAT_EQ(child.stops[1].color.a, 0.5f);
  EXPECT_TRUE(SameColor(child.stops[2].color, {0, 1, 0, 1}));

  ASSERT_EQ(s[1].fill.kind, Paint::Kind::Gradient);
  const fw::svg::Gradient& rad = doc.Gradients()[static_cast<std::size_t>(s[1].fill.gradient)];
  EXPECT_EQ(rad.kind, fw::svg::Gradient::Kind::Radial);
  EXPECT_TRUE(rad.userSpace);
  EXPECT_FLOAT_EQ(rad.cx, 20.f);
  EXPECT_FLOAT_EQ(rad.cy, 50.f);  // 50 % of the height
  EXPECT_NEAR(rad.r, 0.5f * std::sqrt((200.f * 200.f + 100.f * 100.f) / 2.f), 1e-3);
  EXPECT_NEAR(rad.fx, 20.f + rad.r * 0.999f, 1e-2);  // the focal point is pulled inside the circle
  EXPECT_EQ(rad.stops.size(), 3u);                   // stops inherited
  EXPECT_FLOAT_EQ(s[1].fill.opacity, 0.5f);

  EXPECT_EQ(s[2].fill.kind, Paint::Kind::Color);  // a single stop is a plain colour
  EXPECT_TRUE(SameColor(s[2].fill.color, {0, 1, 0, 0.5f}));
  EXPECT_TRUE(SameColor(s[3].fill.color, {0, 0, 1, 1}));  // the fallback of a missing reference
  EXPECT_EQ(s[4].fill.kind, Paint::Kind::Gradient);
}

// Dashes on a line of length 100: "10 10" gives five dashes; an odd list is
// repeated ("10" means "10 10"); an offset of 5 cuts the first dash to 0..5
// and adds a sixth at 95..100, an offset of 15 starts in a gap (five dashes);
// "30 10 5 5" gives 0..30, 40..45, 50..80, 90..95; all-zero or negative
// lists draw solid.
TEST(SvgParse, DashPatternsCutTheStroke) {
  struct Case {
    const char* attrs;
    int pieces;  // 0: not dashed
  };
  const Case cases[] = {
      {R"~(stroke-dasharray="10 10")~", 5},        {R"~(stroke-dasharray="10")~", 5},
      {R"~(stroke-dasharray="10,10" stroke-dashoffset="5")~", 6},
      {R"~(stroke-dasharray="10 10" stroke-dashoffset="15")~", 5},
      {R"~(stroke-dasharray="30 10 5 5")~", 4},    {R"~(stroke-dasharray="0 0")~", 0},
      {R"~(stroke-dasharray="5 -1")~", 0},         {R"~(stroke-dasharray="none")~", 0},
      {R"~(stroke-dasharray="0.001")~", 0},  // more pieces than allowed: drawn solid
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg(std::string(R"~(<line x1="0" y1="0" x2="100" y2="0" stroke="black" )~") + c.attrs + "/>"));
    ASSERT_EQ(doc.Shapes().size(), 1u) << c.attrs;
    const Shape& s = doc.Shapes()[0];
    if (c.pieces == 0) {
      EXPECT_EQ(s.strokePath.firstVerb, s.fillPath.firstVerb) << c.attrs;
      continue;
    }
    int moves = 0;
    for (std::uint32_t i = 0; i < s.strokePath.verbCount; ++i)
      moves += doc.Verbs()[s.strokePath.firstVerb + i] == Verb::MoveTo;
    EXPECT_EQ(moves, c.pieces) << c.attrs;
  }
  // The first dash of "10 10" with offset 5 runs from 0 to 5.
  const Document doc = Parse(Svg(R"~(<line x2="100" stroke="black" stroke-dasharray="10 10" stroke-dashoffset="5"/>)~"));
  const Shape& s = doc.Shapes()[0];
  EXPECT_FLOAT_EQ(doc.Points()[s.strokePath.firstPoint].x, 0.f);
  EXPECT_FLOAT_EQ(doc.Points()[s.strokePath.firstPoint + 1].x, 5.f);
  EXPECT_FLOAT_EQ(doc.Points()[s.strokePath.firstPoint + 2].x, 15.f);
}

TEST(SvgParse, UnsupportedElementsAreSkippedNotFatal) {
  const Document doc = Parse(Svg(R"~(<text x="1" y="1">hello<tspan>x</tspan></text>
      <clipPath id="c"><rect width="5" height="5"/></clipPath><mask id="m"><rect width="5" height="5"/></mask>
      <filter id="f"><feGaussianBlur/></filter><pattern id="p"><rect width="1" height="1"/></pattern>
      <image href="x.png" width="5" height="5"/><style>rect { fill: red }</style><foreignObject/>
      <rect width="5" height="5" clip-path="url(#c)" filter="url(#f)" mask="url(#m)"/>
      <rect width="5" height="5" fill="url(#p)"/>)~"));
  ASSERT_EQ(doc.Shapes().size(), 1u);  // the pattern fill without a fallback paints nothing
  EXPECT_TRUE(SameColor(doc.Shapes()[0].fill.color, {0, 0, 0, 1}));
}

TEST(SvgParse, BoundsRefuseHugeInput) {
  std::string error;
  EXPECT_FALSE(Document::Parse(std::string(fw::svg::kMaxFileBytes + 1, ' '), &error).Valid());
  EXPECT_NE(error.find("larger"), std::string::npos);
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<g>";
  for (int i = 0; i < 300; ++i) deep += "</g>";
  EXPECT_FALSE(Document::Parse(Svg(deep), &error).Valid());
  EXPECT_NE(error.find("deeply"), std::string::npos);
  // Numbers beyond 1e7 end the path data there.
  const Document doc = Parse(Svg(R"~(<path fill="black" d="M0 0 L10 10 L1e30 0 L5 5"/>)~"));
  EXPECT_EQ(doc.Shapes()[0].fillPath.verbCount, 2u);
}

TEST(SvgParse, ViewportTransformFollowsPreserveAspectRatio) {
  struct Case {
    const char* aspect;
    float a, d, e, f;  // scale x, scale y, offset x, offset y for a 100 x 50 viewBox at (10, 20) into 200 x 200
  };
  const Case cases[] = {
      {"xMinYMin", 2, 2, -20, -40},         {"xMidYMid", 2, 2, -20, 10},   {"xMaxYMax meet", 2, 2, -20, 60},
      {"xMidYMid slice", 4, 4, -140, -80},   {"xMinYMin slice", 4, 4, -40, -80},
      {"xMaxYMid slice", 4, 4, -240, -80}, {"none", 2, 4, -20, -80},
  };
  for (const Case& c : cases) {
    const Document doc = Parse(Svg("", std::string(R"~(viewBox="10 20 100 50" preserveAspectRatio=")~") + c.aspect + "\""));
    const fw::svg::Transform t = doc.ViewportTransform(0, 0, 200, 200);
    EXPECT_FLOAT_EQ(t.a, c.a) << c.aspect;
    EXPECT_FLOAT_EQ(t.d, c.d) << c.aspect;
    EXPECT_FLOAT_EQ(t.e, c.e) << c.aspect;
    EXPECT_FLOAT_EQ(t.f, c.f) << c.aspect;
  }
}

}  // namespace
