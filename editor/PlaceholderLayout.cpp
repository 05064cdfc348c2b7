#include "PlaceholderLayout.h"

#include "plugin/Config.h"

namespace vrelbazzit::editor {

namespace {

fw::IColor SkinColor(const SkinPack& skin, SkinColorRole role) {
  return fw::IColor::FromColorCode(skin.colors[static_cast<std::size_t>(role)]);
}

}  // namespace

PlaceholderControls LayoutPlaceholder(fw::IGraphics& g, const SkinPack& skin, const std::string& patchLabel) {
  // The window may be scaled between the smallest and largest sizes the
  // plug-in declares (both keep the design's 4:3 shape).
  const fw::Config config = MakeConfig();
  g.SetScaleConstraints(static_cast<float>(config.plugMinWidth) / static_cast<float>(config.plugWidth),
                        static_cast<float>(config.plugMaxWidth) / static_cast<float>(config.plugWidth));
  g.LoadFont(fw::DEFAULT_FONT, "Roboto-Regular.ttf");

  g.AttachPanelBackground(SkinColor(skin, kSkinBackground));
  PlaceholderControls c;
  const fw::IColor text = SkinColor(skin, kSkinText);
  c.title = static_cast<fw::ITextControl*>(g.AttachControl(
      new fw::ITextControl(kTitleRect, skin.title.c_str(), fw::IText(kTitleTextSize, text), fw::COLOR_TRANSPARENT)));
  const fw::IColor labelColor = skin.oledText != 0 ? fw::IColor::FromColorCode(skin.oledText) : text;
  c.patchLabel = static_cast<fw::ITextControl*>(g.AttachControl(
      new fw::ITextControl(kPatchLabelRect, patchLabel.c_str(), fw::IText(kPatchLabelTextSize, labelColor),
                           SkinColor(skin, kSkinPanel))));
  g.AttachCornerResizer(fw::EUIResizerMode::Scale, false, SkinColor(skin, kSkinMuted).WithOpacity(0.5f),
                        SkinColor(skin, kSkinAccent), SkinColor(skin, kSkinAccent));
  return c;
}

}  // namespace vrelbazzit::editor
