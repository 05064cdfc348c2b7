// The vector controls and the plain controls: drag gearing, fine adjustment,
// double click, wheel, host gestures, switch states, meter input, and the
// geometry of their default drawing, against values derived by hand.
#include "framework/graphics/IVControls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "RecordingGraphics.h"
#include "framework/graphics/IVMeterControl.h"
#include "framework/plug/IPeakSender.h"

namespace fw {
namespace {

using test::RecordingGraphics;
using test::TestPlug;
using Log = std::vector<std::string>;

const IVStyle kBare = DEFAULT_STYLE.WithShowLabel(false).WithShowValue(false);
const IMouseMod kLeft(true);
const IMouseMod kShift(true, false, true);
const IMouseMod kCtrl(true, false, false, true);

struct Editor : ::testing::Test {
  TestPlug plug;
  RecordingGraphics g{&plug};
  // A press at (x, y), drags to each point, release at the last.
  void Gesture(float x, float y, const std::vector<std::pair<float, float>>& to, const IMouseMod& mod = kLeft) {
    g.OnMouseDown(x, y, mod);
    for (const auto& p : to) g.OnMouseDrag(p.first, p.second, mod);
    const auto last = to.empty() ? std::make_pair(x, y) : to.back();
    g.OnMouseUp(last.first, last.second, mod);
  }
};

// ---- Knob ----------------------------------------------------------------------------------------

TEST_F(Editor, KnobDragFollowsTheGearing) {
  // Widget area 100 high, gearing 4: a full sweep takes 400 units of drag, 4000 with Shift or Control.
  struct Case {
    const char* name;
    EDirection dir;
    float toX, toY;
    IMouseMod mod;
    double want;  // from 0.5
  };
  const std::vector<Case> cases = {
      {"up 40", EDirection::Vertical, 50, 10, kLeft, 0.6},
      {"down 40", EDirection::Vertical, 50, 90, kLeft, 0.4},
      {"sideways does nothing vertically", EDirection::Vertical, 90, 50, kLeft, 0.5},
      {"up 40 with Shift", EDirection::Vertical, 50, 10, kShift, 0.51},
      {"up 40 with Control", EDirection::Vertical, 50, 10, kCtrl, 0.51},
      {"up 400 stops at 1", EDirection::Vertical, 50, -350, kLeft, 1.0},
      {"down 400 stops at 0", EDirection::Vertical, 50, 450, kLeft, 0.0},
      {"horizontal: right 40", EDirection::Horizontal, 90, 50, kLeft, 0.6},
      {"horizontal: left 20", EDirection::Horizontal, 30, 50, kLeft, 0.45},
  };
  for (const auto& c : cases) {
    g.RemoveAllControls();
    plug.GetParam(0)->Set(0.5);
    auto* knob = g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare, false, false, -135.f, 135.f,
                                                   -135.f, c.dir));
    Gesture(50, 50, {{c.toX, c.toY}}, c.mod);
    EXPECT_NEAR(knob->GetValue(), c.want, 1e-9) << c.name;
    EXPECT_NEAR(plug.GetParam(0)->Value(), c.want, 1e-9) << c.name;
  }
}

TEST_F(Editor, KnobDragLengthIsTheWidgetAreaBetweenLabelAndValue) {
  // Label strip 19 (the default label text size) and value strip 14 leave 67 units:
  // a drag of 67 up moves a quarter.
  auto* knob = static_cast<IVKnobControl*>(g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "GAIN")));
  EXPECT_EQ(knob->GetWidgetBounds(), IRECT(0, 19, 100, 86));
  EXPECT_EQ(knob->GetLabelBounds(), IRECT(0, 0, 100, 19));
  EXPECT_EQ(knob->GetValueBounds(), IRECT(0, 86, 100, 100));
  EXPECT_FLOAT_EQ(knob->GetRadius(), 33.5f);
  Gesture(50, 50, {{50, -17}});
  EXPECT_NEAR(knob->GetValue(), 0.75, 1e-9);
  // The label strip is no part of the knob's hit area.
  g.OnMouseDown(50, 10, kLeft);
  EXPECT_EQ(g.GetCapturedControl(), nullptr);
}

TEST_F(Editor, KnobGestureIsReportedBeginValuesEnd) {
  g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare));
  Gesture(50, 50, {{50, 30}, {50, 10}});
  const Log want = {"begin 0", "value 0", "value 0", "end 0"};
  EXPECT_EQ(plug.host.events, want);
  ASSERT_EQ(plug.host.values.size(), 2u);
  EXPECT_NEAR(plug.host.values[0], 0.55, 1e-9);
  EXPECT_NEAR(plug.host.values[1], 0.6, 1e-9);
}

TEST_F(Editor, KnobDoubleClickReturnsToTheDefaultAsOneGesture) {
  plug.GetParam(0)->Set(0.9);
  auto* knob = g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare));
  ASSERT_DOUBLE_EQ(knob->GetValue(), 0.9);
  g.OnMouseDown(50, 50, kLeft);
  g.OnMouseUp(50, 50, kLeft);
  g.OnMouseDblClick(50, 50, kLeft);
  g.OnMouseUp(50, 50, kLeft);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.5);
  const Log want = {"begin 0", "end 0", "begin 0", "value 0", "end 0"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(Editor, KnobWheelStepsAreSmallGestures) {
  auto* knob = g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare));
  g.OnMouseWheel(50, 50, IMouseMod(), 1.f);
  EXPECT_NEAR(knob->GetValue(), 0.51, 1e-12);
  g.OnMouseWheel(50, 50, IMouseMod(false, false, true), -2.f);
  EXPECT_NEAR(knob->GetValue(), 0.508, 1e-12);
  const Log want = {"begin 0", "value 0", "end 0", "begin 0", "value 0", "end 0"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(Editor, KnobRightClickAsksForAValue) {
  auto* knob = g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 3, "", kBare));
  g.textEntryOk = true;
  g.textToEnter = "80";
  g.OnMouseDown(50, 50, IMouseMod(false, true));
  g.OnMouseUp(50, 50, IMouseMod(false, true));
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.8);
  EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 80.0);
  // The press's own gesture holds the typed value: one begin, one end.
  const Log want = {"begin 3", "value 3", "end 3"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(Editor, KnobDrawsItsPointerAtTheValuesAngle) {
  // Centre (50, 50), radius 50, handle radius 46, pointer from 0.1 to 1 of it;
  // angles clockwise from 12 o'clock, -135 at 0, 0 at 0.5, 135 at 1.
  auto* knob = static_cast<IVKnobControl*>(g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare)));
  struct Case {
    double value;
    float x1, y1, x2, y2;
    float arcFrom, arcTo;
  };
  const float d = 46.f * std::sqrt(0.5f);  // 46 sin 135
  const std::vector<Case> cases = {
      {0.5, 50, 45.4f, 50, 4, -135, 0},
      {1.0, 50 + 0.1f * d, 50 + 0.1f * d, 50 + d, 50 + d, -135, 135},
      {0.0, 50 - 0.1f * d, 50 + 0.1f * d, 50 - d, 50 + d, -135, -135},
  };
  for (const auto& c : cases) {
    knob->SetValue(c.value);
    knob->SetDirty(false);
    g.Frame();
    const auto lines = g.Calls("DrawLine");
    ASSERT_EQ(lines.size(), 1u) << c.value;
    EXPECT_NEAR(lines[0]->nums[0], c.x1, 1e-3) << c.value;
    EXPECT_NEAR(lines[0]->nums[1], c.y1, 1e-3) << c.value;
    EXPECT_NEAR(lines[0]->nums[2], c.x2, 1e-3) << c.value;
    EXPECT_NEAR(lines[0]->nums[3], c.y2, 1e-3) << c.value;
    const auto arcs = g.Calls("DrawArc");
    ASSERT_EQ(arcs.size(), 1u);
    EXPECT_FLOAT_EQ(arcs[0]->nums[2], 49.f);  // radius less half the track
    EXPECT_FLOAT_EQ(arcs[0]->nums[3], c.arcFrom);
    EXPECT_FLOAT_EQ(arcs[0]->nums[4], c.arcTo);
    EXPECT_EQ(arcs[0]->color, DEFAULT_STYLE.colorSpec.GetColor(kX1));
  }
  EXPECT_FLOAT_EQ(knob->GetAngleForValue(0.25), -67.5f);
}

TEST_F(Editor, KnobShowsItsParametersValueText) {
  g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 3, "LEVEL"));
  g.Frame();
  std::vector<std::string> texts;
  for (const auto* c : g.Calls("DrawText")) texts.push_back(c->str);
  const std::vector<std::string> want = {"LEVEL", "25.0%"};
  EXPECT_EQ(texts, want);
}

// ---- Slider ----------------------------------------------------------------------------------------

TEST_F(Editor, SliderTrackHandleAndDrag) {
  // 20 x 110, track 2 wide in the middle: (9, 0, 11, 110); handle 8: a 16 x 16 square.
  auto* slider = static_cast<IVSliderControl*>(g.AttachControl(new IVSliderControl({0, 0, 20, 110}, 0, "", kBare)));
  EXPECT_EQ(slider->GetTrackBounds(), IRECT(9, 0, 11, 110));
  EXPECT_EQ(slider->GetHandleBounds(0.5), IRECT(2, 47, 18, 63));
  EXPECT_EQ(slider->GetFilledTrack(0.6), IRECT(9, 44, 11, 110));

  // Grabbing the handle keeps the value; 44 up of a 110 track at gearing 4 adds 0.1.
  Gesture(10, 55, {{10, 11}});
  EXPECT_NEAR(slider->GetValue(), 0.6, 1e-9);
  // Shift: ten times finer.
  Gesture(10, 44, {{10, 0}}, kShift);
  EXPECT_NEAR(slider->GetValue(), 0.61, 1e-9);
  // A press on the track away from the handle jumps there: (110 - 11) / 110.
  Gesture(10, 11, {});
  EXPECT_NEAR(slider->GetValue(), 0.9, 1e-6);

  g.Frame();
  g.calls.clear();
  slider->SetDirty(false);
  g.Frame();
  const auto fills = g.Calls("FillRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0]->rect, IRECT(9, 0, 11, 110));  // the whole track
  EXPECT_NEAR(fills[1]->rect.T, 11.f, 1e-3);          // the filled part from the handle down
  const auto handle = g.Calls("FillCircle");
  ASSERT_FALSE(handle.empty());
  EXPECT_NEAR(handle[0]->nums[1], 11.f, 1e-3);
  EXPECT_FLOAT_EQ(handle[0]->nums[2], 8.f);
}

TEST_F(Editor, SliderWithTheHandleInsideTheTrack) {
  auto* slider = static_cast<IVSliderControl*>(
      g.AttachControl(new IVSliderControl({0, 0, 20, 110}, 0, "", kBare, false, EDirection::Vertical, 4.0, 8.f, 2.f, true)));
  EXPECT_EQ(slider->GetTrackBounds(), IRECT(9, 8, 11, 102));
  EXPECT_EQ(slider->GetHandleBounds(1.0), IRECT(2, 0, 18, 16));
  auto* horizontal = static_cast<IVSliderControl*>(g.AttachControl(
      new IVSliderControl({0, 200, 100, 220}, 0, "", kBare, false, EDirection::Horizontal, 4.0, 5.f, 4.f)));
  EXPECT_EQ(horizontal->GetTrackBounds(), IRECT(0, 208, 100, 212));
  EXPECT_EQ(horizontal->GetHandleBounds(0.25), IRECT(20, 205, 30, 215));
}

// ---- Switch ------------------------------------------------------------------------------------------

TEST_F(Editor, SwitchClicksStepThroughTheStates) {
  struct Case {
    const char* name;
    int param;
    int states;
    std::vector<double> plainAfterEachClick;
  };
  const std::vector<Case> cases = {
      {"on/off", 2, 2, {1, 0, 1}},
      {"three modes", 1, 3, {1, 2, 0, 1}},
  };
  for (const auto& c : cases) {
    g.RemoveAllControls();
    plug.GetParam(c.param)->Set(0);
    auto* sw = static_cast<IVSwitchControl*>(g.AttachControl(new IVSwitchControl({0, 0, 60, 40}, c.param, "", kBare)));
    EXPECT_EQ(sw->GetNumStates(), c.states) << c.name;
    for (size_t i = 0; i < c.plainAfterEachClick.size(); ++i) {
      g.OnMouseDown(30, 20, kLeft);
      g.OnMouseUp(30, 20, kLeft);
      EXPECT_DOUBLE_EQ(plug.GetParam(c.param)->Value(), c.plainAfterEachClick[i]) << c.name << " click " << i;
    }
  }
}

TEST_F(Editor, SwitchDoubleClickIsASecondClick) {
  g.AttachControl(new IVSwitchControl({0, 0, 60, 40}, 2, "", kBare));
  g.OnMouseDown(30, 20, kLeft);
  g.OnMouseUp(30, 20, kLeft);
  g.OnMouseDblClick(30, 20, kLeft);
  g.OnMouseUp(30, 20, kLeft);
  EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 0.0);
  const Log want = {"begin 2", "value 2", "end 2", "begin 2", "value 2", "end 2"};
  EXPECT_EQ(plug.host.events, want);
}

TEST_F(Editor, SwitchValueInTheButton) {
  auto* sw = static_cast<IVSwitchControl*>(
      g.AttachControl(new IVSwitchControl({0, 0, 60, 60}, 1, "MODE", DEFAULT_STYLE, true)));
  // The label takes its strip at the top; the value is drawn inside the button.
  EXPECT_EQ(sw->GetWidgetBounds(), IRECT(0, 19, 60, 60));
  EXPECT_EQ(sw->GetValueBounds(), sw->GetWidgetBounds());
  g.Frame();
  const auto texts = g.Calls("DrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1]->str, "Split");
  EXPECT_EQ(texts[1]->rect, IRECT(0, 19, 60, 60));
}

// ---- Meter ---------------------------------------------------------------------------------------------

using Meter = IVMeterControl<2>;
using Entry = ISenderData<2, float>;

Entry MakeEntry(float l, float r, int nChans = 2, int offset = 0) {
  Entry e;
  e.ctrlTag = 100;
  e.nChans = nChans;
  e.chanOffset = offset;
  e.vals = {l, r};
  return e;
}

TEST_F(Editor, MeterTakesLevelsInDecibels) {
  auto* meter = g.AttachControl(new Meter({0, 0, 200, 20}, "", DEFAULT_STYLE, EDirection::Horizontal, {"L", "R"}, 0,
                                          EResponse::Log, -60.f, 0.f),
                                100);
  struct Case {
    const char* name;
    float level;
    double want;  // (20 log10(level) + 60) / 60, limited to 0..1
  };
  const std::vector<Case> cases = {
      {"0 dB", 1.f, 1.0},
      {"above 0 dB", 2.f, 1.0},
      {"-6.02 dB", 0.5f, (20.0 * std::log10(0.5) + 60.0) / 60.0},
      {"-30 dB", std::pow(10.f, -1.5f), 0.5},
      {"-60 dB", 0.001f, 0.0},
      {"silence", 0.f, 0.0},
      {"negative", -0.5f, 0.0},
      {"NaN", std::nanf(""), 0.0},
  };
  for (const auto& c : cases) {
    const Entry e = MakeEntry(c.level, 1.f);
    g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry), &e);
    EXPECT_NEAR(meter->GetValue(0), c.want, 1e-6) << c.name;
    EXPECT_DOUBLE_EQ(meter->GetValue(1), 1.0) << c.name;
  }
}

TEST_F(Editor, MeterDropsMalformedEntries) {
  auto* meter = static_cast<Meter*>(g.AttachControl(
      new Meter({0, 0, 200, 20}, "", DEFAULT_STYLE, EDirection::Horizontal, {}, 0, EResponse::Log, -60.f, 0.f), 100));
  const Entry e = MakeEntry(1.f, 1.f);
  g.OnControlMsgFromDelegate(100, 1, sizeof(Entry), &e);  // not an update
  g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry) - 1, &e);
  g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry), nullptr);
  const Entry wild = MakeEntry(1.f, 1.f, 7, -3);  // channels outside the meter
  g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry), &wild);
  EXPECT_DOUBLE_EQ(meter->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(meter->GetValue(1), 0.0);
  // Only the right channel, by offset.
  const Entry right = MakeEntry(1.f, 0.f, 1, 1);
  g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry), &right);
  EXPECT_DOUBLE_EQ(meter->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(meter->GetValue(1), 1.0);
  meter->SetDisabled(true);
  const Entry left = MakeEntry(1.f, 1.f);
  g.OnControlMsgFromDelegate(100, kUpdateMessage, sizeof(Entry), &left);
  EXPECT_DOUBLE_EQ(meter->GetValue(0), 0.0);
}

TEST_F(Editor, MeterFedByThePlugInsPeakSender) {
  auto* meter = g.AttachControl(
      new Meter({0, 0, 200, 20}, "", DEFAULT_STYLE, EDirection::Horizontal, {}, 0, EResponse::Log, -60.f, 0.f), 100);
  g.Frame();
  IPeakSender<2, 64> sender;
  sender.Reset(48000.0);  // a 240-sample window
  std::vector<double> left(240, 0.5), right(240, -0.25);
  double* chans[2] = {left.data(), right.data()};
  sender.ProcessBlock(chans, 240, 100, 2, 0);
  sender.TransmitData([&](const Entry& d) { plug.SendControlMsgFromDelegate(d.ctrlTag, 0, sizeof(d), &d); });
  EXPECT_NEAR(meter->GetValue(0), (20.0 * std::log10(0.5) + 60.0) / 60.0, 1e-6);
  EXPECT_NEAR(meter->GetValue(1), (20.0 * std::log10(0.25) + 60.0) / 60.0, 1e-6);
  EXPECT_TRUE(meter->IsDirty());
}

TEST_F(Editor, MeterSegmentsLightUpToTheValue) {
  // Vertical, 10 segments over a track inset by 1: 0.25 lights ceil(2.5) = 3, from the bottom.
  auto* meter = g.AttachControl(new IVMeterControl<1>({0, 0, 20, 102}, "", kBare, EDirection::Vertical, {}, 10));
  meter->SetValue(0.25);
  meter->SetDirty(false);
  g.Frame();
  const auto fills = g.Calls("FillRect");
  ASSERT_EQ(fills.size(), 4u);  // the track, then three segments
  EXPECT_EQ(fills[0]->rect, IRECT(1, 1, 19, 101));
  EXPECT_NEAR(fills[1]->rect.B, 100.5f, 1e-4);  // lowest segment (91..101) inset by 0.5
  EXPECT_NEAR(fills[3]->rect.T, 71.5f, 1e-4);   // third segment (71..81)
}

// ---- Text and panel ------------------------------------------------------------------------------

TEST_F(Editor, TextControlRedrawsOnlyWhenItsStringChanges) {
  auto* text = static_cast<ITextControl*>(
      g.AttachControl(new ITextControl({0, 0, 100, 20}, "Init Vrels", IText(14.f, COLOR_WHITE))));
  g.Frame();
  EXPECT_TRUE(g.Calls("FillRect").empty());  // transparent background
  ASSERT_EQ(g.Calls("DrawText").size(), 1u);
  EXPECT_EQ(g.Calls("DrawText")[0]->str, "Init Vrels");
  text->SetStr("Init Vrels");
  EXPECT_FALSE(text->IsDirty());
  text->SetStr("Glass Keys *");
  EXPECT_TRUE(text->IsDirty());
  text->SetStr(nullptr);
  EXPECT_STREQ(text->GetStr(), "");
  // Text ignores the mouse: a press falls through to the knob below.
  g.AttachControl(new IVKnobControl({0, 100, 100, 200}, 0, "", kBare));
  g.AttachControl(new ITextControl({0, 100, 100, 200}, "over"));
  g.OnMouseDown(50, 150, kLeft);
  ASSERT_NE(g.GetCapturedControl(), nullptr);
  EXPECT_EQ(g.GetCapturedControl()->GetParamIdx(), 0);
}

TEST_F(Editor, PanelFillsItsRectangleAndFramesOnRequest) {
  g.AttachControl(new IPanelControl({10, 10, 50, 50}, IColor(255, 1, 2, 3)));
  g.AttachControl(new IPanelControl({60, 10, 90, 50}, IColor(255, 4, 5, 6), true));
  g.Frame();
  const auto fills = g.Calls("FillRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0]->rect, IRECT(10, 10, 50, 50));
  EXPECT_EQ(fills[0]->color, IColor(255, 1, 2, 3));
  const auto frames = g.Calls("DrawRect");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->rect, IRECT(60, 10, 90, 50));
}

TEST_F(Editor, SetRectMovesTheControlAndRepaintsBothPlaces) {
  auto* knob = g.AttachControl(new IVKnobControl({0, 0, 100, 100}, 0, "", kBare));
  g.Frame();
  g.OnMouseOver(50, 50, IMouseMod());
  ASSERT_TRUE(knob->GetMouseIsOver());
  // Scaled vertically by 10/11, as a layout fit does: draw rectangle, then target.
  knob->SetRECT(IRECT(0, 0, 100, 100.f * 0.90909094f));
  EXPECT_FALSE(knob->GetMouseIsOver());
  EXPECT_EQ(knob->GetTargetRECT(), IRECT(0, 0, 100, 100.f * 0.90909094f));  // OnResize set the hit area
  IRECT region;
  ASSERT_TRUE(g.IsDirty(region));
  EXPECT_EQ(region, IRECT(0, 0, 100, 100));
}

}  // namespace
}  // namespace fw
