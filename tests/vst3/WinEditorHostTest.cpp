// The plug-in's editor as a Windows host shows it, run under wine: the built
// bundle loaded with LoadLibrary, createView("editor") attached to a window of
// the test's own ("HWND"), driven by the view's window timers and the idle
// timer through the test's message loop, its pixels read back from the
// window's OpenGL drawable; scaled by its corner (dragged through the
// window's messages) and by the host's content scale; closed and opened
// again; two instances with their editors open at once; the bundle installed
// under other folders, with and without its font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "Host.h"
#include "WinWindowSupport.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace vst3test {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

// The placeholder page in design units (editor/PlaceholderLayout.h) at scale 1,
// one pixel per unit: the title centred in (0, 60)-(1200, 140), the patch label
// centred in its panel-coloured box (300, 410)-(900, 490), the corner resizer a
// triangle in (1180, 880)-(1200, 900) below its diagonal from the lower left
// to the upper right.
struct Box {
  int l, t, r, b;
  int CentreX() const { return (l + r) / 2; }
  int CentreY() const { return (t + b) / 2; }
};
constexpr Box kTitleBox{0, 60, 1200, 140};
constexpr Box kLabelBox{300, 410, 900, 490};
constexpr Box kBetweenTitleAndLabel{0, 150, 1200, 400};

// Colours of the case skin (resources/Skins/VrelBazzitCase/skin.vbskin), which
// a new instance shows: background, panel (the label's box), text (the
// title), oled_text (the patch label), and the resizer's colours: its
// triangle is muted #A39B8B at half opacity over the background:
// (0xA3 + 0x1B) / 2 = 0x5F, (0x9B + 0x1A) / 2 = 0x5A, (0x8B + 0x17) / 2 =
// 0x51; its grip ridges are muted itself, 1.5 px wide along x + y = 2094,
// 2089 and 2084 (pixel centres) in the 1200 x 900 window.
struct SkinColours {
  uint32_t background, panel, text, labelText;
};
constexpr SkinColours kCase{0x1B1A17, 0x2A2824, 0xEDE6D6, 0x9CF2C9};
constexpr uint32_t kCaseResizer = 0x5F5A51;
constexpr uint32_t kCaseResizerRidge = 0xA39B8B;
// The dark skin (VrelBazzitDark): no oled_text, so the label is in the text colour.
constexpr SkinColours kDark{0x0D1014, 0x161B21, 0xE4E8EA, 0xE4E8EA};

// Anti-aliased edges and blending round differently between drivers.
constexpr int kTolerance = 3;
// A pixel "of" a colour for text: fully covered glyph pixels are the colour
// itself, edges blend into the ground.
constexpr int kInkTolerance = 24;

int Distance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return d;
}

std::string Hex(uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(rgb));
  return buf;
}

// What stands out of a box's ground: text, in a colour of its own.
struct Ink {
  int pixels = 0;     // differing from the ground by more than kInkTolerance
  int inColour = 0;   // of which within kInkTolerance of the text's colour
  int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
  int CentreX() const { return (minX + maxX) / 2; }
  int CentreY() const { return (minY + maxY) / 2; }
};

Ink InkIn(const Picture& p, const Box& box, uint32_t ground, uint32_t text) {
  Ink ink;
  for (int y = box.t; y < box.b; ++y)
    for (int x = box.l; x < box.r; ++x) {
      const uint32_t c = p.At(x, y);
      if (Distance(c, ground) <= kInkTolerance) continue;
      ++ink.pixels;
      if (Distance(c, text) <= kInkTolerance) ++ink.inColour;
      ink.minX = std::min(ink.minX, x);
      ink.maxX = std::max(ink.maxX, x);
      ink.minY = std::min(ink.minY, y);
      ink.maxY = std::max(ink.maxY, y);
    }
  return ink;
}

// "VREL BAZZIT" at 56 units covers a few thousand pixels; a title that is
// missing covers none, and a box filled instead of lettered covers all 96 000.
constexpr int kTitleMinInk = 1000;
constexpr int kTitleMaxInk = 96000 / 3;
// "Init Vrels" at 36 units.
constexpr int kLabelMinInk = 400;
// Centred text: the ink's middle lies within a few pixels of the box's (the
// letters' side bearings differ a little).
constexpr int kCentreSlackX = 8;
// Middle alignment centres the line (ascender to descender), not the capitals.
constexpr int kCentreSlackY = 10;

// Checks the page of one skin at scale 1; where names the case.
void ExpectPlaceholderPage(const Picture& p, const SkinColours& skin, const std::string& where) {
  ASSERT_EQ(p.width, 1200) << where;
  ASSERT_EQ(p.height, 900) << where;
  struct Probe {
    int x, y;
    uint32_t rgb;
    const char* what;
  };
  const Probe probes[] = {
      {100, 300, skin.background, "the panel background, left"},
      {1100, 800, skin.background, "the panel background, lower right"},
      {20, 880, skin.background, "the panel background, lower left"},
      {1185, 885, skin.background, "above the resizer's diagonal"},
      {304, 414, skin.panel, "the label's box, upper left"},
      {895, 485, skin.panel, "the label's box, lower right"},
      {296, 450, skin.background, "left of the label's box"},
  };
  for (const Probe& probe : probes)
    EXPECT_LE(Distance(p.At(probe.x, probe.y), probe.rgb), kTolerance)
        << where << ": " << probe.what << " at " << probe.x << "," << probe.y << " is " << Hex(p.At(probe.x, probe.y))
        << ", expected " << Hex(probe.rgb);

  int black = 0;
  for (uint32_t c : p.rgb) black += c == 0;
  EXPECT_EQ(black, 0) << where << ": pixels left in the window's clear colour (a blank window is all black)";

  const Ink title = InkIn(p, kTitleBox, skin.background, skin.text);
  EXPECT_GE(title.pixels, kTitleMinInk) << where << ": the title's letters (drawn with the bundle's font)";
  EXPECT_LE(title.pixels, kTitleMaxInk) << where << ": the title box is lettered, not filled";
  EXPECT_GE(title.inColour, title.pixels / 4) << where << ": the title is in the skin's text colour";
  EXPECT_NEAR(title.CentreX(), kTitleBox.CentreX(), kCentreSlackX) << where << ": the title is centred";
  EXPECT_NEAR(title.CentreY(), kTitleBox.CentreY(), kCentreSlackY) << where << ": the title is centred";

  const Ink label = InkIn(p, kLabelBox, skin.panel, skin.labelText);
  EXPECT_GE(label.pixels, kLabelMinInk) << where << ": the patch label's letters";
  EXPECT_GE(label.inColour, label.pixels / 4) << where << ": the label is in the skin's label colour";
  EXPECT_NEAR(label.CentreX(), kLabelBox.CentreX(), kCentreSlackX) << where << ": the label is centred";
  EXPECT_NEAR(label.CentreY(), kLabelBox.CentreY(), kCentreSlackY) << where << ": the label is centred";

  EXPECT_EQ(InkIn(p, kBetweenTitleAndLabel, skin.background, skin.text).pixels, 0)
      << where << ": nothing is drawn between the title and the label";
}

// The title's ink only: whether text was drawn at all.
int TitleInk(const Picture& p, const SkinColours& skin) { return InkIn(p, kTitleBox, skin.background, skin.text).pixels; }

// The instance's state with its skin path's last folder but one (the skin's
// folder) replaced: the state names the skin file in UTF-8 after 59 values
// and a tag, its length at byte 476, and ends with the bypass word.
std::vector<uint8_t> StateWithSkinFolder(const std::vector<uint8_t>& state, const std::string& from,
                                         const std::string& to) {
  constexpr size_t kLengthAt = 476, kPathAt = 480, kBypassBytes = 4;
  if (state.size() < kPathAt + kBypassBytes) return {};
  std::string path(state.begin() + kPathAt, state.end() - kBypassBytes);
  const size_t at = path.find(from);
  if (at == std::string::npos) return {};
  path.replace(at, from.size(), to);
  std::vector<uint8_t> out(state.begin(), state.begin() + kLengthAt);
  const auto n = static_cast<uint32_t>(path.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  out.insert(out.end(), path.begin(), path.end());
  out.insert(out.end(), state.end() - kBypassBytes, state.end());
  return out;
}

// A frame comes every 33 ms and an idle tick every 20 ms; on a machine under
// load wine may take far longer for the first ones, so the tests wait until
// the window shows what they expect, or this long.
constexpr int kPatienceMs = 8000;

// Runs the message loop until the editor's window holds a frame of the given
// size whose pixel at (x, y) has the colour rgb, or the patience runs out;
// returns the last picture read.
Picture WaitForFrame(HWND window, int width, int height, int x, int y, uint32_t rgb) {
  Picture p;
  const DWORD start = GetTickCount();
  do {
    Pump(40);
    p = ReadWindow(window);
    if (p.width == width && p.height == height && Distance(p.At(x, y), rgb) <= 3) break;
  } while (GetTickCount() - start < static_cast<DWORD>(kPatienceMs));
  return p;
}

// An open editor: the view of an instance attached to a host window.
class OpenEditor {
public:
  OpenEditor(Instance& instance, const HostWindow& host, Frame& frame) : mFrame(frame) {
    mView = instance.controller->createView(ViewType::kEditor);
    if (!mView) return;
    mView->setFrame(&mFrame);
    if (mView->attached(host.Handle(), kPlatformTypeHWND) != kResultOk) {
      Close();
      return;
    }
    mWindow = host.FirstChild();
  }
  ~OpenEditor() { Close(); }
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;

  bool Ok() const { return mWindow != nullptr; }
  IPlugView* View() const { return mView; }
  HWND Window() const { return mWindow; }
  // The page at scale 1 once its background shows the colour.
  Picture WaitForPage(uint32_t background) const { return WaitForFrame(mWindow, 1200, 900, 100, 300, background); }

  // Detaches and gives the view back; returns what its last release said.
  uint32_t Close() {
    if (!mView) return 0;
    mView->removed();
    mView->setFrame(nullptr);
    const uint32_t left = mView->release();
    mView = nullptr;
    mWindow = nullptr;
    return left;
  }

private:
  Frame& mFrame;
  IPlugView* mView = nullptr;
  HWND mWindow = nullptr;
};

class WinEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string problem = OpenGlProblem(); !problem.empty()) GTEST_SKIP() << NoOpenGlMessage(problem);
    ASSERT_NE(host.Handle(), nullptr);
    ASSERT_TRUE(instance.Ok());
  }

  HostWindow host{1200, 900};
  Instance instance;
  Frame frame;
};

TEST_F(WinEditorTest, ShowsThePlaceholderPageOfTheCaseSkin) {
  OpenEditor editor(instance, host, frame);
  ASSERT_TRUE(editor.Ok()) << "createView(\"editor\") gave no view that attaches to an HWND";
  ViewRect size;
  ASSERT_EQ(editor.View()->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 1200);
  EXPECT_EQ(size.getHeight(), 900);
  EXPECT_EQ(editor.View()->canResize(), kResultTrue);
  EXPECT_EQ(GetParent(editor.Window()), host.Handle());

  const Picture p = editor.WaitForPage(kCase.background);
  ExpectPlaceholderPage(p, kCase, "case skin");
  EXPECT_LE(Distance(p.At(1198, 898), kCaseResizer), kTolerance)
      << "the corner resizer's triangle at 1198,898 is " << Hex(p.At(1198, 898));
  EXPECT_LE(Distance(p.At(1196, 897), kCaseResizerRidge), kTolerance)
      << "the corner resizer's first ridge at 1196,897 is " << Hex(p.At(1196, 897));
  EXPECT_EQ(editor.Close(), 0u);
  EXPECT_EQ(frame.RefCount(), 1u) << "every reference to the frame was given back";
  EXPECT_EQ(host.ChildWindows(), 0);
}

// The corner resizer, dragged through the window's messages from (1190, 890)
// to (893, 668), the way the system delivers a drag.
void DragCorner(HWND w) {
  PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(1190, 890));
  Pump(50);
  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1190, 890));
  Pump(50);
  for (int i = 1; i <= 4; ++i) {
    PostMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1190 - (1190 - 893) * i / 4, 890 - (890 - 668) * i / 4));
    Pump(50);
  }
  PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(893, 668));
}

TEST_F(WinEditorTest, ScalesToThreeQuartersByItsCornerOrByTheHostsContentScale) {
  // Both end at about 900 x 675 pixels: the drag as three quarters of the
  // editor's scale, the host's content scale 0.75 (a screen at 72 dpi) as
  // three quarters of every pixel.
  struct Case {
    const char* name;
    bool drag;
  };
  for (const Case& c : {Case{"the corner dragged", true}, Case{"content scale 0.75", false}}) {
    SCOPED_TRACE(c.name);
    Frame caseFrame;
    OpenEditor editor(instance, host, caseFrame);
    ASSERT_TRUE(editor.Ok());
    editor.WaitForPage(kCase.background);
    const HWND w = editor.Window();
    if (c.drag) {
      DragCorner(w);
    } else {
      // As hosts do: through the view's content scale interface.
      IPlugViewContentScaleSupport* scaling = nullptr;
      ASSERT_EQ(editor.View()->queryInterface(IPlugViewContentScaleSupport::iid, reinterpret_cast<void**>(&scaling)),
                kResultOk);
      EXPECT_EQ(scaling->setContentScaleFactor(0.75f), kResultOk);
      scaling->release();
    }
    // The background at (100, 300) x 0.75 in a frame of the new size.
    const Picture p = WaitForFrame(w, 900, 675, 75, 225, kCase.background);
    EXPECT_GE(caseFrame.resizes, 1) << "the view asked the host for the new size";
    ViewRect size;
    ASSERT_EQ(editor.View()->getSize(&size), kResultOk);
    EXPECT_NEAR(size.getWidth(), 900, 3);
    EXPECT_NEAR(size.getHeight(), 675, 3);
    RECT client = {};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, size.getWidth()) << "the window has the size the view reports";
    EXPECT_EQ(client.bottom, size.getHeight());
    EXPECT_EQ(p.width, client.right) << "a frame of the new size was drawn";
    EXPECT_EQ(p.height, client.bottom);
    // The label's box at (304, 414) x 0.75 and the background at (100, 300) x 0.75.
    EXPECT_LE(Distance(p.At(229, 311), kCase.panel), kTolerance) << "the label's box: " << Hex(p.At(229, 311));
    EXPECT_LE(Distance(p.At(75, 225), kCase.background), kTolerance) << "the background: " << Hex(p.At(75, 225));
    EXPECT_EQ(editor.Close(), 0u);
    EXPECT_EQ(caseFrame.RefCount(), 1u);
  }
}

TEST_F(WinEditorTest, TheIdleTickBringsARestoredSkinOntoTheOpenPage) {
  OpenEditor editor(instance, host, frame);
  ASSERT_TRUE(editor.Ok());
  ASSERT_EQ(editor.WaitForPage(kCase.background).At(100, 300), kCase.background);
  const std::vector<uint8_t> dark = StateWithSkinFolder(instance.SaveState(), "VrelBazzitCase", "VrelBazzitDark");
  ASSERT_FALSE(dark.empty()) << "the state names no case skin";
  ASSERT_EQ(instance.RestoreState(dark), kResultOk);
  // The idle tick loads the skin and rebuilds the page; the next frame draws it.
  ExpectPlaceholderPage(editor.WaitForPage(kDark.background), kDark, "after restoring the dark skin");
  EXPECT_EQ(editor.Close(), 0u);
}

TEST_F(WinEditorTest, TwoInstancesShowTheirOwnPagesAndOneClosesWhileTheOtherStaysOpen) {
  OpenEditor first(instance, host, frame);
  ASSERT_TRUE(first.Ok());
  first.WaitForPage(kCase.background);

  Instance other;
  ASSERT_TRUE(other.Ok());
  const std::vector<uint8_t> caseState = other.SaveState();
  ASSERT_EQ(other.RestoreState(StateWithSkinFolder(caseState, "VrelBazzitCase", "VrelBazzitDark")), kResultOk);
  HostWindow otherHost(1200, 900);
  Frame otherFrame;
  OpenEditor second(other, otherHost, otherFrame);
  ASSERT_TRUE(second.Ok()) << "a second instance's editor opens while the first one's is open";
  ExpectPlaceholderPage(second.WaitForPage(kDark.background), kDark, "second instance, both open");
  ExpectPlaceholderPage(first.WaitForPage(kCase.background), kCase, "first instance, both open");

  // The first closes; the second keeps its window, its frames and its idle tick.
  EXPECT_EQ(first.Close(), 0u);
  EXPECT_EQ(host.ChildWindows(), 0);
  EXPECT_TRUE(IsWindow(second.Window()));
  ASSERT_EQ(other.RestoreState(caseState), kResultOk);
  ExpectPlaceholderPage(second.WaitForPage(kCase.background), kCase, "second instance, after the first closed and a skin change");

  // And opens again beside it.
  OpenEditor again(instance, host, frame);
  ASSERT_TRUE(again.Ok());
  ExpectPlaceholderPage(again.WaitForPage(kCase.background), kCase, "first instance, reopened");
  EXPECT_EQ(second.Close(), 0u);
  EXPECT_EQ(again.Close(), 0u);
  EXPECT_EQ(otherHost.ChildWindows(), 0);
  EXPECT_EQ(otherFrame.RefCount(), 1u);
  EXPECT_EQ(other.Close(), 0u);
}

TEST_F(WinEditorTest, OpenAndCloseCyclesLeaveNothingBehind) {
  constexpr int kCycles = 12;
  for (int i = 0; i < kCycles; ++i) {
    OpenEditor editor(instance, host, frame);
    ASSERT_TRUE(editor.Ok()) << "cycle " << i;
    const Picture p = editor.WaitForPage(kCase.background);
    ASSERT_FALSE(p.Empty()) << "cycle " << i;
    EXPECT_EQ(p.At(100, 300), kCase.background) << "cycle " << i;
    EXPECT_GE(TitleInk(p, kCase), kTitleMinInk) << "cycle " << i << ": the title";
    ASSERT_EQ(editor.Close(), 0u) << "cycle " << i;
    ASSERT_EQ(host.ChildWindows(), 0) << "cycle " << i;
  }
  EXPECT_EQ(frame.RefCount(), 1u);
}

// ---- The bundle installed elsewhere ------------------------------------------------------

std::string Utf8(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

// The built bundle copied to <temp>/<unique>/<folder>/VrelBazzit.vst3, removed at the end.
class InstalledCopy {
public:
  explicit InstalledCopy(const std::filesystem::path& folder) {
    std::string built = BundlePath();
    if (!built.empty() && built[0] == '/') built = "Z:" + built;  // wine's drive for the Unix root
    std::random_device random;
    mRoot = std::filesystem::temp_directory_path() / ("vrelbazzit-editor-" + std::to_string(random()));
    mBundle = mRoot / folder / "VrelBazzit.vst3";
    std::error_code ec;
    std::filesystem::create_directories(mBundle, ec);
    if (!ec) std::filesystem::copy(std::filesystem::path(built), mBundle, std::filesystem::copy_options::recursive, ec);
    mOk = !ec;
  }
  ~InstalledCopy() {
    std::error_code ec;
    std::filesystem::remove_all(mRoot, ec);
  }
  bool Ok() const { return mOk; }
  std::filesystem::path Font() const { return mBundle / "Contents" / "Resources" / "Roboto-Regular.ttf"; }
  std::filesystem::path Module() const { return mBundle / "Contents" / "x86_64-win" / "VrelBazzit.vst3"; }

private:
  std::filesystem::path mRoot, mBundle;
  bool mOk = false;
};

TEST_F(WinEditorTest, TheFontIsTakenFromTheBundleWhereverItIsInstalled) {
  struct Case {
    const char* name;
    std::filesystem::path folder;
    bool keepFont;
  };
  const Case cases[] = {
      {"a plain folder", std::filesystem::path(u8"Plugins"), true},
      {"a folder outside every code page", std::filesystem::path(u8"Плагины 音符"), true},
      // Without the bundle's font the page is drawn without text (and the
      // font from another copy of the module is not taken instead).
      {"a bundle without its font", std::filesystem::path(u8"Plugins"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledCopy copy(c.folder);
    ASSERT_TRUE(copy.Ok()) << "could not copy the bundle";
    ASSERT_TRUE(std::filesystem::is_regular_file(copy.Font()));
    if (!c.keepFont) {
      ASSERT_TRUE(std::filesystem::remove(copy.Font()));
    }

    LoadedModule module;
    std::string error;
    ASSERT_TRUE(module.Load(copy.Module(), error)) << Utf8(copy.Module()) << ": " << error;
    ASSERT_TRUE(module.Enter());
    IPluginFactory* factory = module.GetFactory();
    ASSERT_NE(factory, nullptr);
    {
      Instance in(factory);
      ASSERT_TRUE(in.Ok());
      Frame copyFrame;
      OpenEditor editor(in, host, copyFrame);
      ASSERT_TRUE(editor.Ok());
      const Picture p = editor.WaitForPage(kCase.background);
      EXPECT_EQ(p.At(100, 300), kCase.background) << "the copy's case skin";
      EXPECT_EQ(p.At(304, 414), kCase.panel) << "the label's box";
      if (c.keepFont) {
        ExpectPlaceholderPage(p, kCase, c.name);
      } else {
        EXPECT_EQ(TitleInk(p, kCase), 0) << "no title without a font";
        EXPECT_EQ(InkIn(p, kLabelBox, kCase.panel, kCase.labelText).pixels, 0) << "no label text without a font";
      }
      EXPECT_EQ(editor.Close(), 0u);
    }
    EXPECT_EQ(factory->release(), 0u);
    EXPECT_TRUE(module.Exit());
    module.Unload();
  }
}

}  // namespace
}  // namespace vst3test
