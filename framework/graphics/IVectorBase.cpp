#include "IVectorBase.h"

#include <algorithm>

#include "IGraphics.h"
#include "framework/plug/IParam.h"

namespace fw {

void IVectorBase::AttachIControl(IControl* control, const char* label) {
  mControl = control;
  mLabelStr = label ? label : "";
}

void IVectorBase::SetStyle(const IVStyle& style) {
  mStyle = style;
  if (mControl) {
    mControl->OnResize();
    mControl->SetDirty(false);
  }
}

void IVectorBase::SetColor(EVColor c, const IColor& color) {
  mStyle.colorSpec.SetColor(c, color);
  if (mControl) mControl->SetDirty(false);
}

void IVectorBase::SetLabelStr(const char* str) {
  mLabelStr = str ? str : "";
  if (mControl) {
    mControl->OnResize();
    mControl->SetDirty(false);
  }
}

void IVectorBase::SetValueStr(const char* str) {
  mValueStr = str ? str : "";
  if (mControl) mControl->SetDirty(false);
}

float IVectorBase::GetRoundedCornerRadius(const IRECT& bounds) const {
  return std::clamp(mStyle.roundness, 0.f, 1.f) * std::min(bounds.W(), bounds.H()) / 2.f;
}

IRECT IVectorBase::MakeRects(const IRECT& parent) {
  IRECT area = parent;
  mLabelBounds = IRECT();
  if (!mLabelInWidget && mStyle.showLabel && !mLabelStr.empty()) {
    const float h = mStyle.labelText.mSize;
    float w = h;
    if (mStyle.labelOrientation == EOrientation::West || mStyle.labelOrientation == EOrientation::East) {
      IRECT box = parent;
      IGraphics* ui = mControl ? mControl->GetUI() : nullptr;
      w = ui ? ui->MeasureText(mStyle.labelText, mLabelStr.c_str(), box) : 0.5f * h * static_cast<float>(mLabelStr.size());
    }
    switch (mStyle.labelOrientation) {
      case EOrientation::North: mLabelBounds = area.GetFromTop(h); area = area.GetReducedFromTop(h); break;
      case EOrientation::South: mLabelBounds = area.GetFromBottom(h); area = area.GetReducedFromBottom(h); break;
      case EOrientation::West: mLabelBounds = area.GetFromLeft(w); area = area.GetReducedFromLeft(w); break;
      case EOrientation::East: mLabelBounds = area.GetFromRight(w); area = area.GetReducedFromRight(w); break;
    }
  }
  mValueBounds = IRECT();
  if (!mValueInWidget && mStyle.showValue) {
    const float h = mStyle.valueText.mSize;
    mValueBounds = area.GetFromBottom(h);
    area = area.GetReducedFromBottom(h);
  }
  mWidgetBounds = area.GetScaledAboutCentre(std::clamp(mStyle.widgetFrac, 0.f, 1.f));
  if (mLabelInWidget) mLabelBounds = mWidgetBounds;
  if (mValueInWidget) mValueBounds = mWidgetBounds;
  return area;
}

void IVectorBase::UpdateValueStrFromParam() {
  if (!mControl) return;
  const IParam* p = mControl->GetParam();
  if (!p) return;
  const double v = mControl->GetValue();
  if (v == mValueStrFor) return;
  mValueStrFor = v;
  mValueStr = p->GetDisplay(p->FromNormalized(v));
}

void IVectorBase::DrawBackground(IGraphics& g, const IRECT& bounds) const {
  const IColor& bg = GetColor(kBG);
  if (!bg.IsTransparent()) g.FillRect(bg, bounds);
}

void IVectorBase::DrawLabel(IGraphics& g) const {
  if (mStyle.showLabel && !mLabelStr.empty()) g.DrawText(mStyle.labelText, mLabelStr.c_str(), mLabelBounds);
}

void IVectorBase::DrawValue(IGraphics& g) const {
  if (mStyle.showValue && !mValueStr.empty()) g.DrawText(mStyle.valueText, mValueStr.c_str(), mValueBounds);
}

void IVectorBase::DrawPressableRectangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver) const {
  const float cr = GetRoundedCornerRadius(bounds);
  if (mStyle.drawShadows && !pressed)
    g.FillRoundRect(GetColor(kSH), bounds.GetTranslated(mStyle.shadowOffset, mStyle.shadowOffset), cr);
  g.FillRoundRect(GetColor(pressed ? kPR : kFG), bounds, cr);
  if (mouseOver) g.FillRoundRect(GetColor(kHL), bounds, cr);
  if (mStyle.drawFrame) g.DrawRoundRect(GetColor(kFR), bounds, cr, nullptr, mStyle.frameThickness);
}

}  // namespace fw
