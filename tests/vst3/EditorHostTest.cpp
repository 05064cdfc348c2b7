// The plug-in's editor as a Linux host shows it: the built bundle loaded as a
// host loads it, its view embedded in an X11 window of a private Xvfb server
// and driven by the host's run loop, read back from the X server, dragged by
// its corner through the X server, closed and opened again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>
#include <vector>

#include "Host.h"
#include "pluginterfaces/gui/iplugview.h"
#include "tests/support/XvfbDisplay.h"
// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

// Under AddressSanitizer: the OpenGL driver that the editor's window loads
// keeps a few one-time allocations and is unloaded with the X connection, so
// the exit-time leak report would list them against an unknown module. The
// twenty-cycle test below measures growth itself instead (in builds without
// AddressSanitizer, whose quarantine keeps freed memory resident).
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __lsan_is_turned_off() { return 1; }
#endif

namespace vst3test {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

// The case skin (resources/Skins/VrelBazzitCase/skin.vbskin), which a new
// instance shows: background=#1B1A17, panel=#2A2824 (the patch label's box).
constexpr unsigned long kCaseBackground = 0x1B1A17;
constexpr unsigned long kCasePanel = 0x2A2824;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The host's frame with its run loop: timers fire in Pump(); resizeView
// answers with onSize within the view's constraints, as hosts do.
class Frame final : public IPlugFrame, public Linux::IRunLoop {
public:
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
    ++resizes;
    if (view->checkSizeConstraint(newSize) != kResultTrue) return kResultFalse;
    return view->onSize(newSize);
  }
  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override { return kResultOk; }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultOk; }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override {
    timers.push_back(handler);
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
    for (auto it = timers.begin(); it != timers.end(); ++it)
      if (*it == handler) {
        timers.erase(it);
        return kResultOk;
      }
    return kResultFalse;
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

  std::vector<Linux::ITimerHandler*> timers;
  int refs = 1;
  int resizes = 0;
};
#pragma GCC diagnostic pop

// Resident memory of this process in KiB.
long ResidentKiB() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * 4;
}

class EditorHostTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Ok()) << xvfb.Error();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1400, 1100, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    ASSERT_TRUE(instance.Ok());
  }
  void TearDown() override {
    if (display) {
      XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
  }

  // Opens the editor in the parent window.
  IPlugView* Open() {
    IPlugView* view = instance.controller->createView(ViewType::kEditor);
    if (!view) return nullptr;
    view->setFrame(&frame);
    if (view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID) != kResultOk) {
      view->setFrame(nullptr);
      view->release();
      return nullptr;
    }
    return view;
  }
  uint32 Close(IPlugView* view) {
    view->removed();
    view->setFrame(nullptr);
    return view->release();
  }

  void Pump(int rounds = 10) {
    for (int i = 0; i < rounds; ++i) {
      const auto copy = frame.timers;
      for (auto* t : copy) t->onTimer();
      XSync(display, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // The view's window: the one child of the parent.
  Window ViewWindow() {
    Window root = 0, up = 0, *children = nullptr;
    unsigned n = 0;
    Window w = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &n) && n == 1) w = children[0];
    if (children) XFree(children);
    return w;
  }
  unsigned long PixelAt(int x, int y) {
    XImage* img = XGetImage(display, ViewWindow(), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xDEADBEEF;
    const unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }
  void MoveTo(int x, int y) {
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(display, ViewWindow(), DefaultRootWindow(display), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
    XSync(display, False);
  }
  void Button(bool press) {
    XTestFakeButtonEvent(display, 1, press ? True : False, CurrentTime);
    XSync(display, False);
  }

  vbtest::XvfbDisplay xvfb;
  Display* display = nullptr;
  Window parent = 0;
  Instance instance;
  Frame frame;
};

TEST_F(EditorHostTest, ShowsTheSkinAndScalesWhenItsCornerIsDragged) {
  IPlugView* view = Open();
  ASSERT_NE(view, nullptr);
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 1200);
  EXPECT_EQ(size.getHeight(), 900);
  EXPECT_EQ(view->canResize(), kResultTrue);
  Pump();
  EXPECT_EQ(PixelAt(100, 300), kCaseBackground) << "the panel background";
  EXPECT_EQ(PixelAt(1100, 800), kCaseBackground) << "the panel background";
  EXPECT_EQ(PixelAt(304, 414), kCasePanel) << "the patch label's box";

  // The corner resizer, 20 units in the bottom-right corner: dragged from
  // (1190, 890) to (893, 668) the window shrinks to about three quarters.
  MoveTo(1190, 890);
  Pump(2);
  Button(true);
  Pump(2);
  for (int i = 1; i <= 4; ++i) {
    MoveTo(1190 - (1190 - 893) * i / 4, 890 - (890 - 668) * i / 4);
    Pump(2);
  }
  Button(false);
  Pump();
  EXPECT_GE(frame.resizes, 1) << "the resizer asked the host for a new size";
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_NEAR(size.getWidth(), 900, 3);
  EXPECT_NEAR(size.getHeight(), 675, 3);
  // Each side is rounded to whole pixels on its own: the shape is kept within a pixel.
  EXPECT_LE(std::abs(size.getWidth() * 3 - size.getHeight() * 4), 4) << "the design's shape is kept";
  EXPECT_EQ(PixelAt(75, 225), kCaseBackground) << "the background at the new scale";
  EXPECT_EQ(PixelAt(229, 311), kCasePanel) << "the label's box at about (304, 414) x 0.75";

  EXPECT_EQ(Close(view), 0u);
  EXPECT_EQ(frame.refs, 1);
  EXPECT_TRUE(frame.timers.empty());
}

TEST_F(EditorHostTest, TwentyOpenAndCloseCyclesLeaveNothingBehind) {
  auto cycle = [&](int i) {
    IPlugView* view = Open();
    ASSERT_NE(view, nullptr) << i;
    Pump(2);
    ASSERT_EQ(PixelAt(100, 300), kCaseBackground) << i;
    ASSERT_EQ(Close(view), 0u) << i;
  };
  for (int i = 0; i < 3; ++i) cycle(i);  // caches of Mesa and the X client settle
  const long before = ResidentKiB();
  for (int i = 0; i < 20; ++i) cycle(i);
  const long grown = ResidentKiB() - before;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // AddressSanitizer holds freed memory in its quarantine and ThreadSanitizer
  // grows its shadow memory: resident size says nothing there. The other
  // checks below still run; the growth is checked in the normal build.
  (void)grown;
#else
  // One editor holds a 1200 x 900 window and its font and textures, several
  // MiB; twenty kept would be far above this.
  EXPECT_LT(grown, 8 * 1024) << "resident memory grew by " << grown << " KiB over twenty cycles";
#endif
  EXPECT_EQ(ViewWindow(), 0ul) << "no window left under the host's";
  EXPECT_EQ(frame.refs, 1);
  EXPECT_TRUE(frame.timers.empty());
}

}  // namespace
}  // namespace vst3test
