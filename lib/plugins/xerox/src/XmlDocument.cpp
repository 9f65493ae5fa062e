#include "XmlDocument.h"

#include <cstdint>

namespace xerox {

std::string_view XmlElement::LocalName() const {
  const std::string_view all(name);
  const size_t colon = all.find(':');
  return colon == std::string_view::npos ? all : all.substr(colon + 1);
}

const XmlElement* XmlElement::Child(std::string_view localName) const {
  for (const XmlElement& child : children) {
    if (child.LocalName() == localName) return &child;
  }
  return nullptr;
}

namespace {

// Length of the UTF-8 sequence at `at`, 0 when it is not a well-formed one (overlong forms,
// surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  return length;
}

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class XmlReader {
 public:
  XmlReader(std::string_view in, std::string& error, const XmlLimits& limits)
      : in_(in), error_(error), limits_(limits) {}

  std::optional<XmlElement> Read() {
    if (in_.size() > limits_.maxBytes) return Fail("the document is larger than " + std::to_string(limits_.maxBytes) + " bytes");
    if (!CheckCharacters()) return std::nullopt;
    if (in_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    if (!SkipMisc()) return std::nullopt;
    if (!At("<")) return Fail("no root element");
    XmlElement root;
    if (!ReadElement(root, 1)) return std::nullopt;
    if (!SkipMisc()) return std::nullopt;
    if (pos_ != in_.size()) return Fail("content after the root element");
    return root;
  }

 private:
  std::nullopt_t Fail(const std::string& what) {
    error_ = what + " (at byte " + std::to_string(pos_) + ")";
    return std::nullopt;
  }
  bool At(std::string_view text) const { return in_.substr(pos_, text.size()) == text; }
  void SkipSpace() {
    while (pos_ < in_.size() && IsSpace(in_[pos_])) ++pos_;
  }
  // Moves past `end`, which must follow; false when the document ends first.
  bool SkipPast(std::string_view end) {
    const size_t found = in_.find(end, pos_);
    if (found == std::string_view::npos) return false;
    pos_ = found + end.size();
    return true;
  }

  bool CheckCharacters() {
    for (size_t at = 0; at < in_.size();) {
      const size_t length = Utf8SequenceLength(in_, at);
      const auto c = static_cast<unsigned char>(in_[at]);
      if (length == 0 || (length == 1 && !IsXmlChar(c))) {
        pos_ = at;
        Fail(length == 0 ? "the document is not UTF-8" : "a control character");
        return false;
      }
      at += length;
    }
    return true;
  }

  // White space, comments and processing instructions outside the root element.
  bool SkipMisc() {
    for (;;) {
      SkipSpace();
      if (At("<?")) {
        if (!SkipPast("?>")) return Fail("an unterminated processing instruction"), false;
      } else if (At("<!--")) {
        if (!SkipPast("-->")) return Fail("an unterminated comment"), false;
      } else if (At("<!")) {
        return Fail("a document type declaration, which answers never need"), false;
      } else {
        return true;
      }
    }
  }

  std::string ReadName() {
    const size_t start = pos_;
    if (pos_ < in_.size() && IsNameStart(static_cast<unsigned char>(in_[pos_]))) {
      ++pos_;
      while (pos_ < in_.size() && IsNameChar(static_cast<unsigned char>(in_[pos_]))) ++pos_;
    }
    return std::string(in_.substr(start, pos_ - start));
  }

  // Character data with its references replaced, appended to `out`.
  bool Decode(std::string_view raw, std::string& out) {
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const size_t end = raw.find(';', i);
      if (end == std::string_view::npos || end - i > 12) return Fail("an unterminated reference"), false;
      const std::string_view ref = raw.substr(i + 1, end - i - 1);
      i = end;
      if (ref == "amp") out += '&';
      else if (ref == "lt") out += '<';
      else if (ref == "gt") out += '>';
      else if (ref == "quot") out += '"';
      else if (ref == "apos") out += '\'';
      else if (!DecodeCharacterReference(ref, out)) return false;
    }
    return true;
  }

  bool DecodeCharacterReference(std::string_view ref, std::string& out) {
    if (ref.size() < 2 || ref[0] != '#') return Fail("an unknown entity"), false;
    const bool hex = ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return Fail("a bad character reference"), false;
    uint32_t value = 0;
    for (const char d : digits) {
      uint32_t digit = 0;
      if (d >= '0' && d <= '9') digit = static_cast<uint32_t>(d - '0');
      else if (hex && d >= 'a' && d <= 'f') digit = static_cast<uint32_t>(d - 'a' + 10);
      else if (hex && d >= 'A' && d <= 'F') digit = static_cast<uint32_t>(d - 'A' + 10);
      else return Fail("a bad character reference"), false;
      value = value * (hex ? 16 : 10) + digit;
    }
    if (!IsXmlChar(value)) return Fail("a reference to a character XML does not allow"), false;
    AppendUtf8(value, out);
    return true;
  }

  bool ReadAttributes() {
    for (;;) {
      const size_t before = pos_;
      SkipSpace();
      if (At("/>") || At(">")) return true;
      if (pos_ == before) return Fail("no space before an attribute"), false;
      if (ReadName().empty()) return Fail("a bad attribute name"), false;
      SkipSpace();
      if (!At("=")) return Fail("an attribute without a value"), false;
      ++pos_;
      SkipSpace();
      if (pos_ >= in_.size() || (in_[pos_] != '"' && in_[pos_] != '\'')) return Fail("an unquoted attribute value"), false;
      const char quote = in_[pos_++];
      const size_t end = in_.find(quote, pos_);
      if (end == std::string_view::npos) return Fail("an unterminated attribute value"), false;
      const std::string_view raw = in_.substr(pos_, end - pos_);
      if (raw.find('<') != std::string_view::npos) return Fail("a '<' in an attribute value"), false;
      std::string ignored;
      if (!Decode(raw, ignored)) return false;
      pos_ = end + 1;
    }
  }

  bool ReadElement(XmlElement& element, size_t depth) {
    if (depth > limits_.maxDepth) return Fail("elements nested deeper than " + std::to_string(limits_.maxDepth)), false;
    if (++elements_ > limits_.maxElements) return Fail("more than " + std::to_string(limits_.maxElements) + " elements"), false;
    ++pos_;  // '<'
    element.name = ReadName();
    if (element.name.empty()) return Fail("a bad element name"), false;
    if (!ReadAttributes()) return false;
    if (At("/>")) {
      pos_ += 2;
      return true;
    }
    ++pos_;  // '>'
    for (;;) {
      if (pos_ >= in_.size()) return Fail("the document ends inside <" + element.name + ">"), false;
      if (At("</")) {
        pos_ += 2;
        const std::string closing = ReadName();
        SkipSpace();
        if (closing != element.name || !At(">")) return Fail("</" + closing + "> closes <" + element.name + ">"), false;
        ++pos_;
        return true;
      }
      if (At("<!--")) {
        if (!SkipPast("-->")) return Fail("an unterminated comment"), false;
      } else if (At("<![CDATA[")) {
        const size_t start = pos_ + 9;
        if (!SkipPast("]]>")) return Fail("an unterminated CDATA section"), false;
        element.text.append(in_.substr(start, pos_ - 3 - start));
      } else if (At("<?")) {
        if (!SkipPast("?>")) return Fail("an unterminated processing instruction"), false;
      } else if (At("<!")) {
        return Fail("a declaration inside an element"), false;
      } else if (At("<")) {
        XmlElement child;
        if (!ReadElement(child, depth + 1)) return false;
        element.children.push_back(std::move(child));
      } else {
        const size_t end = std::min(in_.find('<', pos_), in_.size());
        if (!Decode(in_.substr(pos_, end - pos_), element.text)) return false;
        pos_ = end;
      }
    }
  }

  std::string_view in_;
  std::string& error_;
  const XmlLimits& limits_;
  size_t pos_ = 0;
  size_t elements_ = 0;
};

}  // namespace

std::optional<XmlElement> ParseXml(std::string_view document, std::string& error, const XmlLimits& limits) {
  return XmlReader(document, error, limits).Read();
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace xerox
