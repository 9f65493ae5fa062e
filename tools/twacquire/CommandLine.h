#pragma once

#include <string>
#include <variant>
#include <vector>

namespace twacquire {

struct Options {
  std::string sourcePath;  // the data source file; empty: velloran.ds next to twacquire
  std::string dsmPath;     // the manager library; empty: the installed one, else the build tree's
  bool showHelp = false;
};

struct CommandLineError {
  std::string message;
};

// Parses the arguments after the program name.
std::variant<Options, CommandLineError> ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace twacquire
