// The editor's graphics context: owns the controls, routes the mouse to them,
// tracks what must be redrawn, scales the editor, shows tooltips, and offers
// the drawing calls controls use. It knows no window system and no drawing
// library: a backend subclass (NanoVG) implements the path, text and image
// primitives below, a platform subclass the window, the dialogs and the host
// resize. Everything here runs on the editor's (main) thread.
//
// Coordinates are design units (the design size, e.g. 1200 x 900). The draw
// scale maps them to window pixels: the backend applies it (times the screen's
// content scale) as the base of every transform, and the platform divides
// mouse positions by GetDrawScale() before handing them in.
//
// Mouse contract for the platform: OnMouseDown / OnMouseUp per press, with
// OnMouseDrag for movement while a button is held and OnMouseOver for movement
// without; a double click replaces the second OnMouseDown by OnMouseDblClick,
// still followed by OnMouseUp. OnMouseOut when the mouse leaves the window.
//
// Frame contract: the platform calls OnFrameTick() once per frame (FPS() a
// second), then, when IsDirty(region) is true, draws with Draw(region). A
// frame repaints only the dirty region: the union of the rectangles of the
// controls marked dirty since the last frame (also those just hidden), with
// every visible control that overlaps it drawn in attach order, clipped to it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IControl.h"
#include "IGraphicsConstants.h"
#include "IGraphicsStructs.h"
#include "IRECT.h"
#include "IText.h"
#include "framework/plug/IPlugBase.h"

// <windows.h> maps DrawText and LoadBitmap to its A/W functions; those names
// are members here. Our files take it through framework/plug/WinApi.h, which
// undefines them; this covers a <windows.h> that came in through another header.
#ifdef DrawText
#undef DrawText
#endif
#ifdef LoadBitmap
#undef LoadBitmap
#endif

namespace fw {

using IControlFunction = std::function<void(IControl*)>;
using IMsgBoxCompletionHandlerFunc = std::function<void(EMsgBoxResult)>;
using IFileDialogCompletionHandlerFunc = std::function<void(const std::string& fileName, const std::string& path)>;

class IGraphics : public IEditorSink {
public:
  // delegate: the plug-in the editor belongs to (may be null in tests). The
  // context registers itself as the plug-in's editor and unregisters when destroyed.
  IGraphics(IPlugBase* delegate, int width, int height, int fps = DEFAULT_FPS, float scale = 1.f);
  ~IGraphics() override;
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Size and scale ---------------------------------------------------------------------
  int Width() const { return mWidth; }    // design units
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IRECT GetBounds() const { return {0.f, 0.f, static_cast<float>(mWidth), static_cast<float>(mHeight)}; }
  float GetDrawScale() const { return mDrawScale; }
  // The screen's content scale (HiDPI), applied by the backend on top of the draw scale.
  float GetScreenScale() const { return mScreenScale; }
  void SetScreenScale(float scale);
  // Window size in pixels at the draw scale (before the screen scale).
  int WindowWidth() const;
  int WindowHeight() const;

  // The range the draw scale may take. Ignored unless 0 < lo <= hi (finite).
  // A current scale outside the new range is brought into it (ResizeFromUI).
  void SetScaleConstraints(float lo, float hi);
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }
  float ConstrainScale(float scale) const;
  // The scale for a window size the host proposes: the larger scale at which
  // the design fits, within the constraints; and the window size of a scale.
  float ScaleForWindowSize(int windowWidth, int windowHeight) const;
  void WindowSizeForScale(float scale, int& windowWidth, int& windowHeight) const;
  // The editor asks for a new scale (corner resizer): constrained, then handed
  // to the platform (RequestResize), which asks the host and applies it.
  void ResizeFromUI(float scale);
  // Applies a draw scale (the platform, once the window has its new size):
  // constrained; everything is redrawn.
  void SetScale(float scale);
  // A handle of the given size in the bottom-right corner that scales the
  // editor by dragging. Replaces an earlier one; survives RemoveAllControls.
  void AttachCornerResizer(EUIResizerMode sizeMode = EUIResizerMode::Scale, bool layoutOnResize = false,
                           const IColor& color = COLOR_TRANSLUCENT, const IColor& mouseOverColor = COLOR_BLACK,
                           const IColor& dragColor = COLOR_BLACK, float size = 20.f);
  ICornerResizerControl* GetCornerResizer() const { return mCornerResizer.get(); }

  // ---- Controls ---------------------------------------------------------------------------
  // Takes ownership; the control gets the tag and group, its parameters'
  // current values, OnResize, and is drawn at the next frame. Returns it (null for null).
  IControl* AttachControl(IControl* control, int ctrlTag = kNoTag, const char* group = "");
  // A panel over the whole editor below every control (inserted first).
  void AttachPanelBackground(const IPattern& pattern);
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int idx) const;
  int GetControlIdx(const IControl* control) const;  // -1 when not attached
  IControl* GetControlWithTag(int ctrlTag) const;     // the first with the tag, or null
  // Removes and destroys one control, or all (the corner resizer stays). An
  // open host gesture is ended, mouse capture and hover are dropped. Destruction
  // is deferred to the next frame, so a control may trigger its own removal.
  void RemoveControl(IControl* control);
  void RemoveAllControls();
  void ForAllControls(const IControlFunction& func);
  void ForControlInGroup(const char* group, const IControlFunction& func);
  void ForControlWithParam(int paramIdx, const IControlFunction& func);
  void HideControl(int ctrlTag, bool hide);
  void SetAllControlsDirty();
  // An area to repaint at the next frame although no control there is dirty
  // (a control moved away from it, the tooltip went).
  void RepaintArea(const IRECT& area) { mExtraDirty = mExtraDirty.Union(area); }
  // Other controls of a caller's parameter take its value (redrawn, not sent).
  void UpdatePeers(IControl* caller, int valIdx);

  // ---- Frames -----------------------------------------------------------------------------
  // Once per frame: advances the tooltip timer, frees removed controls.
  void OnFrameTick();
  // The region that needs repainting (design units, within the bounds).
  bool IsDirty(IRECT& region) const;
  // Repaints a region: every visible control overlapping it, in attach order,
  // then the corner resizer and the tooltip; clears every dirty mark.
  void Draw(const IRECT& region);
  // The number of leading controls (attach order) that are in the background
  // layer (IControl::SetInBackgroundLayer).
  int NBackgroundLayerControls() const;

  // ---- Mouse (design units) -----------------------------------------------------------------
  // Every control on a pressed button is asked in reverse attach order (the
  // latest first, the corner resizer before all); hidden, disabled and
  // mouse-ignoring controls are skipped. The pressed control captures the
  // mouse until the release; for its parameters the host hears
  // BeginInformHostOfParamChange at the press and EndInformHostOfParamChange at
  // the release, so the values sent in between form one gesture. A press
  // while another is held ends the earlier one first.
  void OnMouseDown(float x, float y, const IMouseMod& mod);
  void OnMouseUp(float x, float y, const IMouseMod& mod);
  void OnMouseDrag(float x, float y, const IMouseMod& mod);
  void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  void OnMouseOver(float x, float y, const IMouseMod& mod);
  void OnMouseOut();
  // d: wheel steps, positive away from the user. One step is one gesture.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  IControl* GetMouseControl(float x, float y) const;
  IControl* GetCapturedControl() const { return mMouseCapture; }
  IControl* GetMouseOverControl() const { return mMouseOver; }
  // Whether a host gesture is open for a parameter.
  bool IsGestureOpen(int paramIdx) const;

  // ---- Tooltips ---------------------------------------------------------------------------
  // When enabled, a control's tooltip shows after the mouse rested over it for
  // the delay (frame ticks) and disappears when the mouse moves, presses or leaves.
  void EnableTooltips(bool enable);
  bool TooltipsAreEnabled() const { return mTooltipsEnabled; }
  void SetTooltipDelayTicks(int ticks) { mTooltipDelayTicks = ticks > 0 ? ticks : 1; }
  // Controls were shown or hidden: a tooltip of a control no longer under the mouse goes.
  void UpdateTooltips();
  // The tooltip on screen ("" when none) and its box.
  const std::string& GetShownTooltip() const { return mTooltipText; }
  const IRECT& GetTooltipRECT() const { return mTooltipRECT; }

  // ---- Dialogs (modal) --------------------------------------------------------------------
  // Both return only after the user closed the dialog; the completion handler,
  // when given, runs with the result before they return. While one is open,
  // IsInModalDialog() is true: mouse events are ignored and the platform's idle
  // tick must not run the plug-in's OnIdle. A press during which a dialog ran
  // ends when its handler returns (the control gets OnMouseUp, the gesture ends).
  // PromptForFile: fileName and path propose a name and folder; on return
  // fileName holds the chosen full path, or is empty when cancelled. ext: the
  // extension filter without dot ("vbpatch"), "" for all files.
  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               const IMsgBoxCompletionHandlerFunc& completionHandler = nullptr);
  void PromptForFile(std::string& fileName, std::string& path, EFileAction action = EFileAction::Open,
                     const char* ext = "", const IFileDialogCompletionHandlerFunc& completionHandler = nullptr);
  bool IsInModalDialog() const { return mModalDepth > 0; }
  // A menu of the parameter's texts (enumerations, switches) or text entry of
  // its value; the choice is set as user input.
  void PromptUserInput(IControl& control, int valIdx);

  // ---- The plug-in side (IEditorSink) -----------------------------------------------------
  IPlugBase* GetDelegate() const { return mDelegate; }
  // Data for the control with the tag (meter entries).
  void OnControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override;
  // A parameter's value for every control bound to it (normalised, or plain when not).
  void OnParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;

  // ---- Drawing (design units; angles in degrees, 0 at 12 o'clock, clockwise) ---------------
  virtual void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  // A line along the radius at an angle, from rMin to rMax from the centre.
  void DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                      const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void FillRect(const IPattern& pattern, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void FillRoundRect(const IPattern& pattern, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr);
  virtual void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  virtual void FillCircle(const IPattern& pattern, float cx, float cy, float r, const IBlend* blend = nullptr);
  virtual void DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void FillEllipse(const IPattern& pattern, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr, float thickness = 1.f);
  // A pie slice from the centre.
  virtual void FillArc(const IPattern& pattern, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr);
  virtual void FillTriangle(const IPattern& pattern, float x1, float y1, float x2, float y2, float x3, float y3,
                            const IBlend* blend = nullptr);
  // The string in the rectangle with the text's size, colour, font and alignment.
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr);
  // The box the string takes when drawn in bounds; returns its width.
  float MeasureText(const IText& text, const char* str, IRECT& bounds) const;
  // The image scaled uniformly to fit the rectangle, centred in it.
  void DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend = nullptr);
  // The image at width x height, centred on (cx, cy), turned by angle about it.
  void DrawRotatedSVG(const ISVG& svg, float destCtrX, float destCtrY, float width, float height, float angle,
                      const IBlend* blend = nullptr);
  // The bitmap stretched into the rectangle, smoothly filtered.
  void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend = nullptr);

  // Paths: built from the current point, then filled or stroked (which clears
  // the path unless the options preserve it).
  virtual void PathClear() = 0;
  virtual void PathClose() = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) = 0;
  virtual void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) = 0;
  // An arc from a1 to a2, joined to the current point by a line when there is one.
  virtual void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = EWinding::CW) = 0;
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = {}, const IBlend* blend = nullptr) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = {},
                          const IBlend* blend = nullptr) = 0;
  // Closed sub-paths; defaults built from the calls above.
  virtual void PathRect(const IRECT& bounds);
  virtual void PathRoundRect(const IRECT& bounds, float cornerRadius);
  virtual void PathCircle(float cx, float cy, float r);
  virtual void PathEllipse(float cx, float cy, float rx, float ry);

  // The path transform (design units, before the draw scale). Each control's
  // drawing starts from the identity with an empty save stack.
  void PathTransformSave();
  void PathTransformRestore();
  void PathTransformReset();
  void PathTransformTranslate(float x, float y);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float scale) { PathTransformScale(scale, scale); }
  void PathTransformRotate(float angle);
  void PathTransformMatrix(const IMatrix& matrix);
  const IMatrix& GetTransform() const { return mTransform; }

  // ---- Resources (the backend loads; failures give invalid handles, never throw) ------------
  // fontID: the name text refers to (IText::mFont); fileName: a font file.
  virtual bool LoadFont(const char* fontID, const char* fileName) = 0;
  virtual ISVG LoadSVG(const char* fileName, const char* units = "px", float dpi = 72.f) = 0;
  // targetScale 0: the backend chooses.
  virtual IBitmap LoadBitmap(const char* fileName, int nStates = 1, bool framesAreHorizontal = false,
                             int targetScale = 0) = 0;

protected:
  // ---- Backend ------------------------------------------------------------------------------
  // The path transform changed: the backend sets draw scale x screen scale x matrix.
  virtual void PathTransformSetMatrix(const IMatrix& matrix) = 0;
  // Drawing is clipped to the rectangle (design units); an empty one lifts the clip.
  virtual void SetClipRegion(const IRECT& bounds) = 0;
  virtual void BeginFrame() {}
  virtual void EndFrame() {}
  // Draw in two steps, for a backend that keeps some controls as a picture:
  // ClearDirtyMarks() first (whatever a control marks while drawing is drawn
  // next frame), then DrawControls for the controls [first, end) overlapping
  // the region, with the corner resizer and the tooltip after them when
  // `overlays` is true.
  void ClearDirtyMarks();
  void DrawControls(const IRECT& region, int first, int end, bool overlays);
  virtual void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) = 0;
  // Default: an estimate of half the text size per byte, one size high.
  virtual float DoMeasureText(const IText& text, const char* str, float& height) const;
  // The document in its own units at the current transform.
  virtual void DoDrawSVG(const ISVG& svg, const IBlend* blend) = 0;
  virtual void DoDrawBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend) = 0;

  // ---- Platform ------------------------------------------------------------------------------
  // Modal dialogs (see ShowMessageBox / PromptForFile).
  virtual EMsgBoxResult DoShowMessageBox(const char* str, const char* caption, EMsgBoxType type) = 0;
  virtual void DoPromptForFile(std::string& fileName, std::string& path, EFileAction action, const char* ext) = 0;
  // A modal menu near the rectangle; returns the chosen index or -1. Default: -1.
  virtual int DoShowPopupMenu(const std::vector<std::string>& items, int checkedItem, const IRECT& bounds);
  // Modal text entry over the rectangle; false when cancelled. Default: false.
  virtual bool DoPromptForText(const IText& text, const IRECT& bounds, const std::string& initial, std::string& result);
  // Ask the host for the window size of a new scale and apply it (SetScale)
  // when granted. Default, without a host: applied at once.
  virtual void RequestResize(float scale, int windowWidth, int windowHeight);
  // The draw scale changed.
  virtual void OnScaleChanged() {}

private:
  class EventScope;
  class ModalScope;

  void InsertControl(size_t pos, IControl* control, int ctrlTag, const char* group);
  void BeginGesture(const IControl& control);
  void EndGesture();
  void ReleaseCapture(float x, float y, const IMouseMod& mod);
  void DropControlReferences(const IControl* control);
  void FreeRemovedControls();
  void HideTooltip();
  void ShowTooltip(const IControl& control);
  void DrawTooltip();

  IPlugBase* mDelegate;
  int mWidth, mHeight, mFPS;
  float mDrawScale = 1.f;
  float mScreenScale = 1.f;
  float mMinScale = 1.f, mMaxScale = 1.f;

  std::vector<std::unique_ptr<IControl>> mControls;
  std::unique_ptr<ICornerResizerControl> mCornerResizer;
  std::vector<std::unique_ptr<IControl>> mRemoved;  // destroyed at the next frame
  IRECT mExtraDirty;                                // areas to repaint without a control

  IControl* mMouseCapture = nullptr;
  IControl* mMouseOver = nullptr;
  float mMouseX = 0.f, mMouseY = 0.f;
  std::vector<int> mGestureParams;
  int mEventDepth = 0;
  int mModalDepth = 0;
  bool mModalRanDuringEvent = false;

  bool mTooltipsEnabled = false;
  int mTooltipDelayTicks = kDefaultTooltipDelayTicks;
  int mTooltipTicks = 0;
  std::string mTooltipText;
  IRECT mTooltipRECT;

  IMatrix mTransform;
  std::vector<IMatrix> mTransformStates;
};

}  // namespace fw
