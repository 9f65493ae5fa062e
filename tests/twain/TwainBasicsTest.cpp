// The small fixed pieces every answer of the source is built from: FIX32
// conversion, the condition texts and the string table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/StringTable.h"
#include "twain/ConditionText.h"
#include "twain/twain.h"

namespace {

struct Fix32Case {
  double value;
  TW_INT16 whole;
  TW_UINT16 frac;
};

class Fix32Conversion : public ::testing::TestWithParam<Fix32Case> {};

TEST_P(Fix32Conversion, RoundsHalfAwayFromZeroAndConvertsBack) {
  const Fix32Case& c = GetParam();
  const TW_FIX32 fix = FloatToFix32(c.value);
  EXPECT_EQ(fix.Whole, c.whole);
  EXPECT_EQ(fix.Frac, c.frac);
}

INSTANTIATE_TEST_SUITE_P(Values, Fix32Conversion,
                         ::testing::Values(Fix32Case{300.0, 300, 0}, Fix32Case{1.5, 1, 0x8000},
                                           Fix32Case{-1.5, -2, 0x8000}, Fix32Case{-0.25, -1, 0xC000},
                                           Fix32Case{-1000.0, -1000, 0},
                                           // half a step rounds away from zero on both sides
                                           Fix32Case{1.0 / 131072.0, 0, 1}, Fix32Case{-1.0 / 131072.0, -1, 0xFFFF},
                                           // out of range saturates instead of wrapping
                                           Fix32Case{40000.0, 32767, 0xFFFF}, Fix32Case{-40000.0, -32768, 0}));

TEST(Fix32Conversion, RoundTripsEveryStepOfTheResolutionRange) {
  for (double value : {100.0, 200.0, 300.0, 600.0, 8.5, 11.0, -999.75}) {
    SCOPED_TRACE(value);
    EXPECT_DOUBLE_EQ(Fix32ToFloat(FloatToFix32(value)), value);
  }
}

TEST(ConditionText, NamesEveryCodeTheSourceReportsAndFallsBackForOthers) {
  EXPECT_STREQ(ConditionText(TWCC_SUCCESS), "Success message from detailed error request ??");
  EXPECT_STREQ(ConditionText(TWCC_SEQERROR), "DG DAT MSG is out of expected sequence.");
  EXPECT_STREQ(ConditionText(TWCC_CAPBADOPERATION), "Operation not supported by capability.");
  for (TW_UINT16 unknown : {TW_UINT16{7}, TW_UINT16{8}, TWCC_BADDEST, TWCC_CAPSEQERROR, TW_UINT16{0xFFFF}}) {
    SCOPED_TRACE(unknown);
    EXPECT_STREQ(ConditionText(unknown), "Unknown Error value in condition code.");
  }
}

struct LoadStringCase {
  const char* name;
  unsigned int id;
  int size;
  int expectedLength;
  const char* expectedText;
};

class LoadStringCutting : public ::testing::TestWithParam<LoadStringCase> {};

TEST_P(LoadStringCutting, CopiesAtMostSizeMinusOneCharactersAndTerminates) {
  const LoadStringCase& c = GetParam();
  char buffer[300];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(LoadString(c.id, buffer, c.size), c.expectedLength);
  EXPECT_STREQ(buffer, c.expectedText);
  EXPECT_EQ(buffer[c.size], 'x') << "wrote past the buffer";
}

INSTANTIATE_TEST_SUITE_P(
    Strings, LoadStringCutting,
    ::testing::Values(LoadStringCase{"WholeText", 105, 34, 8, "Velloran"},
                      LoadStringCase{"ExactFit", 105, 9, 8, "Velloran"},
                      LoadStringCase{"CutToIdentityField", 154, 34, 33, "There is error during connection "},
                      LoadStringCase{"OnlyTheTerminator", 103, 1, 0, ""},
                      LoadStringCase{"UnknownIdLeavesEmptyText", 106, 34, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadString, WritesNothingWithoutRoom) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(LoadString(105, buffer, 0), 0);
  EXPECT_EQ(LoadString(105, buffer, -5), 0);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(LoadString(105, nullptr, 34), 0);
}

TEST(LoadString, KeepsLongTextsWhole) {
  EXPECT_EQ(LoadResourceString(143),
            "There is no connection to Xerox MFP device. Probably device does not support EIP or it is disabled.");
  EXPECT_EQ(LoadResourceString(999), "");
}

}  // namespace
