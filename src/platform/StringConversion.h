#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Thrown when text cannot be converted. what() is one of the two texts below.
class StringConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kConversionFailedText = "Error in conversion.";
inline constexpr const char* kConversionLengthMismatchText = "General exection during string conversion!";

// Narrow (byte) text to UTF-16 and back. The narrow side is UTF-8 unless codePage names another
// ICU converter ("ISO-8859-1", "windows-1252", ...). Invalid input throws StringConversionError
// with kConversionFailedText; a conversion whose measuring pass and converting pass disagree
// throws it with kConversionLengthMismatchText.
std::u16string NarrowToWide(const std::string& text, const char* codePage = nullptr);
std::string WideToNarrow(const std::u16string& text, const char* codePage = nullptr);

// A file name for an interface that takes UTF-16. A Linux file name is any bytes: the runs that
// are UTF-8 convert as such, and every other byte b travels as the lone surrogate U+DC00 + b
// (b >= 0x80), which no UTF-8 text produces, so the receiver gets the very bytes back. Never
// throws.
std::u16string FileNameToWide(const std::string& path);

}  // namespace platform
