#pragma once

#include <string>

namespace test_support {

// One shell word holding `text` as it is, for commands the tests run through the shell.
inline std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace test_support
