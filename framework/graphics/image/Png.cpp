// PNG decoding with stb_image (see Png.h). Only the PNG decoder is compiled in.
#include "framework/graphics/image/Png.h"

#include <cstring>

#include "framework/graphics/FileBytes.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace fw::image {

namespace {
constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

Rgba8Image Refuse(std::string* error, const char* message) {
  if (error) *error = message;
  return Rgba8Image{};
}
}  // namespace

Rgba8Image DecodePng(std::string_view bytes, std::string* error) {
  if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0)
    return Refuse(error, "not a PNG file");
  if (bytes.size() > kMaxPngBytes) return Refuse(error, "PNG file too large");
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int size = static_cast<int>(bytes.size());
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, size, &w, &h, &channels)) return Refuse(error, "damaged PNG header");
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || static_cast<std::int64_t>(w) * h > kMaxPixels)
    return Refuse(error, "PNG picture too large");
  stbi_uc* decoded = stbi_load_from_memory(data, size, &w, &h, &channels, 4);
  if (decoded == nullptr) return Refuse(error, "damaged PNG data");
  Rgba8Image out;
  out.width = w;
  out.height = h;
  out.pixels.assign(decoded, decoded + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  stbi_image_free(decoded);
  return out;
}

Rgba8Image LoadPng(const std::string& path, std::string* error) {
  std::string bytes, message;
  if (!ReadFileBytes(path, kMaxPngBytes, bytes, message)) {
    if (error) *error = message;
    return Rgba8Image{};
  }
  Rgba8Image image = DecodePng(bytes, &message);
  if (!image.Valid() && error) *error = path + ": " + message;
  return image;
}

}  // namespace fw::image
