// The OpenGL functions beyond 1.1 that vb_nanovg's back end calls. On Windows
// they must be loaded (wglGetProcAddress) while the context that will draw is
// current, before nvgCreateGL2; elsewhere the GL library exports them.
#pragma once

namespace fw::nvg {

#ifdef _WIN32
// False when the current context lacks one of them (then NanoVG must not be
// created on it).
bool LoadGlFunctions();
#else
inline bool LoadGlFunctions() { return true; }
#endif

}  // namespace fw::nvg
