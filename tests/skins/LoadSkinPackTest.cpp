// The skin file loader: the grammar, each key's values, the size limit, the
// path rules, the image checks, and that a failure leaves the caller's pack
// exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SkinTestFiles.h"
#include "tests/support/Fifo.h"

namespace vrelbazzit::test {
namespace {

// A pack unlike the defaults in every field, to see that a failed load leaves it alone.
SkinPack SentinelPack() {
  SkinPack p;
  p.name = "Sentinel";
  p.title = "SENTINEL";
  p.layout = kCaseLayout;
  p.oledText = 0x123456;
  p.assetFolder = "/nowhere";
  p.colors.fill(0x010203);
  p.hasAssetFolder = true;
  p.altKnobs = {"Cutoff"};
  p.altSliders = {"250 Hz"};
  return p;
}

struct LoadCase {
  const char* name;
  std::string text;     // the whole skin file
  std::string message;  // empty: the load succeeds
  std::function<bool(const SkinPack&)> holds = nullptr;
};

// Loads each case's text from a folder holding the eight required images and
// the two alternates, so that only the text decides.
void RunLoadCases(const std::vector<LoadCase>& cases) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteFile(dir / "knob-alt.svg", kTinySvg);
  WriteFile(dir / "slider-handle-alt.svg", kTinySvg);
  for (const LoadCase& c : cases) {
    const std::string path = WriteSkinFolder(dir.Path(), c.text);
    SkinPack pack = SentinelPack();
    std::string error = "stale message";
    const bool ok = LoadSkinPack(path.c_str(), pack, error);
    if (c.message.empty()) {
      EXPECT_TRUE(ok) << c.name << ": " << error;
      EXPECT_EQ(error, "") << c.name;
      EXPECT_TRUE(pack.hasAssetFolder) << c.name;
      EXPECT_EQ(pack.assetFolder, dir.Path()) << c.name;
      if (ok && c.holds) {
        EXPECT_TRUE(c.holds(pack)) << c.name;
      }
    } else {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_EQ(error, c.message) << c.name;
      EXPECT_TRUE(pack == SentinelPack()) << c.name << ": the caller's pack changed";
    }
  }
}

bool IsDefaultLook(const SkinPack& p) {
  return p.name == "Default" && p.title == "VREL BAZZIT" && p.layout.empty() && p.oledText == 0 &&
         p.colors == kDefaultSkinColors && p.altKnobs.empty() && p.altSliders.empty();
}

const std::string kHeader = kSkinFileHeader;

TEST(LoadSkinPack, Grammar) {
  RunLoadCases({
      {"header only gives the defaults", kHeader, "", IsDefaultLook},
      {"header with LF gives the defaults", kHeader + "\n", "", IsDefaultLook},
      {"comments and blank lines before the header", "# a skin\n\n#\n\n" + kHeader + "\nname=Early\n", "",
       [](const SkinPack& p) { return p.name == "Early"; }},
      {"comment after the header", kHeader + "\n# name=Ignored\nname=Kept\n", "",
       [](const SkinPack& p) { return p.name == "Kept"; }},
      {"CR LF line ends", kHeader + "\r\nname=Crlf\r\ntitle=T\r\n\r\n#c\r\n", "",
       [](const SkinPack& p) { return p.name == "Crlf" && p.title == "T"; }},
      {"a lone CR line is empty and skipped", "\r\n" + kHeader + "\r\n\r\nname=N", "",
       [](const SkinPack& p) { return p.name == "N"; }},
      {"only one CR is removed", kHeader + "\nname=Two\r\r\n", "", [](const SkinPack& p) { return p.name == "Two\r"; }},
      {"a CR inside a line stays", kHeader + "\nname=a\rb\n", "", [](const SkinPack& p) { return p.name == "a\rb"; }},
      {"last line without LF", kHeader + "\ntitle=End", "", [](const SkinPack& p) { return p.title == "End"; }},
      {"split at the first =", kHeader + "\ntitle==A=B", "", [](const SkinPack& p) { return p.title == "=A=B"; }},
      {"values are not trimmed", kHeader + "\nname= Spaced \n", "",
       [](const SkinPack& p) { return p.name == " Spaced "; }},
      {"keys in any order", kHeader + "\ntitle=T2\nname=N2\nlayout=vrel-case-v1\n", "",
       [](const SkinPack& p) { return p.name == "N2" && p.title == "T2" && p.layout == kCaseLayout; }},

      {"empty file", "", "Missing skin format header."},
      {"only comments and blanks", "# one\n\n#two\r\n", "Missing skin format header."},
      {"a setting before the header", "name=Early\n" + kHeader + "\n", "Unsupported skin format."},
      {"byte-order mark before the header", "\xEF\xBB\xBF" + kHeader + "\n", "Unsupported skin format."},
      {"header with a trailing blank", kHeader + " \n", "Unsupported skin format."},
      {"header in lower case", "vrelbazzit_skin_v1\n", "Unsupported skin format."},
      {"a line of blanks before the header", "   \n" + kHeader + "\n", "Unsupported skin format."},
      {"a blank before # is no comment", " # comment\n" + kHeader + "\n", "Unsupported skin format."},
      {"a line of blanks after the header", kHeader + "\n  \n", "Invalid skin setting."},
      {"a second header", kHeader + "\n" + kHeader + "\n", "Invalid skin setting."},
      {"a setting without =", kHeader + "\nname\n", "Invalid skin setting."},
      {"a blank before = makes another key", kHeader + "\ntitle =X\n", "Unknown skin setting."},
      {"keys are case-sensitive", kHeader + "\nName=X\n", "Unknown skin setting."},
      {"an empty key", kHeader + "\n=X\n", "Unknown skin setting."},
      {"an unknown key", kHeader + "\nfont=Roboto\n", "Unknown skin setting."},
      {"a duplicate with two good values", kHeader + "\ntext=#FFFFFF\ntext=#000000\n", "Duplicate skin setting."},
      {"duplicate is tested before the value", kHeader + "\nname=A\nname=\n", "Duplicate skin setting."},
      {"the first failure ends the load", kHeader + "\nname=\nbogus\n", "Invalid skin name."},
  });
}

TEST(LoadSkinPack, KeyValues) {
  const std::string n40(40, 'n'), t32(32, 't');
  std::vector<LoadCase> cases = {
      {"name of 1 byte", kHeader + "\nname=x", "", [](const SkinPack& p) { return p.name == "x"; }},
      {"name of 40 bytes", kHeader + "\nname=" + n40, "", [n40](const SkinPack& p) { return p.name == n40; }},
      {"name of 41 bytes", kHeader + "\nname=" + n40 + "n", "Invalid skin name."},
      {"empty name", kHeader + "\nname=", "Invalid skin name."},
      {"name of any bytes", kHeader + "\nname=\x01#=\xFF", "",
       [](const SkinPack& p) { return p.name == "\x01#=\xFF"; }},
      {"title of 32 bytes", kHeader + "\ntitle=" + t32, "", [t32](const SkinPack& p) { return p.title == t32; }},
      {"title of 33 bytes", kHeader + "\ntitle=" + t32 + "t", "Invalid skin title."},
      {"empty title", kHeader + "\ntitle=", "Invalid skin title."},
      {"case layout", kHeader + "\nlayout=vrel-case-v1", "", [](const SkinPack& p) { return p.layout == kCaseLayout; }},
      {"empty layout", kHeader + "\nlayout=", "Unsupported skin layout."},
      {"layout in other case", kHeader + "\nlayout=Vrel-case-v1", "Unsupported skin layout."},
      {"layout with a trailing blank", kHeader + "\nlayout=vrel-case-v1 ", "Unsupported skin layout."},
      {"another layout", kHeader + "\nlayout=vrel-case-v2", "Unsupported skin layout."},
      {"oled_text mixed case", kHeader + "\noled_text=#a0B1c2", "",
       [](const SkinPack& p) { return p.oledText == 0xA0B1C2; }},
      {"oled_text of zeros stores 0", kHeader + "\noled_text=#000000", "",
       [](const SkinPack& p) { return p.oledText == 0; }},
      {"oled_text without #", kHeader + "\noled_text=a0b1c2", "Invalid OLED text color."},
      {"oled_text empty", kHeader + "\noled_text=", "Invalid OLED text color."},
      {"colour mixed case", kHeader + "\ntext=#aBcDeF", "",
       [](const SkinPack& p) { return p.colors[kSkinText] == 0xABCDEF; }},
      {"colour without #", kHeader + "\ntext=ABCDEF", "Invalid skin color."},
      {"colour of five digits", kHeader + "\ntext=#ABCDE", "Invalid skin color."},
      {"colour of seven digits", kHeader + "\ntext=#ABCDEF0", "Invalid skin color."},
      {"colour with a bad digit", kHeader + "\nborder=#ABCDEG", "Invalid skin color."},
      {"colour with a blank", kHeader + "\nborder= #ABCDE", "Invalid skin color."},
      {"alt_knobs of two names", kHeader + "\nalt_knobs=Osc 1 Level, Cutoff", "",
       [](const SkinPack& p) {
         return p.altKnobs == std::vector<std::string>{"Osc 1 Level", "Cutoff"} && p.altSliders.empty();
       }},
      {"alt_sliders of one name", kHeader + "\nalt_sliders=250 Hz\nalt_knobs=Span", "",
       [](const SkinPack& p) {
         return p.altSliders == std::vector<std::string>{"250 Hz"} && p.altKnobs == std::vector<std::string>{"Span"};
       }},
      {"alt_knobs ending with a comma", kHeader + "\nalt_knobs=Cutoff,", "Invalid alternate control list."},
      {"alt_sliders empty", kHeader + "\nalt_sliders=", "Invalid alternate control list."},
      {"alt_knobs of 17 names", kHeader + "\nalt_knobs=a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q",
       "Invalid alternate control list."},
  };
  // Each role colour lands in its own entry and leaves the others at their defaults.
  const char* colorKeys[kNumSkinColors] = {"background", "text",  "muted",  "accent",
                                           "detail",     "panel", "button", "border"};
  for (int i = 0; i < kNumSkinColors; ++i) {
    cases.push_back({colorKeys[i], kHeader + "\n" + colorKeys[i] + "=#0A0B0C", "", [i](const SkinPack& p) {
                       for (int k = 0; k < kNumSkinColors; ++k) {
                         const uint32_t want = k == i ? 0x0A0B0Cu : kDefaultSkinColors[static_cast<size_t>(k)];
                         if (p.colors[static_cast<size_t>(k)] != want) return false;
                       }
                       return true;
                     }});
  }
  RunLoadCases(cases);
}

TEST(LoadSkinPack, SizeLimit) {
  // Header, then one comment line padded to the total size.
  auto fileOfSize = [](size_t size) {
    std::string text = kHeader + "\n#";
    text.append(size - text.size(), 'x');
    return text;
  };
  RunLoadCases({
      {"4096 bytes", fileOfSize(4096), ""},
      {"4097 bytes", fileOfSize(4097), "Skin file is too large."},
  });
}

// Runs a body with the working directory moved to dir, for relative paths.
void InDirectory(const std::string& dir, const std::function<void()>& body) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  body();
  std::filesystem::current_path(previous);
}

TEST(LoadSkinPack, Paths) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const SkinPack sentinel = SentinelPack();
  struct PathCase {
    const char* name;
    const char* path;  // relative to the temp dir
    std::string message;
    std::string assetFolder;  // on success
  };
  // On Linux a backslash is an ordinary file-name byte, so a file literally
  // named "sub\skin.vbskin" shows the loader taking it as a separator.
  WriteFile(dir / "skin.vbskin", kHeader);
  WriteFile(dir / "\\skin.vbskin", kHeader);
  WriteFile(dir / "sub\\skin.vbskin", kHeader);
  WriteSkinFolder(dir / "sub", kHeader);
  WriteFile(dir / "sub/x\\skin.vbskin", kHeader);
  WriteSkinFolder(dir / "sub/x", kHeader);
  const PathCase cases[] = {
      {"no file", "absent/skin.vbskin", "Could not read the skin file.", ""},
      {"a folder", "sub", "Could not read the skin file.", ""},
      {"no separator", "skin.vbskin", "Skin must be inside its asset folder.", ""},
      {"separator as first byte", "\\skin.vbskin", "Missing asset: faceplate", ""},
      {"backslash separator", "sub\\skin.vbskin", "", "sub"},
      {"slash separator", "sub/skin.vbskin", "", "sub"},
      {"the last separator counts", "sub/x\\skin.vbskin", "", "sub/x"},
  };
  InDirectory(dir.Path(), [&] {
    for (const PathCase& c : cases) {
      SkinPack pack = sentinel;
      std::string error;
      const bool ok = LoadSkinPack(c.path, pack, error);
      EXPECT_EQ(ok, c.message.empty()) << c.name;
      EXPECT_EQ(error, c.message) << c.name;
      if (ok) {
        EXPECT_EQ(pack.assetFolder, c.assetFolder) << c.name;
        EXPECT_EQ(pack.Image("knob"), c.assetFolder + "/knob.svg") << c.name;
      } else {
        EXPECT_TRUE(pack == sentinel) << c.name;
      }
    }
  });

  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    SkinPack pack = sentinel;
    std::string error;
    EXPECT_FALSE(LoadSkinPack(path, pack, error)) << (path ? "empty path" : "null path");
    EXPECT_EQ(error, "Choose a skin.vbskin file.") << (path ? "empty path" : "null path");
    EXPECT_TRUE(pack == sentinel);
  }
}

TEST(LoadSkinPack, RequiredImagesInOrder) {
  // Without image i and every later one, the message names image i: the
  // images are tested in their fixed order, and each one is needed.
  for (size_t i = 0; i < kRequiredSkinAssets.size(); ++i) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = WriteSkinFolder(dir.Path(), kHeader);
    for (size_t k = i; k < kRequiredSkinAssets.size(); ++k)
      RemoveFile(dir / (std::string(kRequiredSkinAssets[k]) + ".svg"));
    SkinPack pack;
    std::string error;
    EXPECT_FALSE(LoadSkinPack(path.c_str(), pack, error)) << kRequiredSkinAssets[i];
    EXPECT_EQ(error, std::string("Missing asset: ") + kRequiredSkinAssets[i]);
    // Only image i missing gives the same message.
    WriteSkinFolder(dir.Path(), kHeader);
    RemoveFile(dir / (std::string(kRequiredSkinAssets[i]) + ".svg"));
    EXPECT_FALSE(LoadSkinPack(path.c_str(), pack, error)) << kRequiredSkinAssets[i];
    EXPECT_EQ(error, std::string("Missing asset: ") + kRequiredSkinAssets[i]);
  }
}

TEST(LoadSkinPack, ImageFiles) {
  struct ImageCase {
    const char* name;
    std::string settings;
    // Files written after the eight required SVG images; a size of -1 removes the file.
    std::vector<std::pair<std::string, long long>> files;
    std::string message;
  };
  constexpr long long kMax = kMaxSkinAssetBytes;
  const ImageCase cases[] = {
      {"all SVG", "", {}, ""},
      {"PNG when no SVG", "", {{"faceplate.svg", -1}, {"faceplate.png", 100}}, ""},
      {"neither SVG nor PNG", "", {{"faceplate.svg", -1}}, "Missing asset: faceplate"},
      {"extension in upper case",
       "",
       {{"faceplate.svg", -1}, {"faceplate.SVG", 100}, {"faceplate.PNG", 100}},
       "Missing asset: faceplate"},
      {"SVG of 8 MiB", "", {{"knob.svg", kMax}}, ""},
      {"SVG above 8 MiB", "", {{"knob.svg", kMax + 1}}, "Invalid asset: knob"},
      {"empty SVG", "", {{"button.svg", 0}}, "Invalid asset: button"},
      {"empty SVG beside a good PNG", "", {{"switch-on.svg", 0}, {"switch-on.png", 100}}, "Invalid asset: switch-on"},
      {"oversized SVG beside a good PNG",
       "",
       {{"slider-track.svg", kMax + 1}, {"slider-track.png", 100}},
       "Invalid asset: slider-track"},
      {"empty PNG", "", {{"button-active.svg", -1}, {"button-active.png", 0}}, "Invalid asset: button-active"},
      {"a folder named like the SVG", "", {{"knob.svg", -1}, {"knob.svg/inside", 10}, {"knob.png", 10}}, ""},
      {"a folder named like the PNG", "", {{"knob.svg", -1}, {"knob.png/inside", 10}}, "Missing asset: knob"},
      {"PNG above 8 MiB", "", {{"knob.svg", -1}, {"knob.png", kMax + 1}}, "Invalid asset: knob"},
      {"no knob-alt without alt_knobs", "", {}, ""},
      {"alt_knobs without knob-alt", "alt_knobs=Cutoff\n", {}, "Missing asset: knob-alt"},
      {"alt_knobs with knob-alt", "alt_knobs=Cutoff\n", {{"knob-alt.png", 100}}, ""},
      {"alt_knobs with an empty knob-alt", "alt_knobs=Cutoff\n", {{"knob-alt.svg", 0}}, "Invalid asset: knob-alt"},
      {"no slider-handle-alt without alt_sliders", "alt_knobs=Cutoff\n", {{"knob-alt.svg", 10}}, ""},
      {"alt_sliders without slider-handle-alt", "alt_sliders=250 Hz\n", {}, "Missing asset: slider-handle-alt"},
      {"alt_sliders with slider-handle-alt", "alt_sliders=250 Hz\n", {{"slider-handle-alt.svg", 10}}, ""},
      {"knob-alt is tested before slider-handle-alt",
       "alt_sliders=250 Hz\nalt_knobs=Span\n",
       {},
       "Missing asset: knob-alt"},
      {"required images before the alternates",
       "alt_knobs=Span\n",
       {{"button-active.svg", -1}},
       "Missing asset: button-active"},
      {"settings before images", "name=\n", {{"faceplate.svg", -1}}, "Invalid skin name."},
  };
  for (const ImageCase& c : cases) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = WriteSkinFolder(dir.Path(), SkinText(c.settings));
    for (const auto& [file, size] : c.files) {
      if (size < 0)
        RemoveFile(dir / file);
      else
        WriteFileOfSize(dir / file, static_cast<std::uintmax_t>(size));
    }
    SkinPack pack = SentinelPack();
    std::string error;
    EXPECT_EQ(LoadSkinPack(path.c_str(), pack, error), c.message.empty()) << c.name;
    EXPECT_EQ(error, c.message) << c.name;
    if (!c.message.empty()) {
      EXPECT_TRUE(pack == SentinelPack()) << c.name;
    }
  }
}

// A FIFO, device or socket in place of the skin file or of an image is
// recognised from its file type and refused with the loader's usual message;
// it is never opened, so nothing waits for a writer.
TEST(LoadSkinPack, SpecialFilesAreRefusedWithoutBlocking) {
  enum Special { kFifo, kSocket, kDeviceLink };
  struct SpecialCase {
    const char* name;
    std::string settings;
    const char* file;  // made special, relative to the skin folder
    Special kind;
    std::string message;
  };
  const SpecialCase cases[] = {
      {"skin file as a FIFO", "", "skin.vbskin", kFifo, "Could not read the skin file."},
      {"skin file as a link to /dev/zero", "", "skin.vbskin", kDeviceLink, "Could not read the skin file."},
      {"skin file as a socket", "", "skin.vbskin", kSocket, "Could not read the skin file."},
      {"SVG image as a FIFO", "", "knob.svg", kFifo, "Invalid asset: knob"},
      {"SVG image as a socket", "", "faceplate.svg", kSocket, "Invalid asset: faceplate"},
      {"SVG image as a link to /dev/zero", "", "button.svg", kDeviceLink, "Invalid asset: button"},
      {"PNG image as a FIFO", "", "switch-on.png", kFifo, "Invalid asset: switch-on"},
      {"alternate image as a FIFO", "alt_knobs=Cutoff\n", "knob-alt.svg", kFifo, "Invalid asset: knob-alt"},
  };
  for (const SpecialCase& c : cases) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = WriteSkinFolder(dir.Path(), SkinText(c.settings));
    const std::string special = dir / c.file;
    RemoveFile(special);
    if (std::string(c.file) == "switch-on.png") RemoveFile(dir / "switch-on.svg");
    switch (c.kind) {
      case kFifo: ASSERT_TRUE(vbtest::MakeFifo(special)) << c.name; break;
      case kSocket: ASSERT_TRUE(vbtest::MakeSocket(special)) << c.name; break;
      case kDeviceLink: std::filesystem::create_symlink("/dev/zero", special); break;
    }
    // A FIFO of its own releases the loader if it ever waits on one.
    const std::string release = c.kind == kFifo ? special : dir / "release";
    if (c.kind != kFifo) {
      ASSERT_TRUE(vbtest::MakeFifo(release));
    }

    SkinPack pack = SentinelPack();
    std::string error;
    bool ok = true;
    ASSERT_TRUE(vbtest::FinishesWithoutBlocking(release, [&] { ok = LoadSkinPack(path.c_str(), pack, error); }))
        << c.name << ": the loader blocked";
    EXPECT_FALSE(ok) << c.name;
    EXPECT_EQ(error, c.message) << c.name;
    EXPECT_TRUE(pack == SentinelPack()) << c.name;
  }
}

TEST(LoadSkinPack, CrLfLoadsLikeLf) {
  TempDir a, b;
  ASSERT_TRUE(a.Ok() && b.Ok());
  const std::string settings[] = {"# comment",
                                  "",
                                  kHeader,
                                  "name=Same",
                                  "title=TITLE",
                                  "layout=vrel-case-v1",
                                  "oled_text=#102030",
                                  "panel=#405060",
                                  "alt_knobs=Span, Fat",
                                  "alt_sliders=250 Hz"};
  std::string lf, crlf;
  for (const std::string& line : settings) {
    lf += line + "\n";
    crlf += line + "\r\n";
  }
  const std::string pathA = WriteSkinFolder(a.Path(), lf), pathB = WriteSkinFolder(b.Path(), crlf);
  for (const std::string& dir : {a.Path(), b.Path()}) {
    WriteFile(dir + "/knob-alt.svg", kTinySvg);
    WriteFile(dir + "/slider-handle-alt.svg", kTinySvg);
  }
  SkinPack fromLf, fromCrLf;
  std::string error;
  ASSERT_TRUE(LoadSkinPack(pathA.c_str(), fromLf, error)) << error;
  ASSERT_TRUE(LoadSkinPack(pathB.c_str(), fromCrLf, error)) << error;
  fromCrLf.assetFolder = fromLf.assetFolder;  // the only field that may differ
  EXPECT_TRUE(fromLf == fromCrLf);
  EXPECT_EQ(fromLf.name, "Same");
  EXPECT_EQ(fromLf.colors[kSkinPanel], 0x405060u);
  EXPECT_EQ(fromLf.altKnobs, (std::vector<std::string>{"Span", "Fat"}));
}

}  // namespace
}  // namespace vrelbazzit::test
