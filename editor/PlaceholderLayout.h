// The editor's page until its layouts exist: the panel background in the
// skin's background colour, the skin's title and the patch label, a corner
// resizer, and the scale limits of the editor's window.
#pragma once

#include <string>

#include "framework/graphics/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "skins/SkinPack.h"

namespace vrelbazzit::editor {

// Where the page puts its pieces (design units of the 1200 x 900 editor).
inline const fw::IRECT kTitleRect{0.f, 60.f, 1200.f, 140.f};
inline const fw::IRECT kPatchLabelRect{300.f, 410.f, 900.f, 490.f};
inline constexpr float kTitleTextSize = 56.f;
inline constexpr float kPatchLabelTextSize = 36.f;

struct PlaceholderControls {
  fw::ITextControl* title = nullptr;
  fw::ITextControl* patchLabel = nullptr;
};

// Fills g (the editor's graphics context, empty) for the skin and the patch label.
PlaceholderControls LayoutPlaceholder(fw::IGraphics& g, const SkinPack& skin, const std::string& patchLabel);

}  // namespace vrelbazzit::editor
