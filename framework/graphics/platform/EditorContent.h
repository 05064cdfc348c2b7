// The editor as a view's content: opens the plug-in's editor (its
// make-graphics and layout functions) on a NanoVG graphics context, draws it
// into the window, turns the window's pointer events (pixels) into the
// graphics context's mouse calls (design units), scales it within its
// constraints to the sizes the host grants, and closes it when dropped.
//
// Threads: the main thread.
#pragma once

#include <memory>

#include "ViewContent.h"
#include "framework/graphics/IGraphicsNanoVG.h"

namespace fw::platform {

class EditorContent final : public IViewContent {
public:
  // Opens the editor. A plug-in whose make-graphics function gives no
  // IGraphicsNanoVG shows an empty window of the plug-in's design size.
  explicit EditorContent(IPlugBase& plug);
  ~EditorContent() override;
  EditorContent(const EditorContent&) = delete;
  EditorContent& operator=(const EditorContent&) = delete;

  IGraphicsNanoVG* Graphics() const { return mUI; }

  // ---- IViewContent ----
  void GetSizePx(int& width, int& height) const override;
  void SetContentScale(float factor) override;
  bool CanResize() const override;
  void ConstrainSizePx(int& width, int& height) const override;
  void SetSizePx(int width, int height) override;
  bool OnFrame() override;

  // ---- WindowClient ----
  void OnDraw(NVGcontext* vg, int widthPx, int heightPx) override;
  void OnPointerDown(float x, float y, PointerButton button, PointerMods mods, bool doubleClick) override;
  void OnPointerUp(float x, float y, PointerButton button, PointerMods mods) override;
  void OnPointerMove(float x, float y, PointerMods mods) override;
  void OnPointerLeave() override;
  void OnWheel(float x, float y, float steps, PointerMods mods) override;

private:
  // Window pixels per design unit.
  float PixelsPerUnit() const;
  float ScaleForPixels(int width, int height) const;
  void Resize(float scale, int windowWidth, int windowHeight);

  IPlugBase& mPlug;
  std::unique_ptr<IGraphics> mOwned;
  IGraphicsNanoVG* mUI = nullptr;
  float mContentScale = 1.f;
  bool mLeftDown = false, mRightDown = false;
  // Whether the host sized the view (SetSizePx) since the last resize request.
  bool mSizedByHost = false;
};

}  // namespace fw::platform
