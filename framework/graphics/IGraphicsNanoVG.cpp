#include "IGraphicsNanoVG.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "FileBytes.h"
#include "framework/graphics/font/FontFile.h"
#include "framework/graphics/image/Png.h"
#include "framework/graphics/nanovg/FillRule.h"
#include "framework/graphics/platform/Dialogs.h"
#include "framework/graphics/svg/Draw.h"
#include "nanovg.h"

namespace fw {

namespace {

constexpr int kNoHandle = -1;      // not made in the current context yet
constexpr int kBrokenHandle = -2;  // the context refused it; not tried again

float Radians(float degrees) { return degrees * 3.14159265358979f / 180.f; }

NVGcolor ToNvg(const IColor& c) {
  return nvgRGBA(static_cast<unsigned char>(std::clamp(c.R, 0, 255)), static_cast<unsigned char>(std::clamp(c.G, 0, 255)),
                 static_cast<unsigned char>(std::clamp(c.B, 0, 255)), static_cast<unsigned char>(std::clamp(c.A, 0, 255)));
}

NVGpaint ToNvgPaint(NVGcontext* vg, const IPattern& p) {
  switch (p.mType) {
    case EPatternType::Linear:
      return nvgLinearGradient(vg, p.mX1, p.mY1, p.mX2, p.mY2, ToNvg(p.mColors[0]), ToNvg(p.mColors[1]));
    case EPatternType::Radial:
      return nvgRadialGradient(vg, p.mX1, p.mY1, 0.f, p.mX2, ToNvg(p.mColors[0]), ToNvg(p.mColors[1]));
    case EPatternType::Solid: break;
  }
  NVGpaint paint{};
  nvgTransformIdentity(paint.xform);
  paint.radius = 0.f;
  paint.feather = 1.f;
  paint.innerColor = paint.outerColor = ToNvg(p.mColors[0]);
  return paint;
}

bool HasFolder(const std::string& path) { return path.find_first_of("/\\") != std::string::npos; }

}  // namespace

struct IGraphicsNanoVG::Font {
  std::string id;
  std::unique_ptr<std::string> bytes;  // NanoVG reads the font from here, so it never moves
  int handle = kNoHandle;
};

struct IGraphicsNanoVG::Bitmap {
  image::Rgba8Image picture;
  int handle = kNoHandle;
};

struct IGraphicsNanoVG::SvgTextures {
  std::weak_ptr<const svg::Document> doc;
  std::unique_ptr<svg::GradientTextures> textures;
};

IGraphicsNanoVG::IGraphicsNanoVG(IPlugBase* delegate, int width, int height, int fps, float scale)
    : IGraphics(delegate, width, height, fps, scale) {}

// The context is its owner's: the textures and fonts in it go with it.
IGraphicsNanoVG::~IGraphicsNanoVG() = default;

// ---- Frames ---------------------------------------------------------------------------------

void IGraphicsNanoVG::UseContext(NVGcontext* vg) {
  if (vg == mLastVg) return;
  for (Font& f : mFonts) f.handle = kNoHandle;
  for (Bitmap& b : mBitmaps) b.handle = kNoHandle;
  for (SvgTextures& s : mSvgTextures) s.textures->Abandon();
  mLayer.Abandon();
  mFrame.Abandon();
  mLastVg = vg;
}

void IGraphicsNanoVG::Paint(NVGcontext* vg, int widthPx, int heightPx) {
  if (!vg || widthPx <= 0 || heightPx <= 0) return;
  UseContext(vg);
  for (Font& f : mFonts) {
    if (f.handle != kNoHandle) continue;
    const int h = nvgCreateFontMem(vg, f.id.c_str(), reinterpret_cast<unsigned char*>(f.bytes->data()),
                                   static_cast<int>(f.bytes->size()), 0);
    f.handle = h >= 0 ? h : kBrokenHandle;
  }
  // Gradient ramps of documents no control holds any more.
  mSvgTextures.erase(std::remove_if(mSvgTextures.begin(), mSvgTextures.end(),
                                    [](SvgTextures& s) {
                                      if (!s.doc.expired()) return false;
                                      s.textures->Release();
                                      return true;
                                    }),
                     mSvgTextures.end());
  mVg = vg;
  IRECT dirty;
  IsDirty(dirty);
  const bool layers = nvg::LayersEnabled();
  const int layered = layers ? NBackgroundLayerControls() : 0;
  const bool backgroundStale = layered > 0 && BackgroundLayerStale(layered, widthPx, heightPx);
  const bool frameStale = !mFrame.Valid() || mFrame.Width() != widthPx || mFrame.Height() != heightPx ||
                          mFrameScale != BaseScale() || backgroundStale;
  ClearDirtyMarks();
  if (!layers || !PaintThroughLayers(widthPx, heightPx, layered, backgroundStale, frameStale ? GetBounds() : dirty)) {
    // Drawn directly: neither layer shows anything current afterwards. The
    // target's stencil must start at zero for NanoVG's fills.
    mLayerEntries.clear();
    mFrame.Release();
    nvg::ClearRect(0, 0, widthPx, heightPx, heightPx);
    DrawRegion(0, 0, widthPx, heightPx, widthPx, heightPx, 0);
  }
  mVg = nullptr;
}

// Each pass is a NanoVG frame of its own: NanoVG draws at the end of a frame,
// into the framebuffer bound then. The caller's frame holds nothing yet when
// the first pass starts and is begun again, empty, after each.
template <typename DrawPass>
void IGraphicsNanoVG::RenderPass(int widthPx, int heightPx, DrawPass draw) {
  nvgCancelFrame(mVg);
  nvgBeginFrame(mVg, static_cast<float>(widthPx), static_cast<float>(heightPx), 1.f);
  draw();
  nvgEndFrame(mVg);
  nvgBeginFrame(mVg, static_cast<float>(widthPx), static_cast<float>(heightPx), 1.f);
}

bool IGraphicsNanoVG::PaintThroughLayers(int widthPx, int heightPx, int layered, bool backgroundStale,
                                         const IRECT& region) {
  // The background picture: drawn again only when its controls changed.
  if (layered > 0 && backgroundStale) {
    if (!mLayer.Begin(widthPx, heightPx)) return false;
    RenderPass(widthPx, heightPx, [&] { DrawRegion(0, 0, widthPx, heightPx, widthPx, heightPx, 0, layered, false); });
    mLayer.End();
    ++mLayerDraws;
  } else if (layered == 0 && mLayer.Valid()) {
    mLayer.Release();
    mLayerEntries.clear();
  }
  // The window's picture: only the region that changed is drawn again, from
  // whole pixels (so no edge is blended twice) with a pixel of margin for the
  // anti-aliased edges of shapes that touch a control's bounds.
  if (!mFrame.Begin(widthPx, heightPx, false)) return false;
  const float k = BaseScale();
  const int x0 = std::clamp(static_cast<int>(std::floor(region.L * k)) - 1, 0, widthPx);
  const int y0 = std::clamp(static_cast<int>(std::floor(region.T * k)) - 1, 0, heightPx);
  const int x1 = std::clamp(static_cast<int>(std::ceil(region.R * k)) + 1, 0, widthPx);
  const int y1 = std::clamp(static_cast<int>(std::ceil(region.B * k)) + 1, 0, heightPx);
  if (!region.Empty() && x1 > x0 && y1 > y0) {
    if (layered > 0) mLayer.BlitRect(x0, y0, x1 - x0, y1 - y0);
    else nvg::ClearRect(x0, y0, x1 - x0, y1 - y0, heightPx);
    RenderPass(widthPx, heightPx, [&] { DrawRegion(x0, y0, x1, y1, widthPx, heightPx, layered); });
    ++mFrameDraws;
  }
  mFrame.End();
  mFrameScale = k;
  mFrame.Blit();
  return true;
}

void IGraphicsNanoVG::DrawRegion(int x0, int y0, int x1, int y1, int widthPx, int heightPx, int first, int end,
                                 bool overlays) {
  const float k = BaseScale();
  const bool whole = x0 == 0 && y0 == 0 && x1 == widthPx && y1 == heightPx;
  const IRECT area = whole ? GetBounds()
                           : IRECT(static_cast<float>(x0) / k, static_cast<float>(y0) / k, static_cast<float>(x1) / k,
                                   static_cast<float>(y1) / k);
  nvgSave(mVg);
  nvgScissor(mVg, static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0),
             static_cast<float>(y1 - y0));
  DrawControls(area, first, end < 0 ? NControls() : end, overlays);
  nvgRestore(mVg);
}

bool IGraphicsNanoVG::BackgroundLayerStale(int count, int widthPx, int heightPx) {
  bool stale = !mLayer.Valid() || mLayer.Width() != widthPx || mLayer.Height() != heightPx ||
               mLayerScale != BaseScale() || mLayerFontsChanged ||
               mLayerEntries.size() != static_cast<std::size_t>(count);
  mLayerEntries.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const IControl* c = GetControl(i);
    LayerEntry& e = mLayerEntries[static_cast<std::size_t>(i)];
    if (c->IsDirty() || e.control != c || e.hidden != c->IsHidden() || !(e.rect == c->GetRECT())) stale = true;
    e = LayerEntry{c, c->IsHidden(), c->GetRECT()};
  }
  mLayerScale = BaseScale();
  mLayerFontsChanged = false;
  return stale;
}

void IGraphicsNanoVG::RequestResize(float scale, int windowWidth, int windowHeight) {
  if (mResizeHandler)
    mResizeHandler(scale, windowWidth, windowHeight);
  else
    IGraphics::RequestResize(scale, windowWidth, windowHeight);
}

// ---- Resources ------------------------------------------------------------------------------

bool IGraphicsNanoVG::LoadFont(const char* fontID, const char* fileName) {
  if (!fontID || !*fontID || !fileName || !*fileName) return false;
  for (const Font& f : mFonts)
    if (f.id == fontID) return true;
  std::string path = fileName;
  if (!HasFolder(path)) path = font::FindFontFile(path, font::DefaultFontDirs());
  auto bytes = std::make_unique<std::string>();
  std::string error;
  if (path.empty()) {
    std::fprintf(stderr, "Vrel Bazzit: font %s not found; text is drawn without it\n", fileName);
    return false;
  }
  if (!font::ReadFontFile(path, *bytes, error)) {
    std::fprintf(stderr, "Vrel Bazzit: %s; text is drawn without it\n", error.c_str());
    return false;
  }
  mFonts.push_back(Font{fontID, std::move(bytes), kNoHandle});
  mLayerFontsChanged = true;  // text in the layer may have been drawn without it
  return true;
}

ISVG IGraphicsNanoVG::LoadSVG(const char* fileName, const char* /*units*/, float /*dpi*/) {
  // Skin art is measured in px; other units and the dpi do not apply.
  if (!fileName || !*fileName) return {};
  std::string error;
  auto doc = std::make_shared<svg::Document>(svg::Document::Load(fileName, &error));
  if (!doc->Valid() || !(doc->Width() > 0.f) || !(doc->Height() > 0.f)) {
    std::fprintf(stderr, "Vrel Bazzit: SVG %s not used: %s\n", fileName,
                 error.empty() ? "it has no size" : error.c_str());
    return {};
  }
  mSvgTextures.push_back(SvgTextures{doc, std::make_unique<svg::GradientTextures>()});
  const float w = doc->Width(), h = doc->Height();
  return ISVG(std::move(doc), w, h);
}

IBitmap IGraphicsNanoVG::LoadBitmap(const char* fileName, int nStates, bool framesAreHorizontal, int targetScale) {
  if (!fileName || !*fileName) return {};
  std::string error;
  image::Rgba8Image picture = image::LoadPng(fileName, &error);
  if (!picture.Valid()) {
    std::fprintf(stderr, "Vrel Bazzit: image %s not used: %s\n", fileName, error.c_str());
    return {};
  }
  const int w = picture.width, h = picture.height;
  mBitmaps.push_back(Bitmap{std::move(picture), kNoHandle});
  return IBitmap(static_cast<int>(mBitmaps.size()), w, h, targetScale > 0 ? static_cast<float>(targetScale) : 1.f,
                 nStates, framesAreHorizontal, fileName);
}

// ---- Paths ----------------------------------------------------------------------------------

void IGraphicsNanoVG::PathClear() {
  if (mVg) nvgBeginPath(mVg);
}

void IGraphicsNanoVG::PathClose() {
  if (mVg) nvgClosePath(mVg);
}

void IGraphicsNanoVG::PathMoveTo(float x, float y) {
  if (mVg) nvgMoveTo(mVg, x, y);
}

void IGraphicsNanoVG::PathLineTo(float x, float y) {
  if (mVg) nvgLineTo(mVg, x, y);
}

void IGraphicsNanoVG::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) {
  if (mVg) nvgBezierTo(mVg, c1x, c1y, c2x, c2y, x2, y2);
}

void IGraphicsNanoVG::PathQuadraticBezierTo(float cx, float cy, float x2, float y2) {
  if (mVg) nvgQuadTo(mVg, cx, cy, x2, y2);
}

// Our angles start at 12 o'clock; NanoVG's at 3 o'clock.
void IGraphicsNanoVG::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) {
  if (mVg)
    nvgArc(mVg, cx, cy, r, Radians(a1 - 90.f), Radians(a2 - 90.f), winding == EWinding::CW ? NVG_CW : NVG_CCW);
}

void IGraphicsNanoVG::ApplyBlend(const IBlend* blend, bool evenOdd) {
  nvgGlobalAlpha(mVg, blend ? std::clamp(blend->mWeight, 0.f, 1.f) : 1.f);
  if (evenOdd) {
    // The even-odd rule lives in the blend state: other blend modes do not combine with it.
    nvg::SetEvenOddFill(mVg, true);
    return;
  }
  int op = NVG_SOURCE_OVER;
  switch (blend ? blend->mMethod : EBlend::Default) {
    case EBlend::Default: break;
    case EBlend::Clobber: op = NVG_COPY; break;  // the core gives SourceIn the same value
    case EBlend::SourceOut: op = NVG_SOURCE_OUT; break;
    case EBlend::SourceAtop: op = NVG_ATOP; break;
    case EBlend::DestOver: op = NVG_DESTINATION_OVER; break;
    case EBlend::DestIn: op = NVG_DESTINATION_IN; break;
    case EBlend::DestOut: op = NVG_DESTINATION_OUT; break;
    case EBlend::DestAtop: op = NVG_DESTINATION_ATOP; break;
    case EBlend::Add: op = NVG_LIGHTER; break;
    case EBlend::XOR: op = NVG_XOR; break;
  }
  nvgGlobalCompositeOperation(mVg, op);
}

void IGraphicsNanoVG::PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) {
  if (!mVg) return;
  const bool evenOdd = options.mFillRule == EFillRule::EvenOdd;
  ApplyBlend(blend, evenOdd);
  nvgFillPaint(mVg, ToNvgPaint(mVg, pattern));
  nvgFill(mVg);
  if (evenOdd) nvg::SetEvenOddFill(mVg, false);
  if (!options.mPreserve) nvgBeginPath(mVg);
}

void IGraphicsNanoVG::PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                                 const IBlend* blend) {
  if (!mVg) return;
  ApplyBlend(blend, false);
  nvgStrokeWidth(mVg, thickness);
  nvgLineCap(mVg, options.mCap == ELineCap::Round ? NVG_ROUND : options.mCap == ELineCap::Square ? NVG_SQUARE : NVG_BUTT);
  nvgLineJoin(mVg, options.mJoin == ELineJoin::Round ? NVG_ROUND : options.mJoin == ELineJoin::Bevel ? NVG_BEVEL : NVG_MITER);
  nvgMiterLimit(mVg, options.mMiterLimit);
  nvgStrokePaint(mVg, ToNvgPaint(mVg, pattern));
  nvgStroke(mVg);
  if (!options.mPreserve) nvgBeginPath(mVg);
}

// ---- Transform and clip ---------------------------------------------------------------------

// Pixels = base scale x matrix x design units, so vectors and text are drawn at
// the window's resolution.
void IGraphicsNanoVG::PathTransformSetMatrix(const IMatrix& m) {
  if (!mVg) return;
  nvgResetTransform(mVg);
  nvgScale(mVg, BaseScale(), BaseScale());
  nvgTransform(mVg, static_cast<float>(m.mXX), static_cast<float>(m.mYX), static_cast<float>(m.mXY),
               static_cast<float>(m.mYY), static_cast<float>(m.mTX), static_cast<float>(m.mTY));
}

void IGraphicsNanoVG::SetClipRegion(const IRECT& r) {
  if (!mVg) return;
  if (r.Empty()) {
    nvgResetScissor(mVg);
    return;
  }
  nvgResetTransform(mVg);
  nvgScale(mVg, BaseScale(), BaseScale());
  nvgScissor(mVg, r.L, r.T, r.W(), r.H());
  PathTransformSetMatrix(GetTransform());
}

// ---- Text -----------------------------------------------------------------------------------

int IGraphicsNanoVG::FontHandle(const std::string& fontID) const {
  int fallback = -1;
  for (const Font& f : mFonts) {
    if (f.handle < 0) continue;
    if (f.id == fontID) return f.handle;
    if (fallback < 0) fallback = f.handle;
  }
  return fallback;
}

void IGraphicsNanoVG::DoDrawText(const IText& text, const char* str, const IRECT& b, const IBlend* blend) {
  if (!mVg) return;
  const int font = FontHandle(text.mFont);
  if (font < 0) return;  // no font at all: text is skipped
  int align = 0;
  float x = b.L, y = b.T;
  switch (text.mAlign) {
    case EAlign::Near: align |= NVG_ALIGN_LEFT; x = b.L; break;
    case EAlign::Center: align |= NVG_ALIGN_CENTER; x = b.MW(); break;
    case EAlign::Far: align |= NVG_ALIGN_RIGHT; x = b.R; break;
  }
  switch (text.mVAlign) {
    case EVAlign::Top: align |= NVG_ALIGN_TOP; y = b.T; break;
    case EVAlign::Middle: align |= NVG_ALIGN_MIDDLE; y = b.MH(); break;
    case EVAlign::Bottom: align |= NVG_ALIGN_BOTTOM; y = b.B; break;
  }
  ApplyBlend(blend, false);
  nvgFontFaceId(mVg, font);
  nvgFontSize(mVg, text.mSize);
  nvgTextAlign(mVg, align);
  nvgFillColor(mVg, ToNvg(text.mFGColor));
  if (text.mAngle != 0.f) {
    nvgSave(mVg);
    nvgTranslate(mVg, x, y);
    nvgRotate(mVg, Radians(text.mAngle));
    nvgText(mVg, 0.f, 0.f, str, nullptr);
    nvgRestore(mVg);
  } else {
    nvgText(mVg, x, y, str, nullptr);
  }
}

float IGraphicsNanoVG::DoMeasureText(const IText& text, const char* str, float& height) const {
  const int font = mVg ? FontHandle(text.mFont) : -1;
  // Outside a frame (or without a font) the core's estimate serves.
  if (font < 0) return IGraphics::DoMeasureText(text, str, height);
  nvgSave(mVg);
  nvgFontFaceId(mVg, font);
  nvgFontSize(mVg, text.mSize);
  nvgTextAlign(mVg, NVG_ALIGN_LEFT | NVG_ALIGN_TOP);
  float bounds[4] = {0.f, 0.f, 0.f, 0.f};
  const float advance = nvgTextBounds(mVg, 0.f, 0.f, str, nullptr, bounds);
  float ascender = 0.f, descender = 0.f, lineHeight = 0.f;
  nvgTextMetrics(mVg, &ascender, &descender, &lineHeight);
  nvgRestore(mVg);
  height = ascender - descender;
  return advance;
}

// ---- Images ---------------------------------------------------------------------------------

void IGraphicsNanoVG::DoDrawSVG(const ISVG& svg, const IBlend* blend) {
  if (!mVg || !svg.Document()) return;
  const svg::Document* doc = svg.Document().get();
  const svg::GradientTextures* textures = nullptr;
  for (SvgTextures& s : mSvgTextures) {
    if (s.doc.lock().get() != doc) continue;
    if (s.textures->Context() != mVg) s.textures->Create(mVg, *doc);
    textures = s.textures.get();
    break;
  }
  ApplyBlend(blend, false);
  svg::DrawSvg(mVg, *doc, textures, 0.f, 0.f, svg.W(), svg.H());
}

void IGraphicsNanoVG::DoDrawBitmap(const IBitmap& bitmap, const IRECT& b, const IBlend* blend) {
  if (!mVg) return;
  const int index = bitmap.GetID() - 1;
  if (index < 0 || index >= static_cast<int>(mBitmaps.size())) return;
  Bitmap& bm = mBitmaps[static_cast<std::size_t>(index)];
  if (bm.handle == kNoHandle) {
    // Linear filtering, with mipmaps so that a reduced bitmap stays smooth.
    const int h = nvgCreateImageRGBA(mVg, bm.picture.width, bm.picture.height, NVG_IMAGE_GENERATE_MIPMAPS,
                                     bm.picture.pixels.data());
    bm.handle = h > 0 ? h : kBrokenHandle;
  }
  if (bm.handle < 0) return;
  ApplyBlend(blend, false);
  nvgBeginPath(mVg);
  nvgRect(mVg, b.L, b.T, b.W(), b.H());
  nvgFillPaint(mVg, nvgImagePattern(mVg, b.L, b.T, b.W(), b.H(), 0.f, bm.handle, 1.f));
  nvgFill(mVg);
  nvgBeginPath(mVg);
}

// ---- Dialogs --------------------------------------------------------------------------------

EMsgBoxResult IGraphicsNanoVG::DoShowMessageBox(const char* str, const char* caption, EMsgBoxType type) {
  platform::MessageButtons buttons = platform::MessageButtons::kOk;
  switch (type) {
    case kMB_OK: buttons = platform::MessageButtons::kOk; break;
    case kMB_OKCANCEL: buttons = platform::MessageButtons::kOkCancel; break;
    case kMB_YESNOCANCEL: buttons = platform::MessageButtons::kYesNoCancel; break;
    case kMB_YESNO: buttons = platform::MessageButtons::kYesNo; break;
  }
  std::string problem;
  switch (platform::ShowMessageBox(str, caption, buttons, &problem)) {
    case platform::MessageAnswer::kOk: return kOK;
    case platform::MessageAnswer::kCancel: return kCANCEL;
    case platform::MessageAnswer::kYes: return kYES;
    case platform::MessageAnswer::kNo: return kNO;
    case platform::MessageAnswer::kNone: break;
  }
  if (!problem.empty()) std::fprintf(stderr, "Vrel Bazzit: %s\n", problem.c_str());
  return kNoResult;
}

void IGraphicsNanoVG::DoPromptForFile(std::string& fileName, std::string& path, EFileAction action, const char* ext) {
  platform::FileDialogRequest request;
  request.mode = action == EFileAction::Save ? platform::FileDialogMode::kSave : platform::FileDialogMode::kOpen;
  request.folder = path;
  request.proposedName = fileName;
  request.extension = ext ? ext : "";
  std::string problem;
  const std::optional<std::string> chosen = platform::PromptForFile(request, &problem);
  if (!chosen) {
    if (!problem.empty()) std::fprintf(stderr, "Vrel Bazzit: %s\n", problem.c_str());
    fileName.clear();
    return;
  }
  fileName = *chosen;
  const std::filesystem::path parent = Utf8Path(*chosen).parent_path();
  const std::u8string folder = parent.u8string();
  path.assign(folder.begin(), folder.end());
}

}  // namespace fw
