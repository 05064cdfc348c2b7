// A picture the size of the window kept in an offscreen framebuffer of the
// current OpenGL context, so that what rarely changes (the editor's panel and
// faceplate) is drawn once and copied into each frame (a framebuffer blit, no
// shading) instead of being drawn again.
//
// Every call needs the layer's context current. The layer's objects belong to
// that context: Release() deletes them while it is current, Abandon() forgets
// them when the context is already gone.
#pragma once

namespace fw::nvg {

class Layer {
public:
  Layer() = default;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  // Redirects drawing into the layer, made or resized to width x height, until
  // End(). With `clear` (and always when it was just made) the layer is
  // cleared with the context's current clear colour and stencil value;
  // without, it keeps its picture for the caller to draw over. False, with
  // nothing changed, when the context cannot (no framebuffer objects, a
  // multisampled target, an incomplete framebuffer): the caller then draws
  // directly.
  bool Begin(int width, int height, bool clear = true);
  // Returns drawing to the framebuffer and viewport that were bound at Begin.
  void End();
  // Copies the picture to the bound framebuffer's corner (0, 0), replacing
  // what is there. False when there is no picture to copy.
  bool Blit();
  // Copies the rectangle (x, y, w, h) of the picture (pixels, top-left
  // origin) to the same place of the bound framebuffer.
  bool BlitRect(int x, int y, int w, int h);

  bool Valid() const { return mFramebuffer != 0; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

  void Release();
  void Abandon();

private:
  unsigned mFramebuffer = 0, mColor = 0, mStencil = 0;
  int mWidth = 0, mHeight = 0;
  int mPreviousDraw = 0, mPreviousRead = 0;
  int mPreviousViewport[4] = {0, 0, 0, 0};
};

// Clears the rectangle (x, y, w, h) (pixels, top-left origin) of the bound
// framebuffer, targetHeight pixels high, with the current clear colour and
// stencil value.
void ClearRect(int x, int y, int w, int h, int targetHeight);

// Whether graphics contexts keep their background in a layer (the default) or
// draw it every frame; both paint the same pixels. Tests compare the two.
void SetLayers(bool enabled);
bool LayersEnabled();

}  // namespace fw::nvg
