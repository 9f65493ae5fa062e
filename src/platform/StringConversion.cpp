#include "platform/StringConversion.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>

namespace platform {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Invalid input must fail rather than turn into substitution characters.
ConverterPtr OpenStrictConverter(const char* codePage) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(codePage, &status));
  if (U_FAILURE(status) || !converter) throw StringConversionError(kConversionFailedText);
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) throw StringConversionError(kConversionFailedText);
  return converter;
}

bool IsMeasureOnlyResult(UErrorCode status) {
  return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

int32_t CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT32_MAX)) throw StringConversionError(kConversionFailedText);
  return static_cast<int32_t>(size);
}

// Runs `convert(out, capacity, status) -> length` once to measure and once to write, the way
// every ICU conversion is driven.
template <typename Result, typename Convert>
Result MeasureThenConvert(Convert convert) {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed = convert(nullptr, 0, status);
  if (!IsMeasureOnlyResult(status) || needed <= 0) throw StringConversionError(kConversionFailedText);
  Result result(static_cast<size_t>(needed), typename Result::value_type{});
  status = U_ZERO_ERROR;
  const int32_t written = convert(result.data(), needed, status);
  if (U_FAILURE(status)) throw StringConversionError(kConversionFailedText);
  if (written != needed) throw StringConversionError(kConversionLengthMismatchText);
  return result;
}

}  // namespace

std::u16string NarrowToWide(const std::string& text, const char* codePage) {
  if (text.empty()) return {};
  const int32_t sourceLength = CheckedLength(text.size());
  const ConverterPtr converter = codePage == nullptr ? nullptr : OpenStrictConverter(codePage);
  return MeasureThenConvert<std::u16string>([&](char16_t* out, int32_t capacity, UErrorCode& status) {
    int32_t length = 0;
    if (converter == nullptr) {
      u_strFromUTF8(out, capacity, &length, text.data(), sourceLength, &status);
    } else {
      ucnv_reset(converter.get());
      length = ucnv_toUChars(converter.get(), out, capacity, text.data(), sourceLength, &status);
    }
    return length;
  });
}

std::string WideToNarrow(const std::u16string& text, const char* codePage) {
  if (text.empty()) return {};
  const int32_t sourceLength = CheckedLength(text.size());
  const ConverterPtr converter = codePage == nullptr ? nullptr : OpenStrictConverter(codePage);
  return MeasureThenConvert<std::string>([&](char* out, int32_t capacity, UErrorCode& status) {
    int32_t length = 0;
    if (converter == nullptr) {
      u_strToUTF8(out, capacity, &length, text.data(), sourceLength, &status);
    } else {
      ucnv_reset(converter.get());
      length = ucnv_fromUChars(converter.get(), out, capacity, text.data(), sourceLength, &status);
    }
    return length;
  });
}

namespace {

// The length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the byte
// there starts none (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceAt(const std::string& text, size_t i, char32_t& codePoint) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

}  // namespace

std::u16string FileNameToWide(const std::string& path) {
  std::u16string wide;
  wide.reserve(path.size());
  for (size_t i = 0; i < path.size();) {
    char32_t c = 0;
    const size_t length = Utf8SequenceAt(path, i, c);
    if (length == 0) {
      wide += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(path[i]));
      ++i;
      continue;
    }
    if (c < 0x10000) {
      wide += static_cast<char16_t>(c);
    } else {
      wide += static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF));
    }
    i += length;
  }
  return wide;
}

}  // namespace platform
