#include "IVControls.h"

#include <algorithm>
#include <cmath>

#include "IGraphics.h"
#include "framework/plug/IParam.h"

namespace fw {

namespace {

double Gearing(double gearing, const IMouseMod& mod) { return IsFineControl(mod) ? gearing * kFineGearingFactor : gearing; }
double WheelStep(const IMouseMod& mod) { return IsFineControl(mod) ? kFineWheelStep : kWheelStep; }

}  // namespace

// ---- IVKnobControl ----------------------------------------------------------------------------

IVKnobControl::IVKnobControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                             bool valueIsEditable, bool valueInWidget, float a1, float a2, float aAnchor,
                             EDirection direction, double gearing, float trackSize)
    : IControl(bounds, paramIdx),
      IVectorBase(style, false, valueInWidget),
      mAngle1(a1),
      mAngle2(a2),
      mAnchorAngle(aAnchor),
      mDirection(direction),
      mGearing(gearing > 0.0 ? gearing : DEFAULT_GEARING),
      mTrackSize(trackSize),
      mValueIsEditable(valueIsEditable) {
  AttachIControl(this, label);
  OnResize();
}

void IVKnobControl::OnResize() { SetTargetRECT(MakeRects(mRECT)); }

float IVKnobControl::GetRadius() const { return std::min(mWidgetBounds.W(), mWidgetBounds.H()) / 2.f; }

bool IVKnobControl::IsHit(float x, float y) const {
  return mTargetRECT.Contains(x, y) || (mValueIsEditable && mValueBounds.Contains(x, y));
}

void IVKnobControl::Draw(IGraphics& g) {
  UpdateValueStrFromParam();
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  DrawValue(g);
}

void IVKnobControl::DrawWidget(IGraphics& g) {
  const float r = GetRadius();
  if (!(r > 0.f)) return;
  const float cx = mWidgetBounds.MW(), cy = mWidgetBounds.MH();
  const float angle = GetAngleForValue(GetValue());
  if (mTrackSize > 0.f) {
    g.DrawArc(GetColor(kX1), cx, cy, r - mTrackSize / 2.f, std::min(angle, mAnchorAngle), std::max(angle, mAnchorAngle),
              nullptr, mTrackSize);
  }
  const float handleR = std::max(r - mTrackToHandleDistance, 1.f);
  if (mStyle.drawShadows && !mMouseDown)
    g.FillCircle(GetColor(kSH), cx + mStyle.shadowOffset, cy + mStyle.shadowOffset, handleR);
  g.FillCircle(GetColor(mMouseDown ? kPR : kFG), cx, cy, handleR);
  if (mMouseIsOver) g.FillCircle(GetColor(kHL), cx, cy, handleR);
  if (mStyle.drawFrame) g.DrawCircle(GetColor(kFR), cx, cy, handleR, nullptr, mStyle.frameThickness);
  g.DrawRadialLine(GetColor(kFR), cx, cy, angle, mInnerPointerFrac * handleR, mOuterPointerFrac * handleR, nullptr,
                   mPointerThickness);
}

void IVKnobControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R || (mValueIsEditable && mValueBounds.Contains(x, y))) {
    PromptUserInput(0);
    return;
  }
  mMouseDown = true;
  SetDirty(false);
}

void IVKnobControl::OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {
  mMouseDown = false;
  SetDirty(false);
}

void IVKnobControl::OnMouseDrag(float /*x*/, float /*y*/, float dX, float dY, const IMouseMod& mod) {
  if (!mMouseDown) return;
  const bool vertical = mDirection == EDirection::Vertical;
  const double length = vertical ? mWidgetBounds.H() : mWidgetBounds.W();
  if (!(length > 0.0)) return;
  const double moved = vertical ? -dY : dX;  // up or right increases
  SetValue(GetValue() + moved / (length * Gearing(mGearing, mod)));
  SetDirty(true);
}

void IVKnobControl::OnMouseWheel(float /*x*/, float /*y*/, const IMouseMod& mod, float d) {
  SetValue(GetValue() + WheelStep(mod) * d);
  SetDirty(true);
}

// ---- IVSliderControl ----------------------------------------------------------------------------

IVSliderControl::IVSliderControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueIsEditable, EDirection direction, double gearing, float handleSize,
                                 float trackSize, bool handleInsideTrack, float handleXOffset, float handleYOffset)
    : IControl(bounds, paramIdx),
      IVectorBase(style),
      mDirection(direction),
      mGearing(gearing > 0.0 ? gearing : DEFAULT_GEARING),
      mHandleSize(std::max(handleSize, 0.f)),
      mTrackSize(std::max(trackSize, 0.f)),
      mHandleInsideTrack(handleInsideTrack),
      mHandleXOffset(handleXOffset),
      mHandleYOffset(handleYOffset),
      mValueIsEditable(valueIsEditable) {
  AttachIControl(this, label);
  OnResize();
}

void IVSliderControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT));
  const float inset = mHandleInsideTrack ? mHandleSize : 0.f;
  if (mDirection == EDirection::Vertical)
    mTrackBounds = mWidgetBounds.GetMidHPadded(mTrackSize / 2.f).GetPadded(0.f, inset, 0.f, -inset);
  else
    mTrackBounds = mWidgetBounds.GetMidVPadded(mTrackSize / 2.f).GetPadded(inset, 0.f, -inset, 0.f);
}

IRECT IVSliderControl::GetHandleBounds(double value) const {
  const float v = static_cast<float>(std::clamp(value, 0.0, 1.0));
  float x, y;
  if (mDirection == EDirection::Vertical) {
    x = mTrackBounds.MW();
    y = mTrackBounds.B - v * mTrackBounds.H();
  } else {
    x = mTrackBounds.L + v * mTrackBounds.W();
    y = mTrackBounds.MH();
  }
  x += mHandleXOffset;
  y += mHandleYOffset;
  return {x - mHandleSize, y - mHandleSize, x + mHandleSize, y + mHandleSize};
}

IRECT IVSliderControl::GetFilledTrack(double value) const {
  const float v = static_cast<float>(std::clamp(value, 0.0, 1.0));
  if (mDirection == EDirection::Vertical)
    return {mTrackBounds.L, mTrackBounds.B - v * mTrackBounds.H(), mTrackBounds.R, mTrackBounds.B};
  return {mTrackBounds.L, mTrackBounds.T, mTrackBounds.L + v * mTrackBounds.W(), mTrackBounds.B};
}

bool IVSliderControl::IsHit(float x, float y) const {
  return mTargetRECT.Contains(x, y) || (mValueIsEditable && mValueBounds.Contains(x, y));
}

void IVSliderControl::Draw(IGraphics& g) {
  UpdateValueStrFromParam();
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  DrawValue(g);
}

void IVSliderControl::DrawWidget(IGraphics& g) {
  DrawTrack(g, GetFilledTrack(GetValue()));
  DrawHandle(g, GetHandleBounds(GetValue()));
}

void IVSliderControl::DrawTrack(IGraphics& g, const IRECT& filledArea) {
  g.FillRect(GetColor(kSH), mTrackBounds);
  g.FillRect(GetColor(kX1), filledArea);
}

void IVSliderControl::DrawHandle(IGraphics& g, const IRECT& bounds) {
  const float r = bounds.W() / 2.f;
  if (!(r > 0.f)) return;
  g.FillCircle(GetColor(mMouseDown ? kPR : kFG), bounds.MW(), bounds.MH(), r);
  if (mMouseIsOver) g.FillCircle(GetColor(kHL), bounds.MW(), bounds.MH(), r);
  if (mStyle.drawFrame) g.DrawCircle(GetColor(kFR), bounds.MW(), bounds.MH(), r, nullptr, mStyle.frameThickness);
}

double IVSliderControl::ValueAtPoint(float x, float y) const {
  if (mDirection == EDirection::Vertical) {
    if (!(mTrackBounds.H() > 0.f)) return GetValue();
    return std::clamp(static_cast<double>(mTrackBounds.B - (y - mHandleYOffset)) / mTrackBounds.H(), 0.0, 1.0);
  }
  if (!(mTrackBounds.W() > 0.f)) return GetValue();
  return std::clamp(static_cast<double>((x - mHandleXOffset) - mTrackBounds.L) / mTrackBounds.W(), 0.0, 1.0);
}

void IVSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R || (mValueIsEditable && mValueBounds.Contains(x, y))) {
    PromptUserInput(0);
    return;
  }
  mMouseDown = true;
  if (!GetHandleBounds(GetValue()).Contains(x, y)) {
    SetValue(ValueAtPoint(x, y));
    SetDirty(true);
  } else {
    SetDirty(false);
  }
}

void IVSliderControl::OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {
  mMouseDown = false;
  SetDirty(false);
}

void IVSliderControl::OnMouseDrag(float /*x*/, float /*y*/, float dX, float dY, const IMouseMod& mod) {
  if (!mMouseDown) return;
  const bool vertical = mDirection == EDirection::Vertical;
  const double length = vertical ? mTrackBounds.H() : mTrackBounds.W();
  if (!(length > 0.0)) return;
  const double moved = vertical ? -dY : dX;
  SetValue(GetValue() + moved / (length * Gearing(mGearing, mod)));
  SetDirty(true);
}

void IVSliderControl::OnMouseWheel(float /*x*/, float /*y*/, const IMouseMod& mod, float d) {
  SetValue(GetValue() + WheelStep(mod) * d);
  SetDirty(true);
}

// ---- IVSwitchControl ----------------------------------------------------------------------------

IVSwitchControl::IVSwitchControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueInButton)
    : IControl(bounds, paramIdx), IVectorBase(style, false, valueInButton) {
  AttachIControl(this, label);
  SetMouseDblAsSingleClick(true);
  OnResize();
}

void IVSwitchControl::OnResize() { SetTargetRECT(MakeRects(mRECT)); }

void IVSwitchControl::OnAttached() {
  IControl::OnAttached();
  mNumStates = 2;
  if (const IParam* p = GetParam(); p && p->IsStepped()) {
    const double steps = p->GetMax() - p->GetMin();
    if (steps >= 1.0 && steps < 1000.0) mNumStates = static_cast<int>(std::lround(steps)) + 1;
  }
}

int IVSwitchControl::GetSelectedIdx() const {
  return static_cast<int>(std::lround(GetValue() * static_cast<double>(mNumStates - 1)));
}

void IVSwitchControl::Draw(IGraphics& g) {
  UpdateValueStrFromParam();
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  DrawValue(g);
}

void IVSwitchControl::DrawWidget(IGraphics& g) {
  const bool on = mNumStates == 2 ? GetValue() > 0.5 : GetSelectedIdx() > 0;
  DrawPressableRectangle(g, mWidgetBounds, mMouseDown || on, mMouseIsOver);
}

void IVSwitchControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R) {
    IControl::OnMouseDown(x, y, mod);
    return;
  }
  mMouseDown = true;
  const int next = GetSelectedIdx() + 1 >= mNumStates ? 0 : GetSelectedIdx() + 1;
  SetValue(static_cast<double>(next) / static_cast<double>(mNumStates - 1));
  SetDirty(true);
}

void IVSwitchControl::OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {
  mMouseDown = false;
  SetDirty(false);
}

}  // namespace fw
