// Editor speed on the headless canvas (Mesa's software OpenGL): opening the
// editor with a skin of 30 SVG images (graphics context, layout, every file
// read and parsed, the first full frame with its fonts, textures and
// background layer made), and one full redraw at scales 1 and 1.5: every
// control drawn, the background copied from its layer (a frame while the
// musician turns a knob), and with the background drawn again too (the frame
// after a skin or scale change). Targets: opening under 200 ms, a full redraw
// under 16 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/PlaceholderLayout.h"
#include "framework/graphics/IGraphicsNanoVG.h"
#include "framework/graphics/offscreen/OffscreenCanvas.h"
#include "plugin/Config.h"

namespace {

// The shipped skins' 25 images, and five of them again as further images: 30 files.
std::vector<std::string> SkinImages() {
  const std::string root = std::string(VB_SOURCE_DIR) + "/resources/Skins/";
  const char* names[] = {"faceplate", "knob", "switch-off", "switch-on", "slider-track", "slider-handle", "button",
                         "button-active"};
  std::vector<std::string> files;
  for (const char* skin : {"VrelBazzitCase", "VrelBazzitDark", "VrelBazzitLimited"})
    for (const char* name : names) files.push_back(root + skin + "/" + name + ".svg");
  files.push_back(root + "VrelBazzitLimited/knob-alt.svg");
  for (int i = 0; files.size() < 30; ++i) files.push_back(files[static_cast<std::size_t>(1 + i)]);
  return files;
}

// Draws one image in its cell.
class ImageControl : public fw::IControl {
public:
  ImageControl(const fw::IRECT& r, fw::ISVG svg) : IControl(r), mSvg(std::move(svg)) {}
  void Draw(fw::IGraphics& g) override { g.DrawSVG(mSvg, GetRECT()); }

private:
  fw::ISVG mSvg;
};

// The editor as a skin lays it out: the panel, the first image (a faceplate)
// over the whole editor in the background layer, the other 29 images in a
// 6 x 5 grid over it, then the placeholder page's title and patch label.
std::unique_ptr<fw::IGraphicsNanoVG> OpenEditor(const std::vector<std::string>& files) {
  auto g = std::make_unique<fw::IGraphicsNanoVG>(nullptr, vrelbazzit::kEditorWidth, vrelbazzit::kEditorHeight,
                                                 vrelbazzit::kEditorFPS, 1.f);
  g->AttachControl(new ImageControl(g->GetBounds(), g->LoadSVG(files[0].c_str())))->SetInBackgroundLayer(true);
  for (std::size_t i = 1; i < files.size(); ++i) {
    const float x = 200.f * static_cast<float>(i % 6), y = 180.f * static_cast<float>(i / 6);
    g->AttachControl(new ImageControl(fw::IRECT(x + 10.f, y + 10.f, x + 190.f, y + 170.f), g->LoadSVG(files[i].c_str())));
  }
  // Inserts its panel below everything (before the faceplate).
  vrelbazzit::editor::LayoutPlaceholder(*g, vrelbazzit::SkinPack{}, "Init Vrels");
  return g;
}

// As the editor's window paints: the colour cleared, the stencil left alone.
void Paint(fw::offscreen::OffscreenCanvas& canvas, fw::IGraphicsNanoVG& g) {
  canvas.BeginFrame(false);
  g.Paint(canvas.Vg(), canvas.Width(), canvas.Height());
  canvas.EndFrame();  // waits for the drawing to finish
}

void BM_OpenEditorWith30Svgs(benchmark::State& state) {
  const std::vector<std::string> files = SkinImages();
  std::string error;
  for (auto _ : state) {
    // Each editor gets a fresh context, as a newly opened window does; making
    // the context is the window layer's cost and is not counted.
    state.PauseTiming();
    auto canvas = std::make_unique<fw::offscreen::OffscreenCanvas>();
    if (!canvas->Create(vrelbazzit::kEditorWidth, vrelbazzit::kEditorHeight, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.ResumeTiming();
    std::unique_ptr<fw::IGraphicsNanoVG> g = OpenEditor(files);
    Paint(*canvas, *g);
    state.PauseTiming();
    g.reset();
    canvas.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenEditorWith30Svgs)->Unit(benchmark::kMillisecond);

enum class Redraw { kForeground, kEverything, kOneImage };

void RedrawBench(benchmark::State& state, Redraw what) {
  const float scale = static_cast<float>(state.range(0)) / 100.f;
  const std::unique_ptr<fw::IGraphicsNanoVG> g = OpenEditor(SkinImages());
  g->SetScale(scale);
  fw::offscreen::OffscreenCanvas canvas;
  std::string error;
  if (!canvas.Create(g->WindowWidth(), g->WindowHeight(), &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  Paint(canvas, *g);  // fonts, textures and the background layer made
  const int layerDraws = g->BackgroundLayerDraws();
  for (auto _ : state) {
    switch (what) {
      case Redraw::kEverything: g->SetAllControlsDirty(); break;
      case Redraw::kForeground:
        for (int i = g->NBackgroundLayerControls(); i < g->NControls(); ++i) g->GetControl(i)->SetDirty(false);
        break;
      case Redraw::kOneImage: g->GetControl(g->NBackgroundLayerControls() + 7)->SetDirty(false); break;
    }
    Paint(canvas, *g);
  }
  state.SetLabel("scale " + std::to_string(scale).substr(0, 4));
  state.counters["layer_draws"] = g->BackgroundLayerDraws() - layerDraws;
}

// Every control drawn again over the background layer (all values changed:
// a new patch, an A/B switch).
void BM_FullRedraw(benchmark::State& state) { RedrawBench(state, Redraw::kForeground); }
// Everything drawn again, the background layer too (after a skin change).
void BM_FullRedrawWithBackground(benchmark::State& state) { RedrawBench(state, Redraw::kEverything); }
// One image drawn again (a knob turned).
void BM_RedrawOneControl(benchmark::State& state) { RedrawBench(state, Redraw::kOneImage); }
BENCHMARK(BM_FullRedraw)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRedrawWithBackground)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawOneControl)->Arg(100)->Arg(150)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
