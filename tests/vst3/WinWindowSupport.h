// The host's side of an editor view on Windows for the tests run under wine:
// a top-level window to attach views to, the main thread's message loop, the
// host's frame (resizeView answers with onSize), a check that this process can
// draw with OpenGL at all, and a read-back of what a view's window drew.
#pragma once

#include "framework/plug/WinApi.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "HostSupport.h"
#include "pluginterfaces/gui/iplugview.h"

namespace vst3test {

// Runs the message loop for ms milliseconds, as a host's main thread does.
inline void Pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(2);
  }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The host's frame around a view; resizeView answers with onSize within the
// view's constraints, as hosts do.
class Frame final : public Counted<IPlugFrame> {
public:
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
    ++resizes;
    if (view->checkSizeConstraint(newSize) != kResultTrue) return kResultFalse;
    return view->onSize(newSize);
  }
  int resizes = 0;
};
#pragma GCC diagnostic pop

// A top-level window of the host, without a frame (its client area is the
// whole window), destroyed with the object.
class HostWindow {
public:
  HostWindow(int width, int height) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"VbTestHost";
    RegisterClassW(&wc);  // fails harmlessly when registered already
    mWindow = CreateWindowExW(0, L"VbTestHost", L"host", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, width,
                              height, nullptr, nullptr, instance, nullptr);
  }
  ~HostWindow() {
    if (mWindow) DestroyWindow(mWindow);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return mWindow; }
  int ChildWindows() const {
    int n = 0;
    for (HWND c = GetWindow(mWindow, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
  }
  // The view's window: the first child.
  HWND FirstChild() const { return GetWindow(mWindow, GW_CHILD); }

private:
  HWND mWindow = nullptr;
};

// Whether this process can draw with OpenGL at all (wine needs an X server
// with GLX for it); empty when it can, else what failed. Uses a window of its
// own, since a window's pixel format can be set once only.
inline std::string OpenGlProblem() {
  HostWindow probe(64, 64);
  if (!probe.Handle()) return "CreateWindowExW failed";
  HDC dc = GetDC(probe.Handle());
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  std::string problem;
  const int format = ChoosePixelFormat(dc, &pfd);
  HGLRC rc = nullptr;
  if (format == 0) {
    problem = "ChoosePixelFormat found no OpenGL pixel format";
  } else if (!SetPixelFormat(dc, format, &pfd)) {
    problem = "SetPixelFormat failed";
  } else if (!(rc = wglCreateContext(dc))) {
    problem = "wglCreateContext failed";
  }
  if (rc) wglDeleteContext(rc);
  ReleaseDC(probe.Handle(), dc);
  return problem;
}

// The skip message for a process without OpenGL windows.
inline std::string NoOpenGlMessage(const std::string& problem) {
  const char* display = std::getenv("DISPLAY");
  return "no windows with OpenGL under wine (" + problem + "; DISPLAY=" + (display ? display : "unset") +
         "): wine needs an X server, run through tests/vst3/with-xvfb.sh as CTest does";
}

// What a window's OpenGL drawable holds, 0xRRGGBB per pixel, rows from the top.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;

  bool Empty() const { return rgb.empty(); }
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xDEADBEEF;
    return rgb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

// The last frame the window's owner rendered: read with a context of our own
// made current on the window (whose pixel format its owner set), from the back
// buffer, which Mesa keeps after the swap. Wine shows that frame through the X
// server, which a Windows program cannot read back; GDI sees none of it.
// Empty when the window has no OpenGL pixel format.
inline Picture ReadWindow(HWND window) {
  Picture p;
  RECT client = {};
  if (!window || !GetClientRect(window, &client)) return p;
  const int w = client.right - client.left, h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return p;
  HDC dc = GetDC(window);
  HGLRC rc = wglCreateContext(dc);
  HDC previousDc = wglGetCurrentDC();
  HGLRC previousRc = wglGetCurrentContext();
  if (rc && wglMakeCurrent(dc, rc)) {
    std::vector<unsigned char> bytes(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    if (glGetError() == GL_NO_ERROR) {
      p.width = w;
      p.height = h;
      p.rgb.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          // OpenGL's rows run from the bottom.
          const unsigned char* px = &bytes[(static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) + x) * 4];
          p.rgb[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
              static_cast<uint32_t>(px[0]) << 16 | static_cast<uint32_t>(px[1]) << 8 | px[2];
        }
    }
    wglMakeCurrent(previousDc, previousRc);
  }
  if (rc) wglDeleteContext(rc);
  ReleaseDC(window, dc);
  return p;
}

}  // namespace vst3test
