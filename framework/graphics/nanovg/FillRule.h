// The even-odd fill rule for NanoVG fills drawn through vb_nanovg's OpenGL
// back end (see NanoVgGl.c). The rule is part of the composite state, so
// nvgSave/nvgRestore keep and restore it.
#pragma once

#include "nanovg.h"

namespace fw::nvg {

// Flags every NanoVG context of ours is created with: anti-aliased edges, and
// strokes drawn through the stencil so that a translucent stroke's overlaps
// are painted once.
inline constexpr int kContextFlags = 1 << 0 /* NVG_ANTIALIAS */ | 1 << 1 /* NVG_STENCIL_STROKES */;

// Whether NanoVG contexts created from now on draw each paint with a fragment
// program of its own (the default) or with NanoVG's single program; both
// paint the same pixels. Tests compare the two.
void SetShaderVariants(bool enabled);

// Following fills use the even-odd rule (true) or NanoVG's non-zero rule
// (false); both paint with ordinary source-over blending.
inline void SetEvenOddFill(NVGcontext* ctx, bool evenOdd) {
  nvgGlobalCompositeBlendFuncSeparate(ctx, NVG_ONE, NVG_ONE_MINUS_SRC_ALPHA,
                                      evenOdd ? NVG_SRC_ALPHA_SATURATE : NVG_ONE,
                                      NVG_ONE_MINUS_SRC_ALPHA);
}

}  // namespace fw::nvg
