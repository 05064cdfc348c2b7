#include "EmbeddedWindow.h"

#ifdef _WIN32
#include "framework/plug/WinApi.h"
#else
#include <X11/Xlib.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Application.hpp"
#include "TopLevelWidget.hpp"
#include "Window.hpp"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include "framework/graphics/nanovg/FillRule.h"
#include "framework/graphics/nanovg/GlFunctions.h"
#include "nanovg.h"
#define NANOVG_GL2 1
#include "nanovg_gl.h"

namespace fw::platform {

namespace {

// Two presses of one button count as a double click within this time and distance.
constexpr unsigned kDoubleClickMs = 400;
constexpr double kDoubleClickPixels = 4.0;

PointerMods ModsOf(unsigned mod) {
  PointerMods m;
  m.shift = (mod & VbDgl::kModifierShift) != 0;
  m.control = (mod & VbDgl::kModifierControl) != 0;
  m.alt = (mod & VbDgl::kModifierAlt) != 0;
  return m;
}

PointerButton ButtonOf(unsigned button) {
  switch (button) {
    case VbDgl::kMouseButtonRight: return PointerButton::kRight;
    case VbDgl::kMouseButtonMiddle: return PointerButton::kMiddle;
    default: return PointerButton::kLeft;
  }
}

#ifdef _WIN32
// Whether the parent is a window: DGL must not be asked to embed in anything else.
bool ParentUsable(uintptr_t parent) { return IsWindow(reinterpret_cast<HWND>(parent)) != FALSE; }

HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// The window class pugl registers for our windows: named after this module's
// address, so that two copies of the module loaded at once never share a class
// whose window procedure lives in the other one.
std::string WindowClassName() {
  char name[48];
  std::snprintf(name, sizeof name, "VbDgl-%p", static_cast<void*>(OwnModule()));
  return name;
}
#else
// Whether an X display can be opened at all: without one, DGL cannot make a
// window and must not be asked to.
bool ParentUsable(uintptr_t) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}
#endif

// The one widget of the window: forwards events and draws through NanoVG.
class ClientWidget final : public VbDgl::TopLevelWidget {
public:
  ClientWidget(VbDgl::Window& window, WindowClient& client) : TopLevelWidget(window), mClient(client) {}
  ~ClientWidget() override {
    if (mVg) nvgDeleteGL2(mVg);
  }

  int frames = 0;

protected:
  void onDisplay() override {
    const int w = static_cast<int>(getWidth());
    const int h = static_cast<int>(getHeight());
    if (w <= 0 || h <= 0) return;
    if (!mVg && fw::nvg::LoadGlFunctions()) mVg = nvgCreateGL2(fw::nvg::kContextFlags);
    if (!mVg) return;
    glViewport(0, 0, w, h);
    // The colour only: the content paints through its own layers, and clears
    // the stencil itself when it draws here directly.
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    nvgBeginFrame(mVg, static_cast<float>(w), static_cast<float>(h), 1.f);
    mClient.OnDraw(mVg, w, h);
    nvgEndFrame(mVg);
    ++frames;
  }

  bool onMouse(const MouseEvent& ev) override {
    const float x = static_cast<float>(ev.pos.getX());
    const float y = static_cast<float>(ev.pos.getY());
    const PointerButton button = ButtonOf(ev.button);
    if (ev.press) {
      const bool dbl = mLastPressValid && ev.button == mLastButton && ev.time - mLastPressTime <= kDoubleClickMs &&
                       std::fabs(ev.pos.getX() - mLastX) <= kDoubleClickPixels &&
                       std::fabs(ev.pos.getY() - mLastY) <= kDoubleClickPixels;
      // A third press starts over rather than counting as another double click.
      mLastPressValid = !dbl;
      mLastButton = ev.button;
      mLastPressTime = ev.time;
      mLastX = ev.pos.getX();
      mLastY = ev.pos.getY();
      mClient.OnPointerDown(x, y, button, ModsOf(ev.mod), dbl);
    } else {
      mClient.OnPointerUp(x, y, button, ModsOf(ev.mod));
    }
    return true;
  }

  bool onMotion(const MotionEvent& ev) override {
    const double x = ev.pos.getX(), y = ev.pos.getY();
    // DGL reports no crossing events; a position outside the window (seen
    // while a button is held) stands for leaving it.
    const bool inside = x >= 0 && y >= 0 && x < getWidth() && y < getHeight();
    mClient.OnPointerMove(static_cast<float>(x), static_cast<float>(y), ModsOf(ev.mod));
    if (mInside && !inside) mClient.OnPointerLeave();
    mInside = inside;
    return true;
  }

  bool onScroll(const ScrollEvent& ev) override {
    mClient.OnWheel(static_cast<float>(ev.pos.getX()), static_cast<float>(ev.pos.getY()),
                    static_cast<float>(ev.delta.getY()), ModsOf(ev.mod));
    return true;
  }

private:
  WindowClient& mClient;
  NVGcontext* mVg = nullptr;
  bool mLastPressValid = false;
  unsigned mLastButton = 0;
  unsigned mLastPressTime = 0;
  double mLastX = 0, mLastY = 0;
  bool mInside = false;
};

}  // namespace

struct EmbeddedWindow::Impl {
  std::unique_ptr<VbDgl::Application> app;
  std::unique_ptr<VbDgl::Window> window;
  std::unique_ptr<ClientWidget> widget;
};

EmbeddedWindow::EmbeddedWindow(uintptr_t parent, int widthPx, int heightPx, WindowClient& client)
    : mImpl(std::make_unique<Impl>()) {
  if (parent == 0 || widthPx <= 0 || heightPx <= 0 || !ParentUsable(parent)) return;
  mImpl->app = std::make_unique<VbDgl::Application>(false);
#ifdef _WIN32
  mImpl->app->setClassName(WindowClassName().c_str());
#endif
  mImpl->window = std::make_unique<VbDgl::Window>(*mImpl->app, parent, static_cast<unsigned>(widthPx),
                                                  static_cast<unsigned>(heightPx), 1.0, false);
  if (mImpl->window->getNativeWindowHandle() == 0) {
    mImpl->window.reset();
    return;
  }
  mImpl->widget = std::make_unique<ClientWidget>(*mImpl->window, client);
  SizeWidget(widthPx, heightPx);
  mImpl->window->repaint();
}

EmbeddedWindow::~EmbeddedWindow() {
  // The widget before its window, the window before its application.
  mImpl->widget.reset();
  mImpl->window.reset();
  const bool hadApp = mImpl->app != nullptr;
  mImpl->app.reset();
#ifdef _WIN32
  // pugl leaves its window class registered; the last window of this module
  // removes it (while another is open, this fails and leaves it in place).
  if (hadApp) {
    const std::string name = WindowClassName();
    const std::wstring wide(name.begin(), name.end());
    UnregisterClassW(wide.c_str(), OwnModule());
  }
#else
  (void)hadApp;
#endif
}

bool EmbeddedWindow::IsOpen() const { return mImpl->widget != nullptr; }

uintptr_t EmbeddedWindow::NativeHandle() const {
  return mImpl->window ? mImpl->window->getNativeWindowHandle() : 0;
}

void EmbeddedWindow::Idle() {
  if (mImpl->app) mImpl->app->idle();
}

void EmbeddedWindow::Repaint() {
  if (mImpl->window) mImpl->window->repaint();
}

void EmbeddedWindow::SetSize(int widthPx, int heightPx) {
  if (!mImpl->window || widthPx <= 0 || heightPx <= 0) return;
  mImpl->window->setSize(static_cast<unsigned>(widthPx), static_cast<unsigned>(heightPx));
  SizeWidget(widthPx, heightPx);
  mImpl->window->repaint();
}

void EmbeddedWindow::SizeWidget(int widthPx, int heightPx) {
  const auto w = static_cast<unsigned>(widthPx), h = static_cast<unsigned>(heightPx);
  // Sizes the window, which passes its new size on to the widget when the
  // window system reports it.
  mImpl->widget->setSize(w, h);
#ifdef _WIN32
  // Windows reports nothing for a size the window has already (the one it was
  // made with), so the widget is given the size itself.
  mImpl->widget->VbDgl::Widget::setSize(w, h);
#endif
}

int EmbeddedWindow::FramesDrawn() const { return mImpl->widget ? mImpl->widget->frames : 0; }

}  // namespace fw::platform
