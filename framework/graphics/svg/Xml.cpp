// XML reader for SVG files (see Xml.h).
#include "framework/graphics/svg/Xml.h"

#include <cstdint>

#include "framework/plug/Utf8.h"

namespace fw::svg::xml {

const std::string* Element::Find(std::string_view attrName) const {
  for (const auto& [key, value] : attributes)
    if (key == attrName) return &value;
  return nullptr;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// Replaces character references in an attribute value; false on a malformed one.
bool Unescape(std::string_view raw, std::string& out) {
  out.clear();
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c != '&') {
      // Attribute-value normalisation: white space characters become spaces.
      out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
      continue;
    }
    std::size_t end = raw.find(';', i);
    if (end == std::string_view::npos || end - i > 12) return false;
    std::string_view ref = raw.substr(i + 1, end - i - 1);
    if (ref == "amp") out += '&';
    else if (ref == "lt") out += '<';
    else if (ref == "gt") out += '>';
    else if (ref == "quot") out += '"';
    else if (ref == "apos") out += '\'';
    else if (ref.size() >= 2 && ref[0] == '#') {
      bool hex = ref[1] == 'x';
      std::size_t k = hex ? 2 : 1;
      if (k >= ref.size()) return false;
      std::uint32_t cp = 0;
      for (; k < ref.size(); ++k) {
        char d = ref[k];
        std::uint32_t v;
        if (d >= '0' && d <= '9') v = static_cast<std::uint32_t>(d - '0');
        else if (hex && d >= 'a' && d <= 'f') v = static_cast<std::uint32_t>(d - 'a' + 10);
        else if (hex && d >= 'A' && d <= 'F') v = static_cast<std::uint32_t>(d - 'A' + 10);
        else return false;
        cp = cp * (hex ? 16 : 10) + v;
        if (cp > 0x10FFFF) return false;
      }
      if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
      AppendUtf8(out, cp);
    } else {
      return false;  // entities of a document type are not supported
    }
    i = end;
  }
  return true;
}

class Reader {
 public:
  Reader(std::string_view text, Tree& tree, std::string& error) : s_(text), tree_(tree), error_(error) {}

  bool Run() {
    tree_.elements.clear();
    std::vector<int> open;
    bool sawRoot = false;
    if (Starts("\xEF\xBB\xBF")) pos_ = 3;  // UTF-8 byte order mark
    while (pos_ < s_.size()) {
      if (s_[pos_] != '<') {
        // Character data: ignored, but outside the root only white space may appear.
        std::size_t next = s_.find('<', pos_);
        if (next == std::string_view::npos) next = s_.size();
        if (open.empty())
          for (std::size_t k = pos_; k < next; ++k)
            if (!IsSpace(s_[k])) return Fail("text outside the root element");
        pos_ = next;
        continue;
      }
      if (Starts("<!--")) {
        if (!SkipPast("-->")) return Fail("unterminated comment");
      } else if (Starts("<![CDATA[")) {
        if (open.empty()) return Fail("CDATA outside the root element");
        if (!SkipPast("]]>")) return Fail("unterminated CDATA section");
      } else if (Starts("<?")) {
        if (!SkipPast("?>")) return Fail("unterminated processing instruction");
      } else if (Starts("<!")) {
        if (sawRoot) return Fail("document type after the root element");
        if (!SkipDoctype()) return Fail("unterminated document type");
      } else if (Starts("</")) {
        pos_ += 2;
        std::string_view name = ReadName();
        SkipSpace();
        if (name.empty() || pos_ >= s_.size() || s_[pos_] != '>') return Fail("malformed end tag");
        ++pos_;
        if (open.empty() || tree_.elements[static_cast<std::size_t>(open.back())].name != name)
          return Fail("end tag </" + std::string(name) + "> does not match");
        open.pop_back();
      } else {
        ++pos_;
        if (open.empty() && sawRoot) return Fail("more than one root element");
        if (tree_.elements.size() >= kMaxElements) return Fail("too many elements");
        if (static_cast<int>(open.size()) >= kMaxDepth) return Fail("elements nested too deeply");
        Element el;
        el.name = std::string(ReadName());
        if (el.name.empty()) return Fail("malformed start tag");
        el.parent = open.empty() ? -1 : open.back();
        bool selfClosing = false;
        for (;;) {
          bool spaced = SkipSpace();
          if (pos_ >= s_.size()) return Fail("unterminated start tag <" + el.name + ">");
          if (s_[pos_] == '>') { ++pos_; break; }
          if (Starts("/>")) { pos_ += 2; selfClosing = true; break; }
          if (!spaced) return Fail("malformed attribute in <" + el.name + ">");
          std::string_view key = ReadName();
          if (key.empty()) return Fail("malformed attribute in <" + el.name + ">");
          SkipSpace();
          if (pos_ >= s_.size() || s_[pos_] != '=') return Fail("attribute without value in <" + el.name + ">");
          ++pos_;
          SkipSpace();
          if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return Fail("unquoted attribute value");
          char quote = s_[pos_++];
          std::size_t end = s_.find(quote, pos_);
          if (end == std::string_view::npos) return Fail("unterminated attribute value");
          std::string_view raw = s_.substr(pos_, end - pos_);
          if (raw.find('<') != std::string_view::npos) return Fail("'<' inside an attribute value");
          pos_ = end + 1;
          if (el.attributes.size() >= kMaxAttributesPerElement) return Fail("too many attributes");
          for (const auto& a : el.attributes)
            if (a.first == key) return Fail("attribute " + std::string(key) + " given twice");
          std::string value;
          if (!Unescape(raw, value)) return Fail("malformed character reference");
          el.attributes.emplace_back(std::string(key), std::move(value));
        }
        int index = static_cast<int>(tree_.elements.size());
        if (el.parent >= 0) tree_.elements[static_cast<std::size_t>(el.parent)].children.push_back(index);
        tree_.elements.push_back(std::move(el));
        sawRoot = true;
        if (!selfClosing) open.push_back(index);
      }
    }
    if (!open.empty()) return Fail("unclosed element <" + tree_.elements[static_cast<std::size_t>(open.back())].name + ">");
    if (!sawRoot) return Fail("no root element");
    return true;
  }

 private:
  bool Fail(std::string message) {
    error_ = std::move(message);
    tree_.elements.clear();
    return false;
  }
  bool Starts(std::string_view p) const { return s_.substr(pos_, p.size()) == p; }
  bool SkipPast(std::string_view p) {
    std::size_t end = s_.find(p, pos_);
    if (end == std::string_view::npos) return false;
    pos_ = end + p.size();
    return true;
  }
  bool SkipSpace() {
    std::size_t start = pos_;
    while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    return pos_ != start;
  }
  std::string_view ReadName() {
    std::size_t start = pos_;
    while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
    return s_.substr(start, pos_ - start);
  }
  // <!DOCTYPE ...> with an optional internal subset in brackets.
  bool SkipDoctype() {
    int bracket = 0;
    char quote = 0;
    for (pos_ += 2; pos_ < s_.size(); ++pos_) {
      char c = s_[pos_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++bracket;
      } else if (c == ']') {
        --bracket;
      } else if (c == '>' && bracket <= 0) {
        ++pos_;
        return true;
      }
    }
    return false;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  Tree& tree_;
  std::string& error_;
};

}  // namespace

bool Parse(std::string_view text, Tree& tree, std::string& error) {
  return Reader(text, tree, error).Run();
}

}  // namespace fw::svg::xml
