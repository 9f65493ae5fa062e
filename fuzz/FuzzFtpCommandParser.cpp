// The FTP command parser takes bytes straight from the network: feed it the input in two
// pieces split by the first byte, as pipelined clients and short reads do, and check that every
// step consumes input and every command it returns keeps the parser's promises.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FtpCommandParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = all.empty() ? 0 : data[0] % (all.size() + 1);
  ftpserv::FtpCommandParser parser(256);
  for (std::string_view piece : {all.substr(0, split), all.substr(split)}) {
    while (!piece.empty()) {
      const auto step = parser.Parse(piece);
      if (step.consumed == 0 || step.consumed > piece.size()) std::abort();
      piece.remove_prefix(step.consumed);
      if (step.result == ftpserv::FtpCommandParser::Result::TooLong) {
        parser.Reset();
        continue;
      }
      if (step.result != ftpserv::FtpCommandParser::Result::Complete) continue;
      const auto& command = parser.command();
      if (command.verb.empty() || command.verb.size() + command.argument.size() > 256) std::abort();
      for (const char c : command.argument)
        if (static_cast<unsigned char>(c) < 0x20) std::abort();
    }
  }
  return 0;
}
