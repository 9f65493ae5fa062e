#include "FtpCommandParser.h"

namespace ftpserv {
namespace {

constexpr unsigned char kTelnetIac = 255;
constexpr unsigned char kTelnetWill = 251;
constexpr unsigned char kTelnetDont = 254;

bool IsLetter(unsigned char byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }
bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }
char ToUpper(unsigned char byte) { return static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte); }

}  // namespace

FtpCommandParser::FtpCommandParser(size_t maxLineLength) : maxLineLength_(maxLineLength) {}

void FtpCommandParser::Reset() {
  state_ = State::Verb;
  resumeState_ = State::Verb;
  lineLength_ = 0;
  malformed_ = false;
  current_ = {};
}

FtpCommandParser::Step FtpCommandParser::Parse(std::string_view input) {
  size_t used = 0;
  while (used < input.size()) {
    const Result result = Consume(static_cast<unsigned char>(input[used]));
    ++used;
    if (result != Result::NeedMore) return {result, used};
  }
  return {state_ == State::Overflow ? Result::TooLong : Result::NeedMore, used};
}

FtpCommandParser::Result FtpCommandParser::Consume(unsigned char byte) {
  if (state_ == State::Overflow) return Result::TooLong;
  if (++lineLength_ > maxLineLength_) {
    state_ = State::Overflow;
    return Result::TooLong;
  }
  switch (state_) {
    case State::TelnetCommand:
      if (byte == kTelnetIac) {  // an escaped 255 is data
        state_ = resumeState_;
        Append(byte);
        return Result::NeedMore;
      }
      state_ = (byte >= kTelnetWill && byte <= kTelnetDont) ? State::TelnetOption : resumeState_;
      return Result::NeedMore;
    case State::TelnetOption:
      state_ = resumeState_;
      return Result::NeedMore;
    case State::LineFeed:
      if (byte == '\n') return EndLine();
      if (byte != '\r') {  // a bare CR inside a line
        malformed_ = true;
        state_ = State::Argument;
      }
      return Result::NeedMore;
    case State::Verb:
    case State::Argument:
      break;
    case State::Overflow:
      return Result::TooLong;
  }
  if (byte == kTelnetIac) {
    resumeState_ = state_;
    state_ = State::TelnetCommand;
    return Result::NeedMore;
  }
  if (byte == '\n') return EndLine();
  if (byte == '\r') {
    state_ = State::LineFeed;
    return Result::NeedMore;
  }
  Append(byte);
  return Result::NeedMore;
}

void FtpCommandParser::Append(unsigned char byte) {
  if (state_ == State::Verb) {
    if (byte == ' ') {
      state_ = State::Argument;
      return;
    }
    if (!IsLetter(byte)) malformed_ = true;
    current_.verb.push_back(ToUpper(byte));
    return;
  }
  if (IsControl(byte)) malformed_ = true;
  current_.argument.push_back(static_cast<char>(byte));
}

FtpCommandParser::Result FtpCommandParser::EndLine() {
  const bool good = !malformed_ && !current_.verb.empty();
  command_ = std::move(current_);
  Reset();
  return good ? Result::Complete : Result::Malformed;
}

}  // namespace ftpserv
