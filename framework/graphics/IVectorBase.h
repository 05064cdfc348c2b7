// What the vector controls share: a style, a label and a value string, and the
// split of the control's rectangle into label strip, value strip and widget area.
//
// Strips are one text size high: the label strip along the label's side
// (North: top, South: bottom, West/East: the label's measured width), the value
// strip at the bottom. What remains, scaled about its centre by the style's
// widget fraction, is the widget area; a label or value drawn "in the widget"
// takes the widget area instead of a strip.
#pragma once

#include <string>

#include "IControl.h"
#include "IVStyle.h"

namespace fw {

class IVectorBase {
public:
  IVectorBase(const IVStyle& style, bool labelInWidget = false, bool valueInWidget = false)
      : mStyle(style), mLabelInWidget(labelInWidget), mValueInWidget(valueInWidget) {}
  virtual ~IVectorBase() = default;

  const IVStyle& GetStyle() const { return mStyle; }
  void SetStyle(const IVStyle& style);
  const IColor& GetColor(EVColor c) const { return mStyle.colorSpec.GetColor(c); }
  void SetColor(EVColor c, const IColor& color);
  void SetLabelStr(const char* str);
  const char* GetLabelStr() const { return mLabelStr.c_str(); }
  void SetValueStr(const char* str);
  const char* GetValueStr() const { return mValueStr.c_str(); }
  const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
  const IRECT& GetLabelBounds() const { return mLabelBounds; }
  const IRECT& GetValueBounds() const { return mValueBounds; }
  // Corner radius of a rectangle for the style's roundness.
  float GetRoundedCornerRadius(const IRECT& bounds) const;

protected:
  // The control this base draws for (set by the control's constructor).
  void AttachIControl(IControl* control, const char* label);
  // Splits parent into the strips and the widget area; returns the area left
  // by the strips (the control's hit area).
  IRECT MakeRects(const IRECT& parent);
  // The value string from the control's parameter (value 0), when the value changed.
  void UpdateValueStrFromParam();

  void DrawBackground(IGraphics& g, const IRECT& bounds) const;
  void DrawLabel(IGraphics& g) const;
  void DrawValue(IGraphics& g) const;
  // A rectangle in the foreground colour (pressed: the pressed colour), framed,
  // with the highlight over it while the mouse is over.
  void DrawPressableRectangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver) const;

  IControl* mControl = nullptr;
  IVStyle mStyle;
  std::string mLabelStr;
  std::string mValueStr;
  IRECT mWidgetBounds, mLabelBounds, mValueBounds;
  bool mLabelInWidget;
  bool mValueInWidget;

private:
  double mValueStrFor = -1.0;  // the value the value string was made for
};

}  // namespace fw
