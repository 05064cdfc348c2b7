/* NanoVG and its OpenGL 2 back end, compiled from Debian's dpf-source (as
 * C++ with C linkage, as DGL compiles them: DPF's copy relies on C++).
 *
 * The back end is included with two of its GL calls routed through this file,
 * which adds the even-odd fill rule that NanoVG lacks: NanoVG's stencil fill
 * counts windings (increment on front faces, decrement on back faces) and
 * covers where the count is not zero. For a fill marked even-odd the stencil
 * pass inverts instead, so after the triangle fan a pixel's stencil is
 * non-zero exactly when it was covered an odd number of times. The mark
 * travels with the draw call as an otherwise unused blend factor (source alpha
 * factor GL_SRC_ALPHA_SATURATE), which the blend call below translates back to
 * the ordinary source-over factor. */
#ifdef _WIN32
#include "WindowsGl.inc"
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#endif

static int vbEvenOddStencil = 0;

static void vbBlendFuncSeparate(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha) {
  vbEvenOddStencil = (srcAlpha == GL_SRC_ALPHA_SATURATE);
  if (vbEvenOddStencil) srcAlpha = GL_ONE;
  glBlendFuncSeparate(srcRgb, dstRgb, srcAlpha, dstAlpha);
}

static void vbStencilOpSeparate(GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass) {
  if (vbEvenOddStencil && (dppass == GL_INCR_WRAP || dppass == GL_DECR_WRAP)) dppass = GL_INVERT;
  glStencilOpSeparate(face, sfail, dpfail, dppass);
}

extern "C" {
#include "nanovg.c"

#undef glBlendFuncSeparate
#undef glStencilOpSeparate
#define glBlendFuncSeparate vbBlendFuncSeparate
#define glStencilOpSeparate vbStencilOpSeparate
#define NANOVG_GL2_IMPLEMENTATION 1
#include "nanovg_gl.h"
}
