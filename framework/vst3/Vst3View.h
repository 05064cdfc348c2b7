// The VST 3 editor view: embeds the editor's window in the host's window
// ("X11EmbedWindowID" on Linux, "HWND" on Windows) and drives it with no
// thread of its own: a 33 ms timer (the host's run loop on Linux, a timer of
// the editor's window on Windows) reads the window's events and redraws what
// changed, 30 frames a second. On Windows the host's message loop also
// delivers the window's messages (mouse, paint) to it directly.
//
// Threads: every call comes from the host's main thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "framework/graphics/platform/EmbeddedWindow.h"
#include "framework/graphics/platform/ViewContent.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace fw::vst3 {

using platform::IViewContent;
using ViewContentFactory = std::function<std::unique_ptr<IViewContent>()>;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class EditorView final : public Steinberg::IPlugView,
                         public Steinberg::IPlugViewContentScaleSupport
#if SMTG_OS_LINUX
    ,
                         public Steinberg::Linux::ITimerHandler
#endif
{
public:
  // Frames per second of the editor.
  static constexpr int kFrameIntervalMs = 33;
  // After the window was resized, this many frames redraw whether or not
  // the editor changed: the first frame drawn into a resized window's OpenGL
  // surface can be lost (under wine it is), which would leave the window
  // black until the editor next changes.
  static constexpr int kResizeRedrawFrames = 6;

  // owner (the edit controller) is kept alive as long as the view. onAttached
  // (may be empty) gets the host's run loop (an IRunLoop on Linux, null on
  // Windows) once the window is open; onClose (may be empty) runs after the
  // editor was dropped. The object starts with one reference.
  EditorView(Steinberg::FUnknown* owner, ViewContentFactory factory, std::function<void(Steinberg::FUnknown* runLoop)> onAttached,
             std::function<void()> onClose);
  EditorView(const EditorView&) = delete;
  EditorView& operator=(const EditorView&) = delete;

  // ---- FUnknown ----
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID queried, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  // ---- IPlugView ----
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API onWheel(float distance) override;
  Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                        Steinberg::int16 modifiers) override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  // ---- IPlugViewContentScaleSupport ----
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

#if SMTG_OS_LINUX
  // ---- ITimerHandler: one frame ----
  void PLUGIN_API onTimer() override;
#endif

  // One frame: reads the window's events and redraws when the editor asks.
  // A frame asked for while one runs (the window's event reading can deliver
  // the next timer message) is skipped.
  void RunFrame();

  // Tests: the open editor's window, null while not attached.
  platform::EmbeddedWindow* Window() const { return mWindow.get(); }

private:
  ~EditorView();
  void Close();
  bool ResizeFromEditor(int width, int height);
  // Makes the content (if getSize has not) and opens the window in parent.
  bool OpenWindow(void* parent);

  std::atomic<Steinberg::uint32> mRefCount{1};
  Steinberg::FUnknown* mOwner;
  ViewContentFactory mFactory;
  std::function<void(Steinberg::FUnknown*)> mOnAttached;
  std::function<void()> mOnClose;
  Steinberg::IPlugFrame* mFrame = nullptr;
  // Before attaching: made by getSize so that the host learns the size.
  std::unique_ptr<IViewContent> mContent;
  std::unique_ptr<platform::EmbeddedWindow> mWindow;
  float mContentScale = 1.f;
  bool mInFrame = false;
  int mResizeRedraws = 0;  // frames still to redraw after a resize
#if SMTG_OS_LINUX
  Steinberg::Linux::IRunLoop* mRunLoop = nullptr;
#elif SMTG_OS_WINDOWS
  // The window that holds the frame timer (the editor's own), 0 when none runs.
  uintptr_t mTimerWindow = 0;
#endif
};

#pragma GCC diagnostic pop

}  // namespace fw::vst3
