#include "EmbeddedWindow.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdlib>

#include "Application.hpp"
#include "TopLevelWidget.hpp"
#include "Window.hpp"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include "framework/graphics/nanovg/FillRule.h"
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

// Whether an X display can be opened at all: without one, DGL cannot make a
// window and must not be asked to.
bool DisplayAvailable() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

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
    if (!mVg) mVg = nvgCreateGL2(fw::nvg::kContextFlags);
    if (!mVg) return;
    glViewport(0, 0, w, h);
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
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
  if (parent == 0 || widthPx <= 0 || heightPx <= 0 || !DisplayAvailable()) return;
  mImpl->app = std::make_unique<VbDgl::Application>(false);
  mImpl->window = std::make_unique<VbDgl::Window>(*mImpl->app, parent, static_cast<unsigned>(widthPx),
                                                  static_cast<unsigned>(heightPx), 1.0, false);
  if (mImpl->window->getNativeWindowHandle() == 0) {
    mImpl->window.reset();
    return;
  }
  mImpl->widget = std::make_unique<ClientWidget>(*mImpl->window, client);
  mImpl->widget->setSize(static_cast<unsigned>(widthPx), static_cast<unsigned>(heightPx));
  mImpl->window->repaint();
}

EmbeddedWindow::~EmbeddedWindow() {
  // The widget before its window, the window before its application.
  mImpl->widget.reset();
  mImpl->window.reset();
  mImpl->app.reset();
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
  mImpl->widget->setSize(static_cast<unsigned>(widthPx), static_cast<unsigned>(heightPx));
  mImpl->window->repaint();
}

int EmbeddedWindow::FramesDrawn() const { return mImpl->widget ? mImpl->widget->frames : 0; }

}  // namespace fw::platform
