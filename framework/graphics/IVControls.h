// The vector-drawn parameter controls: knob, slider and switch. Each keeps
// the value handling (dragging, clicking through states, wheel, double click,
// value text) and draws itself with IGraphics calls in its style's colours;
// subclasses replace only the drawing of the moving part.
//
// Dragging: a full sweep takes gearing x the length of the drag area (the
// widget area's height for vertical dragging, its width for horizontal;
// a slider's track length); holding Shift or Control makes it ten times finer.
// A wheel step moves 0.01 (fine: 0.001). A double click sets the parameter's
// default. A right click asks for a value (PromptUserInput).
#pragma once

#include "IControl.h"
#include "IVectorBase.h"

namespace fw {

class IVKnobControl : public IControl, public IVectorBase {
public:
  IVKnobControl(const IRECT& bounds, int paramIdx, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                bool valueIsEditable = false, bool valueInWidget = false, float a1 = -135.f, float a2 = 135.f,
                float aAnchor = -135.f, EDirection direction = EDirection::Vertical, double gearing = DEFAULT_GEARING,
                float trackSize = 2.f);

  void Draw(IGraphics& g) override;
  // The knob: value arc from the anchor, handle disc, frame and pointer.
  virtual void DrawWidget(IGraphics& g);
  void OnResize() override;
  bool IsHit(float x, float y) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  // Half the shorter side of the widget area.
  float GetRadius() const;
  // The pointer angle of a value: a1 + (a2 - a1) x value.
  float GetAngleForValue(double value) const { return mAngle1 + (mAngle2 - mAngle1) * static_cast<float>(value); }
  float GetStartAngle() const { return mAngle1; }
  float GetEndAngle() const { return mAngle2; }
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }
  bool IsMouseDown() const { return mMouseDown; }

protected:
  float mAngle1, mAngle2, mAnchorAngle;
  EDirection mDirection;
  double mGearing;
  float mTrackSize;
  float mTrackToHandleDistance = 4.f;
  float mInnerPointerFrac = 0.1f;
  float mOuterPointerFrac = 1.f;
  float mPointerThickness = 2.5f;
  bool mValueIsEditable;
  bool mMouseDown = false;
};

class IVSliderControl : public IControl, public IVectorBase {
public:
  IVSliderControl(const IRECT& bounds, int paramIdx = kNoParameter, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool valueIsEditable = false,
                  EDirection direction = EDirection::Vertical, double gearing = DEFAULT_GEARING, float handleSize = 8.f,
                  float trackSize = 2.f, bool handleInsideTrack = false, float handleXOffset = 0.f,
                  float handleYOffset = 0.f);

  void Draw(IGraphics& g) override;
  // Calls DrawTrack with the filled part of the track and DrawHandle with the handle.
  virtual void DrawWidget(IGraphics& g);
  virtual void DrawTrack(IGraphics& g, const IRECT& filledArea);
  virtual void DrawHandle(IGraphics& g, const IRECT& bounds);
  void OnResize() override;
  bool IsHit(float x, float y) const override;
  // A press away from the handle moves the value to the pressed point of the
  // track; dragging then moves it with the gearing.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  // The whole track (the handle's centre travels along it), and for a value
  // the handle rectangle (2 x handle size square) and the filled part.
  const IRECT& GetTrackBounds() const { return mTrackBounds; }
  IRECT GetHandleBounds(double value) const;
  IRECT GetFilledTrack(double value) const;
  bool IsMouseDown() const { return mMouseDown; }

protected:
  double ValueAtPoint(float x, float y) const;

  EDirection mDirection;
  double mGearing;
  float mHandleSize;
  float mTrackSize;
  bool mHandleInsideTrack;
  float mHandleXOffset, mHandleYOffset;
  bool mValueIsEditable;
  IRECT mTrackBounds;
  bool mMouseDown = false;
};

class IVSwitchControl : public IControl, public IVectorBase {
public:
  // valueInButton: the value text is drawn inside the button.
  IVSwitchControl(const IRECT& bounds, int paramIdx = kNoParameter, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool valueInButton = false);

  void Draw(IGraphics& g) override;
  // The button: pressed colour while on (or pressed), foreground colour otherwise.
  virtual void DrawWidget(IGraphics& g);
  void OnResize() override;
  void OnAttached() override;
  // A click steps to the next state, from the last back to the first.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;

  // States: the parameter's steps + 1 for a stepped parameter, else 2.
  int GetNumStates() const { return mNumStates; }
  int GetSelectedIdx() const;

protected:
  int mNumStates = 2;
  bool mMouseDown = false;
};

}  // namespace fw
