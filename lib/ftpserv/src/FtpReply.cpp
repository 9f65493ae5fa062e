#include "FtpReply.h"

namespace ftpserv {

std::string FtpReply::ToWire() const {
  const std::string number = std::to_string(code);
  if (lines.size() <= 1) return number + " " + (lines.empty() ? std::string() : lines.front()) + "\r\n";
  std::string wire = number + "-" + lines.front() + "\r\n";
  for (size_t i = 1; i + 1 < lines.size(); ++i) wire += " " + lines[i] + "\r\n";
  return wire + number + " " + lines.back() + "\r\n";
}

std::string QuotePath(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  return quoted + "\"";
}

}  // namespace ftpserv
