// The plug-in's editor without a window: the page its layout builds for the
// active skin, the patch label following patch changes, the rebuild after a
// skin change at the next idle tick, and the control pointers dropped on close.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/graphics/EditorLifecycle.h"
#include "framework/graphics/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "plugin/VrelBazzit.h"
#include "plugin/patches.h"

namespace vrelbazzit {
namespace {

// The panel background (the first control) and the texts of the page.
struct Page {
  fw::IColor background;
  std::string title, label;
};

Page Read(const fw::IGraphics& g) {
  Page p;
  if (auto* panel = dynamic_cast<fw::IPanelControl*>(g.GetControl(0))) p.background = panel->GetPattern().GetStartColor();
  for (int i = 1; i < g.NControls(); ++i)
    if (auto* t = dynamic_cast<fw::ITextControl*>(g.GetControl(i))) (p.title.empty() ? p.title : p.label) = t->GetStr();
  return p;
}

TEST(PluginEditor, PageFollowsPatchesAndSkins) {
  VrelBazzit plug(fw::InstanceInfo{});
  plug.UseDefaultSkin();  // the built-in look, whatever a bundle would offer
  std::unique_ptr<fw::IGraphics> ui = fw::OpenEditor(plug);
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->Width(), 1200);
  EXPECT_EQ(ui->Height(), 900);
  EXPECT_EQ(ui->FPS(), 30);
  // Window sizes 400 x 300 to 3600 x 2700.
  EXPECT_FLOAT_EQ(ui->GetMinScale(), 1.f / 3.f);
  EXPECT_FLOAT_EQ(ui->GetMaxScale(), 3.f);
  ASSERT_NE(ui->GetCornerResizer(), nullptr);

  Page p = Read(*ui);
  EXPECT_EQ(p.background.ToColorCode(), 0x11171Eu) << "the built-in background";
  EXPECT_EQ(p.title, "VREL BAZZIT");
  EXPECT_EQ(p.label, "Init Vrels");

  plug.SelectFactoryPatch(1);
  EXPECT_EQ(Read(*ui).label, kFactoryNames[1]) << "the label control follows the patch";

  // A skin the user chose: the page is rebuilt at the next idle tick.
  SkinPack skin;
  skin.title = "OTHER";
  skin.colors[kSkinBackground] = 0x123456;
  plug.ActivateSkin(std::move(skin), "");
  EXPECT_EQ(Read(*ui).title, "VREL BAZZIT") << "not before the idle tick";
  plug.OnIdle();
  p = Read(*ui);
  EXPECT_EQ(p.background.ToColorCode(), 0x123456u);
  EXPECT_EQ(p.title, "OTHER");
  EXPECT_EQ(p.label, kFactoryNames[1]);
  plug.SelectFactoryPatch(2);
  EXPECT_EQ(Read(*ui).label, kFactoryNames[2]) << "the rebuilt label control is the one updated";

  fw::CloseEditor(plug, ui);
  EXPECT_EQ(plug.GetUI(), nullptr);
  plug.SelectFactoryPatch(3);  // no editor: nothing to update, nothing dangling
  plug.OnIdle();
}

}  // namespace
}  // namespace vrelbazzit
