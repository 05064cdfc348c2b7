// Headless OpenGL through EGL's surfaceless platform (see OffscreenCanvas.h).
#include "framework/graphics/offscreen/OffscreenCanvas.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/graphics/FileBytes.h"
#include "framework/graphics/nanovg/FillRule.h"
#define NANOVG_GL2 1
#include "nanovg_gl.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace fw::offscreen {

namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

std::string EglError(const char* what) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(eglGetError()));
  return std::string(what) + " failed (EGL error " + hex + ")";
}

}  // namespace

OffscreenCanvas::~OffscreenCanvas() { Destroy(); }

void OffscreenCanvas::Destroy() {
  auto display = static_cast<EGLDisplay>(display_);
  if (vg_) {
    eglMakeCurrent(display, static_cast<EGLSurface>(surface_), static_cast<EGLSurface>(surface_),
                   static_cast<EGLContext>(context_));
    nvgDeleteGL2(vg_);
    vg_ = nullptr;
  }
  if (display) {
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display, static_cast<EGLContext>(context_));
    if (surface_) eglDestroySurface(display, static_cast<EGLSurface>(surface_));
  }
  // The display stays initialised: other canvases of the process may use it.
  context_ = surface_ = display_ = config_ = nullptr;
  width_ = height_ = 0;
}

bool OffscreenCanvas::Create(int width, int height, std::string* error) {
  Destroy();
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
    return Fail(error, "canvas size out of range: " + std::to_string(width) + "x" + std::to_string(height));
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return Fail(error, "EGL has no eglGetPlatformDisplayEXT (install libegl-mesa0)");
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
    return Fail(error, EglError("surfaceless EGL display (install libegl-mesa0 and libgl1-mesa-dri)"));
  display_ = display;
  if (!eglBindAPI(EGL_OPENGL_API)) return Fail(error, EglError("eglBindAPI(OpenGL)"));
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                  EGL_STENCIL_SIZE, 8, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttribs, &config, 1, &count) || count < 1)
    return Fail(error, EglError("choosing an RGBA8 + stencil pbuffer configuration"));
  config_ = config;
  const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
  if (surface == EGL_NO_SURFACE) return Fail(error, EglError("eglCreatePbufferSurface"));
  surface_ = surface;
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) return Fail(error, EglError("eglCreateContext"));
  context_ = context;
  if (!eglMakeCurrent(display, surface, surface, context)) return Fail(error, EglError("eglMakeCurrent"));
  vg_ = nvgCreateGL2(fw::nvg::kContextFlags);
  if (vg_ == nullptr) return Fail(error, "NanoVG could not set up its OpenGL 2 renderer");
  width_ = width;
  height_ = height;
  return true;
}

bool OffscreenCanvas::Resize(int width, int height, std::string* error) {
  if (!vg_) return Fail(error, "no canvas to resize");
  if (width <= 0 || height <= 0) return Fail(error, "canvas size must be positive");
  auto display = static_cast<EGLDisplay>(display_);
  const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, static_cast<EGLConfig>(config_), surfaceAttribs);
  if (surface == EGL_NO_SURFACE) return Fail(error, EglError("eglCreatePbufferSurface"));
  if (!eglMakeCurrent(display, surface, surface, static_cast<EGLContext>(context_))) {
    eglDestroySurface(display, surface);
    return Fail(error, EglError("eglMakeCurrent"));
  }
  eglDestroySurface(display, static_cast<EGLSurface>(surface_));
  surface_ = surface;
  width_ = width;
  height_ = height;
  return true;
}

void OffscreenCanvas::BeginFrame(bool clearStencil) {
  eglMakeCurrent(static_cast<EGLDisplay>(display_), static_cast<EGLSurface>(surface_),
                 static_cast<EGLSurface>(surface_), static_cast<EGLContext>(context_));
  glViewport(0, 0, width_, height_);
  glClearColor(0, 0, 0, 0);
  glClearStencil(0);
  glClear(clearStencil ? GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : GL_COLOR_BUFFER_BIT);
  nvgBeginFrame(vg_, static_cast<float>(width_), static_cast<float>(height_), 1.f);
}

void OffscreenCanvas::EndFrame() {
  nvgEndFrame(vg_);
  glFinish();
}

std::vector<std::uint8_t> OffscreenCanvas::ReadPremultiplied() const {
  const std::size_t row = static_cast<std::size_t>(width_) * 4;
  std::vector<std::uint8_t> flipped(row * static_cast<std::size_t>(height_));
  if (flipped.empty()) return flipped;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, flipped.data());
  std::vector<std::uint8_t> out(flipped.size());
  for (int y = 0; y < height_; ++y)
    std::memcpy(&out[static_cast<std::size_t>(y) * row], &flipped[static_cast<std::size_t>(height_ - 1 - y) * row], row);
  return out;
}

std::vector<std::uint8_t> OffscreenCanvas::ReadStraight() const {
  std::vector<std::uint8_t> px = ReadPremultiplied();
  Unpremultiply(px);
  return px;
}

void Unpremultiply(std::vector<std::uint8_t>& rgba) {
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
    const int a = rgba[i + 3];
    if (a == 0) {
      rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
    } else if (a < 255) {
      for (int c = 0; c < 3; ++c) rgba[i + c] = static_cast<std::uint8_t>(std::min(255, (rgba[i + c] * 255 + a / 2) / a));
    }
  }
}

void Premultiply(std::vector<std::uint8_t>& rgba) {
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
    const int a = rgba[i + 3];
    for (int c = 0; c < 3; ++c) rgba[i + c] = static_cast<std::uint8_t>((rgba[i + c] * a + 127) / 255);
  }
}

namespace {
void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::string*>(context);
  out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}
}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba, std::string* error) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
    return Fail(error, "no picture to write");
  std::string bytes;
  if (!stbi_write_png_to_func(AppendBytes, &bytes, width, height, 4, rgba.data(), width * 4))
    return Fail(error, "PNG encoding failed");
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Fail(error, "cannot write " + path);
  return true;
}

}  // namespace fw::offscreen
