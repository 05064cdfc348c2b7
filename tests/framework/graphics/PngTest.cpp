// PNG decoding: every colour type and bit depth the editor may meet decodes
// to the RGBA values written into the file, and broken or oversized files give
// an invalid picture with a reason. The test files are built here, byte by
// byte (uncompressed deflate blocks), so the expected pixels are known.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "framework/graphics/image/Png.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::string;

std::uint32_t Crc32(const Bytes& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
  Put32(png, static_cast<std::uint32_t>(data.size()));
  const Bytes body = std::string(type, 4) + data;
  png += body;
  Put32(png, Crc32(body));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes Zlib(const Bytes& raw) {
  Bytes z = "\x78\x01";
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
    const bool last = pos + n == raw.size();
    z += static_cast<char>(last ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z += raw.substr(pos, n);
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);
  return z;
}

struct PngLayout {
  int width, height, depth, colorType;
  std::vector<Bytes> rows;  // packed samples of each row, without the filter byte
  Bytes palette, transparency;
};

Bytes MakePng(const PngLayout& s) {
  Bytes png = "\x89PNG\r\n\x1a\n";
  Bytes ihdr;
  Put32(ihdr, static_cast<std::uint32_t>(s.width));
  Put32(ihdr, static_cast<std::uint32_t>(s.height));
  ihdr += static_cast<char>(s.depth);
  ihdr += static_cast<char>(s.colorType);
  ihdr += std::string(3, '\0');
  Chunk(png, "IHDR", ihdr);
  if (!s.palette.empty()) Chunk(png, "PLTE", s.palette);
  if (!s.transparency.empty()) Chunk(png, "tRNS", s.transparency);
  Bytes raw;
  for (const Bytes& row : s.rows) raw += '\0' + row;
  Chunk(png, "IDAT", Zlib(raw));
  Chunk(png, "IEND", "");
  return png;
}

Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out += static_cast<char>(x);
  return out;
}

using Px = std::array<int, 4>;

TEST(Png, EveryColourTypeAndDepthDecodesToItsRgba) {
  struct Case {
    const char* name;
    PngLayout layout;
    std::vector<Px> want;  // 2 x 2, row by row
  };
  const std::vector<Case> cases = {
      {"RGBA 8", {2, 2, 8, 6, {B({255, 0, 0, 255, 0, 255, 0, 128}), B({0, 0, 255, 0, 10, 20, 30, 40})}, "", ""},
       {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 0}, {10, 20, 30, 40}}},
      {"RGB 8", {2, 2, 8, 2, {B({255, 0, 0, 0, 255, 0}), B({0, 0, 255, 10, 20, 30})}, "", ""},
       {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {10, 20, 30, 255}}},
      {"grey 8", {2, 2, 8, 0, {B({0, 128}), B({255, 7})}, "", ""},
       {{0, 0, 0, 255}, {128, 128, 128, 255}, {255, 255, 255, 255}, {7, 7, 7, 255}}},
      {"grey + alpha 8", {2, 2, 8, 4, {B({100, 50, 200, 255}), B({0, 0, 255, 128})}, "", ""},
       {{100, 100, 100, 50}, {200, 200, 200, 255}, {0, 0, 0, 0}, {255, 255, 255, 128}}},
      {"grey 8 with a transparent value", {2, 2, 8, 0, {B({0, 128}), B({128, 7})}, "", B({0, 128})},
       {{0, 0, 0, 255}, {128, 128, 128, 0}, {128, 128, 128, 0}, {7, 7, 7, 255}}},
      {"grey 1", {2, 2, 1, 0, {B({0x80}), B({0x40})}, "", ""},  // bits 1 0 / 0 1, most significant first
       {{255, 255, 255, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}}},
      {"palette 8 with alpha", {2, 2, 8, 3, {B({0, 1}), B({2, 1})}, B({255, 0, 0, 0, 255, 0, 0, 0, 255}), B({255, 100})},
       {{255, 0, 0, 255}, {0, 255, 0, 100}, {0, 0, 255, 255}, {0, 255, 0, 100}}},
      {"palette 2", {2, 2, 2, 3, {B({0x1 << 6 | 0x2 << 4}), B({0x3 << 6 | 0x0 << 4})}, B({0, 0, 0, 9, 9, 9, 50, 60, 70, 1, 2, 3}), ""},
       {{9, 9, 9, 255}, {50, 60, 70, 255}, {1, 2, 3, 255}, {0, 0, 0, 255}}},
      {"RGBA 16", {2, 2, 16, 6,
                   {B({0xFF, 0xFF, 0, 0, 0x80, 0x00, 0xFF, 0xFF, 0, 0, 0x12, 0x34, 0, 0, 0x40, 0xFF}),
                    B({1, 0, 2, 0, 3, 0, 4, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
                   "", ""},
       {{255, 0, 128, 255}, {0, 18, 0, 64}, {1, 2, 3, 4}, {255, 255, 255, 0}}},  // the high byte of each sample
      {"RGB 16", {2, 2, 16, 2, {B({0xFF, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD, 0, 0}), B({0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF})}, "", ""},
       {{255, 0, 0, 255}, {0, 171, 0, 255}, {0, 0, 0, 255}, {127, 127, 127, 255}}},
      {"grey 16", {2, 2, 16, 0, {B({0, 0, 0xFF, 0xFF}), B({0x80, 0x01, 0x10, 0xFF})}, "", ""},
       {{0, 0, 0, 255}, {255, 255, 255, 255}, {128, 128, 128, 255}, {16, 16, 16, 255}}},
  };
  for (const Case& c : cases) {
    std::string error;
    const fw::image::Rgba8Image img = fw::image::DecodePng(MakePng(c.layout), &error);
    ASSERT_TRUE(img.Valid()) << c.name << ": " << error;
    ASSERT_EQ(img.width, 2) << c.name;
    ASSERT_EQ(img.height, 2) << c.name;
    ASSERT_EQ(img.pixels.size(), 16u) << c.name;
    for (std::size_t i = 0; i < 4; ++i)
      for (std::size_t ch = 0; ch < 4; ++ch)
        EXPECT_EQ(img.pixels[i * 4 + ch], c.want[i][ch]) << c.name << ", pixel " << i << ", channel " << ch;
  }
}

TEST(Png, BrokenOrOversizedFilesAreInvalidWithAReason) {
  const PngLayout ok{2, 2, 8, 0, {B({1, 2}), B({3, 4})}, "", ""};
  const Bytes good = MakePng(ok);
  PngLayout huge = ok;
  huge.width = 100000;
  huge.height = 100000;
  PngLayout wide = ok;
  wide.width = fw::image::kMaxSide + 1;
  wide.height = 1;
  PngLayout zero = ok;
  zero.width = 0;
  PngLayout badDepth = ok;
  badDepth.depth = 3;
  Bytes noData = "\x89PNG\r\n\x1a\n";
  noData += good.substr(8, 25);  // the IHDR chunk only
  Chunk(noData, "IEND", "");
  Bytes badZlib = good;
  badZlib[good.find("IDAT") + 6] = static_cast<char>(0x07);  // an invalid block type
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "not a picture"},
      {"JPEG", "\xFF\xD8\xFF\xE0\x00\x10JFIF"},
      {"signature only", good.substr(0, 8)},
      {"cut in the header", good.substr(0, 20)},
      {"cut in the data", good.substr(0, good.size() - 20)},
      {"no image data", noData},
      {"broken compressed data", badZlib},
      {"100000 x 100000", MakePng(huge)},
      {"wider than the bound", MakePng(wide)},
      {"zero width", MakePng(zero)},
      {"bit depth 3", MakePng(badDepth)},
  };
  for (const auto& c : cases) {
    std::string error;
    const fw::image::Rgba8Image img = fw::image::DecodePng(c.bytes, &error);
    EXPECT_FALSE(img.Valid()) << c.name;
    EXPECT_TRUE(img.pixels.empty()) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

TEST(Png, LoadsFromAFileAndNamesAMissingOne) {
  vbtest::TempDir tmp;
  ASSERT_TRUE(tmp.Ok());
  const std::string path = tmp / "grey.png";
  {
    std::ofstream out(path, std::ios::binary);
    out << MakePng({1, 1, 8, 0, {B({200})}, "", ""});
  }
  std::string error;
  const fw::image::Rgba8Image img = fw::image::LoadPng(path, &error);
  ASSERT_TRUE(img.Valid()) << error;
  EXPECT_EQ(img.pixels[0], 200);
  EXPECT_EQ(img.pixels[3], 255);

  const fw::image::Rgba8Image missing = fw::image::LoadPng(tmp / "nothing.png", &error);
  EXPECT_FALSE(missing.Valid());
  EXPECT_NE(error.find("nothing.png"), std::string::npos) << error;
}

}  // namespace
