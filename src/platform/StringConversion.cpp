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

}  // namespace

std::u16string NarrowToWide(const std::string& text, const char* codePage) {
  if (text.empty()) return {};
  const int32_t sourceLength = CheckedLength(text.size());
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  ConverterPtr converter;
  if (codePage == nullptr) {
    u_strFromUTF8(nullptr, 0, &needed, text.data(), sourceLength, &status);
  } else {
    converter = OpenStrictConverter(codePage);
    needed = ucnv_toUChars(converter.get(), nullptr, 0, text.data(), sourceLength, &status);
  }
  if (!IsMeasureOnlyResult(status) || needed <= 0) throw StringConversionError(kConversionFailedText);

  std::u16string result(static_cast<size_t>(needed), u'\0');
  status = U_ZERO_ERROR;
  int32_t written = 0;
  if (codePage == nullptr) {
    u_strFromUTF8(result.data(), needed, &written, text.data(), sourceLength, &status);
  } else {
    ucnv_reset(converter.get());
    written = ucnv_toUChars(converter.get(), result.data(), needed, text.data(), sourceLength, &status);
  }
  if (U_FAILURE(status)) throw StringConversionError(kConversionFailedText);
  if (written != needed) throw StringConversionError(kConversionLengthMismatchText);
  return result;
}

std::string WideToNarrow(const std::u16string& text, const char* codePage) {
  if (text.empty()) return {};
  const int32_t sourceLength = CheckedLength(text.size());
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  ConverterPtr converter;
  if (codePage == nullptr) {
    u_strToUTF8(nullptr, 0, &needed, text.data(), sourceLength, &status);
  } else {
    converter = OpenStrictConverter(codePage);
    needed = ucnv_fromUChars(converter.get(), nullptr, 0, text.data(), sourceLength, &status);
  }
  if (!IsMeasureOnlyResult(status) || needed <= 0) throw StringConversionError(kConversionFailedText);

  std::string result(static_cast<size_t>(needed), '\0');
  status = U_ZERO_ERROR;
  int32_t written = 0;
  if (codePage == nullptr) {
    u_strToUTF8(result.data(), needed, &written, text.data(), sourceLength, &status);
  } else {
    ucnv_reset(converter.get());
    written = ucnv_fromUChars(converter.get(), result.data(), needed, text.data(), sourceLength, &status);
  }
  if (U_FAILURE(status)) throw StringConversionError(kConversionFailedText);
  if (written != needed) throw StringConversionError(kConversionLengthMismatchText);
  return result;
}

}  // namespace platform
