// The base of every editor control, and the plain controls built on it: text,
// panel, and the corner resizer the graphics context owns.
//
// A control has a draw rectangle and a target (hit) rectangle, up to a few
// normalised values (0..1) each optionally bound to a plug-in parameter, a tag
// and a group given when attached, and its hidden, disabled, dirty and
// mouse-over states. Controls are created with new and owned by IGraphics once
// attached; everything here runs on the editor's (main) thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "IGraphicsConstants.h"
#include "IGraphicsStructs.h"
#include "IRECT.h"
#include "IText.h"

namespace fw {

class IGraphics;
class IParam;
class IPlugBase;
class IControl;

// Called when a control's value changes through user input (SetDirty(true)).
using IActionFunction = std::function<void(IControl*)>;

class IControl {
public:
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter, IActionFunction actionFunc = nullptr);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Drawing and events (overridden by controls) -----------------------------------
  virtual void Draw(IGraphics& g) = 0;
  // Default: a right click on a parameter control asks for a value (PromptUserInput).
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {}
  // dX, dY: movement since the previous mouse event, in design units.
  virtual void OnMouseDrag(float /*x*/, float /*y*/, float /*dX*/, float /*dY*/, const IMouseMod& /*mod*/) {}
  // Default: every value back to its parameter's default.
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  // Default: marks the mouse-over state and redraws when it changes.
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual void OnMouseWheel(float /*x*/, float /*y*/, const IMouseMod& /*mod*/, float /*d*/) {}
  virtual bool IsHit(float x, float y) const { return mTargetRECT.Contains(x, y); }
  // Data sent to the control's tag by the plug-in (SendControlMsgFromDelegate).
  virtual void OnMsgFromDelegate(int /*msgTag*/, int /*dataSize*/, const void* /*data*/) {}
  // The draw rectangle changed (also run once when attached).
  virtual void OnResize() {}
  // Attached to a graphics context: by default takes each parameter's current value.
  virtual void OnAttached();

  // ---- Values --------------------------------------------------------------------
  int NVals() const { return static_cast<int>(mVals.size()); }
  double GetValue(int valIdx = 0) const;
  // Sets a value, limited to 0..1 (NaN ignored). Neither redraws nor informs anyone.
  void SetValue(double value, int valIdx = 0);
  int GetParamIdx(int valIdx = 0) const;
  void SetParamIdx(int paramIdx, int valIdx = 0);
  // The parameter behind a value, from the plug-in; null without one.
  const IParam* GetParam(int valIdx = 0) const;
  // A value from the plug-in side (host automation, patches): set and redrawn
  // when it differs; the host is not told.
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  // A value the user chose outside a mouse gesture (menu, text entry, a click
  // handler): set, sent to the plug-in, and wrapped in its own begin/end of a
  // host gesture unless a gesture for the parameter is already open.
  void SetValueFromUserInput(double value, int valIdx = 0);
  // Each value (or one) to its parameter's default, sent like user input.
  virtual void SetValueToDefault(int valIdx = kNoValIdx);
  // Asks the user for a value: a menu of the parameter's texts, or text entry.
  void PromptUserInput(int valIdx = 0);

  // Marks the control for redrawing. With triggerAction the value (one, or all
  // with kNoValIdx) is sent to the plug-in as an editor change, other controls
  // of the same parameter follow, and the action function runs.
  void SetDirty(bool triggerAction = true, int valIdx = kNoValIdx);
  bool IsDirty() const { return mDirty; }
  void ClearDirty() { mDirty = false; }

  // ---- Geometry ------------------------------------------------------------------
  const IRECT& GetRECT() const { return mRECT; }
  // New draw rectangle: clears the mouse-over state and runs OnResize.
  void SetRECT(const IRECT& bounds);
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  // New hit rectangle: clears the mouse-over state.
  void SetTargetRECT(const IRECT& bounds);
  void SetTargetAndDrawRECTs(const IRECT& bounds);

  // ---- State ---------------------------------------------------------------------
  int GetTag() const { return mTag; }
  const std::string& GetGroup() const { return mGroup; }
  // A hidden control is neither drawn nor asked for the mouse; its area is redrawn.
  virtual void Hide(bool hide);
  bool IsHidden() const { return mHide; }
  // A disabled control is drawn but gets no mouse events and no meter data.
  virtual void SetDisabled(bool disable);
  bool IsDisabled() const { return mDisabled; }
  void SetTooltip(const char* str) { mTooltip = str ? str : ""; }
  const char* GetTooltip() const { return mTooltip.c_str(); }
  bool HasTooltip() const { return !mTooltip.empty(); }
  bool GetMouseIsOver() const { return mMouseIsOver; }
  // A control that draws the same picture until it is marked dirty (a panel,
  // a faceplate image). The editor's leading run of such controls (attach
  // order) is kept as one picture where the backend can, and drawn again only
  // when one of them is dirty, hidden, shown or moved, or the scale changes.
  void SetInBackgroundLayer(bool v) { mInBackgroundLayer = v; }
  bool InBackgroundLayer() const { return mInBackgroundLayer; }
  // Controls that ignore the mouse let clicks through to those below.
  void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  // A double click acts as a second single click (switches, buttons).
  void SetMouseDblAsSingleClick(bool v) { mDblAsSingleClick = v; }
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetActionFunction(IActionFunction f) { mActionFunc = std::move(f); }
  const IActionFunction& GetActionFunction() const { return mActionFunc; }

  // The graphics context the control is attached to, and its plug-in (null before attaching).
  IGraphics* GetUI() const { return mUI; }
  IPlugBase* GetDelegate() const;

protected:
  // Controls with several values and no parameters (meters) size their value list.
  void SetNVals(int n);

  IRECT mRECT;
  IRECT mTargetRECT;
  bool mMouseIsOver = false;

private:
  friend class IGraphics;

  struct Val {
    int paramIdx = kNoParameter;
    double value = 0.0;
  };
  std::vector<Val> mVals;
  IActionFunction mActionFunc;
  IGraphics* mUI = nullptr;
  int mTag = kNoTag;
  std::string mGroup;
  std::string mTooltip;
  bool mHide = false;
  bool mDisabled = false;
  bool mDirty = true;
  bool mIgnoreMouse = false;
  bool mDblAsSingleClick = false;
  bool mInBackgroundLayer = false;
};

// A string drawn in a rectangle, over an optional background fill. Ignores the mouse.
class ITextControl : public IControl {
public:
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
               const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);
  void Draw(IGraphics& g) override;
  // Changes the string; redraws only when it differs.
  virtual void SetStr(const char* str);
  const char* GetStr() const { return mStr.c_str(); }
  void SetText(const IText& text) { mText = text; SetDirty(false); }
  const IText& GetText() const { return mText; }
  void SetBGColor(const IColor& c) { mBGColor = c; SetDirty(false); }
  const IColor& GetBGColor() const { return mBGColor; }

protected:
  std::string mStr;
  IText mText;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr;
};

// A filled rectangle, optionally framed. Ignores the mouse.
class IPanelControl : public IControl {
public:
  IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame = false);
  void Draw(IGraphics& g) override;
  void SetPattern(const IPattern& p) { mPattern = p; SetDirty(false); }
  const IPattern& GetPattern() const { return mPattern; }

private:
  IPattern mPattern;
  bool mDrawFrame;
};

// The handle in the editor's bottom-right corner. In scale mode a drag sets
// the draw scale so that the grabbed point follows the mouse: the new scale is
// the scale at the press times the smaller of the two ratios (window position
// now / window position at the press), limited to the scale constraints; the
// graphics context then asks the host for the new window size.
class ICornerResizerControl : public IControl {
public:
  ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color, const IColor& mouseOverColor,
                        const IColor& dragColor);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) override {}
  bool IsDragging() const { return mDragging; }

private:
  IColor mColor, mMouseOverColor, mDragColor;
  bool mDragging = false;
  float mDownScale = 1.f;
  float mDownWinX = 0.f, mDownWinY = 0.f;  // window pixels at the press
};

}  // namespace fw
