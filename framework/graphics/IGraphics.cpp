#include "IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/plug/IParam.h"

namespace fw {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Cubic Bezier control distance for a quarter circle of radius 1.
constexpr float kKappa = 0.5522847498f;

// Tooltip look: text size, padding, and its place below and right of the mouse.
constexpr float kTooltipTextSize = 13.f;
constexpr float kTooltipPadding = 4.f;
constexpr float kTooltipOffsetX = 10.f;
constexpr float kTooltipOffsetY = 18.f;
const IColor kTooltipFill(240, 255, 255, 225);
const IColor kTooltipFrame(255, 70, 70, 70);

}  // namespace

// Marks a mouse event in progress, so removed controls are not freed under it.
class IGraphics::EventScope {
public:
  explicit EventScope(IGraphics& g) : mG(g) { ++mG.mEventDepth; }
  ~EventScope() { --mG.mEventDepth; }
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;

private:
  IGraphics& mG;
};

// A modal dialog in progress.
class IGraphics::ModalScope {
public:
  explicit ModalScope(IGraphics& g) : mG(g) {
    ++mG.mModalDepth;
    mG.HideTooltip();
  }
  ~ModalScope() {
    --mG.mModalDepth;
    if (mG.mEventDepth > 0) mG.mModalRanDuringEvent = true;
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

private:
  IGraphics& mG;
};

IGraphics::IGraphics(IPlugBase* delegate, int width, int height, int fps, float scale)
    : mDelegate(delegate), mWidth(std::max(width, 1)), mHeight(std::max(height, 1)), mFPS(fps > 0 ? fps : DEFAULT_FPS) {
  if (std::isfinite(scale) && scale > 0.f) mDrawScale = mMinScale = mMaxScale = scale;
  if (mDelegate) {
    mDelegate->SetEditorSink(this);
    mDelegate->SetUI(this);
  }
}

IGraphics::~IGraphics() {
  EndGesture();
  if (mDelegate) {
    if (mDelegate->GetEditorSink() == this) mDelegate->SetEditorSink(nullptr);
    if (mDelegate->GetUI() == this) mDelegate->SetUI(nullptr);
  }
}

// ---- Size and scale -----------------------------------------------------------------------

void IGraphics::SetScreenScale(float scale) {
  if (!(std::isfinite(scale) && scale > 0.f) || scale == mScreenScale) return;
  mScreenScale = scale;
  SetAllControlsDirty();
}

int IGraphics::WindowWidth() const { return static_cast<int>(std::lround(static_cast<double>(mWidth) * mDrawScale)); }
int IGraphics::WindowHeight() const { return static_cast<int>(std::lround(static_cast<double>(mHeight) * mDrawScale)); }

void IGraphics::SetScaleConstraints(float lo, float hi) {
  if (!(std::isfinite(lo) && std::isfinite(hi) && lo > 0.f && hi >= lo)) return;
  mMinScale = lo;
  mMaxScale = hi;
  if (ConstrainScale(mDrawScale) != mDrawScale) ResizeFromUI(mDrawScale);
}

float IGraphics::ConstrainScale(float scale) const {
  if (std::isnan(scale)) return mDrawScale;
  return std::clamp(scale, mMinScale, mMaxScale);
}

float IGraphics::ScaleForWindowSize(int windowWidth, int windowHeight) const {
  const float sx = static_cast<float>(windowWidth) / static_cast<float>(mWidth);
  const float sy = static_cast<float>(windowHeight) / static_cast<float>(mHeight);
  return ConstrainScale(std::min(sx, sy));
}

void IGraphics::WindowSizeForScale(float scale, int& windowWidth, int& windowHeight) const {
  windowWidth = static_cast<int>(std::lround(static_cast<double>(mWidth) * scale));
  windowHeight = static_cast<int>(std::lround(static_cast<double>(mHeight) * scale));
}

void IGraphics::ResizeFromUI(float scale) {
  const float s = ConstrainScale(scale);
  if (s == mDrawScale) return;
  int w = 0, h = 0;
  WindowSizeForScale(s, w, h);
  RequestResize(s, w, h);
}

void IGraphics::RequestResize(float scale, int /*windowWidth*/, int /*windowHeight*/) { SetScale(scale); }

void IGraphics::SetScale(float scale) {
  const float s = ConstrainScale(scale);
  if (s == mDrawScale) return;
  mDrawScale = s;
  HideTooltip();
  SetAllControlsDirty();
  OnScaleChanged();
}

void IGraphics::AttachCornerResizer(EUIResizerMode /*sizeMode*/, bool /*layoutOnResize*/, const IColor& color,
                                    const IColor& mouseOverColor, const IColor& dragColor, float size) {
  if (mCornerResizer) {
    DropControlReferences(mCornerResizer.get());
    RepaintArea(mCornerResizer->GetRECT());
    mRemoved.push_back(std::move(mCornerResizer));
  }
  if (!(std::isfinite(size) && size > 0.f)) size = 20.f;
  mCornerResizer = std::make_unique<ICornerResizerControl>(GetBounds(), size, color, mouseOverColor, dragColor);
  mCornerResizer->mUI = this;
  mCornerResizer->SetDirty(false);
}

// ---- Controls -------------------------------------------------------------------------------

void IGraphics::InsertControl(size_t pos, IControl* control, int ctrlTag, const char* group) {
  control->mUI = this;
  control->mTag = ctrlTag;
  control->mGroup = group ? group : "";
  mControls.insert(mControls.begin() + static_cast<std::ptrdiff_t>(std::min(pos, mControls.size())),
                   std::unique_ptr<IControl>(control));
  control->OnAttached();
  control->OnResize();
  control->SetDirty(false);
}

IControl* IGraphics::AttachControl(IControl* control, int ctrlTag, const char* group) {
  if (!control) return nullptr;
  InsertControl(mControls.size(), control, ctrlTag, group);
  return control;
}

void IGraphics::AttachPanelBackground(const IPattern& pattern) {
  auto* panel = new IPanelControl(GetBounds(), pattern);
  panel->SetInBackgroundLayer(true);
  InsertControl(0, panel, kNoTag, "");
}

IControl* IGraphics::GetControl(int idx) const {
  if (idx < 0 || idx >= NControls()) return nullptr;
  return mControls[static_cast<size_t>(idx)].get();
}

int IGraphics::GetControlIdx(const IControl* control) const {
  for (int i = 0; i < NControls(); ++i)
    if (mControls[static_cast<size_t>(i)].get() == control) return i;
  return -1;
}

IControl* IGraphics::GetControlWithTag(int ctrlTag) const {
  if (ctrlTag == kNoTag) return nullptr;
  for (const auto& c : mControls)
    if (c->GetTag() == ctrlTag) return c.get();
  return nullptr;
}

void IGraphics::DropControlReferences(const IControl* control) {
  if (mMouseCapture == control) {
    EndGesture();
    mMouseCapture = nullptr;
  }
  if (mMouseOver == control) {
    mMouseOver = nullptr;
    HideTooltip();
  }
}

void IGraphics::RemoveControl(IControl* control) {
  const int idx = GetControlIdx(control);
  if (idx < 0) return;
  DropControlReferences(control);
  RepaintArea(control->GetRECT());
  mRemoved.push_back(std::move(mControls[static_cast<size_t>(idx)]));
  mControls.erase(mControls.begin() + idx);
}

void IGraphics::RemoveAllControls() {
  if (mMouseCapture != mCornerResizer.get()) {
    EndGesture();
    mMouseCapture = nullptr;
  }
  if (mMouseOver != mCornerResizer.get()) mMouseOver = nullptr;
  HideTooltip();
  RepaintArea(GetBounds());
  for (auto& c : mControls) mRemoved.push_back(std::move(c));
  mControls.clear();
  FreeRemovedControls();
}

void IGraphics::FreeRemovedControls() {
  if (mEventDepth == 0) mRemoved.clear();
}

void IGraphics::ForAllControls(const IControlFunction& func) {
  // Indexed, with the count read again: the function may attach controls.
  for (size_t i = 0; i < mControls.size(); ++i) func(mControls[i].get());
}

void IGraphics::ForControlInGroup(const char* group, const IControlFunction& func) {
  const std::string g = group ? group : "";
  for (size_t i = 0; i < mControls.size(); ++i)
    if (mControls[i]->GetGroup() == g) func(mControls[i].get());
}

void IGraphics::ForControlWithParam(int paramIdx, const IControlFunction& func) {
  if (paramIdx < 0) return;
  for (size_t i = 0; i < mControls.size(); ++i) {
    IControl* c = mControls[i].get();
    for (int v = 0; v < c->NVals(); ++v) {
      if (c->GetParamIdx(v) == paramIdx) {
        func(c);
        break;
      }
    }
  }
}

void IGraphics::HideControl(int ctrlTag, bool hide) {
  if (IControl* c = GetControlWithTag(ctrlTag)) c->Hide(hide);
}

void IGraphics::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
  if (mCornerResizer) mCornerResizer->SetDirty(false);
  RepaintArea(GetBounds());
}

void IGraphics::UpdatePeers(IControl* caller, int valIdx) {
  if (!caller) return;
  const int paramIdx = caller->GetParamIdx(valIdx);
  if (paramIdx < 0) return;
  const double value = caller->GetValue(valIdx);
  for (auto& c : mControls) {
    if (c.get() == caller) continue;
    for (int v = 0; v < c->NVals(); ++v)
      if (c->GetParamIdx(v) == paramIdx) c->SetValueFromDelegate(value, v);
  }
}

// ---- Frames ---------------------------------------------------------------------------------

void IGraphics::OnFrameTick() {
  FreeRemovedControls();
  if (!mTooltipsEnabled || mMouseCapture || IsInModalDialog() || !mTooltipText.empty()) return;
  if (!mMouseOver || !mMouseOver->HasTooltip() || mMouseOver->IsHidden()) {
    mTooltipTicks = 0;
    return;
  }
  if (++mTooltipTicks >= mTooltipDelayTicks) ShowTooltip(*mMouseOver);
}

bool IGraphics::IsDirty(IRECT& region) const {
  IRECT r = mExtraDirty;
  for (const auto& c : mControls)
    if (c->IsDirty()) r = r.Union(c->GetRECT());
  if (mCornerResizer && mCornerResizer->IsDirty()) r = r.Union(mCornerResizer->GetRECT());
  region = r.Intersect(GetBounds());
  return !region.Empty();
}

void IGraphics::Draw(const IRECT& region) {
  ClearDirtyMarks();
  DrawControls(region, 0, NControls(), true);
}

void IGraphics::ClearDirtyMarks() {
  FreeRemovedControls();
  for (auto& c : mControls) c->ClearDirty();
  if (mCornerResizer) mCornerResizer->ClearDirty();
  mExtraDirty = IRECT();
}

int IGraphics::NBackgroundLayerControls() const {
  int n = 0;
  while (n < NControls() && mControls[static_cast<size_t>(n)]->InBackgroundLayer()) ++n;
  return n;
}

void IGraphics::DrawControls(const IRECT& region, int first, int end, bool overlays) {
  const IRECT area = region.Intersect(GetBounds());
  if (area.Empty()) return;
  BeginFrame();
  auto drawOne = [&](IControl& c) {
    if (c.IsHidden() || !c.GetRECT().Intersects(area)) return;
    mTransformStates.clear();
    PathTransformReset();
    SetClipRegion(area);
    c.Draw(*this);
  };
  end = std::min(end, NControls());
  for (int i = std::max(first, 0); i < end; ++i) drawOne(*mControls[static_cast<size_t>(i)]);
  if (overlays && mCornerResizer) drawOne(*mCornerResizer);
  if (overlays && !mTooltipText.empty() && mTooltipRECT.Intersects(area)) {
    mTransformStates.clear();
    PathTransformReset();
    SetClipRegion(area);
    DrawTooltip();
  }
  mTransformStates.clear();
  PathTransformReset();
  SetClipRegion(IRECT());
  EndFrame();
}

// ---- Mouse ----------------------------------------------------------------------------------

IControl* IGraphics::GetMouseControl(float x, float y) const {
  if (mCornerResizer && mCornerResizer->IsHit(x, y)) return mCornerResizer.get();
  for (auto it = mControls.rbegin(); it != mControls.rend(); ++it) {
    const IControl& c = **it;
    if (c.IsHidden() || c.IsDisabled() || c.GetIgnoreMouse()) continue;
    if (c.IsHit(x, y)) return it->get();
  }
  return nullptr;
}

bool IGraphics::IsGestureOpen(int paramIdx) const {
  return std::find(mGestureParams.begin(), mGestureParams.end(), paramIdx) != mGestureParams.end();
}

void IGraphics::BeginGesture(const IControl& control) {
  for (int v = 0; v < control.NVals(); ++v) {
    const int idx = control.GetParamIdx(v);
    if (idx < 0 || IsGestureOpen(idx) || !mDelegate || !mDelegate->GetParam(idx)) continue;
    mGestureParams.push_back(idx);
    mDelegate->BeginInformHostOfParamChangeFromUI(idx);
  }
}

void IGraphics::EndGesture() {
  // Swapped out first: the host calls may lead back here.
  std::vector<int> params;
  params.swap(mGestureParams);
  if (mDelegate)
    for (int idx : params) mDelegate->EndInformHostOfParamChangeFromUI(idx);
}

void IGraphics::ReleaseCapture(float x, float y, const IMouseMod& mod) {
  IControl* c = mMouseCapture;
  if (!c) return;
  c->OnMouseUp(x, y, mod);
  EndGesture();
  mMouseCapture = nullptr;
}

void IGraphics::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (IsInModalDialog()) return;
  EventScope scope(*this);
  mMouseX = x;
  mMouseY = y;
  HideTooltip();
  mTooltipTicks = 0;
  // A press while another is held (a second button, or a release the window
  // never saw): the earlier press ends first.
  if (mMouseCapture) ReleaseCapture(x, y, mod);
  IControl* c = GetMouseControl(x, y);
  if (!c) return;
  mMouseCapture = c;
  mModalRanDuringEvent = false;
  BeginGesture(*c);
  c->OnMouseDown(x, y, mod);
  // A dialog swallowed the release: end the press now.
  if (mModalRanDuringEvent && mMouseCapture == c) ReleaseCapture(x, y, mod);
  mModalRanDuringEvent = false;
}

void IGraphics::OnMouseUp(float x, float y, const IMouseMod& mod) {
  if (IsInModalDialog()) return;
  {
    EventScope scope(*this);
    mMouseX = x;
    mMouseY = y;
    ReleaseCapture(x, y, mod);
  }
  OnMouseOver(x, y, IMouseMod());
}

void IGraphics::OnMouseDrag(float x, float y, const IMouseMod& mod) {
  if (IsInModalDialog()) return;
  EventScope scope(*this);
  const float dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  if (!mMouseCapture || (dX == 0.f && dY == 0.f)) return;
  mModalRanDuringEvent = false;
  IControl* c = mMouseCapture;
  c->OnMouseDrag(x, y, dX, dY, mod);
  if (mModalRanDuringEvent && mMouseCapture == c) ReleaseCapture(x, y, mod);
  mModalRanDuringEvent = false;
}

void IGraphics::OnMouseDblClick(float x, float y, const IMouseMod& mod) {
  if (IsInModalDialog()) return;
  IControl* c = GetMouseControl(x, y);
  if (!c) return;
  if (c->GetMouseDblAsSingleClick()) {
    OnMouseDown(x, y, mod);
    return;
  }
  EventScope scope(*this);
  mMouseX = x;
  mMouseY = y;
  HideTooltip();
  mTooltipTicks = 0;
  if (mMouseCapture) ReleaseCapture(x, y, mod);
  if (GetControlIdx(c) < 0 && c != mCornerResizer.get()) return;  // removed by that release
  mMouseCapture = c;
  mModalRanDuringEvent = false;
  BeginGesture(*c);
  c->OnMouseDblClick(x, y, mod);
  if (mModalRanDuringEvent && mMouseCapture == c) ReleaseCapture(x, y, mod);
  mModalRanDuringEvent = false;
}

void IGraphics::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (IsInModalDialog()) return;
  EventScope scope(*this);
  const bool moved = x != mMouseX || y != mMouseY;
  mMouseX = x;
  mMouseY = y;
  if (mMouseCapture) return;
  IControl* c = GetMouseControl(x, y);
  if (moved || c != mMouseOver) {
    HideTooltip();
    mTooltipTicks = 0;
  }
  if (c != mMouseOver) {
    if (mMouseOver) mMouseOver->OnMouseOut();
    mMouseOver = c;
  }
  if (c) c->OnMouseOver(x, y, mod);
}

void IGraphics::OnMouseOut() {
  if (IsInModalDialog()) return;
  EventScope scope(*this);
  HideTooltip();
  mTooltipTicks = 0;
  if (mMouseOver) mMouseOver->OnMouseOut();
  mMouseOver = nullptr;
}

void IGraphics::OnMouseWheel(float x, float y, const IMouseMod& mod, float d) {
  if (IsInModalDialog() || mMouseCapture || !std::isfinite(d)) return;
  EventScope scope(*this);
  mMouseX = x;
  mMouseY = y;
  HideTooltip();
  mTooltipTicks = 0;
  IControl* c = GetMouseControl(x, y);
  if (!c) return;
  BeginGesture(*c);
  c->OnMouseWheel(x, y, mod, d);
  EndGesture();
}

// ---- Tooltips -------------------------------------------------------------------------------

void IGraphics::EnableTooltips(bool enable) {
  mTooltipsEnabled = enable;
  if (!enable) HideTooltip();
  mTooltipTicks = 0;
}

void IGraphics::UpdateTooltips() {
  HideTooltip();
  mTooltipTicks = 0;
  IControl* c = GetMouseControl(mMouseX, mMouseY);
  if (c != mMouseOver) {
    if (mMouseOver) mMouseOver->OnMouseOut();
    mMouseOver = c;
  }
}

void IGraphics::HideTooltip() {
  if (mTooltipText.empty()) return;
  RepaintArea(mTooltipRECT);
  mTooltipText.clear();
  mTooltipRECT = IRECT();
}

void IGraphics::ShowTooltip(const IControl& control) {
  mTooltipText = control.GetTooltip();
  const IText text(kTooltipTextSize, COLOR_BLACK, DEFAULT_FONT, EAlign::Near);
  IRECT box = GetBounds();
  const float w = MeasureText(text, mTooltipText.c_str(), box) + 2.f * kTooltipPadding;
  const float h = kTooltipTextSize + 2.f * kTooltipPadding;
  // Below right of the mouse, moved back inside the editor when it would stick out.
  float l = std::min(mMouseX + kTooltipOffsetX, static_cast<float>(mWidth) - w);
  float t = mMouseY + kTooltipOffsetY;
  if (t + h > static_cast<float>(mHeight)) t = mMouseY - kTooltipOffsetY - h;
  l = std::max(l, 0.f);
  t = std::max(t, 0.f);
  mTooltipRECT = IRECT(l, t, l + w, t + h);
  RepaintArea(mTooltipRECT);
}

void IGraphics::DrawTooltip() {
  FillRect(kTooltipFill, mTooltipRECT);
  DrawRect(kTooltipFrame, mTooltipRECT);
  DrawText(IText(kTooltipTextSize, COLOR_BLACK, DEFAULT_FONT, EAlign::Near), mTooltipText.c_str(),
           mTooltipRECT.GetPadded(-kTooltipPadding));
}

// ---- Dialogs --------------------------------------------------------------------------------

EMsgBoxResult IGraphics::ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                        const IMsgBoxCompletionHandlerFunc& completionHandler) {
  EMsgBoxResult result;
  {
    ModalScope modal(*this);
    result = DoShowMessageBox(str ? str : "", caption ? caption : "", type);
  }
  if (completionHandler) completionHandler(result);
  return result;
}

void IGraphics::PromptForFile(std::string& fileName, std::string& path, EFileAction action, const char* ext,
                              const IFileDialogCompletionHandlerFunc& completionHandler) {
  {
    ModalScope modal(*this);
    DoPromptForFile(fileName, path, action, ext ? ext : "");
  }
  if (completionHandler) completionHandler(fileName, path);
}

int IGraphics::DoShowPopupMenu(const std::vector<std::string>& /*items*/, int /*checkedItem*/, const IRECT& /*bounds*/) {
  return -1;
}

bool IGraphics::DoPromptForText(const IText& /*text*/, const IRECT& /*bounds*/, const std::string& /*initial*/,
                                std::string& /*result*/) {
  return false;
}

void IGraphics::PromptUserInput(IControl& control, int valIdx) {
  const IParam* param = control.GetParam(valIdx);
  if (!param) return;
  const IRECT bounds = control.GetRECT();
  const int nTexts = param->NDisplayTexts();
  if (nTexts > 0) {
    std::vector<std::string> items;
    for (int i = 0; i < nTexts; ++i) items.emplace_back(param->GetDisplayText(i));
    const double plain = param->FromNormalized(control.GetValue(valIdx));
    const int checked = static_cast<int>(std::lround(plain - param->GetMin()));
    int chosen;
    {
      ModalScope modal(*this);
      chosen = DoShowPopupMenu(items, checked, bounds);
    }
    if (chosen >= 0 && chosen < nTexts)
      control.SetValueFromUserInput(param->ToNormalized(param->GetMin() + chosen), valIdx);
    return;
  }
  const std::string initial = param->GetDisplay(param->FromNormalized(control.GetValue(valIdx)), false);
  std::string entered;
  bool ok;
  {
    ModalScope modal(*this);
    ok = DoPromptForText(IText(), bounds, initial, entered);
  }
  double plain = 0.0;
  if (ok && param->StringToValue(entered, plain)) control.SetValueFromUserInput(param->ToNormalized(plain), valIdx);
}

// ---- The plug-in side -----------------------------------------------------------------------

void IGraphics::OnControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) {
  if (IControl* c = GetControlWithTag(ctrlTag)) c->OnMsgFromDelegate(msgTag, dataSize, data);
}

void IGraphics::OnParameterValueFromDelegate(int paramIdx, double value, bool normalized) {
  if (std::isnan(value)) return;
  if (!normalized) {
    const IParam* p = mDelegate ? mDelegate->GetParam(paramIdx) : nullptr;
    if (!p) return;
    value = p->ToNormalized(value);
  }
  for (auto& c : mControls)
    for (int v = 0; v < c->NVals(); ++v)
      if (c->GetParamIdx(v) == paramIdx) c->SetValueFromDelegate(value, v);
}

// ---- Drawing --------------------------------------------------------------------------------

void IGraphics::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                         float thickness) {
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                               const IBlend* blend, float thickness) {
  const double a = angle * kPi / 180.0;
  const float s = static_cast<float>(std::sin(a)), c = static_cast<float>(std::cos(a));
  DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend, thickness);
}

void IGraphics::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness) {
  PathClear();
  PathRect(bounds);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::FillRect(const IPattern& pattern, const IRECT& bounds, const IBlend* blend) {
  PathClear();
  PathRect(bounds);
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius, const IBlend* blend,
                              float thickness) {
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::FillRoundRect(const IPattern& pattern, const IRECT& bounds, float cornerRadius, const IBlend* blend) {
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend, float thickness) {
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::FillCircle(const IPattern& pattern, float cx, float cy, float r, const IBlend* blend) {
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness) {
  PathClear();
  PathEllipse(bounds.MW(), bounds.MH(), bounds.W() / 2.f, bounds.H() / 2.f);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::FillEllipse(const IPattern& pattern, const IRECT& bounds, const IBlend* blend) {
  PathClear();
  PathEllipse(bounds.MW(), bounds.MH(), bounds.W() / 2.f, bounds.H() / 2.f);
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2, const IBlend* blend,
                        float thickness) {
  PathClear();
  PathArc(cx, cy, r, a1, a2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::FillArc(const IPattern& pattern, float cx, float cy, float r, float a1, float a2, const IBlend* blend) {
  PathClear();
  PathMoveTo(cx, cy);
  PathArc(cx, cy, r, a1, a2);
  PathClose();
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::FillTriangle(const IPattern& pattern, float x1, float y1, float x2, float y2, float x3, float y3,
                             const IBlend* blend) {
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathLineTo(x3, y3);
  PathClose();
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::PathRect(const IRECT& b) {
  PathMoveTo(b.L, b.T);
  PathLineTo(b.R, b.T);
  PathLineTo(b.R, b.B);
  PathLineTo(b.L, b.B);
  PathClose();
}

void IGraphics::PathRoundRect(const IRECT& b, float cr) {
  cr = std::min(cr, std::min(b.W(), b.H()) / 2.f);
  if (!(cr > 0.f)) {
    PathRect(b);
    return;
  }
  PathMoveTo(b.L + cr, b.T);
  PathArc(b.R - cr, b.T + cr, cr, 0.f, 90.f);
  PathArc(b.R - cr, b.B - cr, cr, 90.f, 180.f);
  PathArc(b.L + cr, b.B - cr, cr, 180.f, 270.f);
  PathArc(b.L + cr, b.T + cr, cr, 270.f, 360.f);
  PathClose();
}

void IGraphics::PathCircle(float cx, float cy, float r) { PathEllipse(cx, cy, r, r); }

void IGraphics::PathEllipse(float cx, float cy, float rx, float ry) {
  const float kx = kKappa * rx, ky = kKappa * ry;
  PathMoveTo(cx + rx, cy);
  PathCubicBezierTo(cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
  PathCubicBezierTo(cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
  PathCubicBezierTo(cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
  PathCubicBezierTo(cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
  PathClose();
}

void IGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (!str || !*str || !(text.mSize > 0.f) || text.mFGColor.IsTransparent()) return;
  DoDrawText(text, str, bounds, blend);
}

float IGraphics::DoMeasureText(const IText& text, const char* str, float& height) const {
  height = text.mSize;
  return 0.5f * text.mSize * static_cast<float>(std::strlen(str));
}

float IGraphics::MeasureText(const IText& text, const char* str, IRECT& bounds) const {
  if (!str) str = "";
  float h = 0.f;
  const float w = DoMeasureText(text, str, h);
  float l = bounds.L, t = bounds.T;
  switch (text.mAlign) {
    case EAlign::Near: break;
    case EAlign::Center: l = bounds.MW() - w / 2.f; break;
    case EAlign::Far: l = bounds.R - w; break;
  }
  switch (text.mVAlign) {
    case EVAlign::Top: break;
    case EVAlign::Middle: t = bounds.MH() - h / 2.f; break;
    case EVAlign::Bottom: t = bounds.B - h; break;
  }
  bounds = IRECT(l, t, l + w, t + h);
  return w;
}

void IGraphics::DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend) {
  if (!svg.IsValid() || !(svg.W() > 0.f && svg.H() > 0.f) || bounds.Empty()) return;
  const float scale = std::min(bounds.W() / svg.W(), bounds.H() / svg.H());
  PathTransformSave();
  PathTransformTranslate(bounds.MW() - 0.5f * svg.W() * scale, bounds.MH() - 0.5f * svg.H() * scale);
  PathTransformScale(scale);
  DoDrawSVG(svg, blend);
  PathTransformRestore();
}

void IGraphics::DrawRotatedSVG(const ISVG& svg, float destCtrX, float destCtrY, float width, float height, float angle,
                               const IBlend* blend) {
  PathTransformSave();
  PathTransformTranslate(destCtrX, destCtrY);
  PathTransformRotate(angle);
  DrawSVG(svg, IRECT(-width / 2.f, -height / 2.f, width / 2.f, height / 2.f), blend);
  PathTransformRestore();
}

void IGraphics::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend) {
  if (!bitmap.IsValid() || bounds.Empty()) return;
  DoDrawBitmap(bitmap, bounds, blend);
}

// ---- Path transform -------------------------------------------------------------------------

void IGraphics::PathTransformSave() { mTransformStates.push_back(mTransform); }

void IGraphics::PathTransformRestore() {
  if (mTransformStates.empty()) return;
  mTransform = mTransformStates.back();
  mTransformStates.pop_back();
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformReset() {
  mTransform = IMatrix();
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformTranslate(float x, float y) {
  mTransform.Translate(x, y);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformScale(float x, float y) {
  mTransform.Scale(x, y);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformRotate(float angle) {
  mTransform.Rotate(angle);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformMatrix(const IMatrix& matrix) {
  mTransform.Transform(matrix);
  PathTransformSetMatrix(mTransform);
}

}  // namespace fw
