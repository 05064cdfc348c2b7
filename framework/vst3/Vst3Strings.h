// Text between our UTF-8 strings and the SDK's UTF-16 strings (String128 and
// other fixed TChar arrays, always zero-terminated, cut at a whole character).
#pragma once

#include <cstddef>
#include <string>

#include "pluginterfaces/vst/vsttypes.h"

namespace fw::vst3 {

// Writes text into dst[capacity] as UTF-16. Malformed UTF-8 bytes become U+FFFD.
// A character that does not fit whole (with the terminator) ends the text.
void Utf8ToUtf16(const std::string& text, Steinberg::Vst::TChar* dst, size_t capacity);

template <size_t N>
void Utf8ToUtf16(const std::string& text, Steinberg::Vst::TChar (&dst)[N]) {
  Utf8ToUtf16(text, dst, N);
}

// Reads a zero-terminated UTF-16 string (at most maxLength units) into UTF-8.
// Unpaired surrogates become U+FFFD. A null pointer gives "".
std::string Utf16ToUtf8(const Steinberg::Vst::TChar* text, size_t maxLength = 4096);

}  // namespace fw::vst3
