// <windows.h> for the files that call the Win32 API, without what would
// collide with our own names: the rarely used parts of the API are left out
// (WIN32_LEAN_AND_MEAN), min and max stay the standard library's (NOMINMAX),
// and the A/W macros that share a name with a member of the graphics layer
// (IGraphics::DrawText, IGraphics::LoadBitmap, ...) are undefined, so the
// order of includes never matters. Code here calls the W functions by name.
// Include this instead of <windows.h>; elsewhere it is empty.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef DrawText
#undef LoadBitmap
#undef LoadImage
#undef CreateFont
#undef GetObject
#undef MessageBox
#endif
