// The look of the vector controls: nine role colours, label and value text,
// and the drawing switches, with DEFAULT_STYLE as the starting point.
#pragma once

#include <array>

#include "IColor.h"
#include "IText.h"

namespace fw {

enum EVColor {
  kBG = 0,  // background
  kFG,      // foreground (off)
  kPR,      // pressed (on)
  kFR,      // frame
  kHL,      // highlight (mouse over)
  kSH,      // shadow
  kX1,      // extra 1: value arc of knobs, filled track of sliders
  kX2,      // extra 2: unfilled track
  kX3,      // extra 3
  kNumVColors
};

struct IVColorSpec {
  std::array<IColor, kNumVColors> mColors{DEFAULT_BGCOLOR, DEFAULT_FGCOLOR, DEFAULT_PRCOLOR, DEFAULT_FRCOLOR,
                                         DEFAULT_HLCOLOR, DEFAULT_SHCOLOR, DEFAULT_X1COLOR, DEFAULT_X2COLOR,
                                         DEFAULT_X3COLOR};
  const IColor& GetColor(EVColor c) const { return mColors[static_cast<size_t>(c)]; }
  void SetColor(EVColor c, const IColor& color) { mColors[static_cast<size_t>(c)] = color; }
  void ResetColors() { *this = IVColorSpec(); }
};

inline const IVColorSpec DEFAULT_COLOR_SPEC{};

struct IVStyle {
  bool showLabel = true;
  bool showValue = true;
  IVColorSpec colorSpec = DEFAULT_COLOR_SPEC;
  IText labelText = DEFAULT_LABEL_TEXT;
  IText valueText = DEFAULT_VALUE_TEXT;
  bool hideCursor = true;
  bool drawFrame = true;
  bool drawShadows = true;
  bool emboss = false;
  float roundness = 0.f;       // 0..1 of half the shorter side
  float frameThickness = 1.f;
  float shadowOffset = 3.f;
  float widgetFrac = 1.f;      // the widget's share of the area left by label and value
  float angle = 0.f;
  EOrientation labelOrientation = EOrientation::North;

  IVStyle WithShowLabel(bool v = true) const { IVStyle s = *this; s.showLabel = v; return s; }
  IVStyle WithShowValue(bool v = true) const { IVStyle s = *this; s.showValue = v; return s; }
  IVStyle WithColor(EVColor c, const IColor& color) const { IVStyle s = *this; s.colorSpec.SetColor(c, color); return s; }
  IVStyle WithColors(const IVColorSpec& colors) const { IVStyle s = *this; s.colorSpec = colors; return s; }
  IVStyle WithLabelText(const IText& t) const { IVStyle s = *this; s.labelText = t; return s; }
  IVStyle WithValueText(const IText& t) const { IVStyle s = *this; s.valueText = t; return s; }
  IVStyle WithHideCursor(bool v = true) const { IVStyle s = *this; s.hideCursor = v; return s; }
  IVStyle WithDrawFrame(bool v = true) const { IVStyle s = *this; s.drawFrame = v; return s; }
  IVStyle WithDrawShadows(bool v = true) const { IVStyle s = *this; s.drawShadows = v; return s; }
  IVStyle WithEmboss(bool v = true) const { IVStyle s = *this; s.emboss = v; return s; }
  IVStyle WithRoundness(float v) const { IVStyle s = *this; s.roundness = v; return s; }
  IVStyle WithFrameThickness(float v) const { IVStyle s = *this; s.frameThickness = v; return s; }
  IVStyle WithShadowOffset(float v) const { IVStyle s = *this; s.shadowOffset = v; return s; }
  IVStyle WithWidgetFrac(float v) const { IVStyle s = *this; s.widgetFrac = v; return s; }
  IVStyle WithAngle(float v) const { IVStyle s = *this; s.angle = v; return s; }
  IVStyle WithLabelOrientation(EOrientation v) const { IVStyle s = *this; s.labelOrientation = v; return s; }
};

inline const IVStyle DEFAULT_STYLE{};

}  // namespace fw
