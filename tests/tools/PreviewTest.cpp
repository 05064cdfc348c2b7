// vrelbazzit-preview, run as a user runs it: --svg writes the drawing at the
// asked size, --screenshot the editor at the asked scale and skin, and bad
// input gets one line and a non-zero exit.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "framework/graphics/image/Png.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using vbtest::RunCommand;
using vbtest::ShellQuote;

std::string Preview(const std::string& args) { return ShellQuote(VB_PREVIEW_EXE) + " " + args; }

const std::string kKnob = std::string(VB_SOURCE_DIR) + "/resources/Skins/VrelBazzitDark/knob.svg";

TEST(Preview, WritesThePngOfOneSvg) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  struct Case {
    std::string size;
    int w, h;
  };
  for (const Case& c : {Case{"", 100, 100}, Case{"--size 150x150", 150, 150}, Case{"--size 60x30", 60, 30}}) {
    const std::string out = tmp / "knob.png";
    const vbtest::RunResult r = RunCommand(Preview("--svg " + ShellQuote(kKnob) + " " + c.size + " --out " + ShellQuote(out)), tmp / "run");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string error;
    const fw::image::Rgba8Image img = fw::image::LoadPng(out, &error);
    ASSERT_TRUE(img.Valid()) << error;
    EXPECT_EQ(img.width, c.w);
    EXPECT_EQ(img.height, c.h);
    // The knob's centre disc is #27303A; the corners lie outside its round body.
    const std::size_t centre = (static_cast<std::size_t>(c.h / 2) * c.w + c.w / 2 + 3) * 4;
    EXPECT_NEAR(img.pixels[centre + 0], 0x27, 2) << c.size;
    EXPECT_NEAR(img.pixels[centre + 1], 0x30, 2) << c.size;
    EXPECT_NEAR(img.pixels[centre + 2], 0x3A, 2) << c.size;
    EXPECT_EQ(img.pixels[centre + 3], 255) << c.size;
    EXPECT_EQ(img.pixels[3], 0) << c.size;
  }
}

// The screenshot's pixel at a point of the 1200 x 900 design, as 0xRRGGBB.
unsigned PixelAt(const fw::image::Rgba8Image& img, float scale, float x, float y) {
  const std::size_t i = (static_cast<std::size_t>(y * scale) * static_cast<std::size_t>(img.width) +
                         static_cast<std::size_t>(x * scale)) * 4;
  return (unsigned{img.pixels[i]} << 16) | (unsigned{img.pixels[i + 1]} << 8) | img.pixels[i + 2];
}

TEST(Preview, WritesTheEditorAtEachScaleWithTheSkin) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  const std::string skinDir = std::string(VB_SOURCE_DIR) + "/resources/Skins/";
  // The skins' files: case background #1B1A17 and panel #2A2824; dark
  // background #0D1014 and panel #161B21 (the patch label's box).
  struct Case {
    std::string skin;
    float scale;
    int w, h;
    unsigned background, panel;
  } cases[] = {
      {"VrelBazzitCase", 0.75f, 900, 675, 0x1B1A17, 0x2A2824},
      {"VrelBazzitCase", 1.f, 1200, 900, 0x1B1A17, 0x2A2824},
      {"VrelBazzitDark", 1.5f, 1800, 1350, 0x0D1014, 0x161B21},
  };
  for (const Case& c : cases) {
    const std::string where = c.skin + " at " + std::to_string(c.scale);
    const std::string out = tmp / "editor.png";
    const vbtest::RunResult r = RunCommand(Preview("--screenshot " + ShellQuote(out) + " --scale " + std::to_string(c.scale) +
                                                   " --skin " + ShellQuote(skinDir + c.skin + "/skin.vbskin")),
                                           tmp / "run");
    ASSERT_EQ(r.exitCode, 0) << where << "\n" << r.err;
    std::string error;
    const fw::image::Rgba8Image img = fw::image::LoadPng(out, &error);
    ASSERT_TRUE(img.Valid()) << error;
    EXPECT_EQ(img.width, c.w) << where;
    EXPECT_EQ(img.height, c.h) << where;
    EXPECT_EQ(PixelAt(img, c.scale, 100, 300), c.background) << where;
    EXPECT_EQ(PixelAt(img, c.scale, 310, 420), c.panel) << where;
    // The title's letters, centred at the top, differ from the background somewhere along its middle.
    int ink = 0;
    for (float x = 400; x < 800; x += 1.f) ink += PixelAt(img, c.scale, x, 100) != c.background;
    EXPECT_GT(ink, 20) << where;
  }
}

TEST(Preview, BadInputGetsOneLineAndNoFile) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  std::ofstream(tmp / "broken.svg") << "<svg><g></svg>";
  std::ofstream(tmp / "sizeless.svg") << "<svg xmlns='http://www.w3.org/2000/svg'><rect width='5' height='5'/></svg>";
  const std::string out = tmp / "out.png";
  struct Case {
    std::string args;
    int exitCode;
    std::string mentions;
  };
  const Case cases[] = {
      {"--svg " + ShellQuote(tmp / "broken.svg") + " --out " + ShellQuote(out), 1, "broken.svg"},
      {"--svg " + ShellQuote(tmp / "sizeless.svg") + " --out " + ShellQuote(out), 1, "--size"},
      {"--svg " + ShellQuote(tmp / "missing.svg") + " --out " + ShellQuote(out), 2, "missing.svg"},
      {"--svg " + ShellQuote(kKnob) + " --size 0x5 --out " + ShellQuote(out), 2, "--size"},
      {"--svg " + ShellQuote(kKnob) + " --size wide --out " + ShellQuote(out), 2, "--size"},
      {"--out " + ShellQuote(out), 2, "--svg"},
      {"--svg " + ShellQuote(kKnob) + " --out " + ShellQuote(tmp / "no/folder/out.png"), 1, "out.png"},
      {"--screenshot " + ShellQuote(out) + " --scale 4", 2, "--scale"},
      {"--screenshot " + ShellQuote(out) + " --scale 0", 2, "--scale"},
      {"--screenshot " + ShellQuote(out) + " --skin " + ShellQuote(tmp / "broken.svg"), 1, "broken.svg"},
      {"--screenshot " + ShellQuote(out) + " --skin " + ShellQuote(tmp / "missing.vbskin"), 2, "missing.vbskin"},
      {"--screenshot " + ShellQuote(tmp / "no/folder/out.png"), 1, "out.png"},
  };
  for (const Case& c : cases) {
    const vbtest::RunResult r = RunCommand(Preview(c.args), tmp / "run");
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_FALSE(std::ifstream(out).good()) << c.args;
  }
}

}  // namespace
