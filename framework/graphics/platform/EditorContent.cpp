#include "EditorContent.h"

#include <cmath>

#include "framework/graphics/EditorLifecycle.h"

namespace fw::platform {

namespace {

int RoundPx(float v) { return static_cast<int>(std::lround(v)); }

IMouseMod ToMod(PointerButton button, const PointerMods& m, bool pressed) {
  return IMouseMod(pressed && button == PointerButton::kLeft, pressed && button == PointerButton::kRight, m.shift,
                   m.control, m.alt);
}

}  // namespace

EditorContent::EditorContent(IPlugBase& plug) : mPlug(plug) {
  mOwned = OpenEditor(plug);
  mUI = dynamic_cast<IGraphicsNanoVG*>(mOwned.get());
  if (!mUI) {
    CloseEditor(plug, mOwned);
    return;
  }
  mUI->SetResizeHandler([this](float scale, int w, int h) { Resize(scale, w, h); });
}

EditorContent::~EditorContent() {
  if (mUI) mUI->SetResizeHandler(nullptr);
  mUI = nullptr;
  CloseEditor(mPlug, mOwned);
}

float EditorContent::PixelsPerUnit() const { return mUI ? mUI->GetDrawScale() * mContentScale : mContentScale; }

void EditorContent::GetSizePx(int& width, int& height) const {
  if (!mUI) {
    const Config& c = mPlug.GetConfig();
    width = RoundPx(static_cast<float>(c.plugWidth > 0 ? c.plugWidth : 1) * mContentScale);
    height = RoundPx(static_cast<float>(c.plugHeight > 0 ? c.plugHeight : 1) * mContentScale);
    return;
  }
  width = RoundPx(static_cast<float>(mUI->WindowWidth()) * mContentScale);
  height = RoundPx(static_cast<float>(mUI->WindowHeight()) * mContentScale);
}

void EditorContent::SetContentScale(float factor) {
  if (!(factor > 0.f) || !std::isfinite(factor)) return;
  mContentScale = factor;
  if (mUI) mUI->SetScreenScale(factor);
}

bool EditorContent::CanResize() const { return mUI && mUI->GetMinScale() < mUI->GetMaxScale(); }

float EditorContent::ScaleForPixels(int width, int height) const {
  return mUI->ScaleForWindowSize(RoundPx(static_cast<float>(width) / mContentScale),
                                 RoundPx(static_cast<float>(height) / mContentScale));
}

void EditorContent::ConstrainSizePx(int& width, int& height) const {
  if (!mUI) {
    GetSizePx(width, height);
    return;
  }
  int w = 0, h = 0;
  mUI->WindowSizeForScale(ScaleForPixels(width, height), w, h);
  width = RoundPx(static_cast<float>(w) * mContentScale);
  height = RoundPx(static_cast<float>(h) * mContentScale);
}

void EditorContent::SetSizePx(int width, int height) {
  mSizedByHost = true;
  if (mUI) mUI->SetScale(ScaleForPixels(width, height));
}

// The corner resizer asks: the host resizes the view (and tells us through
// SetSizePx, possibly with a size of its own choosing, which the window then
// has); without a view the scale applies at once.
void EditorContent::Resize(float scale, int windowWidth, int windowHeight) {
  if (!requestResize) {
    mUI->SetScale(scale);
    return;
  }
  mSizedByHost = false;
  if (requestResize(RoundPx(static_cast<float>(windowWidth) * mContentScale),
                    RoundPx(static_cast<float>(windowHeight) * mContentScale)) &&
      !mSizedByHost)
    mUI->SetScale(scale);  // granted without an onSize
}

bool EditorContent::OnFrame() {
  if (!mUI) return false;
  mUI->OnFrameTick();
  IRECT dirty;
  return mUI->IsDirty(dirty);
}

void EditorContent::OnDraw(NVGcontext* vg, int widthPx, int heightPx) {
  if (mUI) mUI->Paint(vg, widthPx, heightPx);
}

void EditorContent::OnPointerDown(float x, float y, PointerButton button, PointerMods mods, bool doubleClick) {
  if (!mUI || button == PointerButton::kMiddle) return;
  (button == PointerButton::kLeft ? mLeftDown : mRightDown) = true;
  const float k = PixelsPerUnit();
  // The second press of a double click arrives as the double click; its release follows as usual.
  if (doubleClick)
    mUI->OnMouseDblClick(x / k, y / k, ToMod(button, mods, true));
  else
    mUI->OnMouseDown(x / k, y / k, ToMod(button, mods, true));
}

void EditorContent::OnPointerUp(float x, float y, PointerButton button, PointerMods mods) {
  if (!mUI || button == PointerButton::kMiddle) return;
  (button == PointerButton::kLeft ? mLeftDown : mRightDown) = false;
  const float k = PixelsPerUnit();
  mUI->OnMouseUp(x / k, y / k, ToMod(button, mods, true));
}

void EditorContent::OnPointerMove(float x, float y, PointerMods mods) {
  if (!mUI) return;
  const float k = PixelsPerUnit();
  const IMouseMod mod(mLeftDown, mRightDown, mods.shift, mods.control, mods.alt);
  if (mLeftDown || mRightDown)
    mUI->OnMouseDrag(x / k, y / k, mod);
  else
    mUI->OnMouseOver(x / k, y / k, mod);
}

void EditorContent::OnPointerLeave() {
  if (mUI) mUI->OnMouseOut();
}

void EditorContent::OnWheel(float x, float y, float steps, PointerMods mods) {
  if (!mUI) return;
  const float k = PixelsPerUnit();
  mUI->OnMouseWheel(x / k, y / k, IMouseMod(false, false, mods.shift, mods.control, mods.alt), steps);
}

}  // namespace fw::platform
