// The graphics context: mouse routing, dirty tracking and frames, control
// list management, delegate messages, tooltips, scaling and the corner
// resizer, modal dialogs and the drawing geometry, all checked through a
// recording context.
#include "framework/graphics/IGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "RecordingGraphics.h"
#include "framework/graphics/EditorLifecycle.h"
#include "framework/graphics/IControl.h"
#include "framework/plug/IParam.h"

namespace fw {
namespace {

using test::DrawCall;
using test::RecordingGraphics;
using test::TestPlug;

using Log = std::vector<std::string>;

// A control that fills its rectangle in its own colour and logs its mouse events.
class ProbeControl : public IControl {
public:
  ProbeControl(const IRECT& r, Log* log, std::string name, const IColor& color, int paramIdx = kNoParameter)
      : IControl(r, paramIdx), mLog(log), mName(std::move(name)), mColor(color) {}
  void Draw(IGraphics& g) override {
    ++draws;
    g.FillRect(mColor, mRECT);
  }
  void OnMouseDown(float, float, const IMouseMod& mod) override {
    Note(mod.R ? "right" : "down");
    if (onDown) onDown();
  }
  void OnMouseUp(float, float, const IMouseMod&) override { Note("up"); }
  void OnMouseDrag(float, float, float dX, float dY, const IMouseMod&) override {
    Note("drag " + std::to_string(static_cast<int>(dX)) + " " + std::to_string(static_cast<int>(dY)));
  }
  void OnMouseDblClick(float, float, const IMouseMod&) override { Note("dbl"); }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override {
    if (!GetMouseIsOver()) Note("over");
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override {
    Note("out");
    IControl::OnMouseOut();
  }
  void OnMouseWheel(float, float, const IMouseMod&, float d) override { Note("wheel " + std::to_string(static_cast<int>(d))); }
  void OnMsgFromDelegate(int msgTag, int dataSize, const void*) override {
    Note("msg " + std::to_string(msgTag) + " " + std::to_string(dataSize));
  }

  int draws = 0;
  std::function<void()> onDown;

private:
  void Note(const std::string& s) {
    if (mLog) mLog->push_back(mName + " " + s);
  }
  Log* mLog;
  std::string mName;
  IColor mColor;
};

const IColor kRed(255, 200, 0, 0), kBlue(255, 0, 0, 200), kGreen(255, 0, 200, 0), kGray(255, 50, 50, 50);

// Two overlapping probes: A (0,0,100,100) attached first, B (50,50,150,150) later.
struct TwoControls : ::testing::Test {
  RecordingGraphics g;
  Log log;
  ProbeControl* a = nullptr;
  ProbeControl* b = nullptr;
  void SetUp() override {
    a = static_cast<ProbeControl*>(g.AttachControl(new ProbeControl({0, 0, 100, 100}, &log, "A", kRed)));
    b = static_cast<ProbeControl*>(g.AttachControl(new ProbeControl({50, 50, 150, 150}, &log, "B", kBlue)));
    g.Frame();
    log.clear();
  }
};

TEST_F(TwoControls, LaterControlIsAskedFirstAndSkippedWhenHiddenDisabledOrIgnoringTheMouse) {
  struct Case {
    const char* name;
    std::function<void()> prepare;
    float x, y;
    const char* want;  // which control the press reaches, "" for none
  };
  const std::vector<Case> cases = {
      {"overlap goes to the later control", [] {}, 75, 75, "B"},
      {"only A there", [] {}, 25, 25, "A"},
      {"only B there", [] {}, 125, 125, "B"},
      {"outside both", [] {}, 175, 175, ""},
      {"right and bottom edges are outside", [] {}, 150, 100, ""},
      {"B hidden", [this] { b->Hide(true); }, 75, 75, "A"},
      {"B disabled", [this] { b->SetDisabled(true); }, 75, 75, "A"},
      {"B ignores the mouse", [this] { b->SetIgnoreMouse(true); }, 75, 75, "A"},
      {"both hidden", [this] { a->Hide(true); b->Hide(true); }, 75, 75, ""},
  };
  for (const auto& c : cases) {
    a->Hide(false);
    b->Hide(false);
    a->SetDisabled(false);
    b->SetDisabled(false);
    b->SetIgnoreMouse(false);
    c.prepare();
    log.clear();
    g.OnMouseDown(c.x, c.y, IMouseMod(true));
    g.OnMouseUp(c.x, c.y, IMouseMod(true));
    const std::string want = c.want;
    if (want.empty()) {
      for (const auto& e : log) EXPECT_EQ(e.find("down"), std::string::npos) << c.name << ": " << e;
    } else {
      ASSERT_FALSE(log.empty()) << c.name;
      EXPECT_EQ(log.front(), want + " down") << c.name;
    }
  }
}

TEST_F(TwoControls, PressedControlKeepsTheMouseUntilReleased) {
  g.OnMouseDown(25, 25, IMouseMod(true));
  g.OnMouseDrag(75, 75, IMouseMod(true));    // over B now, still A's drag
  g.OnMouseDrag(125, 140, IMouseMod(true));  // outside A altogether
  g.OnMouseUp(125, 140, IMouseMod(true));
  const Log want = {"A down", "A drag 50 50", "A drag 50 65", "A up", "B over"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(g.GetCapturedControl(), nullptr);
}

TEST_F(TwoControls, APressWhileAnotherIsHeldEndsTheEarlierOne) {
  // The release of the first press never arrived (let go outside the window).
  g.OnMouseDown(25, 25, IMouseMod(true));
  g.OnMouseDown(125, 125, IMouseMod(true));
  g.OnMouseUp(125, 125, IMouseMod(true));
  const Log want = {"A down", "A up", "B down", "B up", "B over"};
  EXPECT_EQ(log, want);
}

TEST_F(TwoControls, OverAndOutFollowTheMouse) {
  g.OnMouseOver(25, 25, IMouseMod());
  g.OnMouseOver(30, 25, IMouseMod());  // still A: no second "over"
  g.OnMouseOver(75, 75, IMouseMod());
  EXPECT_TRUE(b->GetMouseIsOver());
  EXPECT_FALSE(a->GetMouseIsOver());
  g.OnMouseOver(175, 175, IMouseMod());
  g.OnMouseOver(125, 125, IMouseMod());
  g.OnMouseOut();
  const Log want = {"A over", "A out", "B over", "B out", "B over", "B out"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(g.GetMouseOverControl(), nullptr);
}

TEST_F(TwoControls, DoubleClickAndWheelReachTheControlUnderTheMouse) {
  g.OnMouseDblClick(75, 75, IMouseMod(true));
  g.OnMouseUp(75, 75, IMouseMod(true));
  g.OnMouseWheel(25, 25, IMouseMod(), 2.f);
  b->SetMouseDblAsSingleClick(true);
  g.OnMouseDblClick(75, 75, IMouseMod(true));
  const Log want = {"B dbl", "B up", "B over", "A wheel 2", "B down"};
  EXPECT_EQ(log, want);
}

TEST_F(TwoControls, RightClickIsAPressWithTheRightButton) {
  g.OnMouseDown(25, 25, IMouseMod(false, true));
  g.OnMouseUp(25, 25, IMouseMod(false, true));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "A right");
}

TEST_F(TwoControls, FrameRepaintsOnlyTheDirtyRegion) {
  IRECT region;
  EXPECT_FALSE(g.IsDirty(region));  // SetUp drew everything

  // A alone is dirty: its rectangle is the region; B overlaps it, so B is redrawn over it, clipped.
  a->SetDirty(false);
  ASSERT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, IRECT(0, 0, 100, 100));
  a->draws = b->draws = 0;
  g.Frame();
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 1);
  ASSERT_FALSE(g.clips.empty());
  EXPECT_EQ(g.clips.front(), IRECT(0, 0, 100, 100));
  const auto fills = g.Calls("FillRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0]->color, kRed);  // attach order is drawing order
  EXPECT_EQ(fills[1]->color, kBlue);
  EXPECT_FALSE(g.IsDirty(region));

  // A third control far away: dirtying it draws it alone.
  auto* c = static_cast<ProbeControl*>(g.AttachControl(new ProbeControl({500, 500, 520, 520}, &log, "C", kGreen)));
  a->draws = b->draws = 0;
  g.Frame();
  EXPECT_EQ(a->draws, 0);
  EXPECT_EQ(b->draws, 0);
  EXPECT_EQ(c->draws, 1);

  // Two dirty controls: the region is the union of their rectangles.
  a->SetDirty(false);
  c->SetDirty(false);
  ASSERT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, IRECT(0, 0, 520, 520));

  g.SetAllControlsDirty();
  ASSERT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, g.GetBounds());
}

TEST_F(TwoControls, HidingRepaintsTheAreaWithoutTheHiddenControl) {
  b->Hide(true);
  IRECT region;
  ASSERT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, IRECT(50, 50, 150, 150));
  a->draws = b->draws = 0;
  g.Frame();
  EXPECT_EQ(a->draws, 1);  // what lay under B shows again
  EXPECT_EQ(b->draws, 0);
  b->Hide(false);
  g.Frame();
  EXPECT_EQ(b->draws, 1);
}

TEST_F(TwoControls, ControlListTagsAndGroups) {
  RecordingGraphics h;
  auto* p = h.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "P", kRed), 7, "MainDetail");
  auto* q = h.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "Q", kRed), kNoTag, "CircuitPanel");
  auto* r = h.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "R", kRed), 9, "MainDetail");
  EXPECT_EQ(h.AttachControl(nullptr), nullptr);
  EXPECT_EQ(h.NControls(), 3);
  EXPECT_EQ(h.GetControlWithTag(7), p);
  EXPECT_EQ(h.GetControlWithTag(9), r);
  EXPECT_EQ(h.GetControlWithTag(8), nullptr);
  EXPECT_EQ(h.GetControlWithTag(kNoTag), nullptr);
  EXPECT_EQ(p->GetGroup(), "MainDetail");

  h.ForControlInGroup("MainDetail", [](IControl* c) { c->Hide(true); });
  EXPECT_TRUE(p->IsHidden());
  EXPECT_FALSE(q->IsHidden());
  EXPECT_TRUE(r->IsHidden());
  h.HideControl(9, false);
  EXPECT_FALSE(r->IsHidden());

  // The panel background goes below everything.
  h.AttachPanelBackground(kGray);
  ASSERT_EQ(h.NControls(), 4);
  EXPECT_EQ(h.GetControl(0)->GetRECT(), h.GetBounds());
  EXPECT_TRUE(h.GetControl(0)->GetIgnoreMouse());
  EXPECT_EQ(h.GetControl(1), p);

  h.RemoveControl(q);
  EXPECT_EQ(h.NControls(), 3);
  EXPECT_EQ(h.GetControlIdx(q), -1);
  h.RemoveAllControls();
  EXPECT_EQ(h.NControls(), 0);
  EXPECT_EQ(h.GetControlWithTag(7), nullptr);
  IRECT region;
  ASSERT_TRUE(h.IsDirty(region));  // the emptied editor is repainted
  EXPECT_EQ(region, h.GetBounds());
}

TEST_F(TwoControls, AControlMayRemoveEveryControlFromItsOwnPress) {
  // The editor rebuild removing the very control being pressed: no use after free
  // (run under AddressSanitizer), capture dropped, the next press works.
  b->onDown = [this] { g.RemoveAllControls(); };
  g.OnMouseDown(75, 75, IMouseMod(true));
  EXPECT_EQ(g.GetCapturedControl(), nullptr);
  g.OnMouseDrag(80, 80, IMouseMod(true));
  g.OnMouseUp(80, 80, IMouseMod(true));
  g.OnFrameTick();
  const Log want = {"B down"};
  EXPECT_EQ(log, want);
  auto* c = static_cast<ProbeControl*>(g.AttachControl(new ProbeControl({0, 0, 10, 10}, &log, "C", kGreen)));
  g.OnMouseDown(5, 5, IMouseMod(true));
  EXPECT_EQ(g.GetCapturedControl(), c);
}

TEST_F(TwoControls, DelegateMessagesGoToTheTaggedControl) {
  RecordingGraphics h;
  Log l;
  h.AttachControl(new ProbeControl({0, 0, 10, 10}, &l, "untagged", kRed));
  h.AttachControl(new ProbeControl({0, 0, 10, 10}, &l, "meter", kRed), 100);
  const float data[5] = {};
  h.OnControlMsgFromDelegate(100, 0, 20, data);
  h.OnControlMsgFromDelegate(101, 0, 20, data);  // no such tag: dropped
  const Log want = {"meter msg 0 20"};
  EXPECT_EQ(l, want);
}

// ---- Parameters, gestures and the plug-in side ------------------------------------------------

struct WithPlug : ::testing::Test {
  TestPlug plug;
  RecordingGraphics g{&plug};
};

TEST_F(WithPlug, RegistersAsThePlugInsEditorWhileItExists) {
  EXPECT_EQ(plug.GetUI(), &g);
  EXPECT_EQ(plug.GetEditorSink(), &g);
  {
    TestPlug other;
    { RecordingGraphics temp(&other); }
    EXPECT_EQ(other.GetUI(), nullptr);
    EXPECT_FALSE(other.HasEditor());
  }
}

TEST_F(WithPlug, ParameterValuesFromThePlugInReachEveryBoundControlWithoutTellingTheHost) {
  auto* one = g.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "1", kRed, 3));
  auto* two = g.AttachControl(new ProbeControl({20, 0, 30, 10}, nullptr, "2", kRed, 3));
  auto* other = g.AttachControl(new ProbeControl({40, 0, 50, 10}, nullptr, "3", kRed, 0));
  EXPECT_DOUBLE_EQ(one->GetValue(), 0.25);  // attached with the parameter's current value (25 of 0..100)
  g.Frame();
  plug.SendParameterValueFromDelegate(3, 0.75, true);
  EXPECT_DOUBLE_EQ(one->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(two->GetValue(), 0.75);
  EXPECT_DOUBLE_EQ(other->GetValue(), 0.5);
  EXPECT_TRUE(one->IsDirty());
  EXPECT_FALSE(other->IsDirty());
  plug.SendParameterValueFromDelegate(3, 40.0, false);  // plain value, converted through the parameter
  EXPECT_DOUBLE_EQ(one->GetValue(), 0.4);
  g.OnParameterValueFromDelegate(3, std::nan(""), true);
  EXPECT_DOUBLE_EQ(one->GetValue(), 0.4);
  EXPECT_TRUE(plug.host.events.empty());
}

TEST_F(WithPlug, PressOnAParameterControlIsOneHostGesture) {
  auto* c = g.AttachControl(new ProbeControl({0, 0, 100, 100}, nullptr, "G", kRed, 0));
  g.OnMouseDown(50, 50, IMouseMod(true));
  EXPECT_TRUE(g.IsGestureOpen(0));
  c->SetValue(0.7);
  c->SetDirty(true);
  c->SetValue(0.8);
  c->SetDirty(true);
  g.OnMouseUp(50, 50, IMouseMod(true));
  EXPECT_FALSE(g.IsGestureOpen(0));
  const Log want = {"begin 0", "value 0", "value 0", "end 0"};
  EXPECT_EQ(plug.host.events, want);
  ASSERT_EQ(plug.host.values.size(), 2u);
  EXPECT_DOUBLE_EQ(plug.host.values[1], 0.8);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.8);

  // Inside the gesture a user-input value opens no second one; outside it wraps itself.
  plug.host.events.clear();
  g.OnMouseDown(50, 50, IMouseMod(true));
  c->SetValueFromUserInput(0.1);
  g.OnMouseUp(50, 50, IMouseMod(true));
  c->SetValueFromUserInput(0.2);
  const Log want2 = {"begin 0", "value 0", "end 0", "begin 0", "value 0", "end 0"};
  EXPECT_EQ(plug.host.events, want2);
}

TEST_F(WithPlug, RemovingControlsEndsAnOpenGesture) {
  g.AttachControl(new ProbeControl({0, 0, 100, 100}, nullptr, "G", kRed, 0));
  g.OnMouseDown(50, 50, IMouseMod(true));
  g.RemoveAllControls();
  g.OnMouseUp(50, 50, IMouseMod(true));
  const Log want = {"begin 0", "end 0"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(WithPlug, ALostReleaseDoesNotLeaveAGestureOpen) {
  g.AttachControl(new ProbeControl({0, 0, 100, 100}, nullptr, "G", kRed, 0));
  g.AttachControl(new ProbeControl({200, 0, 300, 100}, nullptr, "L", kRed, 3));
  g.OnMouseDown(50, 50, IMouseMod(true));
  g.OnMouseDown(250, 50, IMouseMod(true));
  g.OnMouseUp(250, 50, IMouseMod(true));
  const Log want = {"begin 0", "end 0", "begin 3", "end 3"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(WithPlug, ControlsOfTheSameParameterFollowAnEdit) {
  auto* one = g.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "1", kRed, 0));
  auto* two = g.AttachControl(new ProbeControl({20, 0, 30, 10}, nullptr, "2", kRed, 0));
  g.Frame();
  one->SetValueFromUserInput(0.9);
  EXPECT_DOUBLE_EQ(two->GetValue(), 0.9);
  EXPECT_TRUE(two->IsDirty());
  EXPECT_EQ(plug.host.events.size(), 3u);  // begin, one value, end: the peer sends nothing
}

TEST_F(WithPlug, ActionFunctionRunsOnUserChangesOnly) {
  int actions = 0;
  auto* c = g.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "1", kRed, 0));
  c->SetActionFunction([&](IControl*) { ++actions; });
  c->SetDirty(false);
  plug.SendParameterValueFromDelegate(0, 0.3, true);
  EXPECT_EQ(actions, 0);
  c->SetValueFromUserInput(0.4);
  EXPECT_EQ(actions, 1);
}

TEST_F(WithPlug, PromptUserInputOffersTheTextsOfAnEnumAndTakesTheChoice) {
  auto* c = g.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "mode", kRed, 1));
  g.popupChoice = 2;
  c->PromptUserInput(0);
  const std::vector<std::string> items = {"Split", "Mono", "Poly"};
  EXPECT_EQ(g.popupItems, items);
  EXPECT_EQ(g.popupChecked, 0);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 2.0);
  const Log want = {"begin 1", "value 1", "end 1"};
  EXPECT_EQ(plug.host.events, want);

  // Cancelled: nothing changes. Out of range: ignored.
  plug.host.events.clear();
  g.popupChoice = -1;
  c->PromptUserInput(0);
  g.popupChoice = 3;
  c->PromptUserInput(0);
  EXPECT_EQ(g.popupChecked, 2);
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 2.0);
  EXPECT_TRUE(plug.host.events.empty());
}

TEST_F(WithPlug, PromptUserInputTakesTypedValuesAndRefusesText) {
  auto* c = g.AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "level", kRed, 3));
  g.textEntryOk = true;
  g.textToEnter = "60";
  c->PromptUserInput(0);
  ASSERT_FALSE(g.dialogs.empty());
  EXPECT_EQ(g.dialogs.back(), "text:25.0");  // the current value offered, without the unit
  EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 60.0);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.6);
  g.textToEnter = "loud";
  c->PromptUserInput(0);
  EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 60.0);
}

// ---- Tooltips ----------------------------------------------------------------------------------

struct Tooltips : ::testing::Test {
  RecordingGraphics g;
  IControl* tipped = nullptr;
  IControl* plain = nullptr;
  static constexpr int kDelay = 5;
  void SetUp() override {
    tipped = g.AttachControl(new ProbeControl({0, 0, 100, 100}, nullptr, "T", kRed));
    tipped->SetTooltip("Next factory preset.");
    plain = g.AttachControl(new ProbeControl({200, 0, 300, 100}, nullptr, "P", kRed));
    g.EnableTooltips(true);
    g.SetTooltipDelayTicks(kDelay);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) g.OnFrameTick();
  }
};

TEST_F(Tooltips, AppearsAfterTheMouseRestsForTheDelay) {
  g.OnMouseOver(50, 50, IMouseMod());
  Ticks(kDelay - 1);
  EXPECT_EQ(g.GetShownTooltip(), "");
  Ticks(1);
  EXPECT_EQ(g.GetShownTooltip(), "Next factory preset.");
  // Drawn on top at the next frame, with its text, below right of the mouse.
  ASSERT_TRUE(g.Frame());
  const auto texts = g.Calls("DrawText");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->str, "Next factory preset.");
  EXPECT_GT(g.GetTooltipRECT().T, 50.f);
  EXPECT_GT(g.GetTooltipRECT().L, 50.f);
}

TEST_F(Tooltips, DisappearsWhenTheMouseMovesAndComesBackAfterAFullDelay) {
  g.OnMouseOver(50, 50, IMouseMod());
  Ticks(kDelay);
  const IRECT box = g.GetTooltipRECT();
  g.Frame();
  g.OnMouseOver(51, 50, IMouseMod());
  EXPECT_EQ(g.GetShownTooltip(), "");
  IRECT region;
  ASSERT_TRUE(g.IsDirty(region));  // the box's area is repainted
  EXPECT_TRUE(region.Contains(box));
  Ticks(kDelay - 1);
  EXPECT_EQ(g.GetShownTooltip(), "");
  g.OnMouseOver(52, 50, IMouseMod());  // moving restarts the wait
  Ticks(kDelay - 1);
  EXPECT_EQ(g.GetShownTooltip(), "");
  Ticks(1);
  EXPECT_EQ(g.GetShownTooltip(), "Next factory preset.");
}

TEST_F(Tooltips, NoneWithoutTextWhileDisabledDraggingHiddenOrAfterLeaving) {
  struct Case {
    const char* name;
    std::function<void()> act;
  };
  const std::vector<Case> cases = {
      {"control without tooltip", [this] { g.OnMouseOver(250, 50, IMouseMod()); }},
      {"tooltips disabled", [this] { g.EnableTooltips(false); g.OnMouseOver(50, 50, IMouseMod()); }},
      {"button held", [this] { g.OnMouseDown(50, 50, IMouseMod(true)); }},
      {"mouse left the window", [this] { g.OnMouseOver(50, 50, IMouseMod()); g.OnMouseOut(); }},
      {"control hidden under the mouse", [this] {
         g.OnMouseOver(50, 50, IMouseMod());
         tipped->Hide(true);
         g.UpdateTooltips();
       }},
  };
  for (const auto& c : cases) {
    SetUp();
    c.act();
    Ticks(3 * kDelay);
    EXPECT_EQ(g.GetShownTooltip(), "") << c.name;
  }
}

TEST_F(Tooltips, PressHidesAShownTooltip) {
  g.OnMouseOver(50, 50, IMouseMod());
  Ticks(kDelay);
  ASSERT_NE(g.GetShownTooltip(), "");
  g.OnMouseDown(50, 50, IMouseMod(true));
  EXPECT_EQ(g.GetShownTooltip(), "");
}

// ---- Scale and the corner resizer --------------------------------------------------------------

TEST(ScaleTest, ConstraintsAndWindowSizes) {
  RecordingGraphics g;
  g.SetScaleConstraints(0.75f, 1.5f);
  struct Case {
    float in, want;
  };
  for (const Case& c : std::vector<Case>{{1.f, 1.f}, {0.5f, 0.75f}, {2.f, 1.5f}, {1.25f, 1.25f}})
    EXPECT_FLOAT_EQ(g.ConstrainScale(c.in), c.want) << c.in;
  EXPECT_FLOAT_EQ(g.ConstrainScale(std::nanf("")), 1.f);

  struct SizeCase {
    int w, h;
    float want;
  };
  const std::vector<SizeCase> sizes = {
      {1800, 1350, 1.5f},       // exactly 150 %
      {1800, 1000, 1000.f / 900.f},  // the height limits
      {600, 450, 0.75f},        // 50 % asked, 75 % is the least
      {4000, 4000, 1.5f},
  };
  for (const auto& s : sizes) EXPECT_FLOAT_EQ(g.ScaleForWindowSize(s.w, s.h), s.want) << s.w << "x" << s.h;
  int w = 0, h = 0;
  g.WindowSizeForScale(0.75f, w, h);
  EXPECT_EQ(w, 900);
  EXPECT_EQ(h, 675);
  g.WindowSizeForScale(1000.f / 900.f, w, h);
  EXPECT_EQ(w, 1333);
  EXPECT_EQ(h, 1000);

  // Invalid constraints are ignored.
  g.SetScaleConstraints(2.f, 1.f);
  g.SetScaleConstraints(0.f, 1.f);
  EXPECT_FLOAT_EQ(g.GetMinScale(), 0.75f);
  EXPECT_FLOAT_EQ(g.GetMaxScale(), 1.5f);

  // A scale outside new constraints is brought into them through the host.
  g.SetScaleConstraints(1.1f, 1.2f);
  ASSERT_EQ(g.resizeRequests.size(), 1u);
  EXPECT_FLOAT_EQ(g.GetDrawScale(), 1.1f);
}

struct Resizer : ::testing::Test {
  RecordingGraphics g;
  void SetUp() override {
    g.SetScaleConstraints(0.75f, 1.5f);
    g.AttachCornerResizer(EUIResizerMode::Scale, false, COLOR_TRANSLUCENT, COLOR_BLACK, COLOR_BLACK, 20.f);
  }
  // The platform hands window pixels in as design units at the scale in force.
  void Down(float px, float py) { g.OnMouseDown(px / g.GetDrawScale(), py / g.GetDrawScale(), IMouseMod(true)); }
  void Drag(float px, float py) { g.OnMouseDrag(px / g.GetDrawScale(), py / g.GetDrawScale(), IMouseMod(true)); }
  void Up(float px, float py) { g.OnMouseUp(px / g.GetDrawScale(), py / g.GetDrawScale(), IMouseMod(true)); }
};

TEST_F(Resizer, HandleSitsInTheCornerAndIsAskedBeforeEveryControl) {
  ASSERT_NE(g.GetCornerResizer(), nullptr);
  EXPECT_EQ(g.GetCornerResizer()->GetRECT(), IRECT(1180, 880, 1200, 900));
  Log log;
  g.AttachControl(new ProbeControl(g.GetBounds(), &log, "cover", kRed));
  Down(1190, 890);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(g.GetCapturedControl(), g.GetCornerResizer());
  Up(1190, 890);
  g.RemoveAllControls();
  EXPECT_NE(g.GetCornerResizer(), nullptr);  // survives the rebuild
}

TEST_F(Resizer, DragScalesSoThatTheGrabbedPointFollowsTheMouse) {
  struct Step {
    float px, py;     // window pixels
    float wantScale;  // the smaller ratio to the press at (1190, 890), times 1, within 0.75..1.5
  };
  const std::vector<Step> steps = {
      {1428, 1068, 1.2f},                // 1428 / 1190 = 1068 / 890 = 1.2
      {2000, 1100, 1100.f / 890.f},      // the height ratio is the smaller: 1.2359551
      {3000, 3000, 1.5f},                // limited
      {500, 400, 0.75f},                 // limited
      {1190, 890, 1.f},                  // back where it started
  };
  Down(1190, 890);
  for (const auto& s : steps) {
    Drag(s.px, s.py);
    EXPECT_NEAR(g.GetDrawScale(), s.wantScale, 1e-5) << s.px << ", " << s.py;
  }
  Up(1190, 890);
  // The platform was asked for the window size of each new scale.
  ASSERT_FALSE(g.resizeSizes.empty());
  EXPECT_EQ(g.resizeSizes.front(), std::make_pair(1440, 1080));
  IRECT region;
  EXPECT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, g.GetBounds());  // a new scale redraws everything
}

TEST_F(Resizer, RefusedResizeKeepsTheScale) {
  g.grantResize = false;
  Down(1190, 890);
  Drag(1428, 1068);
  Up(1428, 1068);
  ASSERT_EQ(g.resizeRequests.size(), 1u);
  EXPECT_FLOAT_EQ(g.resizeRequests[0], 1.2f);
  EXPECT_FLOAT_EQ(g.GetDrawScale(), 1.f);
}

// ---- Modal dialogs -------------------------------------------------------------------------------

TEST(ModalTest, DialogsBlockTheMouseAndReturnAfterClosing) {
  RecordingGraphics g;
  Log log;
  g.AttachControl(new ProbeControl({0, 0, 100, 100}, &log, "A", kRed));
  bool modalSeen = false;
  g.duringDialog = [&] {
    modalSeen = g.IsInModalDialog();
    g.OnMouseDown(50, 50, IMouseMod(true));  // ignored while the dialog is open
    g.OnMouseOver(60, 60, IMouseMod());
  };
  EMsgBoxResult handled = kNoResult;
  EXPECT_EQ(g.ShowMessageBox("Could not save this patch.", "Vrel Bazzit", kMB_OK,
                             [&](EMsgBoxResult r) { handled = r; }),
            kOK);
  EXPECT_TRUE(modalSeen);
  EXPECT_FALSE(g.IsInModalDialog());
  EXPECT_EQ(handled, kOK);
  EXPECT_TRUE(log.empty());
  ASSERT_EQ(g.dialogs.size(), 1u);
  EXPECT_EQ(g.dialogs[0], "message:Vrel Bazzit:Could not save this patch.");

  std::string file = "Vrel Bazzit Patch.vbpatch", folder;
  g.fileToChoose = "/tmp/x.vbpatch";
  std::string handledName;
  g.PromptForFile(file, folder, EFileAction::Save, "vbpatch",
                  [&](const std::string& f, const std::string&) { handledName = f; });
  EXPECT_EQ(g.dialogs[1], "file:save:vbpatch:Vrel Bazzit Patch.vbpatch");
  EXPECT_EQ(file, "/tmp/x.vbpatch");
  EXPECT_EQ(handledName, "/tmp/x.vbpatch");
  g.fileToChoose = "";
  g.PromptForFile(file, folder, EFileAction::Open, "vbskin");
  EXPECT_EQ(file, "");  // cancelled
}

TEST(ModalTest, ADialogOpenedByAPressEndsThePress) {
  TestPlug plug;
  RecordingGraphics g(&plug);
  Log log;
  auto* c = static_cast<ProbeControl*>(g.AttachControl(new ProbeControl({0, 0, 100, 100}, &log, "A", kRed, 0)));
  c->onDown = [&] {
    std::string f, p;
    g.PromptForFile(f, p, EFileAction::Open, "vbpatch");
  };
  g.OnMouseDown(50, 50, IMouseMod(true));
  EXPECT_EQ(g.GetCapturedControl(), nullptr);
  const Log want = {"A down", "A up"};
  EXPECT_EQ(log, want);
  const Log host = {"begin 0", "end 0"};
  EXPECT_EQ(plug.host.events, host);
  // The release the dialog swallowed may still arrive: harmless.
  g.OnMouseUp(50, 50, IMouseMod(true));
  EXPECT_EQ(plug.host.events, host);
}

// ---- Drawing geometry -----------------------------------------------------------------------------

class DrawsWith : public IControl {
public:
  DrawsWith(std::function<void(IGraphics&)> f) : IControl({0, 0, 200, 200}), mF(std::move(f)) {}
  void Draw(IGraphics& g) override { mF(g); }

private:
  std::function<void(IGraphics&)> mF;
};

void ExpectMaps(const IMatrix& m, double x, double y, double wantX, double wantY, const char* what) {
  m.TransformPoint(x, y);
  EXPECT_NEAR(x, wantX, 1e-4) << what;
  EXPECT_NEAR(y, wantY, 1e-4) << what;
}

TEST(DrawingTest, SvgIsFittedUniformlyAndCentred) {
  RecordingGraphics g;  // documents are 10 x 20
  const ISVG svg = g.LoadSVG("knob.svg", "px", 72.f);
  g.AttachControl(new DrawsWith([&](IGraphics& gr) { gr.DrawSVG(svg, IRECT(0, 0, 100, 100)); }));
  g.Frame();
  const auto svgs = g.Calls("DrawSVG");
  ASSERT_EQ(svgs.size(), 1u);
  // Scale 5 (the height limits), 50 x 100 centred: left edge at 25.
  ExpectMaps(svgs[0]->transform, 0, 0, 25, 0, "top left");
  ExpectMaps(svgs[0]->transform, 10, 20, 75, 100, "bottom right");
}

TEST(DrawingTest, RotatedSvgTurnsAboutItsCentre) {
  RecordingGraphics g;
  const ISVG svg = g.LoadSVG("knob.svg", "px", 72.f);
  g.AttachControl(new DrawsWith([&](IGraphics& gr) { gr.DrawRotatedSVG(svg, 100, 50, 20, 40, 90); }));
  g.Frame();
  const auto svgs = g.Calls("DrawSVG");
  ASSERT_EQ(svgs.size(), 1u);
  // 20 x 40 around (100, 50), turned a quarter clockwise: the image's top-left
  // corner (local -10, -20) goes to (100 + 20, 50 - 10), its bottom-right to (80, 60).
  ExpectMaps(svgs[0]->transform, 0, 0, 120, 40, "top left");
  ExpectMaps(svgs[0]->transform, 10, 20, 80, 60, "bottom right");
  ExpectMaps(svgs[0]->transform, 5, 10, 100, 50, "centre");
}

TEST(DrawingTest, InvalidImagesDrawNothingAndTransformsDoNotLeakBetweenControls) {
  RecordingGraphics g;
  const IBitmap bmp = g.LoadBitmap("knob.png", 1, false, 0);
  g.AttachControl(new DrawsWith([&](IGraphics& gr) {
    gr.DrawSVG(ISVG(), IRECT(0, 0, 10, 10));
    gr.DrawFittedBitmap(IBitmap(), IRECT(0, 0, 10, 10));
    gr.DrawFittedBitmap(bmp, IRECT(0, 0, 0, 10));  // empty target
    gr.PathTransformSave();
    gr.PathTransformTranslate(30, 40);  // never restored
  }));
  g.AttachControl(new DrawsWith([&](IGraphics& gr) { gr.DrawFittedBitmap(bmp, IRECT(5, 6, 37, 22)); }));
  g.Frame();
  EXPECT_TRUE(g.Calls("DrawSVG").empty());
  const auto bitmaps = g.Calls("DrawBitmap");
  ASSERT_EQ(bitmaps.size(), 1u);
  EXPECT_EQ(bitmaps[0]->rect, IRECT(5, 6, 37, 22));
  EXPECT_EQ(bitmaps[0]->str, "knob.png");
  EXPECT_EQ(bitmaps[0]->transform, IMatrix());  // the second control starts from the identity
}

TEST(DrawingTest, ShapeDefaultsBuildClosedPaths) {
  RecordingGraphics g;
  g.BaseFillRoundRect(kRed, IRECT(0, 0, 40, 20), 5.f);
  // Four corner arcs of radius 5 about the inner corners, clockwise from 12 o'clock.
  const auto arcs = g.Calls("PathArc");
  ASSERT_EQ(arcs.size(), 4u);
  const std::vector<std::vector<float>> want = {
      {35, 5, 5, 0, 90, 1}, {35, 15, 5, 90, 180, 1}, {5, 15, 5, 180, 270, 1}, {5, 5, 5, 270, 360, 1}};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(arcs[i]->nums, want[i]) << i;
  EXPECT_EQ(g.Calls("PathFill").size(), 1u);

  g.calls.clear();
  g.BaseFillRoundRect(kRed, IRECT(0, 0, 40, 20), 0.f);  // no rounding: a plain rectangle
  EXPECT_TRUE(g.Calls("PathArc").empty());
  EXPECT_EQ(g.Calls("PathLineTo").size(), 3u);

  g.calls.clear();
  g.BaseFillCircle(kRed, 10, 20, 5);  // four quarter curves ending on the circle
  const auto curves = g.Calls("PathCubicBezierTo");
  ASSERT_EQ(curves.size(), 4u);
  EXPECT_EQ(g.Calls("PathMoveTo")[0]->nums, (std::vector<float>{15, 20}));
  EXPECT_FLOAT_EQ(curves[0]->nums[4], 10.f);
  EXPECT_FLOAT_EQ(curves[0]->nums[5], 25.f);
  EXPECT_FLOAT_EQ(curves[3]->nums[4], 15.f);
  EXPECT_FLOAT_EQ(curves[3]->nums[5], 20.f);
}

TEST(DrawingTest, RadialLinesMeasureAnglesClockwiseFromTwelve) {
  RecordingGraphics g;
  struct Case {
    float angle, wantX, wantY;
  };
  for (const Case& c : std::vector<Case>{{0, 50, 40}, {90, 60, 50}, {180, 50, 60}, {-90, 40, 50}}) {
    g.calls.clear();
    g.DrawRadialLine(kRed, 50, 50, c.angle, 0, 10);
    const auto lines = g.Calls("DrawLine");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NEAR(lines[0]->nums[2], c.wantX, 1e-4) << c.angle;
    EXPECT_NEAR(lines[0]->nums[3], c.wantY, 1e-4) << c.angle;
  }
}

TEST(DrawingTest, EmptyTextIsNotDrawn) {
  RecordingGraphics g;
  g.DrawText(IText(), "", IRECT(0, 0, 10, 10));
  g.DrawText(IText(), nullptr, IRECT(0, 0, 10, 10));
  g.DrawText(IText(0.f, COLOR_BLACK), "x", IRECT(0, 0, 10, 10));
  EXPECT_TRUE(g.Calls("DrawText").empty());
  g.DrawText(IText(12.f, COLOR_BLACK), "x", IRECT(0, 0, 10, 10));
  EXPECT_EQ(g.Calls("DrawText").size(), 1u);
}

// ---- Opening and closing ------------------------------------------------------------------------

// A plug-in whose editor is a 1200 x 900 recording context at 30 frames a second,
// laid out with one text and one parameter control, and that notes what it sees on closing.
class EditorPlug : public TestPlug {
public:
  EditorPlug() {
    mMakeGraphicsFunc = [this] { return new RecordingGraphics(this, 1200, 900, 30, 1.f); };
    mLayoutFunc = [this](IGraphics* g) {
      ++layouts;
      label = static_cast<ITextControl*>(g->AttachControl(new ITextControl({725, 158, 1086, 198}, "Init Vrels")));
      g->AttachControl(new ProbeControl({0, 0, 10, 10}, nullptr, "K", kRed, 0));
    };
  }
  void OnUIClose() override {
    controlsAtClose = GetUI() ? GetUI()->NControls() : -1;
    label = nullptr;
  }
  int layouts = 0;
  int controlsAtClose = -2;
  ITextControl* label = nullptr;
};

TEST(EditorLifecycleTest, OpenRunsTheLayoutAndCloseLetsThePlugInLetGoFirst) {
  EditorPlug plug;
  auto ui = OpenEditor(plug);
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(plug.GetUI(), ui.get());
  EXPECT_EQ(plug.layouts, 1);
  EXPECT_EQ(ui->NControls(), 2);
  EXPECT_EQ(ui->FPS(), 30);
  EXPECT_EQ(ui->WindowWidth(), 1200);
  EXPECT_EQ(ui->WindowHeight(), 900);
  IRECT region;
  ASSERT_TRUE(ui->IsDirty(region));
  EXPECT_EQ(region, IRECT(0, 0, 1200, 900));
  EXPECT_NE(plug.label, nullptr);

  CloseEditor(plug, ui);
  EXPECT_EQ(ui, nullptr);
  EXPECT_EQ(plug.controlsAtClose, 2);  // the controls still existed when the plug-in was told
  EXPECT_EQ(plug.label, nullptr);
  EXPECT_EQ(plug.GetUI(), nullptr);
  EXPECT_FALSE(plug.HasEditor());
  plug.SendControlMsgFromDelegate(100, 0, 0, nullptr);  // no editor: goes nowhere

  // Twenty openings build the same editor afresh (leaks show under the sanitizer build).
  for (int i = 0; i < 20; ++i) {
    auto again = OpenEditor(plug);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->NControls(), 2);
    CloseEditor(plug, again);
  }
  EXPECT_EQ(plug.layouts, 21);

  TestPlug none;  // no make-graphics function: no editor
  EXPECT_EQ(OpenEditor(none), nullptr);
}

}  // namespace
}  // namespace fw
