// libFuzzer target for the SVG reader. Invariants: a refused file gives an
// empty document and a one-line reason; an accepted one stays within the
// bounds, its ranges lie inside its arrays, every number is finite, gradient
// references are valid and gradient stops are ordered within 0..1.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "framework/graphics/svg/Document.h"

namespace {

using namespace fw::svg;

bool Finite(const Transform& t) { return t.IsFinite(); }

void CheckRange(const Document& doc, const PathRange& r) {
  FUZZ_CHECK(r.firstVerb <= doc.Verbs().size() && r.verbCount <= doc.Verbs().size() - r.firstVerb);
  std::size_t points = 0;
  for (std::uint32_t i = 0; i < r.verbCount; ++i) points += static_cast<std::size_t>(PointsOf(doc.Verbs()[r.firstVerb + i]));
  FUZZ_CHECK(r.firstPoint <= doc.Points().size() && points <= doc.Points().size() - r.firstPoint);
  FUZZ_CHECK(r.firstSubpath <= doc.SubpathAreas().size() && r.subpathCount <= doc.SubpathAreas().size() - r.firstSubpath);
  if (r.verbCount > 0) FUZZ_CHECK(doc.Verbs()[r.firstVerb] == Verb::MoveTo);
}

void CheckPaint(const Document& doc, const Paint& p) {
  if (p.kind == Paint::Kind::Gradient) {
    FUZZ_CHECK(p.gradient >= 0 && static_cast<std::size_t>(p.gradient) < doc.Gradients().size());
    FUZZ_CHECK(std::isfinite(p.opacity) && p.opacity >= 0 && p.opacity <= 1);
  }
  if (p.kind == Paint::Kind::Color) FUZZ_CHECK(std::isfinite(p.color.a) && p.color.a >= 0 && p.color.a <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  const Document doc = Document::Parse(std::string_view(reinterpret_cast<const char*>(data), size), &error);
  if (!doc.Valid()) {
    FUZZ_CHECK(doc.Shapes().empty() && doc.Verbs().empty() && doc.Points().empty());
    FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(doc.Shapes().size() <= kMaxShapes);
  FUZZ_CHECK(doc.Points().size() <= kMaxPoints);
  FUZZ_CHECK(doc.Gradients().size() <= kMaxGradients);
  FUZZ_CHECK(std::isfinite(doc.Width()) && doc.Width() >= 0 && std::isfinite(doc.Height()) && doc.Height() >= 0);
  FUZZ_CHECK(!doc.HasViewBox() || (doc.ViewBoxW() > 0 && doc.ViewBoxH() > 0));
  for (const Point& p : doc.Points()) FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y));
  for (float a : doc.SubpathAreas()) FUZZ_CHECK(std::isfinite(a));
  for (const Shape& s : doc.Shapes()) {
    FUZZ_CHECK(Finite(s.transform));
    CheckRange(doc, s.fillPath);
    CheckRange(doc, s.strokePath);
    CheckPaint(doc, s.fill);
    CheckPaint(doc, s.stroke);
    FUZZ_CHECK(s.fill.kind != Paint::Kind::None || s.stroke.kind != Paint::Kind::None);
    FUZZ_CHECK(std::isfinite(s.strokeWidth) && s.strokeWidth >= 0 && s.miterLimit >= 1);
    FUZZ_CHECK(std::isfinite(s.bboxW) && s.bboxW >= 0 && std::isfinite(s.bboxH) && s.bboxH >= 0);
  }
  for (const Gradient& g : doc.Gradients()) {
    FUZZ_CHECK(!g.stops.empty() && g.stops.size() <= kMaxStopsPerGradient);
    FUZZ_CHECK(Finite(g.transform));
    float previous = 0;
    for (const GradientStop& stop : g.stops) {
      FUZZ_CHECK(stop.offset >= previous && stop.offset <= 1);
      previous = stop.offset;
    }
  }
  const Transform view = doc.ViewportTransform(0, 0, 100, 100);
  (void)view;
  return 0;
}
