// The two value parsers of the skin file: colours and name lists.
#include <algorithm>

#include "SkinPack.h"

namespace vrelbazzit {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool ParseSkinColor(const std::string& text, uint32_t& out) {
  if (text.size() != 7 || text[0] != '#') return false;
  uint32_t value = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  out = value;
  return true;
}

bool ParseSkinNames(const std::string& text, std::vector<std::string>& names) {
  if (text.empty() || text.size() > kMaxNameListBytes) return false;

  // Items are collected apart, so a list that fails leaves the caller's untouched.
  std::vector<std::string> items;
  const size_t size = text.size();
  size_t pos = 0;
  while (pos < size) {
    const size_t comma = text.find(',', pos);
    const size_t end = comma == std::string::npos ? size : comma;
    size_t first = pos;
    while (first < size && text[first] == ' ') ++first;
    if (first == size) return false;  // only blanks remain
    if (first >= end) return false;   // an empty item
    size_t last = end;
    while (last > first && text[last - 1] == ' ') --last;
    std::string item = text.substr(first, last - first);
    if (item.size() > kMaxNameListItemBytes) return false;
    if (items.size() >= kMaxNameListItems) return false;
    if (std::find(items.begin(), items.end(), item) != items.end()) return false;
    items.push_back(std::move(item));
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  if (items.empty() || text.back() == ',') return false;

  for (std::string& item : items) names.push_back(std::move(item));
  return true;
}

}  // namespace vrelbazzit
