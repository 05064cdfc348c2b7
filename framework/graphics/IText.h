// How a string is drawn: size, colour, font, horizontal and vertical alignment
// inside its rectangle, rotation, and the colours of a text entry over it.
#pragma once

#include <string>

#include "IColor.h"
#include "IGraphicsConstants.h"

namespace fw {

struct IText {
  float mSize = DEFAULT_TEXT_SIZE;
  IColor mFGColor = DEFAULT_TEXT_FGCOLOR;
  std::string mFont = DEFAULT_FONT;
  EAlign mAlign = EAlign::Center;
  EVAlign mVAlign = EVAlign::Middle;
  float mAngle = 0.f;  // degrees, clockwise
  IColor mTextEntryBGColor = DEFAULT_TEXTENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXTENTRY_FGCOLOR;

  IText() = default;
  IText(float size, const IColor& color, const char* font = DEFAULT_FONT, EAlign align = EAlign::Center,
        EVAlign valign = EVAlign::Middle, float angle = 0.f, const IColor& teBG = DEFAULT_TEXTENTRY_BGCOLOR,
        const IColor& teFG = DEFAULT_TEXTENTRY_FGCOLOR)
      : mSize(size), mFGColor(color), mFont(font ? font : DEFAULT_FONT), mAlign(align), mVAlign(valign),
        mAngle(angle), mTextEntryBGColor(teBG), mTextEntryFGColor(teFG) {}
  IText(float size, EVAlign valign, const IColor& color = DEFAULT_TEXT_FGCOLOR) : mSize(size), mFGColor(color), mVAlign(valign) {}
  IText(float size, EAlign align, const IColor& color = DEFAULT_TEXT_FGCOLOR) : mSize(size), mFGColor(color), mAlign(align) {}

  IText WithSize(float size) const { IText t = *this; t.mSize = size; return t; }
  IText WithFGColor(const IColor& c) const { IText t = *this; t.mFGColor = c; return t; }
  IText WithFont(const char* font) const { IText t = *this; t.mFont = font ? font : DEFAULT_FONT; return t; }
  IText WithAlign(EAlign a) const { IText t = *this; t.mAlign = a; return t; }
  IText WithVAlign(EVAlign a) const { IText t = *this; t.mVAlign = a; return t; }
  IText WithAngle(float a) const { IText t = *this; t.mAngle = a; return t; }
};

inline const IText DEFAULT_TEXT{};
inline const IText DEFAULT_LABEL_TEXT{DEFAULT_TEXT_SIZE + 5.f, EVAlign::Top};
inline const IText DEFAULT_VALUE_TEXT{DEFAULT_TEXT_SIZE, EVAlign::Bottom};

}  // namespace fw
