#pragma once

#include <string>
#include <vector>

namespace ftpserv {

// One reply of the control connection: a code and one or more lines of text.
struct FtpReply {
  int code = 0;
  std::vector<std::string> lines;

  FtpReply() = default;
  FtpReply(int replyCode, std::string text) : code(replyCode), lines{std::move(text)} {}
  FtpReply(int replyCode, std::vector<std::string> textLines) : code(replyCode), lines(std::move(textLines)) {}

  // The reply as sent: "code text" CRLF, or the multi-line form "code-first", " line"..., "code last".
  std::string ToWire() const;
};

// Quotes a path for a 257 reply: enclosed in double quotes, inner quotes doubled.
std::string QuotePath(const std::string& path);

}  // namespace ftpserv
