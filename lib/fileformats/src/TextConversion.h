#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fileformats {

// NUL-terminated UTF-16 to UTF-8; nullopt when the text holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(const char16_t* text);

// A file name from the interface: UTF-16 to UTF-8, where a lone U+DC80..U+DCFF stands for the
// one byte 0x80..0xFF of a name that is not UTF-8 (the data source sends such names that way);
// nullopt for any other unpaired surrogate.
std::optional<std::string> Utf16ToFileName(const char16_t* text);

// UTF-8 to UTF-16 for messages: bytes that are not UTF-8 (file names may hold any) become
// U+FFFD each, so the text always converts.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace fileformats
