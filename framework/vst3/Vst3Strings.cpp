#include "Vst3Strings.h"

#include <cstdint>

#include "framework/plug/Utf8.h"

namespace fw::vst3 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i]; advances i past it.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
  const auto lead = static_cast<uint8_t>(text[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (static_cast<uint8_t>(text[i++]) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not characters.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  return cp;
}

}  // namespace

void Utf8ToUtf16(const std::string& text, Steinberg::Vst::TChar* dst, size_t capacity) {
  if (!dst || capacity == 0) return;
  size_t n = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = DecodeUtf8(text, i);
    const size_t units = cp >= 0x10000 ? 2 : 1;
    if (n + units + 1 > capacity) break;
    if (units == 2) {
      const char32_t v = cp - 0x10000;
      dst[n++] = static_cast<Steinberg::Vst::TChar>(0xD800 + (v >> 10));
      dst[n++] = static_cast<Steinberg::Vst::TChar>(0xDC00 + (v & 0x3FF));
    } else {
      dst[n++] = static_cast<Steinberg::Vst::TChar>(cp);
    }
  }
  dst[n] = 0;
}

std::string Utf16ToUtf8(const Steinberg::Vst::TChar* text, size_t maxLength) {
  std::string out;
  if (!text) return out;
  for (size_t i = 0; i < maxLength && text[i] != 0; ++i) {
    const auto u = static_cast<char32_t>(static_cast<uint16_t>(text[i]));
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < maxLength) {
      const auto low = static_cast<char32_t>(static_cast<uint16_t>(text[i + 1]));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
  }
  return out;
}

}  // namespace fw::vst3
