#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ftpserv {

// One command line: the verb in upper case and the argument as sent (may be empty).
struct FtpCommand {
  std::string verb;
  std::string argument;
};

// Splits the control connection's bytes into command lines. Bytes in, commands out, no I/O.
// Clients pipeline, so a call stops at the end of the first line and reports how far it read;
// the caller feeds the rest again. Telnet sequences (IAC ...) that some clients put before ABOR
// are dropped.
class FtpCommandParser {
 public:
  enum class Result {
    Complete,   // command() holds the line's command
    Malformed,  // the line ended but was not a command (empty, control characters, bad verb)
    TooLong,    // the line went past the limit; the parser stays in this state until Reset
    NeedMore,   // the input ended inside a line
  };
  struct Step {
    Result result;
    size_t consumed;
  };

  explicit FtpCommandParser(size_t maxLineLength);

  Step Parse(std::string_view input);
  const FtpCommand& command() const { return command_; }
  void Reset();

 private:
  enum class State { Verb, Argument, LineFeed, TelnetCommand, TelnetOption, Overflow };

  Result Consume(unsigned char byte);
  Result EndLine();
  void Append(unsigned char byte);

  size_t maxLineLength_;
  State state_ = State::Verb;
  State resumeState_ = State::Verb;  // where a telnet sequence returns to
  size_t lineLength_ = 0;
  bool malformed_ = false;
  FtpCommand current_;
  FtpCommand command_;
};

}  // namespace ftpserv
