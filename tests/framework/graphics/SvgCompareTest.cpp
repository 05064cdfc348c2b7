// Our SVG renderer against librsvg: every drawing in svg/ (and the shipped
// skins' art) is rasterised by both at the same size and compared pixel by
// pixel on premultiplied RGBA.
//
// Tolerance: the two renderers anti-alias differently (NanoVG draws a
// one-pixel fringe, cairo computes exact coverage), so edges may differ by
// nearly a full step. A drawing passes when
//   - the mean absolute difference over all pixels and channels is at most
//     kMaxMeanDiff (of 255), and
//   - of the pixels outside the anti-aliasing band (pixels whose 3x3
//     neighbourhood in the reference image is not uniform), at most
//     kMaxBadShare differ by more than kBadStep in some channel.
// A misplaced shape, a wrong colour, a missing fill rule or dash fails both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RenderFixture.h"
#include "framework/graphics/FileBytes.h"
#include "framework/graphics/image/Png.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kMaxMeanDiff = 1.5;
constexpr int kBadStep = 24;
constexpr double kMaxBadShare = 0.005;

struct Diff {
  double mean = 0;
  double badShare = 0;
  int worstX = -1, worstY = -1, worst = 0;
};

Diff Compare(const vbtest::Picture& ours, const vbtest::Picture& ref) {
  Diff d;
  const int w = ref.width, h = ref.height;
  double sum = 0;
  long bad = 0, counted = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const vbtest::Rgba a = ours.At(x, y), b = ref.At(x, y);
      const int dr = std::abs(a.r - b.r), dg = std::abs(a.g - b.g), db = std::abs(a.b - b.b), da = std::abs(a.a - b.a);
      sum += dr + dg + db + da;
      bool edge = false;
      for (int j = std::max(0, y - 1); j <= std::min(h - 1, y + 1) && !edge; ++j)
        for (int i = std::max(0, x - 1); i <= std::min(w - 1, x + 1) && !edge; ++i) {
          const vbtest::Rgba n = ref.At(i, j);
          edge = std::abs(n.r - b.r) > 2 || std::abs(n.g - b.g) > 2 || std::abs(n.b - b.b) > 2 || std::abs(n.a - b.a) > 2;
        }
      if (edge) continue;
      ++counted;
      const int m = std::max({dr, dg, db, da});
      if (m > kBadStep) {
        ++bad;
        if (m > d.worst) {
          d.worst = m;
          d.worstX = x;
          d.worstY = y;
        }
      }
    }
  d.mean = sum / (4.0 * w * h);
  d.badShare = counted ? static_cast<double>(bad) / static_cast<double>(counted) : 0;
  return d;
}

struct Case {
  std::string path;
  double zoom;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(VB_TEST_DATA_DIR) / "svg"))
    if (e.path().extension() == ".svg") files.push_back(e.path());
  for (const char* skin : {"VrelBazzitCase", "VrelBazzitDark", "VrelBazzitLimited"})
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(VB_SOURCE_DIR) / "resources/Skins" / skin))
      if (e.path().extension() == ".svg") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files)
    for (double zoom : {1.0, 1.5}) cases.push_back({f.string(), zoom});
  return cases;
}

TEST(SvgCompare, MatchesLibrsvgWithinTolerance) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  const auto cases = Cases();
  ASSERT_GE(cases.size(), 20u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " at zoom " + std::to_string(c.zoom));
    std::string bytes, error;
    ASSERT_TRUE(fw::ReadFileBytes(c.path, 1 << 24, bytes, error)) << error;
    const fw::svg::Document doc = fw::svg::Document::Parse(bytes, &error);
    ASSERT_TRUE(doc.Valid()) << error;
    const int w = static_cast<int>(std::lround(doc.Width() * c.zoom));
    const int h = static_cast<int>(std::lround(doc.Height() * c.zoom));
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);

    const std::string refPath = tmp / "ref.png";
    const vbtest::RunResult run = vbtest::RunCommand(
        "rsvg-convert --format=png --zoom=" + std::to_string(c.zoom) + " -o " + vbtest::ShellQuote(refPath) + " " +
            vbtest::ShellQuote(c.path),
        tmp / "rsvg");
    ASSERT_EQ(run.exitCode, 0) << "rsvg-convert failed (scripts/setup.sh installs librsvg2-bin): " << run.err;
    fw::image::Rgba8Image ref = fw::image::LoadPng(refPath, &error);
    ASSERT_TRUE(ref.Valid()) << error;
    ASSERT_EQ(ref.width, w);
    ASSERT_EQ(ref.height, h);
    vbtest::Picture refPic{ref.width, ref.height, ref.pixels};
    fw::offscreen::Premultiply(refPic.px);

    const vbtest::Picture ours = vbtest::DrawSvgText(bytes, w, h);
    ASSERT_EQ(ours.px.size(), refPic.px.size());
    const Diff d = Compare(ours, refPic);
    EXPECT_LE(d.mean, kMaxMeanDiff);
    EXPECT_LE(d.badShare, kMaxBadShare) << "worst pixel (" << d.worstX << ", " << d.worstY << ") off by " << d.worst;
    if (std::getenv("VB_SVG_COMPARE_VERBOSE"))
      std::printf("%-60s zoom %.1f  mean %.3f  bad %.4f\n", c.path.c_str(), c.zoom, d.mean, d.badShare);
  }
}

}  // namespace
