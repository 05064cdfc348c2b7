// The editor view as a Linux host uses it: created by the binding, embedded
// in a real X11 window of a private Xvfb server, driven by the host's run
// loop, drawn through OpenGL (Mesa's software renderer), clicked through the
// X server, resized, closed. The content is a small test drawing, so what is
// checked is the view and the window layer, not the editor's look.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HostSupport.h"
#include "framework/vst3/Vst3Component.h"
#include "nanovg.h"
#include "tests/support/XvfbDisplay.h"
// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

// The OpenGL driver keeps a few allocations for the life of its X connection
// and is unloaded with it, so the exit-time leak report would name memory of
// an unknown module. Our own objects are counted instead: every cycle below
// checks that the editor content was destroyed.
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __lsan_is_turned_off() { return 1; }
#endif

namespace vst3test {
namespace {

// 400 x 300 at scale 1: red, with a green square from (100, 100) to (200, 200).
constexpr int kWidth = 400, kHeight = 300;

struct ContentLog {
  int live = 0;
  int made = 0;
  std::vector<std::string> events;
  int lastWidth = 0, lastHeight = 0;
};

class TestContent final : public fw::vst3::IViewContent {
public:
  explicit TestContent(ContentLog& log) : mLog(log) {
    ++mLog.live;
    ++mLog.made;
  }
  ~TestContent() override { --mLog.live; }

  void GetSizePx(int& w, int& h) const override {
    w = static_cast<int>(kWidth * mScale * mContentScale + 0.5f);
    h = static_cast<int>(kHeight * mScale * mContentScale + 0.5f);
  }
  void SetContentScale(float f) override { mContentScale = f; }
  bool CanResize() const override { return true; }
  void ConstrainSizePx(int& w, int& h) const override {
    // Keeps the aspect ratio; scales 0.5 to 2.
    float s = std::min(w / (kWidth * mContentScale), h / (kHeight * mContentScale));
    s = std::clamp(s, 0.5f, 2.f);
    w = static_cast<int>(kWidth * s * mContentScale + 0.5f);
    h = static_cast<int>(kHeight * s * mContentScale + 0.5f);
  }
  void SetSizePx(int w, int) override { mScale = w / (kWidth * mContentScale); }
  bool OnFrame() override { return true; }

  void OnDraw(NVGcontext* vg, int w, int h) override {
    mLog.lastWidth = w;
    mLog.lastHeight = h;
    const float s = mScale * mContentScale;
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, static_cast<float>(w), static_cast<float>(h));
    nvgFillColor(vg, nvgRGB(255, 0, 0));
    nvgFill(vg);
    nvgBeginPath(vg);
    nvgRect(vg, 100 * s, 100 * s, 100 * s, 100 * s);
    nvgFillColor(vg, nvgRGB(0, 255, 0));
    nvgFill(vg);
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
  float mScale = 1.f, mContentScale = 1.f;
};

// A plug-in without parameters that counts its idle ticks.
class IdlePlug final : public fw::IPlugBase {
public:
  IdlePlug() : fw::IPlugBase(fw::InstanceInfo{}, MakeConfig()) {}
  void OnIdle() override { ++idles; }
  void OnUIClose() override { ++closes; }
  int idles = 0;
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
// The host's run loop: timers are fired by Pump(), as a host's event loop would.
class RunLoop : public Linux::IRunLoop {
public:
  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override { return kResultOk; }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultOk; }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) override {
    timers.push_back({handler, ms});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
    for (auto it = timers.begin(); it != timers.end(); ++it)
      if (it->handler == handler) {
        timers.erase(it);
        return kResultOk;
      }
    return kResultFalse;
  }
  void FireAll() {
    const auto copy = timers;
    for (const auto& t : copy) t.handler->onTimer();
  }
  struct Timer {
    Linux::ITimerHandler* handler;
    Linux::TimerInterval ms;
  };
  std::vector<Timer> timers;
};

// The host's frame around the view, with the run loop; resizeView answers
// with onSize as hosts do.
class Frame final : public IPlugFrame, public RunLoop {
public:
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
    ++resizes;
    if (view->checkSizeConstraint(newSize) != kResultTrue) return kResultFalse;
    return view->onSize(newSize);
  }
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (FUnknownPrivate::iidEqual(queried, IPlugFrame::iid) || FUnknownPrivate::iidEqual(queried, FUnknown::iid)) {
      *obj = static_cast<IPlugFrame*>(this);
    } else if (FUnknownPrivate::iidEqual(queried, Linux::IRunLoop::iid)) {
      *obj = static_cast<Linux::IRunLoop*>(this);
    } else {
      *obj = nullptr;
      return kNoInterface;
    }
    ++refs;
    return kResultOk;
  }
  uint32 PLUGIN_API addRef() override { return static_cast<uint32>(++refs); }
  uint32 PLUGIN_API release() override { return static_cast<uint32>(--refs); }
  int refs = 1;
  int resizes = 0;
};

// A host context that offers its run loop.
class HostContext final : public RunLoop {
public:
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (FUnknownPrivate::iidEqual(queried, Linux::IRunLoop::iid)) {
      *obj = static_cast<Linux::IRunLoop*>(this);
      ++refs;
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return static_cast<uint32>(++refs); }
  uint32 PLUGIN_API release() override { return static_cast<uint32>(--refs); }
  int refs = 1;
};
#pragma GCC diagnostic pop

class ViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Ok()) << xvfb.Error();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1000, 800, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    plug = new IdlePlug;
    component = new fw::vst3::SingleComponent(std::unique_ptr<fw::IPlugBase>(plug),
                                              [this] { return std::make_unique<TestContent>(log); });
  }
  void TearDown() override {
    if (component) {
      EXPECT_EQ(component->release(), 0u);
    }
    if (display) {
      XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
  }

  // Runs the host's loop for a while: timers fire, the server catches up.
  void Pump(RunLoop& loop, int rounds = 10) {
    for (int i = 0; i < rounds; ++i) {
      loop.FireAll();
      XSync(display, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // The colour at (x, y) of the view's own window, as 0xRRGGBB.
  unsigned long PixelAt(IPlugView* view, int x, int y) {
    const auto* ev = static_cast<fw::vst3::EditorView*>(view);
    const Window w = static_cast<Window>(ev->Window()->NativeHandle());
    XImage* img = XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xDEADBEEF;
    const unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }

  // A real click through the X server at (x, y) of the view's window.
  void Click(IPlugView* view, int x, int y) {
    const auto* ev = static_cast<fw::vst3::EditorView*>(view);
    const Window w = static_cast<Window>(ev->Window()->NativeHandle());
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(display, w, DefaultRootWindow(display), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
  }

  IPlugView* CreateView() {
    IEditController* controller = component;
    return controller->createView(ViewType::kEditor);
  }

  vbtest::XvfbDisplay xvfb;
  Display* display = nullptr;
  Window parent = 0;
  ContentLog log;
  IdlePlug* plug = nullptr;
  fw::vst3::SingleComponent* component = nullptr;
};

TEST_F(ViewTest, OpensDrawsTakesAClickAndCloses) {
  IPlugView* view = CreateView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  Frame frame;
  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), kWidth);
  EXPECT_EQ(size.getHeight(), kHeight);
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_EQ(frame.timers.size(), 2u) << "the 30 fps frame and, with no run loop in the host context, the idle tick";
  Pump(frame);

  const auto* ev = static_cast<fw::vst3::EditorView*>(view);
  EXPECT_GT(ev->Window()->FramesDrawn(), 0);
  EXPECT_EQ(log.lastWidth, kWidth);
  EXPECT_EQ(PixelAt(view, 20, 20), 0xFF0000ul) << "the background";
  EXPECT_EQ(PixelAt(view, 150, 150), 0x00FF00ul) << "the square";
  EXPECT_GT(plug->idles, 0) << "the idle tick runs while the editor is open";

  Click(view, 150, 120);
  Pump(frame);
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0], "down 150,120 left");
  EXPECT_EQ(log.events[1], "up 150,120 left");
  Click(view, 151, 121);
  Pump(frame);
  ASSERT_EQ(log.events.size(), 4u);
  EXPECT_EQ(log.events[2], "down 151,121 left double") << "a second press soon after, at nearly the same place";

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(frame.timers.empty()) << "every timer is unregistered when the view closes";
  EXPECT_EQ(log.live, 0) << "the editor is dropped";
  EXPECT_EQ(view->setFrame(nullptr), kResultOk);
  EXPECT_EQ(view->release(), 0u);
  EXPECT_EQ(frame.refs, 1) << "every reference to the frame was given back";
}

TEST_F(ViewTest, ResizesThroughTheHostWithinTheConstraintsAndFollowsTheContentScale) {
  IPlugView* view = CreateView();
  ASSERT_NE(view, nullptr);
  Frame frame;
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->canResize(), kResultTrue);

  struct Case {
    int w, h, expectW, expectH;
  } cases[] = {{800, 600, 800, 600}, {800, 900, 800, 600}, {100, 100, 200, 150}, {4000, 4000, 800, 600}};
  for (const Case& c : cases) {
    ViewRect r(0, 0, c.w, c.h);
    ASSERT_EQ(view->checkSizeConstraint(&r), kResultTrue);
    EXPECT_EQ(r.getWidth(), c.expectW) << c.w << "x" << c.h;
    EXPECT_EQ(r.getHeight(), c.expectH) << c.w << "x" << c.h;
  }

  ViewRect big(0, 0, 600, 450);
  ASSERT_EQ(view->onSize(&big), kResultOk);
  Pump(frame);
  EXPECT_EQ(log.lastWidth, 600);
  EXPECT_EQ(PixelAt(view, 225, 225), 0x00FF00ul) << "the square at scale 1.5";
  EXPECT_EQ(PixelAt(view, 140, 140), 0xFF0000ul) << "outside the scaled square";

  // The host's content scale: the view asks the host for the new size.
  auto* scale = static_cast<IPlugViewContentScaleSupport*>(static_cast<fw::vst3::EditorView*>(view));
  const int before = frame.resizes;
  EXPECT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(frame.resizes, before + 1);
  EXPECT_EQ(scale->setContentScaleFactor(0.0f), kInvalidArgument);

  view->removed();
  view->setFrame(nullptr);
  EXPECT_EQ(view->release(), 0u);
}

TEST_F(ViewTest, TwentyOpenAndCloseCyclesLeaveNothingBehind) {
  Frame frame;
  for (int i = 0; i < 20; ++i) {
    IPlugView* view = CreateView();
    ASSERT_NE(view, nullptr);
    view->setFrame(&frame);
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultOk) << i;
    Pump(frame, 2);
    view->removed();
    view->setFrame(nullptr);
    ASSERT_EQ(view->release(), 0u) << i;
    ASSERT_EQ(log.live, 0) << i;
  }
  EXPECT_EQ(log.made, 20);
  EXPECT_EQ(frame.refs, 1);
  EXPECT_TRUE(frame.timers.empty());
  // Only the host's parent window is left under it.
  Window root = 0, up = 0, *children = nullptr;
  unsigned n = 0;
  ASSERT_TRUE(XQueryTree(display, parent, &root, &up, &children, &n));
  if (children) XFree(children);
  EXPECT_EQ(n, 0u);
}

TEST_F(ViewTest, TheIdleTickRunsFromTheHostContextWithoutAnEditor) {
  HostContext context;
  IEditController* controller = component;
  ASSERT_EQ(controller->initialize(&context), kResultOk);
  ASSERT_EQ(context.timers.size(), 1u);
  EXPECT_EQ(context.timers[0].ms, 20u);
  context.FireAll();
  context.FireAll();
  EXPECT_EQ(plug->idles, 2);

  // With the editor open the tick stays where it is: no second one on the frame.
  IPlugView* view = CreateView();
  Frame frame;
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(frame.timers.size(), 1u) << "only the frame timer";
  view->removed();
  view->setFrame(nullptr);
  view->release();
  EXPECT_EQ(context.timers.size(), 1u) << "closing the editor leaves the idle tick running";

  ASSERT_EQ(controller->terminate(), kResultOk);
  EXPECT_TRUE(context.timers.empty());
  EXPECT_EQ(context.refs, 1);
}

TEST_F(ViewTest, RefusesWhatItCannotShow) {
  IPlugView* view = CreateView();
  ASSERT_NE(view, nullptr);
  Frame frame;
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultFalse)
      << "no frame, so no run loop";
  view->setFrame(&frame);
  EXPECT_EQ(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeHWND), kResultFalse);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID), kResultFalse)
      << "attached already";
  view->removed();
  view->setFrame(nullptr);
  EXPECT_EQ(view->release(), 0u);

  IEditController* controller = component;
  EXPECT_EQ(controller->createView("other"), nullptr);
}

}  // namespace
}  // namespace vst3test
