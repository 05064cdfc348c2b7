// A colour as four 8-bit channels (alpha, red, green, blue), and the named
// colours of the graphics layer.
#pragma once

#include <algorithm>
#include <cstdint>

namespace fw {

struct IColor {
  int A = 255, R = 0, G = 0, B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

  // From 0xRRGGBB, with the given alpha.
  static constexpr IColor FromColorCode(uint32_t colorCode, int alpha = 255) {
    return {alpha, static_cast<int>((colorCode >> 16) & 0xFF), static_cast<int>((colorCode >> 8) & 0xFF),
            static_cast<int>(colorCode & 0xFF)};
  }
  // 0xRRGGBB of the colour (alpha dropped).
  constexpr uint32_t ToColorCode() const {
    return (static_cast<uint32_t>(R & 0xFF) << 16) | (static_cast<uint32_t>(G & 0xFF) << 8) |
           static_cast<uint32_t>(B & 0xFF);
  }

  // The same colour with alpha = opacity (0..1) x 255, truncated.
  constexpr IColor WithOpacity(float opacity) const {
    const float o = opacity > 1.f ? 1.f : (opacity > 0.f ? opacity : 0.f);
    return {static_cast<int>(o * 255.f), R, G, B};
  }
  // Each colour channel moved by c (-1..1) x 255, limited to 0..255.
  constexpr IColor WithContrast(float c) const {
    const int d = static_cast<int>(c * 255.f);
    return {A, std::clamp(R + d, 0, 255), std::clamp(G + d, 0, 255), std::clamp(B + d, 0, 255)};
  }
  // Every channel limited to 0..255.
  constexpr IColor Clamped() const {
    return {std::clamp(A, 0, 255), std::clamp(R, 0, 255), std::clamp(G, 0, 255), std::clamp(B, 0, 255)};
  }
  constexpr float Af() const { return static_cast<float>(std::clamp(A, 0, 255)) / 255.f; }
  constexpr float Rf() const { return static_cast<float>(std::clamp(R, 0, 255)) / 255.f; }
  constexpr float Gf() const { return static_cast<float>(std::clamp(G, 0, 255)) / 255.f; }
  constexpr float Bf() const { return static_cast<float>(std::clamp(B, 0, 255)) / 255.f; }
  constexpr bool IsTransparent() const { return A <= 0; }

  constexpr bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  constexpr bool operator!=(const IColor& o) const { return !(*this == o); }
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_TRANSLUCENT(10, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_BLACK_DROP_SHADOW(128, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_LIGHT_GRAY(255, 240, 240, 240);
inline constexpr IColor COLOR_MID_GRAY(255, 200, 200, 200);
inline constexpr IColor COLOR_DARK_GRAY(255, 70, 70, 70);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);

// Defaults of controls and styles. The background default is transparent, so a
// text control over a panel paints only its text.
inline constexpr IColor DEFAULT_BGCOLOR = COLOR_TRANSPARENT;
inline constexpr IColor DEFAULT_FGCOLOR = COLOR_MID_GRAY;
inline constexpr IColor DEFAULT_PRCOLOR = COLOR_LIGHT_GRAY;
inline constexpr IColor DEFAULT_FRCOLOR = COLOR_DARK_GRAY;
inline constexpr IColor DEFAULT_HLCOLOR = COLOR_TRANSLUCENT;
inline constexpr IColor DEFAULT_SHCOLOR(60, 0, 0, 0);
inline constexpr IColor DEFAULT_X1COLOR = COLOR_RED;
inline constexpr IColor DEFAULT_X2COLOR = COLOR_GREEN;
inline constexpr IColor DEFAULT_X3COLOR = COLOR_BLUE;
inline constexpr IColor DEFAULT_TEXT_FGCOLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXTENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXTENTRY_FGCOLOR = COLOR_BLACK;

}  // namespace fw
