// A small XML reader for SVG files: elements, attributes and the five named
// and numeric character references, into a tree of elements. Text content,
// comments, processing instructions, CDATA and the document type are read
// past and dropped: SVG drawings carry their geometry in attributes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fw::svg::xml {

struct Element {
  std::string name;  // qualified name as written ("svg", "xlink:href" stays in attributes)
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<int> children;  // indices into Tree::elements
  int parent = -1;

  // The attribute's value, or nullptr when absent.
  const std::string* Find(std::string_view attrName) const;
};

// Bounds that keep a hostile file from exhausting memory or the stack.
inline constexpr std::size_t kMaxElements = 200000;
inline constexpr std::size_t kMaxAttributesPerElement = 256;
inline constexpr int kMaxDepth = 256;

struct Tree {
  std::vector<Element> elements;  // element 0 is the root when parsing succeeded
};

// Reads the bytes into a tree; false with a one-line message on malformed
// input (unbalanced tags, unterminated markup, bad references, no root, more
// than one root, or a bound exceeded).
bool Parse(std::string_view text, Tree& tree, std::string& error);

}  // namespace fw::svg::xml
