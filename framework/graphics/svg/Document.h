// An SVG drawing read once into a flat, retained model: every visible shape
// with its path in its own coordinates, its full transform, its paints and
// stroke style. Groups, `use` references, inherited styles and dash patterns
// are resolved while reading, so drawing only replays the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::svg {

// Bounds on what one document may hold; a file beyond them is refused.
inline constexpr std::size_t kMaxFileBytes = 16u << 20;
inline constexpr std::size_t kMaxShapes = 50000;
inline constexpr std::size_t kMaxPoints = 2000000;
inline constexpr std::size_t kMaxGradients = 256;
inline constexpr std::size_t kMaxStopsPerGradient = 64;
inline constexpr std::size_t kMaxElementVisits = 500000;  // counts elements reached through `use` again
inline constexpr int kMaxUseDepth = 16;
// A dash pattern that would cut one stroke into more pieces is drawn solid.
inline constexpr std::size_t kMaxDashesPerShape = 10000;

struct Point {
  float x = 0, y = 0;
};

// Affine map x' = a x + c y + e, y' = b x + d y + f (SVG's matrix(a b c d e f),
// the same layout as NanoVG's float[6]).
struct Transform {
  float a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  // The map that applies `first`, then this one.
  Transform Then(const Transform& first) const;
  Point Apply(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  float Determinant() const { return a * d - b * c; }
  bool IsFinite() const;
  static Transform Translate(float x, float y) { return {1, 0, 0, 1, x, y}; }
  static Transform Scale(float x, float y) { return {x, 0, 0, y, 0, 0}; }
};

// Straight (not premultiplied) colour, each channel 0..1.
struct Color {
  float r = 0, g = 0, b = 0, a = 1;
};

enum class Verb : std::uint8_t { MoveTo, LineTo, CubicTo, Close };

// How many points a verb takes from the point list.
constexpr int PointsOf(Verb v) { return v == Verb::CubicTo ? 3 : (v == Verb::Close ? 0 : 1); }

struct GradientStop {
  float offset = 0;  // 0..1, never below the previous stop's
  Color color;       // stop-color with stop-opacity in its alpha
};

struct Gradient {
  enum class Kind : std::uint8_t { Linear, Radial };
  Kind kind = Kind::Linear;
  bool userSpace = false;  // gradientUnits="userSpaceOnUse"; else objectBoundingBox
  Transform transform;     // gradientTransform
  float x1 = 0, y1 = 0, x2 = 1, y2 = 0;           // linear
  float cx = 0.5f, cy = 0.5f, r = 0.5f, fx = 0.5f, fy = 0.5f;  // radial
  std::vector<GradientStop> stops;  // at least two (one-stop gradients become colours)
};

struct Paint {
  enum class Kind : std::uint8_t { None, Color, Gradient };
  Kind kind = Kind::None;
  Color color;        // Kind::Color; alpha includes the opacities
  int gradient = -1;  // Kind::Gradient: index into Document::Gradients()
  float opacity = 1;  // Kind::Gradient: fill- or stroke-opacity times opacity
};

enum class LineCap : std::uint8_t { Butt, Round, Square };
enum class LineJoin : std::uint8_t { Miter, Round, Bevel };

// A range of the document's verbs (and the points they use).
struct PathRange {
  std::uint32_t firstVerb = 0, verbCount = 0;
  std::uint32_t firstPoint = 0;
  std::uint32_t firstSubpath = 0, subpathCount = 0;  // into SubpathAreas()
};

struct Shape {
  Transform transform;  // shape coordinates to the drawing's (viewBox) coordinates
  PathRange fillPath;    // the geometry
  PathRange strokePath;  // the geometry, or its dash pieces when dashed
  Paint fill, stroke;
  bool evenOdd = false;
  // A single subpath that winds around more than once (a pentagram): NanoVG
  // would take it for convex, as every turn goes the same way, and fan it.
  bool selfOverlapping = false;
  float strokeWidth = 1;
  float miterLimit = 4;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  float bboxX = 0, bboxY = 0, bboxW = 0, bboxH = 0;  // of the geometry, shape coordinates
};

enum class Align : std::uint8_t { None, XMinYMin, XMidYMin, XMaxYMin, XMinYMid, XMidYMid, XMaxYMid, XMinYMax, XMidYMax, XMaxYMax };

class Document {
 public:
  // Reads an SVG file's bytes. A malformed or over-large file gives an invalid
  // document and, when `error` is given, a one-line reason.
  static Document Parse(std::string_view bytes, std::string* error = nullptr);
  // Reads a file from disk (UTF-8 path; wide API on Windows).
  static Document Load(const std::string& path, std::string* error = nullptr);

  bool Valid() const { return valid_; }
  // Intrinsic size in px: width and height when given, else the viewBox's.
  float Width() const { return width_; }
  float Height() const { return height_; }
  bool HasViewBox() const { return hasViewBox_; }
  float ViewBoxX() const { return vbX_; }
  float ViewBoxY() const { return vbY_; }
  float ViewBoxW() const { return vbW_; }
  float ViewBoxH() const { return vbH_; }
  Align AspectAlign() const { return align_; }
  bool AspectSlice() const { return slice_; }

  const std::vector<Shape>& Shapes() const { return shapes_; }
  const std::vector<Gradient>& Gradients() const { return gradients_; }
  const std::vector<Verb>& Verbs() const { return verbs_; }
  const std::vector<Point>& Points() const { return points_; }
  // Signed area of each subpath in shape coordinates (x right, y down:
  // positive is clockwise on screen); decides the non-zero winding.
  const std::vector<float>& SubpathAreas() const { return subpathAreas_; }

  // The map from the viewBox into the rectangle (x, y, w, h) under
  // preserveAspectRatio.
  Transform ViewportTransform(float x, float y, float w, float h) const;

 private:
  friend class Builder;
  bool valid_ = false;
  float width_ = 0, height_ = 0;
  bool hasViewBox_ = false;
  float vbX_ = 0, vbY_ = 0, vbW_ = 0, vbH_ = 0;
  Align align_ = Align::XMidYMid;
  bool slice_ = false;
  std::vector<Shape> shapes_;
  std::vector<Gradient> gradients_;
  std::vector<Verb> verbs_;
  std::vector<Point> points_;
  std::vector<float> subpathAreas_;
};

// Parses an SVG colour ("#rgb", "#rrggbb", "rgb(...)", a CSS colour name);
// false for anything else.
bool ParseColor(std::string_view text, Color& out);

}  // namespace fw::svg
