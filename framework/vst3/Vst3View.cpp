#include "Vst3View.h"

#include <cstring>

#if SMTG_OS_WINDOWS
#include "framework/plug/WinApi.h"
#endif

namespace fw::vst3 {

using namespace Steinberg;

#if SMTG_OS_WINDOWS
namespace {
// The frame timer's callback: the timer's id is the view it belongs to.
void CALLBACK OnFrameTimer(HWND, UINT, UINT_PTR id, DWORD) { reinterpret_cast<EditorView*>(id)->RunFrame(); }
}  // namespace
#endif

EditorView::EditorView(FUnknown* owner, ViewContentFactory factory, std::function<void(FUnknown*)> onAttached,
                       std::function<void()> onClose)
    : mOwner(owner), mFactory(std::move(factory)), mOnAttached(std::move(onAttached)), mOnClose(std::move(onClose)) {
  if (mOwner) mOwner->addRef();
}

EditorView::~EditorView() {
  Close();
  if (mFrame) mFrame->release();
  if (mOwner) mOwner->release();
}

tresult PLUGIN_API EditorView::queryInterface(const TUID queriedIid, void** obj) {
  if (!obj) return kInvalidArgument;
  void* found = nullptr;
  if (FUnknownPrivate::iidEqual(queriedIid, FUnknown::iid) || FUnknownPrivate::iidEqual(queriedIid, IPlugView::iid)) {
    found = static_cast<IPlugView*>(this);
  } else if (FUnknownPrivate::iidEqual(queriedIid, IPlugViewContentScaleSupport::iid)) {
    found = static_cast<IPlugViewContentScaleSupport*>(this);
#if SMTG_OS_LINUX
  } else if (FUnknownPrivate::iidEqual(queriedIid, Linux::ITimerHandler::iid)) {
    found = static_cast<Linux::ITimerHandler*>(this);
#endif
  }
  *obj = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API EditorView::addRef() { return mRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 PLUGIN_API EditorView::release() {
  const uint32 remaining = mRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

tresult PLUGIN_API EditorView::isPlatformTypeSupported(FIDString type) {
#if SMTG_OS_LINUX
  if (type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0) return kResultTrue;
#elif SMTG_OS_WINDOWS
  if (type && std::strcmp(type, kPlatformTypeHWND) == 0) return kResultTrue;
#else
  (void)type;
#endif
  return kResultFalse;
}

bool EditorView::OpenWindow(void* parent) {
  if (!mContent) mContent = mFactory ? mFactory() : nullptr;
  if (!mContent) return false;
  mContent->SetContentScale(mContentScale);
  mContent->requestResize = [this](int w, int h) { return ResizeFromEditor(w, h); };
  int w = 0, h = 0;
  mContent->GetSizePx(w, h);
  mWindow = std::make_unique<platform::EmbeddedWindow>(reinterpret_cast<uintptr_t>(parent), w, h, *mContent);
  if (!mWindow->IsOpen()) {
    mWindow.reset();
    return false;
  }
  return true;
}

tresult PLUGIN_API EditorView::attached(void* parent, FIDString type) {
  if (!parent || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  if (mWindow) return kResultFalse;  // attached already
#if SMTG_OS_LINUX
  // Events and frames come from the host's run loop; a host that offers none
  // cannot drive the window.
  Linux::IRunLoop* runLoop = nullptr;
  if (!mFrame || mFrame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&runLoop)) != kResultOk ||
      !runLoop)
    return kResultFalse;
  if (!OpenWindow(parent)) {
    runLoop->release();
    return kResultFalse;
  }
  if (runLoop->registerTimer(this, kFrameIntervalMs) != kResultOk) {
    mWindow.reset();
    runLoop->release();
    return kResultFalse;
  }
  mRunLoop = runLoop;
  if (mOnAttached) mOnAttached(runLoop);
  return kResultOk;
#elif SMTG_OS_WINDOWS
  if (!OpenWindow(parent)) return kResultFalse;
  // The timer belongs to the editor's window, so it ends with it at the latest.
  const HWND window = reinterpret_cast<HWND>(mWindow->NativeHandle());
  if (SetTimer(window, reinterpret_cast<UINT_PTR>(this), kFrameIntervalMs, OnFrameTimer) == 0) {
    mWindow.reset();
    return kResultFalse;
  }
  mTimerWindow = reinterpret_cast<uintptr_t>(window);
  if (mOnAttached) mOnAttached(nullptr);
  return kResultOk;
#else
  return kResultFalse;
#endif
}

tresult PLUGIN_API EditorView::removed() {
  Close();
  return kResultOk;
}

void EditorView::Close() {
#if SMTG_OS_LINUX
  if (mRunLoop) {
    mRunLoop->unregisterTimer(this);
    mRunLoop->release();
    mRunLoop = nullptr;
  }
#elif SMTG_OS_WINDOWS
  if (mTimerWindow) {
    KillTimer(reinterpret_cast<HWND>(mTimerWindow), reinterpret_cast<UINT_PTR>(this));
    mTimerWindow = 0;
  }
#endif
  const bool wasOpen = mWindow != nullptr || mContent != nullptr;
  mWindow.reset();
  mContent.reset();
  if (wasOpen && mOnClose) mOnClose();
}

tresult PLUGIN_API EditorView::onWheel(float) { return kResultFalse; }
tresult PLUGIN_API EditorView::onKeyDown(char16, int16, int16) { return kResultFalse; }
tresult PLUGIN_API EditorView::onKeyUp(char16, int16, int16) { return kResultFalse; }
tresult PLUGIN_API EditorView::onFocus(TBool) { return kResultOk; }

tresult PLUGIN_API EditorView::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  if (!mContent) mContent = mFactory ? mFactory() : nullptr;
  if (!mContent) return kResultFalse;
  mContent->SetContentScale(mContentScale);
  int w = 0, h = 0;
  mContent->GetSizePx(w, h);
  *size = ViewRect(0, 0, w, h);
  return kResultOk;
}

tresult PLUGIN_API EditorView::onSize(ViewRect* newSize) {
  if (!newSize) return kInvalidArgument;
  if (!mContent) return kResultFalse;
  int w = newSize->getWidth(), h = newSize->getHeight();
  mContent->ConstrainSizePx(w, h);
  mContent->SetSizePx(w, h);
  if (mWindow) {
    mWindow->SetSize(w, h);
    mResizeRedraws = kResizeRedrawFrames;
  }
  return kResultOk;
}

tresult PLUGIN_API EditorView::setFrame(IPlugFrame* frame) {
  if (frame) frame->addRef();
  if (mFrame) mFrame->release();
  mFrame = frame;
  return kResultOk;
}

tresult PLUGIN_API EditorView::canResize() { return mContent && mContent->CanResize() ? kResultTrue : kResultFalse; }

tresult PLUGIN_API EditorView::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  if (!mContent) return kResultFalse;
  int w = rect->getWidth(), h = rect->getHeight();
  mContent->ConstrainSizePx(w, h);
  rect->right = rect->left + w;
  rect->bottom = rect->top + h;
  return kResultTrue;
}

tresult PLUGIN_API EditorView::setContentScaleFactor(ScaleFactor factor) {
  if (!(factor > 0.f) || factor > 8.f) return kInvalidArgument;
  mContentScale = factor;
  if (!mContent) return kResultOk;
  mContent->SetContentScale(factor);
  if (mWindow) {
    int w = 0, h = 0;
    mContent->GetSizePx(w, h);
    ResizeFromEditor(w, h);
  }
  return kResultOk;
}

bool EditorView::ResizeFromEditor(int width, int height) {
  if (!mFrame || !mContent) return false;
  ViewRect rect(0, 0, width, height);
  // The host answers with onSize, which resizes the editor and the window.
  return mFrame->resizeView(this, &rect) == kResultOk;
}

void EditorView::RunFrame() {
  if (!mWindow || !mContent || mInFrame) return;
  mInFrame = true;
  const bool changed = mContent->OnFrame();
  if (changed || mResizeRedraws > 0) {
    if (mResizeRedraws > 0) --mResizeRedraws;
    mWindow->Repaint();
  }
  mWindow->Idle();
  mInFrame = false;
}

#if SMTG_OS_LINUX
void PLUGIN_API EditorView::onTimer() { RunFrame(); }
#endif

}  // namespace fw::vst3
