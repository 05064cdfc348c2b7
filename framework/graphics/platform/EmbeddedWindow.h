// An OpenGL window embedded in a host's window, drawn with NanoVG. It hides
// the windowing library (DGL, pugl, X11) from everything above it: the client
// sees pixel sizes, pointer positions in pixels and modifier flags only.
//
// Threads: everything, construction and destruction included, on the thread
// that owns the host's window (the main thread). Events are read and the
// window redrawn in Idle(), which the owner calls from the host's run loop
// (Linux) or a window timer (Windows; the messages of the window also reach it
// through the host's own message loop).
#pragma once

#include <cstdint>
#include <memory>

struct NVGcontext;

namespace fw::platform {

struct PointerMods {
  bool shift = false;
  bool control = false;
  bool alt = false;
};

enum class PointerButton { kLeft, kMiddle, kRight };

// What the window shows and whom it tells about the pointer. Positions are
// in pixels from the window's top-left corner.
class WindowClient {
public:
  virtual ~WindowClient() = default;
  // The OpenGL context is current and a NanoVG frame of widthPx x heightPx
  // pixels has begun; the client draws the whole window.
  virtual void OnDraw(NVGcontext* vg, int widthPx, int heightPx) = 0;
  // A press; doubleClick when it is the second press of the same button in
  // quick succession at nearly the same place.
  virtual void OnPointerDown(float x, float y, PointerButton button, PointerMods mods, bool doubleClick) = 0;
  virtual void OnPointerUp(float x, float y, PointerButton button, PointerMods mods) = 0;
  // Movement, with or without a button held.
  virtual void OnPointerMove(float x, float y, PointerMods mods) = 0;
  // The pointer left the window.
  virtual void OnPointerLeave() = 0;
  // Wheel steps, positive away from the user.
  virtual void OnWheel(float x, float y, float steps, PointerMods mods) = 0;
};

class EmbeddedWindow {
public:
  // Opens a widthPx x heightPx window inside parent (an X11 window id on
  // Linux, an HWND on Windows). The client outlives the window. Check
  // IsOpen(): without a display or an OpenGL context nothing is shown.
  EmbeddedWindow(uintptr_t parent, int widthPx, int heightPx, WindowClient& client);
  ~EmbeddedWindow();
  EmbeddedWindow(const EmbeddedWindow&) = delete;
  EmbeddedWindow& operator=(const EmbeddedWindow&) = delete;

  bool IsOpen() const;
  // The window's own native handle (an X11 window id or an HWND), 0 when not open.
  uintptr_t NativeHandle() const;

  // Reads the pending events and, when a redraw was asked for, draws.
  void Idle();
  // Asks for a redraw at the next Idle().
  void Repaint();
  void SetSize(int widthPx, int heightPx);

  // How many frames were drawn (tests and the preview tool use it).
  int FramesDrawn() const;

private:
  void SizeWidget(int widthPx, int heightPx);

  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

}  // namespace fw::platform
