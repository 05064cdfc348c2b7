// The headless canvas: pixels read back where NanoVG drew them, alpha
// conversions, PNG files written and read back, and text with the editor
// font (drawn) or without any font (nothing drawn, nothing fails).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/graphics/font/FontFile.h"
#include "framework/graphics/image/Png.h"
#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "tests/support/TempDir.h"

namespace {

using fw::offscreen::OffscreenCanvas;

std::size_t At(int width, int x, int y) { return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4; }

TEST(Canvas, ReadsBackTopRowFirstWithPremultipliedAlpha) {
  OffscreenCanvas canvas;
  std::string error;
  ASSERT_TRUE(canvas.Create(40, 30, &error)) << error;
  canvas.BeginFrame();
  NVGcontext* vg = canvas.Vg();
  nvgBeginPath(vg);
  nvgRect(vg, 0, 0, 40, 10);  // the top third, half-transparent red
  nvgFillColor(vg, nvgRGBA(255, 0, 0, 128));
  nvgFill(vg);
  canvas.EndFrame();
  const std::vector<std::uint8_t> pre = canvas.ReadPremultiplied();
  ASSERT_EQ(pre.size(), 40u * 30u * 4u);
  EXPECT_NEAR(pre[At(40, 20, 5)], 128, 1);
  EXPECT_EQ(pre[At(40, 20, 5) + 3], 128);
  EXPECT_EQ(pre[At(40, 20, 20) + 3], 0);
  const std::vector<std::uint8_t> straight = canvas.ReadStraight();
  EXPECT_EQ(straight[At(40, 20, 5)], 255);
  EXPECT_EQ(straight[At(40, 20, 5) + 3], 128);

  // A second frame starts from a clear canvas.
  canvas.BeginFrame();
  canvas.EndFrame();
  for (std::uint8_t v : canvas.ReadPremultiplied()) ASSERT_EQ(v, 0);
}

TEST(Canvas, AlphaConversions) {
  std::vector<std::uint8_t> px = {255, 0, 100, 128, 10, 20, 30, 0, 200, 100, 50, 255};
  fw::offscreen::Premultiply(px);
  EXPECT_EQ(px, (std::vector<std::uint8_t>{128, 0, 50, 128, 0, 0, 0, 0, 200, 100, 50, 255}));
  fw::offscreen::Unpremultiply(px);
  EXPECT_EQ(px, (std::vector<std::uint8_t>{255, 0, 100, 128, 0, 0, 0, 0, 200, 100, 50, 255}));
}

TEST(Canvas, WritesPngFilesThatReadBack) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  const std::vector<std::uint8_t> px = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::string error;
  ASSERT_TRUE(fw::offscreen::WritePng(tmp / "out.png", 3, 2, px, &error)) << error;
  const fw::image::Rgba8Image back = fw::image::LoadPng(tmp / "out.png", &error);
  ASSERT_TRUE(back.Valid()) << error;
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, px);
  EXPECT_FALSE(fw::offscreen::WritePng(tmp / "short.png", 3, 3, px, &error));
  EXPECT_FALSE(fw::offscreen::WritePng(tmp / "no/such/folder/x.png", 3, 2, px, &error));
  EXPECT_NE(error.find("x.png"), std::string::npos) << error;
}

TEST(Canvas, RefusesImpossibleSizes) {
  OffscreenCanvas canvas;
  std::string error;
  EXPECT_FALSE(canvas.Create(0, 10, &error));
  EXPECT_FALSE(canvas.Create(10, -1, &error));
  EXPECT_FALSE(canvas.Create(100000, 10, &error));
  EXPECT_FALSE(error.empty());
}

int InkInRect(const std::vector<std::uint8_t>& px, int width, int x0, int y0, int x1, int y1) {
  int ink = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) ink += px[At(width, x, y) + 3] > 0;
  return ink;
}

TEST(Canvas, TextWithTheEditorFontDrawsAndWithoutAFontDrawsNothing) {
  OffscreenCanvas canvas;
  std::string error, bytes;
  ASSERT_TRUE(canvas.Create(200, 60, &error)) << error;
  const std::string path = fw::font::FindFontFile(fw::font::kEditorFontFile, fw::font::DefaultFontDirs());
  ASSERT_TRUE(fw::font::ReadFontFile(path, bytes, error)) << error;
  NVGcontext* vg = canvas.Vg();
  // NanoVG frees the copy it is given (freeData = 1).
  auto* copy = static_cast<unsigned char*>(std::malloc(bytes.size()));
  std::memcpy(copy, bytes.data(), bytes.size());
  const int font = nvgCreateFontMem(vg, fw::font::kEditorFontName, copy, static_cast<int>(bytes.size()), 1);
  ASSERT_GE(font, 0);

  canvas.BeginFrame();
  nvgFontSize(vg, 24);
  nvgFillColor(vg, nvgRGBA(255, 255, 255, 255));
  nvgTextAlign(vg, NVG_ALIGN_LEFT | NVG_ALIGN_MIDDLE);
  nvgFontFaceId(vg, font);
  nvgText(vg, 10, 15, "Vrel Bazzit", nullptr);
  nvgFontFace(vg, "NoSuchFont");  // unknown: this text is skipped
  nvgText(vg, 10, 45, "Vrel Bazzit", nullptr);
  canvas.EndFrame();
  const std::vector<std::uint8_t> px = canvas.ReadPremultiplied();
  EXPECT_GT(InkInRect(px, 200, 0, 0, 200, 30), 100);
  EXPECT_EQ(InkInRect(px, 200, 0, 32, 200, 60), 0);
}

}  // namespace
