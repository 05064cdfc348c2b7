#include "EditorLifecycle.h"

namespace fw {

std::unique_ptr<IGraphics> OpenEditor(IPlugBase& plug) {
  if (!plug.mMakeGraphicsFunc) return nullptr;
  std::unique_ptr<IGraphics> ui(plug.mMakeGraphicsFunc());
  if (!ui) return nullptr;
  if (plug.mLayoutFunc) plug.mLayoutFunc(ui.get());
  ui->SetAllControlsDirty();
  return ui;
}

void CloseEditor(IPlugBase& plug, std::unique_ptr<IGraphics>& ui) {
  if (!ui) return;
  plug.OnUIClose();
  ui.reset();
}

}  // namespace fw
