#include "FtpCommandParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ftpserv {
namespace {

constexpr size_t kMaxLine = 64;

struct LineCase {
  const char* name;
  std::string input;
  FtpCommandParser::Result result;
  const char* verb;
  const char* argument;
};

const LineCase kLineCases[] = {
    {"VerbOnly", "NOOP\r\n", FtpCommandParser::Result::Complete, "NOOP", ""},
    {"LowerCaseVerb", "stor a.jpg\r\n", FtpCommandParser::Result::Complete, "STOR", "a.jpg"},
    {"ArgumentKeepsSpaces", "STOR my scan .pdf\r\n", FtpCommandParser::Result::Complete, "STOR", "my scan .pdf"},
    {"BareLineFeed", "PWD\n", FtpCommandParser::Result::Complete, "PWD", ""},
    {"Utf8Argument", "MKD \xc3\xa9t\xc3\xa9\r\n", FtpCommandParser::Result::Complete, "MKD", "\xc3\xa9t\xc3\xa9"},
    {"TelnetInterruptBeforeAbor", "\xff\xf4\xff\xf2" "ABOR\r\n", FtpCommandParser::Result::Complete, "ABOR", ""},
    {"TelnetOptionSkipped", "NO\xff\xfb\x01OP\r\n", FtpCommandParser::Result::Complete, "NOOP", ""},
    {"EmptyLine", "\r\n", FtpCommandParser::Result::Malformed, "", ""},
    {"NulInArgument", std::string("STOR a\0b\r\n", 10), FtpCommandParser::Result::Malformed, "STOR", ""},
    {"ControlCharacterInArgument", "CWD a\x1b[2J\r\n", FtpCommandParser::Result::Malformed, "CWD", ""},
    {"DigitInVerb", "ST0R x\r\n", FtpCommandParser::Result::Malformed, "ST0R", ""},
    {"BareCarriageReturn", "CWD a\rb\r\n", FtpCommandParser::Result::Malformed, "CWD", ""},
    {"LineTooLong", "STOR " + std::string(kMaxLine, 'a') + "\r\n", FtpCommandParser::Result::TooLong, "", ""},
};

class FtpCommandParserLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(FtpCommandParserLineTest, GivesTheSameResultWhereverTheInputIsSplit) {
  const LineCase& line = GetParam();
  for (size_t split = 0; split <= line.input.size(); ++split) {
    SCOPED_TRACE("split at " + std::to_string(split));
    FtpCommandParser parser(kMaxLine);
    auto first = parser.Parse(std::string_view(line.input).substr(0, split));
    auto result = first.result;
    if (result == FtpCommandParser::Result::NeedMore) {
      ASSERT_EQ(first.consumed, split);
      result = parser.Parse(std::string_view(line.input).substr(split)).result;
    }
    ASSERT_EQ(result, line.result);
    if (line.result == FtpCommandParser::Result::Complete) {
      EXPECT_EQ(parser.command().verb, line.verb);
      EXPECT_EQ(parser.command().argument, line.argument);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, FtpCommandParserLineTest, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(FtpCommandParserTest, KeepsPipelinedCommandsForTheNextCall) {
  FtpCommandParser parser(kMaxLine);
  std::string input = "USER scan\r\nPASS secret\r\nbad\x01\r\nPWD\r\nCW";
  std::vector<std::string> seen;
  for (;;) {
    const auto step = parser.Parse(input);
    input.erase(0, step.consumed);
    if (step.result == FtpCommandParser::Result::NeedMore) break;
    seen.push_back(step.result == FtpCommandParser::Result::Complete
                       ? parser.command().verb + "|" + parser.command().argument
                       : "malformed");
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"USER|scan", "PASS|secret", "malformed", "PWD|"}));
  EXPECT_TRUE(input.empty());
  ASSERT_EQ(parser.Parse("D x\r\n").result, FtpCommandParser::Result::Complete);
  EXPECT_EQ(parser.command().verb, "CWD");
  EXPECT_EQ(parser.command().argument, "x");
}

TEST(FtpCommandParserTest, StaysTooLongUntilReset) {
  FtpCommandParser parser(8);
  EXPECT_EQ(parser.Parse("STOR 123456789").result, FtpCommandParser::Result::TooLong);
  EXPECT_EQ(parser.Parse("\r\nNOOP\r\n").result, FtpCommandParser::Result::TooLong);
  parser.Reset();
  EXPECT_EQ(parser.Parse("NOOP\r\n").result, FtpCommandParser::Result::Complete);
}

}  // namespace
}  // namespace ftpserv
