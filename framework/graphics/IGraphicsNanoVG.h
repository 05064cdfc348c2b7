// The graphics context drawn with NanoVG: the path, text and image primitives
// of IGraphics on a NanoVG context, and the modal dialogs of the desktop.
//
// Resources are read once when loaded: fonts as file bytes, SVG files parsed
// into documents, PNG files decoded into pixels. What lives in a NanoVG
// context (font handles, textures, gradient ramps) is made at the first
// Paint that needs it, because the layout runs before a window exists.
// Drawing replays what was loaded: no file access, no allocation per frame.
//
// One context at a time: Paint with another context than before first forgets
// what lived in the earlier one (which its owner has destroyed or will).
//
// Threads: the editor's (main) thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "framework/graphics/nanovg/Layer.h"

struct NVGcontext;

namespace fw {

namespace svg { class GradientTextures; }

class IGraphicsNanoVG : public IGraphics {
public:
  IGraphicsNanoVG(IPlugBase* delegate, int width, int height, int fps = DEFAULT_FPS, float scale = 1.f);
  ~IGraphicsNanoVG() override;

  // Paints the whole editor into a begun NanoVG frame whose unit is one pixel
  // (widthPx x heightPx), at the draw scale times the screen scale: every
  // pixel of the target, whatever it held; where nothing is drawn, the
  // context's current clear colour. The OpenGL context of vg must be current: the
  // editor keeps its picture in layers of it (fw::nvg::Layer) and copies it
  // in. Only the dirty region is drawn again (IsDirty); the leading
  // background controls have a layer of their own, drawn again only when
  // they change. Without layers everything is drawn directly.
  void Paint(NVGcontext* vg, int widthPx, int heightPx);
  // How many times the background layer and the window's picture have been
  // drawn into (for tests and benchmarks; a frame that only copies does not
  // count).
  int BackgroundLayerDraws() const { return mLayerDraws; }
  int FrameDraws() const { return mFrameDraws; }

  // The platform's answer to the editor asking for a new scale: asks the host
  // for the window size and applies the scale (SetScale) when granted. Without
  // a handler the scale is applied at once.
  using ResizeHandler = std::function<void(float scale, int windowWidth, int windowHeight)>;
  void SetResizeHandler(ResizeHandler handler) { mResizeHandler = std::move(handler); }

  // ---- Resources ----
  // Reads the font file; a path without a folder is looked up in the bundle's
  // resources and the system's font folder. False (with one line on stderr)
  // when it cannot be read; text in a font that was not loaded is drawn with
  // the first font that was, or skipped when there is none.
  bool LoadFont(const char* fontID, const char* fileName) override;
  ISVG LoadSVG(const char* fileName, const char* units = "px", float dpi = 72.f) override;
  // PNG files; a file that does not decode gives an invalid bitmap.
  IBitmap LoadBitmap(const char* fileName, int nStates = 1, bool framesAreHorizontal = false,
                     int targetScale = 0) override;

  // ---- Paths ----
  void PathClear() override;
  void PathClose() override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = EWinding::CW) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = {}, const IBlend* blend = nullptr) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = {},
                  const IBlend* blend = nullptr) override;

protected:
  void PathTransformSetMatrix(const IMatrix& matrix) override;
  void SetClipRegion(const IRECT& bounds) override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) override;
  float DoMeasureText(const IText& text, const char* str, float& height) const override;
  void DoDrawSVG(const ISVG& svg, const IBlend* blend) override;
  void DoDrawBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend) override;

  EMsgBoxResult DoShowMessageBox(const char* str, const char* caption, EMsgBoxType type) override;
  void DoPromptForFile(std::string& fileName, std::string& path, EFileAction action, const char* ext) override;
  void RequestResize(float scale, int windowWidth, int windowHeight) override;

private:
  struct Font;
  struct Bitmap;
  struct SvgTextures;

  // Forgets everything made in the earlier context and adopts vg.
  void UseContext(NVGcontext* vg);
  // Whether the layer no longer shows the leading `count` background
  // controls as they are now (read before the dirty marks are cleared).
  bool BackgroundLayerStale(int count, int widthPx, int heightPx);
  // Paints through the layers; false when the context has none.
  bool PaintThroughLayers(int widthPx, int heightPx, int layered, bool backgroundStale, const IRECT& region);
  template <typename DrawPass>
  void RenderPass(int widthPx, int heightPx, DrawPass draw);
  // Draws controls [first, end) (end -1: all) over the pixel rectangle
  // (x0, y0)-(x1, y1) of a widthPx x heightPx target, clipped to it.
  void DrawRegion(int x0, int y0, int x1, int y1, int widthPx, int heightPx, int first, int end = -1,
                  bool overlays = true);
  int FontHandle(const std::string& fontID) const;  // -1 when none can draw
  void ApplyBlend(const IBlend* blend, bool evenOdd);
  float BaseScale() const { return GetDrawScale() * GetScreenScale(); }

  NVGcontext* mVg = nullptr;        // the context of the running Paint, else null
  NVGcontext* mLastVg = nullptr;    // the context the handles below belong to
  std::vector<Font> mFonts;
  std::vector<Bitmap> mBitmaps;     // IBitmap id = index + 1
  std::vector<SvgTextures> mSvgTextures;
  ResizeHandler mResizeHandler;

  // What the background layer shows: its controls as they were drawn.
  struct LayerEntry {
    const IControl* control;
    bool hidden;
    IRECT rect;
  };
  nvg::Layer mLayer;  // the background controls
  nvg::Layer mFrame;  // the window's picture
  float mFrameScale = 0.f;
  int mFrameDraws = 0;
  std::vector<LayerEntry> mLayerEntries;
  float mLayerScale = 0.f;
  bool mLayerFontsChanged = false;
  int mLayerDraws = 0;
};

}  // namespace fw
