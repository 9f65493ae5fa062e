#pragma once

#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace test_support {

// The "* type Name = value;" fields of a job template, quotes removed from strings.
inline std::map<std::string, std::string> TemplateFields(const std::string& content) {
  std::map<std::string, std::string> fields;
  static const std::regex line(R"(^\s*\*\s+\S+\s+(\w+)\s*=\s*(.*?);\s*$)");
  std::istringstream in(content);
  for (std::string text; std::getline(in, text);) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::smatch match;
    if (!std::regex_match(text, match, line)) continue;
    std::string value = match[2];
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    fields[match[1]] = value;
  }
  return fields;
}

}  // namespace test_support
