// libFuzzer target for PNG loading. Invariants: a refused file gives an empty
// picture and a reason; an accepted one has a size within the bounds and
// exactly width x height RGBA pixels.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "framework/graphics/image/Png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  const fw::image::Rgba8Image img =
      fw::image::DecodePng(std::string_view(reinterpret_cast<const char*>(data), size), &error);
  if (!img.Valid()) {
    FUZZ_CHECK(img.pixels.empty() && !error.empty());
    return 0;
  }
  FUZZ_CHECK(img.width <= fw::image::kMaxSide && img.height <= fw::image::kMaxSide);
  FUZZ_CHECK(static_cast<std::int64_t>(img.width) * img.height <= fw::image::kMaxPixels);
  FUZZ_CHECK(img.pixels.size() == static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height) * 4);
  return 0;
}
