#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace twacquire {

enum class TransferMechanism { kNative, kMemory, kFile };

const char* MechanismName(TransferMechanism mechanism);

struct Options {
  std::string sourcePath;  // the data source file; empty: velloran.ds next to twacquire
  std::string dsmPath;     // the manager library; empty: the installed one, else the build tree's
  TransferMechanism mechanism = TransferMechanism::kNative;
  // Capabilities to set before enabling the source; nullopt leaves the source's value.
  std::optional<int> pixelType;    // TWPT_ value
  std::optional<int> bitDepth;
  std::optional<double> resolution;  // dots per inch, both axes
  std::optional<int> transferCount;  // CAP_XFERCOUNT; -1 for all
  bool showUi = false;
  std::string outputFolder = "out";
  int waitSeconds = 60;  // for each notification of the source; 0: no limit
  bool quiet = false;    // no line per page
  bool identityOnly = false;
  bool showHelp = false;
};

struct CommandLineError {
  std::string message;
};

// Parses the arguments after the program name.
std::variant<Options, CommandLineError> ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace twacquire
