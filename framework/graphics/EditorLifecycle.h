// Opening and closing the editor for a plug-in, as a view does when the host
// shows or hides the editor window (main thread).
#pragma once

#include <memory>

#include "IGraphics.h"

namespace fw {

// The plug-in's make-graphics function creates the graphics context (which
// registers itself as the plug-in's editor) and its layout function fills it;
// every control is drawn at the first frame. Null when the plug-in has no
// make-graphics function or it returns none.
std::unique_ptr<IGraphics> OpenEditor(IPlugBase& plug);

// The plug-in's OnUIClose runs while the controls still exist (so it can drop
// its pointers to them), then the context and its controls are destroyed.
void CloseEditor(IPlugBase& plug, std::unique_ptr<IGraphics>& ui);

}  // namespace fw
