#include "platform/StringConversion.h"

#include <gtest/gtest.h>

namespace {

using platform::NarrowToWide;
using platform::StringConversionError;
using platform::WideToNarrow;

TEST(StringConversionTest, Utf8RoundTripsThroughUtf16IncludingSurrogatePairs) {
  const std::string narrow = "C:/Scans/Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9D\x84\x9E";
  const std::u16string wide = u"C:/Scans/Gr\u00FC\u00DFe \u20AC \U0001D11E";
  EXPECT_EQ(NarrowToWide(narrow), wide);
  EXPECT_EQ(WideToNarrow(wide), narrow);
  EXPECT_EQ(NarrowToWide(""), u"");
  EXPECT_EQ(WideToNarrow(u""), "");
}

TEST(StringConversionTest, NamedCodePageIsUsedInsteadOfUtf8) {
  EXPECT_EQ(NarrowToWide("caf\xE9", "ISO-8859-1"), u"caf\u00E9");
  EXPECT_EQ(WideToNarrow(u"caf\u00E9", "ISO-8859-1"), "caf\xE9");
}

void ExpectConversionError(const std::function<void()>& convert) {
  try {
    convert();
    ADD_FAILURE() << "no exception";
  } catch (const StringConversionError& error) {
    EXPECT_STREQ(error.what(), "Error in conversion.");
  }
}

TEST(StringConversionTest, InvalidInputThrowsTheConversionError) {
  ExpectConversionError([] { NarrowToWide("bad \xC3 byte"); });
  ExpectConversionError([] { NarrowToWide("\xFF\xFE"); });
  ExpectConversionError([] { WideToNarrow(std::u16string(1, u'\xD800')); });
  ExpectConversionError([] { WideToNarrow(u"\u20AC", "ISO-8859-1"); });
  ExpectConversionError([] { NarrowToWide("x", "no-such-code-page"); });
}

// Linux file names are bytes: what is UTF-8 converts as such, every other byte b travels as the
// lone surrogate U+DC00 + b.
TEST(StringConversionTest, FileNamesConvertWhateverTheirBytes) {
  EXPECT_EQ(platform::FileNameToWide("/scans/\xc3\x9c.pdf"), u"/scans/\u00dc.pdf");
  EXPECT_EQ(platform::FileNameToWide("\xf0\x9f\x93\x84"), u"\U0001F4C4");
  EXPECT_EQ(platform::FileNameToWide("a\xe7" "b"), std::u16string({u'a', char16_t{0xDCE7}, u'b'}));
  EXPECT_EQ(platform::FileNameToWide("\xc3"), std::u16string(1, char16_t{0xDCC3}));
  // Encoded surrogates and overlong forms are not UTF-8: byte by byte.
  EXPECT_EQ(platform::FileNameToWide("\xed\xa0\x80"),
            std::u16string({char16_t{0xDCED}, char16_t{0xDCA0}, char16_t{0xDC80}}));
  EXPECT_EQ(platform::FileNameToWide("\xc0\xaf"), std::u16string({char16_t{0xDCC0}, char16_t{0xDCAF}}));
}

}  // namespace
