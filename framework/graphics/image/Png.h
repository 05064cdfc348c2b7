// PNG decoding through stb_image (libstb-dev) into an RGBA8 picture: 8 and 16
// bit, palette, grey and colour, with or without alpha. A file that does not
// decode, or is too large, gives an invalid picture and never crashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw::image {

// Bounds: larger files or pictures are refused before decoding.
inline constexpr std::size_t kMaxPngBytes = 64u << 20;
inline constexpr int kMaxSide = 8192;
inline constexpr std::int64_t kMaxPixels = 16 * 1024 * 1024;

struct Rgba8Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // rows top to bottom, R G B A, straight alpha

  bool Valid() const { return width > 0 && height > 0; }
};

// Decodes PNG bytes; an invalid picture (with `error` set) when they are not
// a PNG file stb_image can decode within the bounds.
Rgba8Image DecodePng(std::string_view bytes, std::string* error = nullptr);
// Reads and decodes a PNG file (UTF-8 path).
Rgba8Image LoadPng(const std::string& path, std::string* error = nullptr);

}  // namespace fw::image
