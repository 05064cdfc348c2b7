// The skin file's value parsers: colours and name lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skins/SkinPack.h"

namespace vrelbazzit::test {
namespace {

TEST(ParseSkinColor, AcceptsHashAndSixHexDigits) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t value;  // R x 65536 + G x 256 + B
  };
  const Case cases[] = {
      {"#000000", true, 0},
      {"#FFFFFF", true, 0xFFFFFF},
      {"#ffffff", true, 0xFFFFFF},
      {"#60D7C2", true, 96 * 65536 + 215 * 256 + 194},
      {"#a1B2c3", true, 0xA1B2C3},
      {"#0000ff", true, 255},
      {"#010000", true, 65536},
      {"", false, 0},
      {"#", false, 0},
      {"60D7C2", false, 0},
      {"#60D7C", false, 0},
      {"#60D7C2A", false, 0},
      {"#60D7CG", false, 0},
      {"#60 7C2", false, 0},
      {"#-1D7C2", false, 0},
      {"#0x1234", false, 0},
      {"60D7C2#", false, 0},
      {"##60D7C", false, 0},
      {" #60D7C2", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t out = 0xDEADBEEF;
    EXPECT_EQ(ParseSkinColor(c.text, out), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(out, c.ok ? c.value : 0xDEADBEEFu) << '"' << c.text << "\": output written only on success";
  }
  // Every byte that is not a hex digit fails in every digit position.
  for (int b = 0; b < 256; ++b) {
    const char ch = static_cast<char>(b);
    const bool hex = (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
    for (size_t pos = 1; pos < 7; ++pos) {
      std::string text = "#000000";
      text[pos] = ch;
      uint32_t out = 7;
      EXPECT_EQ(ParseSkinColor(text, out), hex) << "byte " << b << " at " << pos;
    }
  }
}

TEST(ParseSkinNames, Lists) {
  using Names = std::vector<std::string>;
  std::string item48(48, 'a'), item49(49, 'a');
  // 16 distinct items "n00" ... "n15" and a 17th.
  std::string sixteen, seventeen;
  Names sixteenNames;
  for (int i = 0; i < 17; ++i) {
    const std::string item = "n" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    if (i < 16) {
      sixteen += (i ? "," : "") + item;
      sixteenNames.push_back(item);
    }
    seventeen += (i ? "," : "") + item;
  }
  // 256 bytes: five items of 48 bytes, commas, and a sixth of 11 bytes.
  std::string at256;
  for (char c : std::string("abcde")) at256 += std::string(48, c) + ",";
  at256 += std::string(11, 'f');
  const std::string at257 = at256 + "f";

  struct Case {
    const char* name;
    std::string text;
    bool ok;
    Names names;
  };
  const Case cases[] = {
      {"one name", "Cutoff", true, {"Cutoff"}},
      {"two names", "Cutoff,Span", true, {"Cutoff", "Span"}},
      {"comma and blank", "Osc 1 Level, Cutoff", true, {"Osc 1 Level", "Cutoff"}},
      {"blanks around names", "  Fat  ,  Width ", true, {"Fat", "Width"}},
      {"blanks inside a name stay", "Filter Env Amount", true, {"Filter Env Amount"}},
      {"tabs are not blanks", "\tFat\t, Span", true, {"\tFat\t", "Span"}},
      {"case matters for duplicates", "fat,Fat", true, {"fat", "Fat"}},
      {"an unknown name is still a name", "No Such Knob", true, {"No Such Knob"}},
      {"48-byte item", item48, true, {item48}},
      {"16 items", sixteen, true, sixteenNames},
      {"256 bytes",
       at256,
       true,
       {std::string(48, 'a'), std::string(48, 'b'), std::string(48, 'c'), std::string(48, 'd'), std::string(48, 'e'),
        std::string(11, 'f')}},
      {"empty", "", false, {}},
      {"only blanks", "   ", false, {}},
      {"only a comma", ",", false, {}},
      {"leading comma", ",Fat", false, {}},
      {"trailing comma", "Fat,", false, {}},
      {"trailing comma and blank", "Fat, ", false, {}},
      {"two commas in a row", "Fat,,Span", false, {}},
      {"blank item between commas", "Fat, ,Span", false, {}},
      {"49-byte item", item49, false, {}},
      {"49-byte item after blanks", "   " + item49 + "   ", false, {}},
      {"17 items", seventeen, false, {}},
      {"257 bytes", at257, false, {}},
      {"duplicate", "Fat,Span,Fat", false, {}},
      {"duplicate after trimming", "Fat, Fat ", false, {}},
  };
  for (const Case& c : cases) {
    Names names = {"kept"};
    EXPECT_EQ(ParseSkinNames(c.text, names), c.ok) << c.name;
    Names want = {"kept"};
    if (c.ok) want.insert(want.end(), c.names.begin(), c.names.end());
    EXPECT_EQ(names, want) << c.name << (c.ok ? ": names appended in order" : ": list untouched on failure");
  }
}

}  // namespace
}  // namespace vrelbazzit::test
