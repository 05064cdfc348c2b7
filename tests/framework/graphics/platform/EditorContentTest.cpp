// The editor as a view's content: window pixels reach the control under them
// at every editor scale and host content scale, presses, double clicks,
// drags and releases arrive as the graphics context's mouse calls, and the
// window sizes follow the scale constraints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/platform/EditorContent.h"
#include "tests/framework/graphics/core/RecordingGraphics.h"

namespace {

using fw::IRECT;
using fw::platform::EditorContent;
using fw::platform::PointerButton;
using fw::platform::PointerMods;

// Records the mouse calls it gets, with their design-unit positions.
class Target : public fw::IControl {
public:
  explicit Target(const IRECT& r, std::vector<std::string>& log) : IControl(r), mLog(log) {}
  void Draw(fw::IGraphics&) override {}
  void OnMouseDown(float x, float y, const fw::IMouseMod& m) override { Log("down", x, y, m); }
  void OnMouseUp(float x, float y, const fw::IMouseMod& m) override { Log("up", x, y, m); }
  void OnMouseDblClick(float x, float y, const fw::IMouseMod& m) override { Log("dbl", x, y, m); }
  void OnMouseDrag(float x, float y, float, float, const fw::IMouseMod& m) override { Log("drag", x, y, m); }

private:
  void Log(const char* what, float x, float y, const fw::IMouseMod& m) {
    mLog.push_back(std::string(what) + " " + std::to_string(static_cast<int>(x + 0.5f)) + "," +
                   std::to_string(static_cast<int>(y + 0.5f)) + (m.L ? " L" : "") + (m.R ? " R" : "") + (m.S ? " S" : ""));
  }
  std::vector<std::string>& mLog;
};

// A plug-in whose editor is 200 x 100 design units, scalable from 0.5 to 2,
// with one target at (100, 50)-(140, 80).
class EditorPlug : public fw::test::TestPlug {
public:
  EditorPlug() {
    mMakeGraphicsFunc = [this] { return new fw::IGraphicsNanoVG(this, 200, 100, 30, 1.f); };
    mLayoutFunc = [this](fw::IGraphics* g) {
      g->SetScaleConstraints(0.5f, 2.f);
      g->AttachControl(new Target(IRECT(100, 50, 140, 80), log));
    };
  }
  void OnUIClose() override { ++closes; }
  std::vector<std::string> log;
  int closes = 0;
};

TEST(EditorContent, WindowPixelsReachTheControlUnderThemAtEveryScale) {
  for (float contentScale : {1.f, 2.f})
    for (float scale : {0.75f, 1.f, 1.5f}) {
      const std::string where = "scale " + std::to_string(scale) + " content " + std::to_string(contentScale);
      EditorPlug plug;
      {
        EditorContent content(plug);
        ASSERT_NE(content.Graphics(), nullptr);
        content.SetContentScale(contentScale);
        const float k = scale * contentScale;  // pixels per design unit
        content.SetSizePx(static_cast<int>(200 * k), static_cast<int>(100 * k));
        int w = 0, h = 0;
        content.GetSizePx(w, h);
        EXPECT_EQ(w, static_cast<int>(200 * k)) << where;
        EXPECT_EQ(h, static_cast<int>(100 * k)) << where;

        // Left of the target: nobody hears it.
        content.OnPointerDown(95 * k, 60 * k, PointerButton::kLeft, {}, false);
        content.OnPointerUp(95 * k, 60 * k, PointerButton::kLeft, {});
        // On it: a press, a drag with Shift, a release; then a double click.
        content.OnPointerDown(120 * k, 60 * k, PointerButton::kLeft, {}, false);
        content.OnPointerMove(130 * k, 70 * k, PointerMods{true, false, false});
        content.OnPointerUp(130 * k, 70 * k, PointerButton::kLeft, {});
        content.OnPointerDown(110 * k, 75 * k, PointerButton::kLeft, {}, false);
        content.OnPointerUp(110 * k, 75 * k, PointerButton::kLeft, {});
        content.OnPointerDown(110 * k, 75 * k, PointerButton::kLeft, {}, true);
        content.OnPointerUp(110 * k, 75 * k, PointerButton::kLeft, {});
        content.OnPointerDown(139 * k, 51 * k, PointerButton::kRight, {}, false);
        content.OnPointerUp(139 * k, 51 * k, PointerButton::kRight, {});
      }
      EXPECT_EQ(plug.closes, 1) << where;
      EXPECT_EQ(plug.log, (std::vector<std::string>{"down 120,60 L", "drag 130,70 L S", "up 130,70 L", "down 110,75 L",
                                                    "up 110,75 L", "dbl 110,75 L", "up 110,75 L", "down 139,51 R",
                                                    "up 139,51 R"}))
          << where;
    }
}

TEST(EditorContent, WindowSizesFollowTheScaleConstraints) {
  EditorPlug plug;
  EditorContent content(plug);
  EXPECT_TRUE(content.CanResize());
  content.SetContentScale(2.f);
  struct Case {
    int w, h, wantW, wantH;
  } cases[] = {
      {400, 200, 400, 200},    // scale 1 at content scale 2
      {50, 20, 200, 100},      // below the smallest: scale 0.5
      {5000, 5000, 800, 400},  // above the largest: scale 2
      {600, 200, 400, 200},    // too wide: the height decides
  };
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    content.ConstrainSizePx(w, h);
    EXPECT_EQ(w, c.wantW) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.wantH) << c.w << "x" << c.h;
  }
  content.SetSizePx(600, 300);
  EXPECT_FLOAT_EQ(content.Graphics()->GetDrawScale(), 1.5f);
}

TEST(EditorContent, TheCornerResizerAsksTheViewForTheWindowSizeAndTheHostsAnswerDecides) {
  // How the host answers the view's request (IPlugFrame::resizeView): refuses,
  // grants without telling the size, or sizes the view (onSize, which reaches
  // SetSizePx) to the size asked for or to one of its own choosing.
  enum class Host { kRefuses, kGrantsSilently, kSizesAsAsked, kSizesItsOwnWay };
  struct Case {
    const char* name;
    Host host;
    float asked;              // the resizer's scale
    int askedW, askedH;       // 200 x 100 times that, rounded
    int hostW, hostH;         // what the host sizes the window to
    float scale;              // the editor's scale afterwards
    int sizeW, sizeH;         // the content's size afterwards
  };
  const Case cases[] = {
      {"refused", Host::kRefuses, 1.5f, 300, 150, 0, 0, 1.f, 200, 100},
      {"granted without onSize", Host::kGrantsSilently, 1.5f, 300, 150, 0, 0, 1.5f, 300, 150},
      {"sized as asked", Host::kSizesAsAsked, 1.5f, 300, 150, 300, 150, 1.5f, 300, 150},
      // The host's 240 x 120 is scale 1.2: the window has that size, so the editor takes it.
      {"sized its own way", Host::kSizesItsOwnWay, 1.234f, 247, 123, 240, 120, 1.2f, 240, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditorPlug plug;
    EditorContent content(plug);
    std::vector<std::pair<int, int>> asked;
    content.requestResize = [&](int w, int h) {
      asked.emplace_back(w, h);
      if (c.host == Host::kSizesAsAsked || c.host == Host::kSizesItsOwnWay) content.SetSizePx(c.hostW, c.hostH);
      return c.host != Host::kRefuses;
    };
    content.Graphics()->ResizeFromUI(c.asked);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(c.askedW, c.askedH));
    EXPECT_FLOAT_EQ(content.Graphics()->GetDrawScale(), c.scale);
    int w = 0, h = 0;
    content.GetSizePx(w, h);
    EXPECT_EQ(w, c.sizeW);
    EXPECT_EQ(h, c.sizeH);
  }
}

TEST(EditorContent, APlugInWithoutAnEditorShowsAnEmptyWindow) {
  fw::test::TestPlug plug;
  EditorContent content(plug);
  EXPECT_EQ(content.Graphics(), nullptr);
  EXPECT_FALSE(content.CanResize());
  EXPECT_FALSE(content.OnFrame());
  content.OnPointerDown(1, 1, PointerButton::kLeft, {}, false);
}

}  // namespace
