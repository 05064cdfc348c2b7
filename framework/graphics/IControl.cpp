#include "IControl.h"

#include <algorithm>
#include <cmath>

#include "IGraphics.h"
#include "framework/plug/IParam.h"
#include "framework/plug/IPlugBase.h"

namespace fw {

IControl::IControl(const IRECT& bounds, int paramIdx, IActionFunction actionFunc)
    : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc)) {
  mVals.push_back({paramIdx, 0.0});
}

void IControl::SetNVals(int n) {
  if (n < 1) n = 1;
  mVals.resize(static_cast<size_t>(n));
}

double IControl::GetValue(int valIdx) const {
  if (valIdx < 0 || valIdx >= NVals()) return 0.0;
  return mVals[static_cast<size_t>(valIdx)].value;
}

void IControl::SetValue(double value, int valIdx) {
  if (valIdx < 0 || valIdx >= NVals() || std::isnan(value)) return;
  mVals[static_cast<size_t>(valIdx)].value = std::clamp(value, 0.0, 1.0);
}

int IControl::GetParamIdx(int valIdx) const {
  if (valIdx < 0 || valIdx >= NVals()) return kNoParameter;
  return mVals[static_cast<size_t>(valIdx)].paramIdx;
}

void IControl::SetParamIdx(int paramIdx, int valIdx) {
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<size_t>(valIdx)].paramIdx = paramIdx;
}

IPlugBase* IControl::GetDelegate() const { return mUI ? mUI->GetDelegate() : nullptr; }

const IParam* IControl::GetParam(int valIdx) const {
  const IPlugBase* plug = GetDelegate();
  const int idx = GetParamIdx(valIdx);
  return (plug && idx >= 0) ? plug->GetParam(idx) : nullptr;
}

void IControl::OnAttached() {
  for (int v = 0; v < NVals(); ++v) {
    if (const IParam* p = GetParam(v)) SetValue(p->GetNormalized(), v);
  }
}

void IControl::SetValueFromDelegate(double value, int valIdx) {
  if (std::isnan(value) || GetValue(valIdx) == std::clamp(value, 0.0, 1.0)) return;
  SetValue(value, valIdx);
  SetDirty(false);
}

void IControl::SetValueFromUserInput(double value, int valIdx) {
  IPlugBase* plug = GetDelegate();
  const int idx = GetParamIdx(valIdx);
  const bool ownGesture = plug && idx >= 0 && !mUI->IsGestureOpen(idx);
  if (ownGesture) plug->BeginInformHostOfParamChangeFromUI(idx);
  SetValue(value, valIdx);
  SetDirty(true, valIdx);
  if (ownGesture) plug->EndInformHostOfParamChangeFromUI(idx);
}

void IControl::SetValueToDefault(int valIdx) {
  for (int v = 0; v < NVals(); ++v) {
    if (valIdx != kNoValIdx && v != valIdx) continue;
    if (const IParam* p = GetParam(v)) SetValueFromUserInput(p->GetDefault(true), v);
  }
}

void IControl::PromptUserInput(int valIdx) {
  if (mUI && GetParam(valIdx)) mUI->PromptUserInput(*this, valIdx);
}

void IControl::SetDirty(bool triggerAction, int valIdx) {
  mDirty = true;
  if (!triggerAction) return;
  if (IPlugBase* plug = GetDelegate()) {
    for (int v = 0; v < NVals(); ++v) {
      if (valIdx != kNoValIdx && v != valIdx) continue;
      const int idx = GetParamIdx(v);
      if (idx < 0) continue;
      plug->SendParameterValueFromUI(idx, GetValue(v));
      mUI->UpdatePeers(this, v);
    }
  }
  if (mActionFunc) mActionFunc(this);
}

void IControl::OnMouseDown(float /*x*/, float /*y*/, const IMouseMod& mod) {
  if (mod.R) PromptUserInput(0);
}

void IControl::OnMouseDblClick(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) { SetValueToDefault(kNoValIdx); }

void IControl::OnMouseOver(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {
  if (!mMouseIsOver) {
    mMouseIsOver = true;
    SetDirty(false);
  }
}

void IControl::OnMouseOut() {
  if (mMouseIsOver) {
    mMouseIsOver = false;
    SetDirty(false);
  }
}

void IControl::SetRECT(const IRECT& bounds) {
  // The old area must be repainted too.
  if (mUI && bounds != mRECT) mUI->RepaintArea(mRECT);
  mRECT = bounds;
  mMouseIsOver = false;
  OnResize();
  SetDirty(false);
}

void IControl::SetTargetRECT(const IRECT& bounds) {
  mTargetRECT = bounds;
  mMouseIsOver = false;
}

void IControl::SetTargetAndDrawRECTs(const IRECT& bounds) {
  SetRECT(bounds);
  SetTargetRECT(bounds);
}

void IControl::Hide(bool hide) {
  if (mHide == hide) return;
  mHide = hide;
  mMouseIsOver = false;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable) {
  if (mDisabled == disable) return;
  mDisabled = disable;
  SetDirty(false);
}

// ---- ITextControl ---------------------------------------------------------------------------

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text, const IColor& bgColor,
                           bool setBoundsBasedOnStr)
    : IControl(bounds), mStr(str ? str : ""), mText(text), mBGColor(bgColor), mSetBoundsBasedOnStr(setBoundsBasedOnStr) {
  SetIgnoreMouse(true);
}

void ITextControl::Draw(IGraphics& g) {
  if (!mBGColor.IsTransparent()) g.FillRect(mBGColor, mRECT);
  g.DrawText(mText, mStr.c_str(), mRECT);
}

void ITextControl::SetStr(const char* str) {
  const char* s = str ? str : "";
  if (mStr == s) return;
  mStr = s;
  if (mSetBoundsBasedOnStr && GetUI()) {
    IRECT box = mRECT;
    GetUI()->MeasureText(mText, mStr.c_str(), box);
    if (!box.Empty()) SetTargetAndDrawRECTs(box);
  }
  SetDirty(false);
}

// ---- IPanelControl --------------------------------------------------------------------------

IPanelControl::IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame)
    : IControl(bounds), mPattern(pattern), mDrawFrame(drawFrame) {
  SetIgnoreMouse(true);
}

void IPanelControl::Draw(IGraphics& g) {
  g.FillRect(mPattern, mRECT);
  if (mDrawFrame) g.DrawRect(COLOR_BLACK, mRECT);
}

// ---- ICornerResizerControl ------------------------------------------------------------------

ICornerResizerControl::ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color,
                                             const IColor& mouseOverColor, const IColor& dragColor)
    : IControl(graphicsBounds.GetFromBottom(size).GetFromRight(size)),
      mColor(color),
      mMouseOverColor(mouseOverColor),
      mDragColor(dragColor) {}

void ICornerResizerControl::Draw(IGraphics& g) {
  const IColor& c = mDragging ? mDragColor : (mMouseIsOver ? mMouseOverColor : mColor);
  g.FillTriangle(c, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B);
  // The grip: three diagonal ridges in the colour made opaque, so the corner
  // reads as a handle on any background.
  const IColor ridge = c.WithOpacity(1.f);
  const float w = mRECT.W();
  for (int i = 1; i <= 3; ++i) {
    const float d = w * 0.25f * static_cast<float>(i);
    g.DrawLine(ridge, mRECT.R - d, mRECT.B - 1.f, mRECT.R - 1.f, mRECT.B - d, nullptr, std::max(1.f, w * 0.075f));
  }
}

void ICornerResizerControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R || !GetUI()) return;
  const float s = GetUI()->GetDrawScale();
  mDownScale = s;
  mDownWinX = x * s;
  mDownWinY = y * s;
  mDragging = mDownWinX > 0.f && mDownWinY > 0.f;
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDrag(float x, float y, float /*dX*/, float /*dY*/, const IMouseMod& /*mod*/) {
  if (!mDragging || !GetUI()) return;
  // The platform hands positions in design units at the scale in force now.
  const float s = GetUI()->GetDrawScale();
  const float ratio = std::min(x * s / mDownWinX, y * s / mDownWinY);
  if (!(ratio > 0.f)) return;
  GetUI()->ResizeFromUI(mDownScale * ratio);
}

void ICornerResizerControl::OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {
  mDragging = false;
  SetDirty(false);
}

}  // namespace fw
