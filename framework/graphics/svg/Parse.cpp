// Reads SVG bytes into a Document: the XML tree is walked once with the
// inherited style, groups and `use` references are flattened into shapes with
// their full transforms, arcs and quadratic curves become cubic curves, and
// dash patterns are cut into pieces here, so drawing only replays the result.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "framework/graphics/FileBytes.h"
#include "framework/graphics/svg/Document.h"
#include "framework/graphics/svg/NamedColors.h"
#include "framework/graphics/svg/Xml.h"

namespace fw::svg {

// ---- small helpers -------------------------------------------------------------------

Transform Transform::Then(const Transform& first) const {
  // this ∘ first
  return {a * first.a + c * first.b,
          b * first.a + d * first.b,
          a * first.c + c * first.d,
          b * first.c + d * first.d,
          a * first.e + c * first.f + e,
          b * first.e + d * first.f + f};
}

bool Transform::IsFinite() const {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e) &&
         std::isfinite(f);
}

namespace {

constexpr double kPi = 3.14159265358979323846;
// Numbers beyond this magnitude are refused: they would overflow once transformed.
constexpr float kMaxCoordinate = 1e7f;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

void SkipSpaces(std::string_view& s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
}

// Skips white space and at most one comma (the separators of SVG number lists).
void SkipSeparator(std::string_view& s) {
  SkipSpaces(s);
  if (!s.empty() && s.front() == ',') {
    s.remove_prefix(1);
    SkipSpaces(s);
  }
}

// Reads one number at the start of s (a leading '+' allowed), locale-independent.
bool ReadNumber(std::string_view& s, float& out) {
  std::string_view t = s;
  bool plus = !t.empty() && t.front() == '+';
  if (plus) t.remove_prefix(1);
  if (t.empty() || t.front() == '+' || (plus && t.front() == '-')) return false;
  float v = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (ec != std::errc() || ptr == t.data()) return false;
  if (!std::isfinite(v) || std::fabs(v) > kMaxCoordinate) return false;
  out = v;
  s.remove_prefix(static_cast<std::size_t>(ptr - s.data()));
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// A length: a number with an optional unit. Percentages are returned as a
// fraction with `percent` set; absolute units become px at 96 per inch.
bool ParseLength(std::string_view text, float& value, bool& percent) {
  std::string_view s = Trim(text);
  float v = 0;
  if (!ReadNumber(s, v)) return false;
  percent = false;
  if (s.empty() || s == "px") {
    value = v;
  } else if (s == "%") {
    value = v / 100.f;
    percent = true;
  } else if (s == "pt") {
    value = v * 96.f / 72.f;
  } else if (s == "pc") {
    value = v * 16.f;
  } else if (s == "in") {
    value = v * 96.f;
  } else if (s == "cm") {
    value = v * 96.f / 2.54f;
  } else if (s == "mm") {
    value = v * 96.f / 25.4f;
  } else {
    return false;  // em, ex and unknown units
  }
  return std::isfinite(value);
}

// A length where a percentage refers to `reference`.
bool ParseLengthRef(std::string_view text, float reference, float& value) {
  bool percent = false;
  if (!ParseLength(text, value, percent)) return false;
  if (percent) value *= reference;
  return true;
}

float HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<float>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<float>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<float>(c - 'A' + 10);
  return -1;
}

}  // namespace

bool ParseColor(std::string_view text, Color& out) {
  std::string_view s = Trim(text);
  if (s.empty()) return false;
  if (s.front() == '#') {
    s.remove_prefix(1);
    float d[6];
    if (s.size() != 3 && s.size() != 6) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
      if ((d[i] = HexDigit(s[i])) < 0) return false;
    if (s.size() == 3) {
      out = {d[0] * 17 / 255.f, d[1] * 17 / 255.f, d[2] * 17 / 255.f, 1};
    } else {
      out = {(d[0] * 16 + d[1]) / 255.f, (d[2] * 16 + d[3]) / 255.f, (d[4] * 16 + d[5]) / 255.f, 1};
    }
    return true;
  }
  bool rgba = s.size() > 5 && EqualsNoCase(s.substr(0, 5), "rgba(");
  if (rgba || (s.size() > 4 && EqualsNoCase(s.substr(0, 4), "rgb("))) {
    if (s.back() != ')') return false;
    s = s.substr(rgba ? 5 : 4, s.size() - (rgba ? 6 : 5));
    float ch[4] = {0, 0, 0, 1};
    for (int i = 0; i < (rgba ? 4 : 3); ++i) {
      SkipSpaces(s);
      float v = 0;
      if (!ReadNumber(s, v)) return false;
      bool pct = !s.empty() && s.front() == '%';
      if (pct) s.remove_prefix(1);
      if (i < 3) v = pct ? v * 255.f / 100.f : v;
      else v = pct ? v / 100.f : v;
      ch[i] = i < 3 ? std::clamp(v, 0.f, 255.f) / 255.f : std::clamp(v, 0.f, 1.f);
      if (i + 1 < (rgba ? 4 : 3)) {
        SkipSpaces(s);
        if (s.empty() || s.front() != ',') return false;
        s.remove_prefix(1);
      }
    }
    SkipSpaces(s);
    if (!s.empty()) return false;
    out = {ch[0], ch[1], ch[2], ch[3]};
    return true;
  }
  std::string lower(s);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const auto* end = std::end(kNamedColors);
  const auto* it = std::lower_bound(std::begin(kNamedColors), end, lower,
                                    [](const NamedColor& n, const std::string& key) { return std::strcmp(n.name, key.c_str()) < 0; });
  if (it == end || lower != it->name) return false;
  out = {static_cast<float>((it->rgb >> 16) & 0xFF) / 255.f, static_cast<float>((it->rgb >> 8) & 0xFF) / 255.f,
         static_cast<float>(it->rgb & 0xFF) / 255.f, 1};
  return true;
}

namespace {

// transform="..." : a list of transform functions, applied left to right as
// nested coordinate systems. False (the attribute is then ignored) when malformed.
bool ParseTransform(std::string_view text, Transform& out) {
  std::string_view s = text;
  Transform total;
  SkipSeparator(s);
  while (!s.empty()) {
    std::size_t open = s.find('(');
    if (open == std::string_view::npos) return false;
    std::string_view name = Trim(s.substr(0, open));
    std::size_t close = s.find(')', open);
    if (close == std::string_view::npos) return false;
    std::string_view args = s.substr(open + 1, close - open - 1);
    float v[6];
    int n = 0;
    SkipSpaces(args);
    while (!args.empty()) {
      if (n == 6 || !ReadNumber(args, v[n])) return false;
      ++n;
      SkipSeparator(args);
    }
    Transform t;
    const float rad = static_cast<float>(kPi / 180.0);
    if (name == "matrix" && n == 6) {
      t = {v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate" && (n == 1 || n == 2)) {
      t = Transform::Translate(v[0], n == 2 ? v[1] : 0);
    } else if (name == "scale" && (n == 1 || n == 2)) {
      t = Transform::Scale(v[0], n == 2 ? v[1] : v[0]);
    } else if (name == "rotate" && (n == 1 || n == 3)) {
      float cs = std::cos(v[0] * rad), sn = std::sin(v[0] * rad);
      t = {cs, sn, -sn, cs, 0, 0};
      if (n == 3) t = Transform::Translate(v[1], v[2]).Then(t).Then(Transform::Translate(-v[1], -v[2]));
    } else if (name == "skewX" && n == 1) {
      t = {1, 0, std::tan(v[0] * rad), 1, 0, 0};
    } else if (name == "skewY" && n == 1) {
      t = {1, std::tan(v[0] * rad), 0, 1, 0, 0};
    } else {
      return false;
    }
    total = total.Then(t);
    s.remove_prefix(close + 1);
    SkipSeparator(s);
  }
  if (!total.IsFinite()) return false;
  out = total;
  return true;
}

// ---- path geometry ---------------------------------------------------------------------

// Collects the verbs and points of one shape's path.
class PathSink {
 public:
  std::vector<Verb> verbs;
  std::vector<Point> points;

  void MoveTo(float x, float y) {
    verbs.push_back(Verb::MoveTo);
    points.push_back({x, y});
    cur_ = start_ = {x, y};
  }
  void LineTo(float x, float y) {
    EnsureOpen();
    verbs.push_back(Verb::LineTo);
    points.push_back({x, y});
    cur_ = {x, y};
  }
  void CubicTo(float x1, float y1, float x2, float y2, float x, float y) {
    EnsureOpen();
    verbs.push_back(Verb::CubicTo);
    points.push_back({x1, y1});
    points.push_back({x2, y2});
    points.push_back({x, y});
    cur_ = {x, y};
  }
  void QuadTo(float qx, float qy, float x, float y) {
    // The cubic with the same curve: control points 2/3 of the way to the quadratic's.
    CubicTo(cur_.x + 2.f / 3.f * (qx - cur_.x), cur_.y + 2.f / 3.f * (qy - cur_.y), x + 2.f / 3.f * (qx - x),
            y + 2.f / 3.f * (qy - y), x, y);
  }
  void Close() {
    if (!verbs.empty() && verbs.back() != Verb::Close) {
      verbs.push_back(Verb::Close);
      cur_ = start_;
    }
  }
  // Elliptical arc from the current point, by the endpoint-to-centre
  // conversion with radii correction, as cubic pieces of at most 90 degrees.
  void ArcTo(float rxIn, float ryIn, float angleDeg, bool large, bool sweep, float x, float y) {
    const double x0 = cur_.x, y0 = cur_.y;
    if (x0 == x && y0 == y) return;
    double rx = std::fabs(rxIn), ry = std::fabs(ryIn);
    if (rx == 0 || ry == 0) {
      LineTo(x, y);
      return;
    }
    const double phi = angleDeg * kPi / 180.0, cs = std::cos(phi), sn = std::sin(phi);
    const double dx = (x0 - x) / 2, dy = (y0 - y) / 2;
    const double x1p = cs * dx + sn * dy, y1p = -sn * dx + cs * dy;
    const double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
    if (lambda > 1) {
      rx *= std::sqrt(lambda);
      ry *= std::sqrt(lambda);
    }
    const double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
    const double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
    double coef = den > 0 ? std::sqrt(std::max(0.0, num / den)) : 0;
    if (large == sweep) coef = -coef;
    const double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
    const double cx = cs * cxp - sn * cyp + (x0 + x) / 2, cy = sn * cxp + cs * cyp + (y0 + y) / 2;
    auto angle = [](double ux, double uy, double vx, double vy) { return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy); };
    const double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry, vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
    const double theta1 = angle(1, 0, ux, uy);
    double dtheta = angle(ux, uy, vx, vy);
    if (!sweep && dtheta > 0) dtheta -= 2 * kPi;
    if (sweep && dtheta < 0) dtheta += 2 * kPi;
    const int n = std::max(1, static_cast<int>(std::ceil(std::fabs(dtheta) / (kPi / 2) - 1e-9)));
    const double delta = dtheta / n, t = 4.0 / 3.0 * std::tan(delta / 4);
    auto map = [&](double px, double py, float& ox, float& oy) {
      ox = static_cast<float>(cx + rx * cs * px - ry * sn * py);
      oy = static_cast<float>(cy + rx * sn * px + ry * cs * py);
    };
    for (int i = 0; i < n; ++i) {
      const double a1 = theta1 + i * delta, a2 = a1 + delta;
      const double c1 = std::cos(a1), s1 = std::sin(a1), c2 = std::cos(a2), s2 = std::sin(a2);
      float p1x, p1y, p2x, p2y, ex, ey;
      map(c1 - t * s1, s1 + t * c1, p1x, p1y);
      map(c2 + t * s2, s2 - t * c2, p2x, p2y);
      if (i == n - 1) {
        ex = x;
        ey = y;
      } else {
        map(c2, s2, ex, ey);
      }
      CubicTo(p1x, p1y, p2x, p2y, ex, ey);
    }
  }
  Point Current() const { return cur_; }

 private:
  // A drawing command after a close starts a new subpath at the closed one's start.
  void EnsureOpen() {
    if (verbs.empty() || verbs.back() == Verb::Close) {
      verbs.push_back(Verb::MoveTo);
      points.push_back(cur_);
      start_ = cur_;
    }
  }
  Point cur_, start_;
};

// Path data (the d attribute). As SVG asks, an error ends the path: what was
// read up to it is kept.
void ParsePathData(std::string_view s, PathSink& sink) {
  char cmd = 0;
  Point lastCtrl{};
  char lastCmd = 0;
  SkipSpaces(s);
  while (!s.empty()) {
    const std::size_t before = s.size();
    char c = s.front();
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      cmd = c;
      s.remove_prefix(1);
      SkipSpaces(s);
    } else if (cmd == 0) {
      return;  // data must start with a command
    }
    const bool rel = cmd >= 'a' && cmd <= 'z';
    const char up = rel ? static_cast<char>(cmd - 'a' + 'A') : cmd;
    const Point p0 = sink.Current();
    const float ox = rel ? p0.x : 0, oy = rel ? p0.y : 0;
    float v[7];
    auto read = [&](int n) {
      for (int i = 0; i < n; ++i) {
        if (i > 0) SkipSeparator(s);
        if (!ReadNumber(s, v[i])) return false;
      }
      SkipSeparator(s);
      return true;
    };
    auto readFlag = [&](float& f) {
      SkipSeparator(s);
      if (s.empty() || (s.front() != '0' && s.front() != '1')) return false;
      f = s.front() == '1' ? 1.f : 0.f;
      s.remove_prefix(1);
      return true;
    };
    switch (up) {
      case 'M':
        if (!read(2)) return;
        sink.MoveTo(v[0] + ox, v[1] + oy);
        cmd = rel ? 'l' : 'L';  // further pairs are line segments
        break;
      case 'L':
        if (!read(2)) return;
        sink.LineTo(v[0] + ox, v[1] + oy);
        break;
      case 'H':
        if (!read(1)) return;
        sink.LineTo(v[0] + ox, p0.y);
        break;
      case 'V':
        if (!read(1)) return;
        sink.LineTo(p0.x, v[0] + oy);
        break;
      case 'C':
        if (!read(6)) return;
        sink.CubicTo(v[0] + ox, v[1] + oy, v[2] + ox, v[3] + oy, v[4] + ox, v[5] + oy);
        lastCtrl = {v[2] + ox, v[3] + oy};
        break;
      case 'S': {
        if (!read(4)) return;
        Point c1 = p0;
        if (lastCmd == 'C' || lastCmd == 'S') c1 = {2 * p0.x - lastCtrl.x, 2 * p0.y - lastCtrl.y};
        sink.CubicTo(c1.x, c1.y, v[0] + ox, v[1] + oy, v[2] + ox, v[3] + oy);
        lastCtrl = {v[0] + ox, v[1] + oy};
        break;
      }
      case 'Q':
        if (!read(4)) return;
        sink.QuadTo(v[0] + ox, v[1] + oy, v[2] + ox, v[3] + oy);
        lastCtrl = {v[0] + ox, v[1] + oy};
        break;
      case 'T': {
        if (!read(2)) return;
        Point q = p0;
        if (lastCmd == 'Q' || lastCmd == 'T') q = {2 * p0.x - lastCtrl.x, 2 * p0.y - lastCtrl.y};
        sink.QuadTo(q.x, q.y, v[0] + ox, v[1] + oy);
        lastCtrl = q;
        break;
      }
      case 'A': {
        float large = 0, sweep = 0;
        if (!ReadNumber(s, v[0])) return;
        SkipSeparator(s);
        if (!ReadNumber(s, v[1])) return;
        SkipSeparator(s);
        if (!ReadNumber(s, v[2])) return;
        if (!readFlag(large) || !readFlag(sweep)) return;
        SkipSeparator(s);
        if (!ReadNumber(s, v[3])) return;
        SkipSeparator(s);
        if (!ReadNumber(s, v[4])) return;
        SkipSeparator(s);
        sink.ArcTo(v[0], v[1], v[2], large != 0, sweep != 0, v[3] + ox, v[4] + oy);
        break;
      }
      case 'Z':
        sink.Close();
        SkipSeparator(s);
        break;
      default:
        return;  // unknown command
    }
    lastCmd = up;
    // Numbers after a close path, or anything else read without progress, end the data.
    if (s.size() == before || sink.points.size() > kMaxPoints) return;
  }
}

// Points of a points="..." list; an odd trailing number is dropped.
std::vector<Point> ParsePoints(std::string_view s) {
  std::vector<Point> pts;
  SkipSpaces(s);
  while (!s.empty()) {
    Point p;
    if (!ReadNumber(s, p.x)) break;
    SkipSeparator(s);
    if (!ReadNumber(s, p.y)) break;
    SkipSeparator(s);
    pts.push_back(p);
    if (pts.size() > kMaxPoints) break;
  }
  return pts;
}

Point CubicAt(const Point* p, float t) {
  const float u = 1 - t;
  const float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x, a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y};
}

// The parameters in (0, 1) where one coordinate of a cubic has an extremum.
int CubicExtrema(float p0, float p1, float p2, float p3, float* ts) {
  const double a = -p0 + 3.0 * p1 - 3.0 * p2 + p3, b = 2.0 * (p0 - 2.0 * p1 + p2), c = p1 - p0;
  int n = 0;
  auto add = [&](double t) {
    if (t > 0 && t < 1) ts[n++] = static_cast<float>(t);
  };
  if (std::fabs(a) < 1e-12) {
    if (std::fabs(b) > 1e-12) add(-c / b);
  } else {
    const double disc = b * b - 4 * a * c;
    if (disc >= 0) {
      const double r = std::sqrt(disc);
      add((-b + r) / (2 * a));
      add((-b - r) / (2 * a));
    }
  }
  return n;
}

// Calls fn(polyline of one subpath, closed) for every subpath, curves cut
// into line pieces whose distance from the curve stays below `tolerance`.
template <typename Fn>
void Flatten(const std::vector<Verb>& verbs, const std::vector<Point>& points, float tolerance, Fn&& fn) {
  std::vector<Point> line;
  std::size_t pi = 0;
  bool closed = false;
  auto flush = [&]() {
    if (!line.empty()) fn(line, closed);
    line.clear();
    closed = false;
  };
  for (Verb v : verbs) {
    switch (v) {
      case Verb::MoveTo:
        flush();
        line.push_back(points[pi++]);
        break;
      case Verb::LineTo:
        line.push_back(points[pi++]);
        break;
      case Verb::CubicTo: {
        const Point p[4] = {line.back(), points[pi], points[pi + 1], points[pi + 2]};
        pi += 3;
        // Wang's bound on the segment count of a cubic for a given flatness.
        const float ddx = std::max(std::fabs(p[0].x - 2 * p[1].x + p[2].x), std::fabs(p[1].x - 2 * p[2].x + p[3].x));
        const float ddy = std::max(std::fabs(p[0].y - 2 * p[1].y + p[2].y), std::fabs(p[1].y - 2 * p[2].y + p[3].y));
        const float dd = std::sqrt(ddx * ddx + ddy * ddy);
        const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75f * dd / tolerance))), 1, 256);
        for (int i = 1; i < n; ++i) line.push_back(CubicAt(p, static_cast<float>(i) / static_cast<float>(n)));
        line.push_back(p[3]);
        break;
      }
      case Verb::Close:
        closed = true;
        flush();
        break;
    }
  }
  flush();
}

// ---- style -------------------------------------------------------------------------------

struct PaintSource {
  enum class Kind { None, Color, Url, CurrentColor };
  Kind kind = Kind::None;
  Color color;
  std::string url;           // Kind::Url: the referenced id
  bool hasFallback = false;  // Kind::Url: a colour or none after the reference
  bool fallbackIsNone = true;
  Color fallback;
};

PaintSource BlackPaint() {
  PaintSource p;
  p.kind = PaintSource::Kind::Color;
  return p;
}

struct Style {
  PaintSource fill = BlackPaint();
  PaintSource stroke;
  float fillOpacity = 1, strokeOpacity = 1;
  float opacity = 1;  // product of the element's and its ancestors' opacity
  float strokeWidth = 1, miterLimit = 4, dashOffset = 0;
  bool evenOdd = false;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  std::vector<float> dashes;
  Color color{0, 0, 0, 1};
  bool visible = true;
};

bool ParsePaint(std::string_view text, PaintSource& out) {
  std::string_view s = Trim(text);
  if (s == "none") {
    out = PaintSource{};
    return true;
  }
  if (s == "currentColor") {
    out = PaintSource{};
    out.kind = PaintSource::Kind::CurrentColor;
    return true;
  }
  if (s.substr(0, 4) == "url(") {
    std::size_t close = s.find(')');
    if (close == std::string_view::npos) return false;
    std::string_view ref = Trim(s.substr(4, close - 4));
    if (ref.size() >= 2 && (ref.front() == '"' || ref.front() == '\'') && ref.back() == ref.front())
      ref = ref.substr(1, ref.size() - 2);
    if (ref.empty() || ref.front() != '#') return false;
    PaintSource p;
    p.kind = PaintSource::Kind::Url;
    p.url = std::string(ref.substr(1));
    std::string_view rest = Trim(s.substr(close + 1));
    if (!rest.empty()) {
      p.hasFallback = true;
      if (rest == "none") {
        p.fallbackIsNone = true;
      } else if (ParseColor(rest, p.fallback)) {
        p.fallbackIsNone = false;
      } else {
        return false;
      }
    }
    out = std::move(p);
    return true;
  }
  Color c;
  if (!ParseColor(s, c)) return false;
  out = PaintSource{};
  out.kind = PaintSource::Kind::Color;
  out.color = c;
  return true;
}

bool ParseOpacity(std::string_view text, float& out) {
  std::string_view s = Trim(text);
  float v = 0;
  if (!ReadNumber(s, v)) return false;
  if (s == "%") v /= 100.f;
  else if (!s.empty()) return false;
  out = std::clamp(v, 0.f, 1.f);
  return true;
}

// ---- building the document ---------------------------------------------------------

}  // namespace

class Builder {
 public:
  Builder(const xml::Tree& tree, Document& doc) : tree_(tree), doc_(doc) {}

  bool Build(std::string& error) {
    const xml::Element& root = tree_.elements[0];
    if (LocalName(root.name) != "svg") return Fail(error, "the root element is not <svg>");
    for (std::size_t i = 0; i < tree_.elements.size(); ++i)
      if (const std::string* id = tree_.elements[i].Find("id")) ids_.emplace(*id, static_cast<int>(i));

    // Size and viewBox.
    if (const std::string* vb = root.Find("viewBox")) {
      std::string_view s = *vb;
      float v[4];
      bool ok = true;
      SkipSpaces(s);
      for (float& x : v) {
        ok = ok && ReadNumber(s, x);
        SkipSeparator(s);
      }
      if (ok && s.empty() && v[2] > 0 && v[3] > 0) {
        doc_.hasViewBox_ = true;
        doc_.vbX_ = v[0];
        doc_.vbY_ = v[1];
        doc_.vbW_ = v[2];
        doc_.vbH_ = v[3];
      }
    }
    float w = -1, h = -1;
    bool pct = false;
    if (const std::string* a = root.Find("width"))
      if (!ParseLength(*a, w, pct) || pct || w < 0) w = -1;
    if (const std::string* a = root.Find("height"))
      if (!ParseLength(*a, h, pct) || pct || h < 0) h = -1;
    if (doc_.hasViewBox_) {
      // A missing dimension follows the viewBox's aspect ratio.
      if (w < 0 && h < 0) {
        w = doc_.vbW_;
        h = doc_.vbH_;
      } else if (w < 0) {
        w = h * doc_.vbW_ / doc_.vbH_;
      } else if (h < 0) {
        h = w * doc_.vbH_ / doc_.vbW_;
      }
    }
    doc_.width_ = std::max(w, 0.f);
    doc_.height_ = std::max(h, 0.f);
    refW_ = doc_.hasViewBox_ ? doc_.vbW_ : doc_.width_;
    refH_ = doc_.hasViewBox_ ? doc_.vbH_ : doc_.height_;
    if (const std::string* par = root.Find("preserveAspectRatio")) ParseAspect(*par);

    Style style;
    if (!WalkChildren(0, style, Transform{}, 0, error)) return false;
    return true;
  }

 private:
  static std::string_view LocalName(std::string_view name) {
    std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
  }
  static bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
  }

  void ParseAspect(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.substr(0, 5) == "defer") s = Trim(s.substr(5));
    std::size_t sp = s.find(' ');
    std::string_view align = sp == std::string_view::npos ? s : s.substr(0, sp);
    std::string_view mode = sp == std::string_view::npos ? std::string_view{} : Trim(s.substr(sp + 1));
    static constexpr std::pair<std::string_view, Align> kAligns[] = {
        {"none", Align::None},         {"xMinYMin", Align::XMinYMin}, {"xMidYMin", Align::XMidYMin},
        {"xMaxYMin", Align::XMaxYMin}, {"xMinYMid", Align::XMinYMid}, {"xMidYMid", Align::XMidYMid},
        {"xMaxYMid", Align::XMaxYMid}, {"xMinYMax", Align::XMinYMax}, {"xMidYMax", Align::XMidYMax},
        {"xMaxYMax", Align::XMaxYMax}};
    for (const auto& [name, value] : kAligns)
      if (align == name) {
        doc_.align_ = value;
        doc_.slice_ = mode == "slice";
      }
  }

  // Applies one presentation property; unknown names and invalid values leave
  // the inherited value. Returns false for display:none.
  bool ApplyProperty(std::string_view name, std::string_view value, Style& st, float& ownOpacity) {
    value = Trim(value);
    if (value == "inherit") return true;
    if (name == "fill") {
      ParsePaint(value, st.fill);
    } else if (name == "stroke") {
      ParsePaint(value, st.stroke);
    } else if (name == "fill-opacity") {
      ParseOpacity(value, st.fillOpacity);
    } else if (name == "stroke-opacity") {
      ParseOpacity(value, st.strokeOpacity);
    } else if (name == "opacity") {
      ParseOpacity(value, ownOpacity);
    } else if (name == "stroke-width") {
      float v = 0;
      if (ParseLengthRef(value, std::sqrt((refW_ * refW_ + refH_ * refH_) / 2), v) && v >= 0) st.strokeWidth = v;
    } else if (name == "stroke-miterlimit") {
      std::string_view s = value;
      float v = 0;
      if (ReadNumber(s, v) && s.empty() && v >= 1) st.miterLimit = v;
    } else if (name == "stroke-linecap") {
      if (value == "butt") st.cap = LineCap::Butt;
      else if (value == "round") st.cap = LineCap::Round;
      else if (value == "square") st.cap = LineCap::Square;
    } else if (name == "stroke-linejoin") {
      if (value == "miter" || value == "miter-clip" || value == "arcs") st.join = LineJoin::Miter;
      else if (value == "round") st.join = LineJoin::Round;
      else if (value == "bevel") st.join = LineJoin::Bevel;
    } else if (name == "stroke-dasharray") {
      if (value == "none") {
        st.dashes.clear();
      } else {
        std::vector<float> d;
        std::string_view s = value;
        const float ref = std::sqrt((refW_ * refW_ + refH_ * refH_) / 2);
        bool ok = true;
        SkipSpaces(s);
        while (ok && !s.empty() && d.size() < 64) {
          std::size_t end = 0;
          while (end < s.size() && !IsSpace(s[end]) && s[end] != ',') ++end;
          float v = 0;
          ok = ParseLengthRef(s.substr(0, end), ref, v) && v >= 0;
          d.push_back(v);
          s.remove_prefix(end);
          SkipSeparator(s);
        }
        if (ok && s.empty()) st.dashes = std::move(d);  // an invalid list leaves the parent's
      }
    } else if (name == "stroke-dashoffset") {
      float v = 0;
      if (ParseLengthRef(value, std::sqrt((refW_ * refW_ + refH_ * refH_) / 2), v)) st.dashOffset = v;
    } else if (name == "fill-rule") {
      if (value == "evenodd") st.evenOdd = true;
      else if (value == "nonzero") st.evenOdd = false;
    } else if (name == "color") {
      ParseColor(value, st.color);
    } else if (name == "visibility") {
      if (value == "visible") st.visible = true;
      else if (value == "hidden" || value == "collapse") st.visible = false;
    } else if (name == "display") {
      if (value == "none") return false;
    }
    return true;
  }

  // The element's style from its parent's, its attributes and its style="".
  // False when the element is not displayed.
  bool ElementStyle(const xml::Element& el, const Style& parent, Style& st) {
    st = parent;
    float ownOpacity = 1;
    bool shown = true;
    for (const auto& [key, value] : el.attributes)
      if (key != "style") shown = ApplyProperty(key, value, st, ownOpacity) && shown;
    if (const std::string* decls = el.Find("style")) {
      std::string_view s = *decls;
      while (!s.empty()) {
        std::size_t semi = s.find(';');
        std::string_view decl = s.substr(0, semi);
        s = semi == std::string_view::npos ? std::string_view{} : s.substr(semi + 1);
        std::size_t colon = decl.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view value = Trim(decl.substr(colon + 1));
        if (std::size_t imp = value.find("!important"); imp != std::string_view::npos) value = Trim(value.substr(0, imp));
        shown = ApplyProperty(Trim(decl.substr(0, colon)), value, st, ownOpacity) && shown;
      }
    }
    st.opacity = parent.opacity * ownOpacity;
    return shown;
  }

  bool ElementTransform(const xml::Element& el, const Transform& parent, Transform& out) {
    Transform own;
    if (const std::string* t = el.Find("transform")) ParseTransform(*t, own);
    out = parent.Then(own);
    return out.IsFinite();
  }

  const std::string* Href(const xml::Element& el) const {
    if (const std::string* h = el.Find("href")) return h;
    return el.Find("xlink:href");
  }
  int Resolve(const std::string* href) const {
    if (href == nullptr || href->empty() || (*href)[0] != '#') return -1;
    auto it = ids_.find(href->substr(1));
    return it == ids_.end() ? -1 : it->second;
  }

  bool WalkChildren(int index, const Style& style, const Transform& xf, int useDepth, std::string& error) {
    for (int child : tree_.elements[static_cast<std::size_t>(index)].children)
      if (!Walk(child, style, xf, useDepth, error)) return false;
    return true;
  }

  bool Walk(int index, const Style& parentStyle, const Transform& parentXf, int useDepth, std::string& error) {
    if (++visits_ > kMaxElementVisits) return Fail(error, "too many elements reached through use references (limit " +
                                  std::to_string(kMaxElementVisits) + ")");
    const xml::Element& el = tree_.elements[static_cast<std::size_t>(index)];
    const std::string_view name = LocalName(el.name);
    const bool container = name == "g" || name == "a" || name == "switch" || name == "svg";
    const bool shape = name == "path" || name == "rect" || name == "circle" || name == "ellipse" || name == "line" ||
                       name == "polyline" || name == "polygon";
    if (!container && !shape && name != "use") return true;  // defs, gradients, text, filters, ... are not drawn
    Style st;
    if (!ElementStyle(el, parentStyle, st)) return true;
    Transform xf;
    if (!ElementTransform(el, parentXf, xf)) return true;
    if (container) return WalkChildren(index, st, xf, useDepth, error);
    if (name == "use") {
      const int target = Resolve(Href(el));
      if (target < 0 || useDepth >= kMaxUseDepth) return true;
      // A reference to the use element itself or one of its ancestors would never end.
      for (int a = index; a >= 0; a = tree_.elements[static_cast<std::size_t>(a)].parent)
        if (a == target) return true;
      float x = 0, y = 0;
      if (const std::string* a = el.Find("x")) ParseLengthRef(*a, refW_, x);
      if (const std::string* a = el.Find("y")) ParseLengthRef(*a, refH_, y);
      const Transform placed = xf.Then(Transform::Translate(x, y));
      if (LocalName(tree_.elements[static_cast<std::size_t>(target)].name) == "symbol") {
        Style symStyle;
        if (!ElementStyle(tree_.elements[static_cast<std::size_t>(target)], st, symStyle)) return true;
        return WalkChildren(target, symStyle, placed, useDepth + 1, error);
      }
      return Walk(target, st, placed, useDepth + 1, error);
    }
    return AddShape(el, name, st, xf, error);
  }

  float Attr(const xml::Element& el, const char* key, float reference, float fallback = 0) const {
    float v = fallback;
    if (const std::string* a = el.Find(key))
      if (!ParseLengthRef(*a, reference, v)) v = fallback;
    return v;
  }

  bool Geometry(const xml::Element& el, std::string_view name, PathSink& sink) const {
    const float diag = std::sqrt((refW_ * refW_ + refH_ * refH_) / 2);
    if (name == "path") {
      if (const std::string* d = el.Find("d")) ParsePathData(*d, sink);
    } else if (name == "rect") {
      const float x = Attr(el, "x", refW_), y = Attr(el, "y", refH_), w = Attr(el, "width", refW_),
                  h = Attr(el, "height", refH_);
      if (!(w > 0 && h > 0)) return false;
      float rx = Attr(el, "rx", refW_, -1), ry = Attr(el, "ry", refH_, -1);
      if (rx < 0 && ry < 0) rx = ry = 0;
      else if (rx < 0) rx = ry;
      else if (ry < 0) ry = rx;
      rx = std::min(rx, w / 2);
      ry = std::min(ry, h / 2);
      if (rx > 0 && ry > 0) {
        sink.MoveTo(x + rx, y);
        sink.LineTo(x + w - rx, y);
        sink.ArcTo(rx, ry, 0, false, true, x + w, y + ry);
        sink.LineTo(x + w, y + h - ry);
        sink.ArcTo(rx, ry, 0, false, true, x + w - rx, y + h);
        sink.LineTo(x + rx, y + h);
        sink.ArcTo(rx, ry, 0, false, true, x, y + h - ry);
        sink.LineTo(x, y + ry);
        sink.ArcTo(rx, ry, 0, false, true, x + rx, y);
      } else {
        sink.MoveTo(x, y);
        sink.LineTo(x + w, y);
        sink.LineTo(x + w, y + h);
        sink.LineTo(x, y + h);
      }
      sink.Close();
    } else if (name == "circle" || name == "ellipse") {
      const float cx = Attr(el, "cx", refW_), cy = Attr(el, "cy", refH_);
      float rx, ry;
      if (name == "circle") {
        rx = ry = Attr(el, "r", diag);
      } else {
        rx = Attr(el, "rx", refW_, -1);
        ry = Attr(el, "ry", refH_, -1);
        if (rx < 0) rx = ry;  // "auto": the other radius
        if (ry < 0) ry = rx;
      }
      if (!(rx > 0 && ry > 0)) return false;
      sink.MoveTo(cx + rx, cy);
      sink.ArcTo(rx, ry, 0, false, true, cx, cy + ry);
      sink.ArcTo(rx, ry, 0, false, true, cx - rx, cy);
      sink.ArcTo(rx, ry, 0, false, true, cx, cy - ry);
      sink.ArcTo(rx, ry, 0, false, true, cx + rx, cy);
      sink.Close();
    } else if (name == "line") {
      sink.MoveTo(Attr(el, "x1", refW_), Attr(el, "y1", refH_));
      sink.LineTo(Attr(el, "x2", refW_), Attr(el, "y2", refH_));
    } else {  // polyline, polygon
      const std::string* pts = el.Find("points");
      if (pts == nullptr) return false;
      std::vector<Point> p = ParsePoints(*pts);
      if (p.size() < 2) return false;
      sink.MoveTo(p[0].x, p[0].y);
      for (std::size_t i = 1; i < p.size(); ++i) sink.LineTo(p[i].x, p[i].y);
      if (name == "polygon") sink.Close();
    }
    return sink.verbs.size() > 1;
  }

  // The paint a shape gets from its style's fill or stroke.
  Paint ResolvePaint(const PaintSource& source, const Style& st, float opacity, std::string& error, bool& failed) {
    Paint p;
    switch (source.kind) {
      case PaintSource::Kind::None:
        return p;
      case PaintSource::Kind::Color:
      case PaintSource::Kind::CurrentColor:
        p.kind = Paint::Kind::Color;
        p.color = source.kind == PaintSource::Kind::Color ? source.color : st.color;
        p.color.a *= opacity;
        return p;
      case PaintSource::Kind::Url: {
        auto it = ids_.find(source.url);
        const int g = it == ids_.end() ? -1 : GradientFor(it->second, error, failed);
        if (g == -2) {  // a gradient without stops paints nothing
          return p;
        }
        if (g >= 0) {
          const Gradient& grad = doc_.gradients_[static_cast<std::size_t>(g)];
          if (grad.stops.size() == 1) {
            p.kind = Paint::Kind::Color;
            p.color = grad.stops[0].color;
            p.color.a *= opacity;
          } else {
            p.kind = Paint::Kind::Gradient;
            p.gradient = g;
            p.opacity = opacity;
          }
          return p;
        }
        if (source.hasFallback && !source.fallbackIsNone) {
          p.kind = Paint::Kind::Color;
          p.color = source.fallback;
          p.color.a *= opacity;
        }
        return p;
      }
    }
    return p;
  }

  // Index of the gradient built from element `index`; -1 when it is not a
  // gradient (or a bound is hit), -2 when it has no stops.
  int GradientFor(int index, std::string& error, bool& failed) {
    if (auto it = gradientOf_.find(index); it != gradientOf_.end()) return it->second;
    const xml::Element& el = tree_.elements[static_cast<std::size_t>(index)];
    const std::string_view name = LocalName(el.name);
    if (name != "linearGradient" && name != "radialGradient") return -1;
    if (doc_.gradients_.size() >= kMaxGradients) {
      failed = true;
      error = "too many gradients (limit " + std::to_string(kMaxGradients) + ")";
      return -1;
    }
    Gradient g;
    g.kind = name == "linearGradient" ? Gradient::Kind::Linear : Gradient::Kind::Radial;
    // The href chain: attributes and stops come from the first element that has them.
    std::vector<int> chain{index};
    for (int depth = 0; depth < 8; ++depth) {
      const int next = Resolve(Href(tree_.elements[static_cast<std::size_t>(chain.back())]));
      if (next < 0 || std::find(chain.begin(), chain.end(), next) != chain.end()) break;
      const std::string_view n = LocalName(tree_.elements[static_cast<std::size_t>(next)].name);
      if (n != "linearGradient" && n != "radialGradient") break;
      chain.push_back(next);
    }
    auto find = [&](const char* key, bool sameKindOnly) -> const std::string* {
      for (int i : chain) {
        const xml::Element& e = tree_.elements[static_cast<std::size_t>(i)];
        if (sameKindOnly && LocalName(e.name) != name) continue;
        if (const std::string* v = e.Find(key)) return v;
      }
      return nullptr;
    };
    if (const std::string* u = find("gradientUnits", false)) g.userSpace = Trim(*u) == "userSpaceOnUse";
    if (const std::string* t = find("gradientTransform", false)) ParseTransform(*t, g.transform);
    const float rw = g.userSpace ? refW_ : 1.f, rh = g.userSpace ? refH_ : 1.f;
    const float rd = g.userSpace ? std::sqrt((refW_ * refW_ + refH_ * refH_) / 2) : 1.f;
    auto coord = [&](const char* key, float reference, float fallbackFraction) {
      float v = fallbackFraction * reference;
      if (const std::string* a = find(key, true)) ParseLengthRef(*a, reference, v);
      return v;
    };
    if (g.kind == Gradient::Kind::Linear) {
      g.x1 = coord("x1", rw, 0);
      g.y1 = coord("y1", rh, 0);
      g.x2 = coord("x2", rw, 1);
      g.y2 = coord("y2", rh, 0);
    } else {
      g.cx = coord("cx", rw, 0.5f);
      g.cy = coord("cy", rh, 0.5f);
      g.r = coord("r", rd, 0.5f);
      g.fx = find("fx", true) ? coord("fx", rw, 0) : g.cx;
      g.fy = find("fy", true) ? coord("fy", rh, 0) : g.cy;
      // A focal point outside the circle is moved onto it (just inside).
      const float dx = g.fx - g.cx, dy = g.fy - g.cy, d = std::sqrt(dx * dx + dy * dy);
      if (d > g.r * 0.999f && d > 0) {
        g.fx = g.cx + dx * g.r * 0.999f / d;
        g.fy = g.cy + dy * g.r * 0.999f / d;
      }
    }
    for (int i : chain) {
      const xml::Element& e = tree_.elements[static_cast<std::size_t>(i)];
      for (int c : e.children) {
        const xml::Element& stopEl = tree_.elements[static_cast<std::size_t>(c)];
        if (LocalName(stopEl.name) != "stop" || g.stops.size() >= kMaxStopsPerGradient) continue;
        GradientStop stop;
        bool pct = false;
        if (const std::string* o = stopEl.Find("offset"))
          if (!ParseLength(*o, stop.offset, pct)) stop.offset = 0;
        stop.offset = std::clamp(stop.offset, 0.f, 1.f);
        if (!g.stops.empty()) stop.offset = std::max(stop.offset, g.stops.back().offset);
        float stopOpacity = 1;
        auto apply = [&](std::string_view key, std::string_view value) {
          value = Trim(value);
          if (key == "stop-color") ParseColor(value, stop.color);
          else if (key == "stop-opacity") ParseOpacity(value, stopOpacity);
        };
        for (const auto& [key, value] : stopEl.attributes) apply(key, value);
        if (const std::string* decls = stopEl.Find("style")) {
          std::string_view s = *decls;
          while (!s.empty()) {
            std::size_t semi = s.find(';');
            std::string_view decl = s.substr(0, semi);
            s = semi == std::string_view::npos ? std::string_view{} : s.substr(semi + 1);
            std::size_t colon = decl.find(':');
            if (colon != std::string_view::npos) apply(Trim(decl.substr(0, colon)), decl.substr(colon + 1));
          }
        }
        stop.color.a *= stopOpacity;
        g.stops.push_back(stop);
      }
      if (!g.stops.empty()) break;
    }
    int result = -2;
    if (!g.stops.empty()) {
      result = static_cast<int>(doc_.gradients_.size());
      doc_.gradients_.push_back(std::move(g));
    }
    gradientOf_.emplace(index, result);
    return result;
  }

  bool AddShape(const xml::Element& el, std::string_view name, const Style& st, const Transform& xf, std::string& error) {
    if (!st.visible) return true;
    PathSink sink;
    if (!Geometry(el, name, sink)) return true;
    bool failed = false;
    Shape shape;
    shape.transform = xf;
    shape.fill = name == "line" ? Paint{} : ResolvePaint(st.fill, st, st.fillOpacity * st.opacity, error, failed);
    shape.stroke = st.strokeWidth > 0 ? ResolvePaint(st.stroke, st, st.strokeOpacity * st.opacity, error, failed) : Paint{};
    if (failed) return false;
    if (shape.fill.kind == Paint::Kind::None && shape.stroke.kind == Paint::Kind::None) return true;
    if (doc_.shapes_.size() >= kMaxShapes) return Fail(error, "too many shapes (limit " + std::to_string(kMaxShapes) + ")");
    if (doc_.points_.size() + sink.points.size() > kMaxPoints)
      return Fail(error, "too many path points (limit " + std::to_string(kMaxPoints) + ")");
    shape.evenOdd = st.evenOdd;
    shape.strokeWidth = st.strokeWidth;
    shape.miterLimit = st.miterLimit;
    shape.cap = st.cap;
    shape.join = st.join;

    // Bounding box of the geometry, with the curves' own extrema.
    float minX = sink.points[0].x, maxX = minX, minY = sink.points[0].y, maxY = minY;
    auto grow = [&](Point p) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    };
    {
      std::size_t pi = 0;
      Point cur{};
      for (Verb v : sink.verbs) {
        if (v == Verb::MoveTo || v == Verb::LineTo) {
          cur = sink.points[pi++];
          grow(cur);
        } else if (v == Verb::CubicTo) {
          const Point p[4] = {cur, sink.points[pi], sink.points[pi + 1], sink.points[pi + 2]};
          float ts[4];
          int n = CubicExtrema(p[0].x, p[1].x, p[2].x, p[3].x, ts);
          n += CubicExtrema(p[0].y, p[1].y, p[2].y, p[3].y, ts + n);
          for (int i = 0; i < n; ++i) grow(CubicAt(p, ts[i]));
          cur = p[3];
          grow(cur);
          pi += 3;
        }
      }
    }
    shape.bboxX = minX;
    shape.bboxY = minY;
    shape.bboxW = maxX - minX;
    shape.bboxH = maxY - minY;
    // A gradient in bounding-box units has nothing to span on a flat shape.
    for (Paint* p : {&shape.fill, &shape.stroke})
      if (p->kind == Paint::Kind::Gradient && !doc_.gradients_[static_cast<std::size_t>(p->gradient)].userSpace &&
          (shape.bboxW <= 0 || shape.bboxH <= 0))
        *p = Paint{};
    if (shape.fill.kind == Paint::Kind::None && shape.stroke.kind == Paint::Kind::None) return true;

    // Flattening tolerance in shape units: a hundredth of a viewBox unit.
    const float scale = std::sqrt(std::fabs(xf.Determinant()));
    const float tolerance = 0.01f / std::max(scale, 1e-6f);

    shape.fillPath = Append(sink.verbs, sink.points);
    Flatten(sink.verbs, sink.points, tolerance, [&](const std::vector<Point>& line, bool) {
      double area = 0;
      for (std::size_t i = 0; i < line.size(); ++i) {
        const Point& a = line[i];
        const Point& b = line[(i + 1) % line.size()];
        area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
      }
      doc_.subpathAreas_.push_back(static_cast<float>(area / 2));
      ++shape.fillPath.subpathCount;
      // Total turning of the closed outline: 2 pi for a simple convex one.
      double turning = 0, px = 0, py = 0;
      bool havePrev = false;
      for (std::size_t i = 0; i <= line.size(); ++i) {
        const Point& a = line[i % line.size()];
        const Point& b = line[(i + 1) % line.size()];
        const double dx = b.x - a.x, dy = b.y - a.y;
        if (dx == 0 && dy == 0) continue;
        if (havePrev) turning += std::atan2(px * dy - py * dx, px * dx + py * dy);
        px = dx;
        py = dy;
        havePrev = true;
      }
      if (std::fabs(turning) > 3 * kPi) shape.selfOverlapping = true;
    });
    shape.strokePath = shape.fillPath;
    if (shape.stroke.kind != Paint::Kind::None && !st.dashes.empty()) Dash(sink, st, tolerance, shape);
    doc_.shapes_.push_back(shape);
    return true;
  }

  PathRange Append(const std::vector<Verb>& verbs, const std::vector<Point>& points) {
    PathRange r;
    r.firstVerb = static_cast<std::uint32_t>(doc_.verbs_.size());
    r.verbCount = static_cast<std::uint32_t>(verbs.size());
    r.firstPoint = static_cast<std::uint32_t>(doc_.points_.size());
    r.firstSubpath = static_cast<std::uint32_t>(doc_.subpathAreas_.size());
    doc_.verbs_.insert(doc_.verbs_.end(), verbs.begin(), verbs.end());
    doc_.points_.insert(doc_.points_.end(), points.begin(), points.end());
    return r;
  }

  // Cuts the stroke into its dashes: the pattern (repeated twice when its
  // length is odd) restarts at every subpath, shifted by the offset.
  void Dash(const PathSink& sink, const Style& st, float tolerance, Shape& shape) {
    std::vector<float> pattern = st.dashes;
    if (pattern.size() % 2 == 1) pattern.insert(pattern.end(), st.dashes.begin(), st.dashes.end());
    double total = 0;
    for (float d : pattern) total += d;
    if (!(total > 0)) return;  // all zero: drawn solid
    PathSink out;
    std::size_t pieces = 0;
    bool tooMany = false;
    Flatten(sink.verbs, sink.points, tolerance, [&](const std::vector<Point>& lineIn, bool closed) {
      if (tooMany) return;
      std::vector<Point> line = lineIn;
      if (closed) line.push_back(line.front());
      double offset = std::fmod(static_cast<double>(st.dashOffset), total);
      if (offset < 0) offset += total;
      std::size_t k = 0;
      while (offset >= pattern[k]) {
        offset -= pattern[k];
        k = (k + 1) % pattern.size();
      }
      double left = pattern[k] - offset;  // length left of the current dash or gap
      auto on = [&]() { return k % 2 == 0; };
      if (on()) out.MoveTo(line[0].x, line[0].y);
      for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const Point a = line[i], b = line[i + 1];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        double at = 0;
        while (len - at > left) {  // the current dash or gap ends inside this segment
          at += left;
          const float t = static_cast<float>(at / len);
          const Point p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
          if (on()) {
            out.LineTo(p.x, p.y);
            if (++pieces > kMaxDashesPerShape) {
              tooMany = true;
              return;
            }
          }
          k = (k + 1) % pattern.size();
          left = pattern[k];
          if (on()) out.MoveTo(p.x, p.y);
        }
        left -= len - at;
        if (on()) out.LineTo(b.x, b.y);
      }
    });
    if (tooMany || doc_.points_.size() + out.points.size() > kMaxPoints) return;  // drawn solid
    // Drop MoveTo's that start no segment.
    PathSink clean;
    std::size_t pi = 0;
    for (std::size_t i = 0; i < out.verbs.size(); ++i) {
      const Point p = out.points[pi++];
      if (out.verbs[i] == Verb::MoveTo) {
        if (i + 1 < out.verbs.size() && out.verbs[i + 1] == Verb::LineTo) clean.MoveTo(p.x, p.y);
      } else {
        clean.LineTo(p.x, p.y);
      }
    }
    shape.strokePath = Append(clean.verbs, clean.points);
  }

  const xml::Tree& tree_;
  Document& doc_;
  std::map<std::string, int, std::less<>> ids_;
  std::map<int, int> gradientOf_;
  std::size_t visits_ = 0;
  float refW_ = 0, refH_ = 0;
};

Document Document::Parse(std::string_view bytes, std::string* error) {
  Document doc;
  std::string message;
  xml::Tree tree;
  if (bytes.size() > kMaxFileBytes) {
    message = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
  } else if (xml::Parse(bytes, tree, message)) {
    Builder builder(tree, doc);
    doc.valid_ = builder.Build(message);
  }
  if (!doc.valid_) {
    doc = Document{};
    if (error) *error = message;
  }
  return doc;
}

Document Document::Load(const std::string& path, std::string* error) {
  std::string bytes, message;
  if (!ReadFileBytes(path, kMaxFileBytes, bytes, message)) {
    if (error) *error = message;
    return Document{};
  }
  Document doc = Parse(bytes, &message);
  if (!doc.Valid() && error) *error = path + ": " + message;
  return doc;
}

Transform Document::ViewportTransform(float x, float y, float w, float h) const {
  const float vx = hasViewBox_ ? vbX_ : 0, vy = hasViewBox_ ? vbY_ : 0;
  const float vw = hasViewBox_ ? vbW_ : width_, vh = hasViewBox_ ? vbH_ : height_;
  if (!(vw > 0 && vh > 0)) return Transform::Translate(x, y);
  float sx = w / vw, sy = h / vh;
  float tx = x, ty = y;
  if (align_ != Align::None) {
    const float s = slice_ ? std::max(sx, sy) : std::min(sx, sy);
    sx = sy = s;
    const int ax = (static_cast<int>(align_) - 1) % 3, ay = (static_cast<int>(align_) - 1) / 3;
    tx += (w - vw * s) * 0.5f * static_cast<float>(ax);
    ty += (h - vh * s) * 0.5f * static_cast<float>(ay);
  }
  return {sx, 0, 0, sy, tx - vx * sx, ty - vy * sy};
}

}  // namespace fw::svg
