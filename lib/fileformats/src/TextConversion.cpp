#include "TextConversion.h"

#include <cstdint>

namespace fileformats {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
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

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<char16_t>(0xD800 | (c >> 10));
  out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point starting at text[i] and its length in bytes; kReplacement with length 1 for a
// byte that does not start a well-formed sequence (overlong forms and surrogates included).
std::pair<char32_t, size_t> DecodeUtf8(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return {kReplacement, 1};
  }
  if (i + length > text.size()) return {kReplacement, 1};
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {kReplacement, 1};
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) return {kReplacement, 1};
  return {c, length};
}

}  // namespace

namespace {

std::optional<std::string> Utf16ToBytes(const char16_t* text, bool escapedBytes) {
  std::string out;
  for (const char16_t* p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (escapedBytes && c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00);
      continue;
    }
    if (IsLowSurrogate(c)) return std::nullopt;
    if (IsHighSurrogate(c)) {
      if (!IsLowSurrogate(p[1])) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

std::optional<std::string> Utf16ToUtf8(const char16_t* text) { return Utf16ToBytes(text, /*escapedBytes=*/false); }

std::optional<std::string> Utf16ToFileName(const char16_t* text) { return Utf16ToBytes(text, /*escapedBytes=*/true); }

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto [c, length] = DecodeUtf8(text, i);
    AppendUtf16(out, c);
    i += length;
  }
  return out;
}

}  // namespace fileformats
