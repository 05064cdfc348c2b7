// A level meter of MAXNC tracks fed by the plug-in's sender entries
// (ISenderData<MAXNC, float>) under the control's tag. Each channel's level
// becomes that track's value: with the logarithmic response
// clamp((20 log10(level) - low) / (high - low), 0, 1) for the dB range low..high
// (a level of 0 gives 0), with the linear response the level limited to 0..1.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "IVectorBase.h"
#include "framework/plug/ISenderData.h"

namespace fw {

template <int MAXNC = 1>
class IVMeterControl : public IControl, public IVectorBase {
public:
  using Data = ISenderData<MAXNC, float>;

  // totalNSegs: 0 draws a continuous bar per track, else that many segments.
  // markers (dB) are kept for drawing subclasses; the default drawing omits them.
  IVMeterControl(const IRECT& bounds, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                 EDirection dir = EDirection::Vertical, std::initializer_list<const char*> trackNames = {},
                 int totalNSegs = 0, EResponse response = EResponse::Linear, float lowRangeDB = -72.f,
                 float highRangeDB = 12.f, std::initializer_list<int> markers = {0, -6, -12, -24, -48})
      : IControl(bounds, kNoParameter),
        IVectorBase(style),
        mDirection(dir),
        mNSegs(std::max(totalNSegs, 0)),
        mResponse(response),
        mLowRangeDB(lowRangeDB),
        mHighRangeDB(highRangeDB > lowRangeDB ? highRangeDB : lowRangeDB + 1.f),
        mMarkers(markers) {
    SetNVals(MAXNC);
    for (const char* n : trackNames) mTrackNames.emplace_back(n ? n : "");
    AttachIControl(this, label);
    SetIgnoreMouse(true);
    OnResize();
  }

  void OnResize() override { SetTargetRECT(MakeRects(mRECT)); }

  // Update messages of exactly one entry's size; channels outside the meter are dropped.
  void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) override {
    if (msgTag != kUpdateMessage || IsDisabled() || !data || dataSize != static_cast<int>(sizeof(Data))) return;
    Data d;
    std::memcpy(&d, data, sizeof(Data));
    const int n = std::clamp(d.nChans, 0, MAXNC);
    for (int c = 0; c < n; ++c) {
      const int track = d.chanOffset + c;
      if (track < 0 || track >= MAXNC) continue;
      SetValue(LevelToValue(d.vals[static_cast<size_t>(c)]), track);
    }
    SetDirty(false);
  }

  double LevelToValue(float level) const {
    if (!(level > 0.f)) return 0.0;  // zero, negative and NaN
    if (mResponse == EResponse::Linear) return std::min(static_cast<double>(level), 1.0);
    const double db = 20.0 * std::log10(static_cast<double>(level));
    return std::clamp((db - mLowRangeDB) / (static_cast<double>(mHighRangeDB) - mLowRangeDB), 0.0, 1.0);
  }

  void Draw(IGraphics& g) override {
    DrawBackground(g, mRECT);
    for (int t = 0; t < MAXNC; ++t) DrawTrack(g, GetTrackBounds(t), GetValue(t));
    DrawLabel(g);
  }

  // Track t's strip of the widget area: tracks side by side across the meter's direction.
  IRECT GetTrackBounds(int t) const {
    return mDirection == EDirection::Vertical ? mWidgetBounds.SubRectHorizontal(MAXNC, t)
                                              : mWidgetBounds.SubRectVertical(MAXNC, t);
  }
  const std::vector<int>& GetMarkers() const { return mMarkers; }
  const std::vector<std::string>& GetTrackNames() const { return mTrackNames; }

protected:
  void DrawTrack(IGraphics& g, const IRECT& r, double value) {
    const IRECT track = r.GetPadded(-1.f);
    g.FillRect(GetColor(kSH), track);
    const float v = static_cast<float>(value);
    if (mNSegs == 0) {
      const IRECT lit = mDirection == EDirection::Vertical ? track.FracRectVertical(v) : track.FracRectHorizontal(v);
      if (!lit.Empty()) g.FillRect(GetColor(kX1), lit);
    } else {
      const int nLit = static_cast<int>(std::ceil(v * static_cast<float>(mNSegs)));
      for (int s = 0; s < std::min(nLit, mNSegs); ++s) {
        // Segment 0 at the bottom (vertical) or the left (horizontal).
        const IRECT seg = mDirection == EDirection::Vertical ? track.SubRectVertical(mNSegs, mNSegs - 1 - s)
                                                             : track.SubRectHorizontal(mNSegs, s);
        g.FillRect(GetColor(kX1), seg.GetPadded(-0.5f));
      }
    }
    if (mStyle.drawFrame) g.DrawRect(GetColor(kFR), track, nullptr, mStyle.frameThickness);
  }

  EDirection mDirection;
  int mNSegs;
  EResponse mResponse;
  float mLowRangeDB, mHighRangeDB;
  std::vector<int> mMarkers;
  std::vector<std::string> mTrackNames;
};

}  // namespace fw
