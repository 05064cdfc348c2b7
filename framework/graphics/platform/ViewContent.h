// What a plug-in view shows: the editor, made when the view opens and dropped
// when it closes. Sizes are in pixels: the design size times the editor's
// scale times the host's content scale.
//
// Threads: the main thread.
#pragma once

#include <functional>

#include "EmbeddedWindow.h"

namespace fw::platform {

class IViewContent : public WindowClient {
public:
  virtual void GetSizePx(int& width, int& height) const = 0;
  // The host's content scale factor (1 = 100 %).
  virtual void SetContentScale(float factor) = 0;
  // Whether the user may resize the editor's window.
  virtual bool CanResize() const = 0;
  // Brings a proposed window size to the nearest one the editor allows.
  virtual void ConstrainSizePx(int& width, int& height) const = 0;
  // The window now has this size (already constrained); the editor scales to it.
  virtual void SetSizePx(int width, int height) = 0;
  // 30 times a second, before drawing: true when something must be redrawn.
  virtual bool OnFrame() = 0;
  // Set by the view: the editor asks for a new window size (its corner
  // resizer); false when the host refused.
  std::function<bool(int width, int height)> requestResize;
};

}  // namespace fw::platform
