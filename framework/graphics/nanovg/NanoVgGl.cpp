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
 * the ordinary source-over factor.
 *
 * The back end's program calls are routed through ShaderVariants.inc, which
 * draws each paint with a fragment program of its own. Layer.inc keeps a
 * picture in an offscreen framebuffer (fw::nvg::Layer). */
#ifdef _WIN32
#include "WindowsGl.inc"
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#endif

#include "ShaderVariants.inc"
#include "Layer.inc"

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
#undef glShaderSource
#undef glLinkProgram
#undef glDeleteProgram
#undef glUseProgram
#undef glUniform1i
#undef glUniform2fv
#undef glUniform4fv
/* Each expands where the back end has its shader record (`shader`) or its
 * context (`gl`) at hand. */
#define glShaderSource(s, n, str, len) vbShaderSource(shader, s, n, str, len)
#define glLinkProgram(p) vbLinkProgram(shader, p)
#define glDeleteProgram(p) vbDeleteProgram(shader, p)
#define glUseProgram(p) vbUseProgram(&gl->shader, p)
#define glUniform1i(l, v) vbUniform1i(&gl->shader, l, v)
#define glUniform2fv(l, n, v) vbUniform2fv(&gl->shader, l, n, v)
#define glUniform4fv(l, n, v) vbUniform4fv(&gl->shader, l, n, v)
#define NANOVG_GL2_IMPLEMENTATION 1
#include "nanovg_gl.h"
}
