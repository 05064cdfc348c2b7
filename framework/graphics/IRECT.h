// An axis-aligned rectangle in design units (left, top, right, bottom; y grows
// downwards) with the helpers layouts and controls build their geometry from.
// A rectangle is empty when it has no area; "contains" is half-open (the right
// and bottom edges are outside), so neighbouring cells never share a point.
#pragma once

#include <algorithm>

#include "IGraphicsConstants.h"

namespace fw {

struct IRECT {
  float L = 0.f, T = 0.f, R = 0.f, B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}
  static constexpr IRECT MakeXYWH(float x, float y, float w, float h) { return {x, y, x + w, y + h}; }

  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return 0.5f * (L + R); }
  constexpr float MH() const { return 0.5f * (T + B); }
  constexpr bool Empty() const { return !(W() > 0.f && H() > 0.f); }

  constexpr bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  constexpr bool operator!=(const IRECT& o) const { return !(*this == o); }

  constexpr bool Contains(float x, float y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // Like Contains, but the right and bottom edges count as inside.
  constexpr bool ContainsEdge(float x, float y) const { return x >= L && x <= R && y >= T && y <= B; }
  constexpr bool Contains(const IRECT& o) const {
    return !Empty() && !o.Empty() && o.L >= L && o.R <= R && o.T >= T && o.B <= B;
  }
  // True when the two share some area (touching edges do not count).
  constexpr bool Intersects(const IRECT& o) const {
    return !Empty() && !o.Empty() && L < o.R && o.L < R && T < o.B && o.T < B;
  }
  // The shared area, or an empty rectangle.
  constexpr IRECT Intersect(const IRECT& o) const {
    if (!Intersects(o)) return {};
    return {std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B)};
  }
  // The smallest rectangle holding both; an empty one does not count.
  constexpr IRECT Union(const IRECT& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B)};
  }
  // Moves a point inside (onto the edges at most).
  void Constrain(float& x, float& y) const {
    x = std::clamp(x, L, std::max(L, R));
    y = std::clamp(y, T, std::max(T, B));
  }

  // Strips of a given size along one edge, and what remains without them.
  constexpr IRECT GetFromTop(float amount) const { return {L, T, R, T + amount}; }
  constexpr IRECT GetFromBottom(float amount) const { return {L, B - amount, R, B}; }
  constexpr IRECT GetFromLeft(float amount) const { return {L, T, L + amount, B}; }
  constexpr IRECT GetFromRight(float amount) const { return {R - amount, T, R, B}; }
  constexpr IRECT GetReducedFromTop(float amount) const { return {L, T + amount, R, B}; }
  constexpr IRECT GetReducedFromBottom(float amount) const { return {L, T, R, B - amount}; }
  constexpr IRECT GetReducedFromLeft(float amount) const { return {L + amount, T, R, B}; }
  constexpr IRECT GetReducedFromRight(float amount) const { return {L, T, R - amount, B}; }

  // A fraction of the width from the left (or the right), of the height from
  // the bottom (or the top).
  constexpr IRECT FracRectHorizontal(float frac, bool fromRight = false) const {
    const float w = W() * frac;
    return fromRight ? IRECT(R - w, T, R, B) : IRECT(L, T, L + w, B);
  }
  constexpr IRECT FracRectVertical(float frac, bool fromTop = false) const {
    const float h = H() * frac;
    return fromTop ? IRECT(L, T, R, T + h) : IRECT(L, B - h, R, B);
  }

  // Slice sliceIdx of numSlices equal slices, counted from the top (vertical)
  // or from the left (horizontal).
  constexpr IRECT SubRectVertical(int numSlices, int sliceIdx) const {
    if (numSlices <= 0) return *this;
    const float h = H() / static_cast<float>(numSlices);
    const float t = T + h * static_cast<float>(sliceIdx);
    return {L, t, R, t + h};
  }
  constexpr IRECT SubRectHorizontal(int numSlices, int sliceIdx) const {
    if (numSlices <= 0) return *this;
    const float w = W() / static_cast<float>(numSlices);
    const float l = L + w * static_cast<float>(sliceIdx);
    return {l, T, l + w, B};
  }
  constexpr IRECT SubRect(EDirection dir, int numSlices, int sliceIdx) const {
    return dir == EDirection::Vertical ? SubRectVertical(numSlices, sliceIdx) : SubRectHorizontal(numSlices, sliceIdx);
  }
  // The cell at (row, col) of an nRows x nCols grid; or the cellIndex-th cell
  // counted row by row.
  constexpr IRECT GetGridCell(int row, int col, int nRows, int nCols) const {
    return SubRectVertical(nRows, row).SubRectHorizontal(nCols, col);
  }
  constexpr IRECT GetGridCell(int cellIndex, int nRows, int nCols) const {
    if (nCols <= 0) return *this;
    return GetGridCell(cellIndex / nCols, cellIndex % nCols, nRows, nCols);
  }

  // Grown by padding on every side (a negative padding shrinks); or each side
  // moved by its own amount (added to L, T, R, B).
  constexpr IRECT GetPadded(float padding) const { return {L - padding, T - padding, R + padding, B + padding}; }
  constexpr IRECT GetPadded(float padL, float padT, float padR, float padB) const {
    return {L + padL, T + padT, R + padR, B + padB};
  }
  constexpr IRECT GetHPadded(float padding) const { return {L - padding, T, R + padding, B}; }
  constexpr IRECT GetVPadded(float padding) const { return {L, T - padding, R, B + padding}; }
  // A strip of 2 x padding around the horizontal (vertical) middle.
  constexpr IRECT GetMidHPadded(float padding) const { return {MW() - padding, T, MW() + padding, B}; }
  constexpr IRECT GetMidVPadded(float padding) const { return {L, MH() - padding, R, MH() + padding}; }

  constexpr IRECT GetHShifted(float x) const { return {L + x, T, R + x, B}; }
  constexpr IRECT GetVShifted(float y) const { return {L, T + y, R, B + y}; }
  constexpr IRECT GetTranslated(float x, float y) const { return {L + x, T + y, R + x, B + y}; }

  // A w x h rectangle (w x w when h is not above 0) centred on this one's middle.
  constexpr IRECT GetCentredInside(float w, float h = 0.f) const {
    if (!(h > 0.f)) h = w;
    return {MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h};
  }
  constexpr IRECT GetCentredInside(const IRECT& sr) const { return GetCentredInside(sr.W(), sr.H()); }

  // Every coordinate multiplied (scaling about the origin), or the size scaled
  // about the middle.
  constexpr IRECT GetScaled(float scale) const { return {L * scale, T * scale, R * scale, B * scale}; }
  constexpr IRECT GetScaledAboutCentre(float scale) const {
    const float w = W() * scale, h = H() * scale;
    return {MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h};
  }
};

}  // namespace fw
