// The editor's picture kept in layers: painting through the background layer
// and redrawing only the dirty region give the same pixels as drawing the
// whole editor directly, through a sequence of changes (a control's colour,
// hiding, the background, the scale); the background is drawn again only when
// it changes. Also: the per-paint fragment programs paint what NanoVG's own
// program paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/IGraphicsNanoVG.h"
#include "framework/graphics/nanovg/FillRule.h"
#include "framework/graphics/nanovg/Layer.h"
#include "framework/graphics/offscreen/OffscreenCanvas.h"

namespace {

using fw::IColor;
using fw::IGraphics;
using fw::IRECT;

constexpr int kDesignW = 240, kDesignH = 160;

// A control whose look is a colour; it draws up to the edges of its bounds
// (a rounded fill, an outline on the bounds, a circle touching them, text)
// so that anti-aliased edges meet the redrawn region's border.
class Swatch : public fw::IControl {
public:
  Swatch(const IRECT& r, const IColor& c) : IControl(r), mColor(c) {}
  void SetColor(const IColor& c) {
    mColor = c;
    SetDirty(false);
  }
  void Draw(IGraphics& g) override {
    const IRECT r = GetRECT();
    g.FillRoundRect(mColor.WithOpacity(0.8f), r, 6.f);
    g.DrawRect(IColor(255, 240, 240, 240), r, nullptr, 1.5f);
    g.FillCircle(mColor, r.MW(), r.MH(), std::min(r.W(), r.H()) / 2.f);
    g.DrawLine(IColor(200, 0, 0, 0), r.L, r.T, r.R, r.B, nullptr, 2.f);
    g.DrawText(fw::IText(14.f, IColor(255, 255, 255, 255)), "Ab", r);
  }

private:
  IColor mColor;
};

// A background piece: gradient, outline and text, in the background layer.
class Faceplate : public fw::IControl {
public:
  explicit Faceplate(const IRECT& r) : IControl(r) { SetInBackgroundLayer(true); }
  void Draw(IGraphics& g) override {
    const IRECT r = GetRECT();
    g.PathRoundRect(r.GetPadded(-8.f), 12.f);
    g.PathFill(fw::IPattern::CreateLinearGradient(r.L, r.T, r.R, r.B, IColor(255, 60, 50, 40), IColor(255, 20, 30, 70)));
    g.DrawRoundRect(IColor(255, 110, 100, 90), r.GetPadded(-8.f), 12.f, nullptr, 3.f);
    g.DrawText(fw::IText(18.f, IColor(255, 220, 210, 190)), "Faceplate", IRECT(r.L, r.T + 10.f, r.R, r.T + 40.f));
  }
};

// An editor with a panel, a faceplate, four swatches (two overlapping, at
// fractional places) and a corner resizer.
struct Editor {
  fw::IGraphicsNanoVG g{nullptr, kDesignW, kDesignH, 30, 1.f};
  Swatch* swatches[4] = {};

  explicit Editor(float scale) {
    g.SetScaleConstraints(0.5f, 2.f);
    g.SetScale(scale);
    g.LoadFont(fw::DEFAULT_FONT, "Roboto-Regular.ttf");
    g.AttachControl(new Faceplate(g.GetBounds()));
    const IRECT places[4] = {IRECT(20.3f, 50.6f, 80.3f, 110.6f), IRECT(70.f, 60.f, 130.f, 120.f),
                             IRECT(150.25f, 40.75f, 210.25f, 100.75f), IRECT(160.f, 105.5f, 230.f, 150.f)};
    const IColor colors[4] = {IColor(255, 200, 40, 40), IColor(255, 40, 200, 40), IColor(255, 40, 40, 200),
                              IColor(255, 200, 200, 40)};
    for (int i = 0; i < 4; ++i) swatches[i] = static_cast<Swatch*>(g.AttachControl(new Swatch(places[i], colors[i])));
    g.AttachPanelBackground(fw::IPattern(IColor(255, 30, 30, 30)));  // inserted below everything
    g.AttachCornerResizer();
  }
  fw::IPanelControl& Panel() { return *static_cast<fw::IPanelControl*>(g.GetControl(0)); }
};

// Paints an editor on a canvas of its own window size and reads it back.
class Painter {
public:
  std::vector<std::uint8_t> Paint(fw::IGraphicsNanoVG& g) {
    const int w = g.WindowWidth(), h = g.WindowHeight();
    std::string error;
    if (!mCanvas.Vg()) {
      if (!mCanvas.Create(w, h, &error)) ADD_FAILURE() << error;
    } else if (mCanvas.Width() != w || mCanvas.Height() != h) {
      if (!mCanvas.Resize(w, h, &error)) ADD_FAILURE() << error;
    }
    if (!mCanvas.Vg()) return {};
    mCanvas.BeginFrame();
    g.Paint(mCanvas.Vg(), w, h);
    mCanvas.EndFrame();
    return mCanvas.ReadPremultiplied();
  }

private:
  fw::offscreen::OffscreenCanvas mCanvas;
};

// The largest difference of any channel, and where.
struct Difference {
  int most = 0;
  std::size_t at = 0;
};
Difference Compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  Difference d;
  if (a.size() != b.size()) return {256, 0};
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int diff = std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    if (diff > d.most) d = {diff, i / 4};
  }
  return d;
}

// The same editor state drawn directly, every control, on a fresh context.
std::vector<std::uint8_t> DirectPicture(float scale, const std::function<void(Editor&)>& state) {
  fw::nvg::SetLayers(false);
  Editor e(scale);
  state(e);
  Painter p;
  std::vector<std::uint8_t> px = p.Paint(e.g);
  fw::nvg::SetLayers(true);
  return px;
}

struct Step {
  const char* what;
  std::function<void(Editor&)> change;
  bool backgroundDrawn;  // the change needs the background layer drawn again
};

TEST(Layers, EveryFrameMatchesTheWholeEditorDrawnDirectly) {
  const std::vector<Step> steps = {
      {"first frame", [](Editor&) {}, true},
      {"nothing changed", [](Editor&) {}, false},
      {"a swatch changes colour",
       [](Editor& e) { e.swatches[1]->SetColor(IColor(255, 250, 140, 20)); }, false},
      {"an overlapped swatch changes", [](Editor& e) { e.swatches[0]->SetColor(IColor(128, 20, 220, 220)); }, false},
      {"a swatch is hidden", [](Editor& e) { e.swatches[2]->Hide(true); }, false},
      {"the panel colour changes",
       [](Editor& e) { e.Panel().SetPattern(fw::IPattern(IColor(255, 90, 10, 60))); }, true},
      {"the faceplate is hidden", [](Editor& e) { e.g.GetControl(1)->Hide(true); }, true},
      {"the scale changes", [](Editor& e) { e.g.SetScale(e.g.GetDrawScale() == 1.5f ? 1.25f : 1.5f); }, true},
      {"a swatch changes at the new scale", [](Editor& e) { e.swatches[3]->SetColor(IColor(255, 10, 10, 10)); }, false},
  };
  for (const float scale : {0.75f, 1.f, 1.5f}) {
    Editor editor(scale);
    Painter painter;
    std::vector<std::function<void(Editor&)>> applied;
    for (const Step& step : steps) {
      SCOPED_TRACE(std::string(step.what) + " at scale " + std::to_string(scale));
      step.change(editor);
      applied.push_back(step.change);
      const int before = editor.g.BackgroundLayerDraws();
      const std::vector<std::uint8_t> layered = painter.Paint(editor.g);
      EXPECT_EQ(editor.g.BackgroundLayerDraws() - before, step.backgroundDrawn ? 1 : 0);
      const std::vector<std::uint8_t> direct = DirectPicture(scale, [&](Editor& e) {
        for (const auto& f : applied) f(e);
      });
      const Difference d = Compare(layered, direct);
      EXPECT_LE(d.most, 1) << "at pixel (" << d.at % static_cast<std::size_t>(editor.g.WindowWidth()) << ", "
                           << d.at / static_cast<std::size_t>(editor.g.WindowWidth()) << ")";
    }
  }
}

TEST(Layers, AFrameDrawsOnlyWhenSomethingIsDirty) {
  Editor editor(1.f);
  Painter painter;
  painter.Paint(editor.g);
  const int frames = editor.g.FrameDraws();
  const std::vector<std::uint8_t> still = painter.Paint(editor.g);  // an expose: copied, not drawn
  EXPECT_EQ(editor.g.FrameDraws(), frames);
  editor.swatches[1]->SetColor(IColor(255, 1, 2, 3));
  const std::vector<std::uint8_t> changed = painter.Paint(editor.g);
  EXPECT_EQ(editor.g.FrameDraws(), frames + 1);
  // Only the swatch's bounds and a pixel around them differ.
  const IRECT r = editor.swatches[1]->GetRECT();
  const int w = editor.g.WindowWidth();
  for (std::size_t i = 0; i < still.size(); i += 4) {
    const int x = static_cast<int>(i / 4) % w, y = static_cast<int>(i / 4) / w;
    const bool near = x >= r.L - 2 && x < r.R + 2 && y >= r.T - 2 && y < r.B + 2;
    if (!near && (still[i] != changed[i] || still[i + 3] != changed[i + 3])) {
      ADD_FAILURE() << "pixel (" << x << ", " << y << ") changed outside the swatch";
      break;
    }
  }
}

TEST(ShaderVariants, PaintWhatNanoVGsOwnProgramPaints) {
  auto picture = [](bool variants) {
    fw::nvg::SetShaderVariants(variants);
    fw::nvg::SetLayers(false);
    Editor e(1.5f);
    Painter p;
    std::vector<std::uint8_t> px = p.Paint(e.g);  // the context is made now, with or without them
    fw::nvg::SetLayers(true);
    fw::nvg::SetShaderVariants(true);
    return px;
  };
  const std::vector<std::uint8_t> own = picture(false);
  const std::vector<std::uint8_t> variants = picture(true);
  ASSERT_FALSE(own.empty());
  EXPECT_LE(Compare(own, variants).most, 1);
  // The pictures are not blank: the editor drew its panel.
  EXPECT_EQ(own[3], 255);
}

}  // namespace
