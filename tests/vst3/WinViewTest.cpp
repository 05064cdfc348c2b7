// The editor view as a Windows host uses it, run under wine: created by the
// binding, attached to a window of the test's own ("HWND"), driven by window
// timers through the test's message loop, drawn through OpenGL (wine's WGL on
// Mesa, under the Xvfb server with-xvfb.sh starts), clicked through the
// window's messages, closed. The content is a small test drawing that reads
// back its own pixels, so what is checked is the view and the window layer,
// not the editor's look (WinEditorHostTest.cpp opens the plug-in's editor).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "WinWindowSupport.h"
#include "framework/graphics/nanovg/FillRule.h"
#include "framework/vst3/Vst3Component.h"
#include "nanovg.h"

namespace vst3test {
namespace {

// 400 x 300 at scale 1: red, a green square from (100, 100) to (200, 200), and
// a blue frame from (250, 50) to (350, 150) with a hole from (275, 75) to
// (325, 125), drawn as one even-odd path of two rectangles wound alike (the
// non-zero rule would fill the hole).
constexpr int kWidth = 400, kHeight = 300;

struct Probe {
  int x, y;
  unsigned rgb;  // what the drawing puts there, 0xRRGGBB
  const char* what;
};
constexpr Probe kProbes[] = {
    {20, 20, 0xFF0000, "the background"},
    {150, 150, 0x00FF00, "the square"},
    {99, 150, 0xFF0000, "left of the square"},
    {260, 60, 0x0000FF, "the frame"},
    {300, 100, 0xFF0000, "the even-odd hole"},
    {340, 140, 0x0000FF, "the frame's lower right"},
};

struct ContentLog {
  int live = 0;
  int made = 0;
  int draws = 0;
  int lastWidth = 0, lastHeight = 0;
  std::vector<std::string> events;
  // Where to read, and what the last frame drew there (read back from
  // OpenGL), 0xRRGGBB.
  std::vector<Probe> probes{std::begin(kProbes), std::end(kProbes)};
  std::vector<unsigned> read;
};

class TestContent final : public fw::vst3::IViewContent {
public:
  explicit TestContent(ContentLog& log) : mLog(log) {
    ++mLog.live;
    ++mLog.made;
  }
  ~TestContent() override { --mLog.live; }

  void GetSizePx(int& w, int& h) const override {
    w = static_cast<int>(kWidth * mScale + 0.5f);
    h = static_cast<int>(kHeight * mScale + 0.5f);
  }
  void SetContentScale(float) override {}
  bool CanResize() const override { return true; }
  // Keeps the aspect ratio; scales 0.5 to 2.
  void ConstrainSizePx(int& w, int& h) const override {
    const float s = std::clamp(std::min(w / float(kWidth), h / float(kHeight)), 0.5f, 2.f);
    w = static_cast<int>(kWidth * s + 0.5f);
    h = static_cast<int>(kHeight * s + 0.5f);
  }
  void SetSizePx(int w, int) override { mScale = w / float(kWidth); }
  bool OnFrame() override { return true; }

  void OnDraw(NVGcontext* vg, int w, int h) override {
    mLog.lastWidth = w;
    mLog.lastHeight = h;
    nvgSave(vg);
    nvgScale(vg, mScale, mScale);
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, kWidth, kHeight);
    nvgFillColor(vg, nvgRGB(255, 0, 0));
    nvgFill(vg);
    nvgBeginPath(vg);
    nvgRect(vg, 100, 100, 100, 100);
    nvgFillColor(vg, nvgRGB(0, 255, 0));
    nvgFill(vg);
    nvgSave(vg);
    fw::nvg::SetEvenOddFill(vg, true);
    nvgBeginPath(vg);
    nvgRect(vg, 250, 50, 100, 100);
    nvgRect(vg, 275, 75, 50, 50);
    nvgFillColor(vg, nvgRGB(0, 0, 255));
    nvgFill(vg);
    nvgRestore(vg);
    nvgRestore(vg);
    // Renders what was drawn so far into the back buffer, reads the probes,
    // and opens a new (empty) frame for the window's own end of frame.
    nvgEndFrame(vg);
    mLog.read.clear();
    for (const Probe& p : mLog.probes) {
      unsigned char px[4] = {};
      glReadPixels(p.x, h - 1 - p.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
      mLog.read.push_back(static_cast<unsigned>(px[0]) << 16 | static_cast<unsigned>(px[1]) << 8 | px[2]);
    }
    ++mLog.draws;
    nvgBeginFrame(vg, static_cast<float>(w), static_cast<float>(h), 1.f);
  }
  void OnPointerDown(float x, float y, fw::platform::PointerButton b, fw::platform::PointerMods m, bool dbl) override {
    Log("down", x, y, b, m, dbl);
  }
  void OnPointerUp(float x, float y, fw::platform::PointerButton b, fw::platform::PointerMods m) override {
    Log("up", x, y, b, m, false);
  }
  void OnPointerMove(float, float, fw::platform::PointerMods) override {}
  void OnPointerLeave() override {}
  void OnWheel(float, float, float, fw::platform::PointerMods) override {}

private:
  void Log(const char* what, float x, float y, fw::platform::PointerButton b, fw::platform::PointerMods m, bool dbl) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %.0f,%.0f %s%s%s", what, x, y,
                  b == fw::platform::PointerButton::kLeft ? "left" : "other", m.shift ? " shift" : "",
                  dbl ? " double" : "");
    mLog.events.push_back(buf);
  }

  ContentLog& mLog;
  float mScale = 1.f;
};

// A plug-in without parameters that counts its idle ticks. The fourth tick
// runs a message loop of its own for a while, as a modal dialog does; the
// ticks due meanwhile must not run inside it.
class IdlePlug final : public fw::IPlugBase {
public:
  IdlePlug() : fw::IPlugBase(fw::InstanceInfo{}, MakeConfig()) {}
  void OnIdle() override {
    ++idles;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (idles == 4) Pump(150);
    --depth;
  }
  void OnUIClose() override { ++closes; }
  int idles = 0;
  int depth = 0;
  int maxDepth = 0;
  int closes = 0;

private:
  static fw::Config MakeConfig() {
    fw::Config c;
    c.nParams = 0;
    c.channelIOStr = "0-2";
    return c;
  }
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The host's context: nothing to offer.
class HostContext final : public Counted<FUnknown> {};
#pragma GCC diagnostic pop

class WinViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string problem = OpenGlProblem(); !problem.empty()) GTEST_SKIP() << NoOpenGlMessage(problem);
    host = std::make_unique<HostWindow>(800, 600);
    parent = host->Handle();
    ASSERT_NE(parent, nullptr);
    plug = new IdlePlug;
    component = new fw::vst3::SingleComponent(std::unique_ptr<fw::IPlugBase>(plug),
                                              [this] { return std::make_unique<TestContent>(log); });
  }
  void TearDown() override {
    if (component) {
      EXPECT_EQ(component->release(), 0u);
    }
    host.reset();
    Pump(10);
  }

  IPlugView* CreateView() {
    IEditController* controller = component;
    return controller->createView(ViewType::kEditor);
  }
  static HWND ViewWindow(IPlugView* view) {
    return reinterpret_cast<HWND>(static_cast<fw::vst3::EditorView*>(view)->Window()->NativeHandle());
  }
  int ChildWindows() const { return host->ChildWindows(); }

  std::unique_ptr<HostWindow> host;
  HWND parent = nullptr;
  ContentLog log;
  IdlePlug* plug = nullptr;
  fw::vst3::SingleComponent* component = nullptr;
};

TEST_F(WinViewTest, OpensDrawsTakesAClickAndCloses) {
  IPlugView* view = CreateView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
  Frame frame;
  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), kWidth);
  EXPECT_EQ(size.getHeight(), kHeight);
  EXPECT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultFalse);
  ASSERT_EQ(view->attached(parent, kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(view->attached(parent, kPlatformTypeHWND), kResultFalse) << "attached already";
  const HWND window = ViewWindow(view);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), parent);
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, kWidth);
  EXPECT_EQ(client.bottom - client.top, kHeight);

  Pump(300);
  EXPECT_GE(log.draws, 3) << "the frame timer redraws about 30 times a second";
  ASSERT_EQ(log.read.size(), std::size(kProbes));
  for (size_t i = 0; i < std::size(kProbes); ++i)
    EXPECT_EQ(log.read[i], kProbes[i].rgb) << kProbes[i].what << " at " << kProbes[i].x << "," << kProbes[i].y
                                           << ": 0x" << std::hex << log.read[i];

  // A click as the system delivers it: through the window's own messages.
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 120));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(150, 120));
  Pump(100);
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0], "down 150,120 left");
  EXPECT_EQ(log.events[1], "up 150,120 left");

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_FALSE(IsWindow(window)) << "the editor's window is destroyed";
  EXPECT_EQ(log.live, 0) << "the editor is dropped";
  const int drawsAtClose = log.draws;
  Pump(100);
  EXPECT_EQ(log.draws, drawsAtClose) << "no frame after closing";
  EXPECT_EQ(view->setFrame(nullptr), kResultOk);
  EXPECT_EQ(view->release(), 0u);
  EXPECT_EQ(frame.RefCount(), 1u) << "every reference to the frame was given back";
}

TEST_F(WinViewTest, ResizesThroughTheHostWithinTheConstraints) {
  IPlugView* view = CreateView();
  ASSERT_NE(view, nullptr);
  Frame frame;
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(parent, kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(view->canResize(), kResultTrue);
  ViewRect asked(0, 0, 600, 900);
  ASSERT_EQ(view->checkSizeConstraint(&asked), kResultTrue);
  EXPECT_EQ(asked.getWidth(), 600);
  EXPECT_EQ(asked.getHeight(), 450);
  ASSERT_EQ(view->onSize(&asked), kResultOk);

  // At scale 1.5 the square covers (150, 150) to (300, 300).
  log.probes = {{225, 225, 0x00FF00, "the scaled square"},
                {140, 140, 0xFF0000, "outside the scaled square"},
                {590, 440, 0xFF0000, "the background's lower right corner"}};
  Pump(200);
  RECT client = {};
  GetClientRect(ViewWindow(view), &client);
  EXPECT_EQ(client.right - client.left, 600);
  EXPECT_EQ(client.bottom - client.top, 450);
  EXPECT_EQ(log.lastWidth, 600);
  EXPECT_EQ(log.lastHeight, 450);
  ASSERT_EQ(log.read.size(), log.probes.size());
  for (size_t i = 0; i < log.probes.size(); ++i)
    EXPECT_EQ(log.read[i], log.probes[i].rgb) << log.probes[i].what << ": 0x" << std::hex << log.read[i];

  view->removed();
  view->setFrame(nullptr);
  EXPECT_EQ(view->release(), 0u);
}

TEST_F(WinViewTest, TwentyOpenAndCloseCyclesLeaveNothingBehind) {
  Frame frame;
  for (int i = 0; i < 20; ++i) {
    IPlugView* view = CreateView();
    ASSERT_NE(view, nullptr);
    view->setFrame(&frame);
    ASSERT_EQ(view->attached(parent, kPlatformTypeHWND), kResultOk) << i;
    const int drawsBefore = log.draws;
    Pump(120);
    EXPECT_GT(log.draws, drawsBefore) << "cycle " << i << " drew";
    ASSERT_EQ(log.read.size(), std::size(kProbes));
    EXPECT_EQ(log.read[1], kProbes[1].rgb) << "cycle " << i << ": " << kProbes[1].what;
    view->removed();
    view->setFrame(nullptr);
    ASSERT_EQ(view->release(), 0u) << i;
    ASSERT_EQ(log.live, 0) << i;
  }
  EXPECT_EQ(log.made, 20);
  EXPECT_EQ(frame.RefCount(), 1u);
  EXPECT_EQ(ChildWindows(), 0) << "only the host's window is left";
}

TEST_F(WinViewTest, TheIdleTickRunsFromInitialiseWithoutAnEditorAndNeverInsideItself) {
  HostContext context;
  Pump(100);
  EXPECT_EQ(plug->idles, 0) << "no tick before initialize";
  IEditController* controller = component;
  ASSERT_EQ(controller->initialize(&context), kResultOk);
  Pump(400);
  EXPECT_GE(plug->idles, 6) << "20 ms ticks for 400 ms, one of them running 150 ms itself";
  EXPECT_EQ(plug->maxDepth, 1) << "a tick due while one runs a message loop is skipped";

  // Opening and closing the editor leaves the tick as it is.
  IPlugView* view = CreateView();
  Frame frame;
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(parent, kPlatformTypeHWND), kResultOk);
  Pump(100);
  view->removed();
  view->setFrame(nullptr);
  view->release();
  const int idlesAfterClose = plug->idles;
  Pump(100);
  EXPECT_GT(plug->idles, idlesAfterClose) << "closing the editor leaves the idle tick running";

  ASSERT_EQ(controller->terminate(), kResultOk);
  const int idlesAtTerminate = plug->idles;
  Pump(100);
  EXPECT_EQ(plug->idles, idlesAtTerminate) << "terminate stops the tick";
  EXPECT_EQ(context.RefCount(), 1u);
}

}  // namespace
}  // namespace vst3test
