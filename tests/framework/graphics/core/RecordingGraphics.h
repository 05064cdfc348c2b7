// A graphics context for tests: records every drawing call with its
// arguments, plays the platform's part with scripted dialog answers, and
// grants or refuses resize requests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/IGraphics.h"
#include "framework/plug/IPlugBase.h"

namespace fw::test {

struct DrawCall {
  std::string op;
  IRECT rect;
  IColor color;
  std::vector<float> nums;
  std::string str;
  IMatrix transform;  // the path transform when the call was made
};

class RecordingGraphics : public IGraphics {
public:
  explicit RecordingGraphics(IPlugBase* delegate = nullptr, int w = 1200, int h = 900, int fps = 30, float scale = 1.f)
      : IGraphics(delegate, w, h, fps, scale) {}

  // ---- What was drawn ------------------------------------------------------------------
  std::vector<DrawCall> calls;
  std::vector<IRECT> clips;
  int frames = 0;
  std::vector<const DrawCall*> Calls(const std::string& op) const {
    std::vector<const DrawCall*> r;
    for (const auto& c : calls)
      if (c.op == op) r.push_back(&c);
    return r;
  }
  // Draws the dirty region (if any) and returns whether there was one.
  bool Frame() {
    calls.clear();
    clips.clear();
    IRECT r;
    if (!IsDirty(r)) return false;
    Draw(r);
    return true;
  }

  // ---- Scripted platform --------------------------------------------------------------
  std::vector<std::string> dialogs;  // "message:<caption>:<text>", "file:open:<ext>"
  std::function<void()> duringDialog;  // runs while a dialog is "open"
  EMsgBoxResult messageBoxResult = kOK;
  std::string fileToChoose;  // "" = cancel
  int popupChoice = -1;
  std::vector<std::string> popupItems;
  int popupChecked = -2;
  bool textEntryOk = false;
  std::string textToEnter;
  bool grantResize = true;
  std::vector<float> resizeRequests;
  std::vector<std::pair<int, int>> resizeSizes;

  // ---- Resources ----------------------------------------------------------------------
  float svgW = 10.f, svgH = 20.f;
  bool LoadFont(const char* /*fontID*/, const char* fileName) override { return fileName && *fileName; }
  ISVG LoadSVG(const char* fileName, const char* /*units*/, float /*dpi*/) override {
    if (!fileName || !*fileName) return ISVG();
    // The core never reads the document; any non-null handle stands for a parsed one.
    auto owner = std::make_shared<int>(0);
    std::shared_ptr<const svg::Document> doc(owner, reinterpret_cast<const svg::Document*>(owner.get()));
    return ISVG(doc, svgW, svgH);
  }
  IBitmap LoadBitmap(const char* fileName, int nStates, bool framesAreHorizontal, int /*targetScale*/) override {
    if (!fileName || !*fileName) return IBitmap();
    return IBitmap(++mNextImage, 64, 32, 1.f, nStates, framesAreHorizontal, fileName);
  }

  // ---- Paths --------------------------------------------------------------------------
  void PathClear() override { Add("PathClear"); }
  void PathClose() override { Add("PathClose"); }
  void PathMoveTo(float x, float y) override { Add("PathMoveTo", {}, {}, {x, y}); }
  void PathLineTo(float x, float y) override { Add("PathLineTo", {}, {}, {x, y}); }
  void PathCubicBezierTo(float a, float b, float c, float d, float e, float f) override {
    Add("PathCubicBezierTo", {}, {}, {a, b, c, d, e, f});
  }
  void PathQuadraticBezierTo(float a, float b, float c, float d) override { Add("PathQuadraticBezierTo", {}, {}, {a, b, c, d}); }
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding w) override {
    Add("PathArc", {}, {}, {cx, cy, r, a1, a2, w == EWinding::CW ? 1.f : 0.f});
  }
  void PathFill(const IPattern& p, const IFillOptions&, const IBlend*) override { Add("PathFill", {}, p.GetStartColor()); }
  void PathStroke(const IPattern& p, float thickness, const IStrokeOptions&, const IBlend*) override {
    Add("PathStroke", {}, p.GetStartColor(), {thickness});
  }

  // ---- Shapes, recorded as one call each -----------------------------------------------
  void DrawLine(const IColor& c, float x1, float y1, float x2, float y2, const IBlend*, float t) override {
    Add("DrawLine", {}, c, {x1, y1, x2, y2, t});
  }
  void DrawRect(const IColor& c, const IRECT& r, const IBlend*, float t) override { Add("DrawRect", r, c, {t}); }
  void FillRect(const IPattern& p, const IRECT& r, const IBlend*) override { Add("FillRect", r, p.GetStartColor()); }
  void DrawRoundRect(const IColor& c, const IRECT& r, float cr, const IBlend*, float t) override {
    Add("DrawRoundRect", r, c, {cr, t});
  }
  void FillRoundRect(const IPattern& p, const IRECT& r, float cr, const IBlend*) override {
    Add("FillRoundRect", r, p.GetStartColor(), {cr});
  }
  void DrawCircle(const IColor& c, float cx, float cy, float r, const IBlend*, float t) override {
    Add("DrawCircle", {}, c, {cx, cy, r, t});
  }
  void FillCircle(const IPattern& p, float cx, float cy, float r, const IBlend*) override {
    Add("FillCircle", {}, p.GetStartColor(), {cx, cy, r});
  }
  void DrawArc(const IColor& c, float cx, float cy, float r, float a1, float a2, const IBlend*, float t) override {
    Add("DrawArc", {}, c, {cx, cy, r, a1, a2, t});
  }
  void FillTriangle(const IPattern& p, float x1, float y1, float x2, float y2, float x3, float y3, const IBlend*) override {
    Add("FillTriangle", {}, p.GetStartColor(), {x1, y1, x2, y2, x3, y3});
  }

  // Exposed for tests of the shape defaults built from paths.
  void BaseFillRoundRect(const IPattern& p, const IRECT& r, float cr) { IGraphics::FillRoundRect(p, r, cr); }
  void BaseFillCircle(const IPattern& p, float cx, float cy, float r) { IGraphics::FillCircle(p, cx, cy, r); }

protected:
  void PathTransformSetMatrix(const IMatrix&) override {}
  void SetClipRegion(const IRECT& r) override { clips.push_back(r); }
  void BeginFrame() override { ++frames; }
  void DoDrawText(const IText& t, const char* str, const IRECT& r, const IBlend*) override {
    Add("DrawText", r, t.mFGColor, {t.mSize}, str);
  }
  void DoDrawSVG(const ISVG& svg, const IBlend*) override { Add("DrawSVG", {}, {}, {svg.W(), svg.H()}); }
  void DoDrawBitmap(const IBitmap& b, const IRECT& r, const IBlend*) override {
    Add("DrawBitmap", r, {}, {static_cast<float>(b.GetID())}, b.GetResourceName());
  }

  EMsgBoxResult DoShowMessageBox(const char* str, const char* caption, EMsgBoxType) override {
    dialogs.push_back(std::string("message:") + caption + ":" + str);
    if (duringDialog) duringDialog();
    return messageBoxResult;
  }
  void DoPromptForFile(std::string& fileName, std::string& path, EFileAction action, const char* ext) override {
    dialogs.push_back(std::string("file:") + (action == EFileAction::Open ? "open:" : "save:") + ext + ":" + fileName);
    if (duringDialog) duringDialog();
    fileName = fileToChoose;
    path = fileToChoose.empty() ? path : "/chosen";
  }
  int DoShowPopupMenu(const std::vector<std::string>& items, int checked, const IRECT&) override {
    popupItems = items;
    popupChecked = checked;
    return popupChoice;
  }
  bool DoPromptForText(const IText&, const IRECT&, const std::string& initial, std::string& result) override {
    dialogs.push_back("text:" + initial);
    result = textToEnter;
    return textEntryOk;
  }
  void RequestResize(float scale, int w, int h) override {
    resizeRequests.push_back(scale);
    resizeSizes.emplace_back(w, h);
    if (grantResize) SetScale(scale);
  }

private:
  void Add(const char* op, const IRECT& r = {}, const IColor& c = {}, std::vector<float> nums = {}, std::string str = {}) {
    calls.push_back({op, r, c, std::move(nums), std::move(str), GetTransform()});
  }
  int mNextImage = 0;
};

// The host's side of editor gestures, as text: "begin 2", "value 2 0.6", "end 2".
class HostLog : public IHostSink {
public:
  std::vector<std::string> events;
  std::vector<double> values;
  void BeginInformHostOfParamChange(int idx) override { events.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int idx, double v) override {
    events.push_back("value " + std::to_string(idx));
    values.push_back(v);
  }
  void EndInformHostOfParamChange(int idx) override { events.push_back("end " + std::to_string(idx)); }
};

// A plug-in with a few parameters: 0 "Gain" 0..1 default 0.5; 1 "Mode" enum of
// three; 2 "On" switch; 3 "Level" 0..100 default 25.
class TestPlug : public IPlugBase {
public:
  static Config MakeConfig() {
    Config c;
    c.nParams = 4;
    c.channelIOStr = "0-2";
    return c;
  }
  TestPlug() : IPlugBase(InstanceInfo{}, MakeConfig()) {
    GetParam(0)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.001);
    GetParam(1)->InitEnum("Mode", 0, {"Split", "Mono", "Poly"});
    GetParam(2)->InitBool("On", false);
    GetParam(3)->InitDouble("Level", 25.0, 0.0, 100.0, 0.1, "%");
    SetHostSink(&host);
  }
  HostLog host;
};

}  // namespace fw::test
