#include "CommandLine.h"

#include <charconv>
#include <cstdlib>

#include "twain/twain.h"

namespace twacquire {

namespace {

// The value of an option given as "--name value" or "--name=value".
bool TakeValue(const std::vector<std::string>& arguments, std::size_t& index, const std::string& name,
               std::string& value, std::string& error) {
  const std::string& argument = arguments[index];
  if (argument.rfind(name + "=", 0) == 0) {
    value = argument.substr(name.size() + 1);
  } else if (argument == name) {
    if (index + 1 >= arguments.size()) {
      error = "option " + name + " needs a value";
      return true;
    }
    value = arguments[++index];
  } else {
    return false;
  }
  if (value.empty()) error = "option " + name + " needs a value";
  return true;
}

std::optional<int> ParseInt(const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<double> ParseDpi(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(value > 0.0) || value >= 32768.0) return std::nullopt;
  return value;
}

std::optional<TransferMechanism> ParseMechanism(const std::string& text) {
  if (text == "native") return TransferMechanism::kNative;
  if (text == "memory") return TransferMechanism::kMemory;
  if (text == "file") return TransferMechanism::kFile;
  return std::nullopt;
}

std::optional<int> ParsePixelType(const std::string& text) {
  if (text == "bw") return TWPT_BW;
  if (text == "gray") return TWPT_GRAY;
  if (text == "rgb") return TWPT_RGB;
  if (text == "palette") return TWPT_PALETTE;
  return std::nullopt;
}

// Applies one option with a value; false when `argument` is no such option.
bool ApplyValueOption(const std::vector<std::string>& arguments, std::size_t& i, Options& options,
                      std::string& error) {
  std::string value;
  if (TakeValue(arguments, i, "--source", options.sourcePath, error)) return true;
  if (TakeValue(arguments, i, "--dsm", options.dsmPath, error)) return true;
  if (TakeValue(arguments, i, "--out", options.outputFolder, error)) return true;
  const auto bad = [&](const std::string& option, const char* expected) {
    if (error.empty()) error = "option " + option + " takes " + expected + ", not \"" + value + "\"";
  };
  if (TakeValue(arguments, i, "--transfer", value, error)) {
    if (const auto mechanism = ParseMechanism(value)) options.mechanism = *mechanism; else bad("--transfer", "native, memory or file");
    return true;
  }
  if (TakeValue(arguments, i, "--pixel-type", value, error)) {
    if ((options.pixelType = ParsePixelType(value))) return true;
    bad("--pixel-type", "bw, gray, rgb or palette");
    return true;
  }
  if (TakeValue(arguments, i, "--bit-depth", value, error)) {
    if ((options.bitDepth = ParseInt(value, 1, 24))) return true;
    bad("--bit-depth", "1 to 24");
    return true;
  }
  if (TakeValue(arguments, i, "--resolution", value, error)) {
    if ((options.resolution = ParseDpi(value))) return true;
    bad("--resolution", "dots per inch above 0");
    return true;
  }
  if (TakeValue(arguments, i, "--count", value, error)) {
    if ((options.transferCount = ParseInt(value, -1, 32767)) && *options.transferCount != 0) return true;
    options.transferCount.reset();
    bad("--count", "-1 (all pages) or 1 to 32767");
    return true;
  }
  if (TakeValue(arguments, i, "--wait", value, error)) {
    if (const auto seconds = ParseInt(value, 0, 86400)) options.waitSeconds = *seconds; else bad("--wait", "0 to 86400 seconds");
    return true;
  }
  return false;
}

}  // namespace

const char* MechanismName(TransferMechanism mechanism) {
  switch (mechanism) {
    case TransferMechanism::kNative: return "native";
    case TransferMechanism::kMemory: return "memory";
    case TransferMechanism::kFile: return "file";
  }
  return "?";
}

std::variant<Options, CommandLineError> ParseCommandLine(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string error;
    if (argument == "-h" || argument == "--help") {
      options.showHelp = true;
    } else if (argument == "--show-ui") {
      options.showUi = true;
    } else if (argument == "--quiet") {
      options.quiet = true;
    } else if (argument == "--identity") {
      options.identityOnly = true;
    } else if (ApplyValueOption(arguments, i, options, error)) {
      if (!error.empty()) return CommandLineError{error};
    } else {
      return CommandLineError{"unknown argument \"" + argument + "\""};
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: twacquire [options]\n"
         "\n"
         "Opens a TWAIN data source through the data source manager, acquires every page it\n"
         "offers and writes each one as a BMP file into the output folder.\n"
         "\n"
         "  --source FILE         the data source to open (default: velloran.ds next to\n"
         "                        twacquire); the installed manager offers only the sources\n"
         "                        installed under /usr/local/lib/twain and picks the Velloran\n"
         "                        source among them\n"
         "  --dsm LIBRARY         the data source manager library (default: the installed\n"
         "                        libtwaindsm.so.2, else the test manager of the build tree)\n"
         "  --transfer MECHANISM  native (default), memory or file\n"
         "  --pixel-type TYPE     bw, gray, rgb or palette (ICAP_PIXELTYPE)\n"
         "  --bit-depth BITS      ICAP_BITDEPTH\n"
         "  --resolution DPI      ICAP_XRESOLUTION and ICAP_YRESOLUTION\n"
         "  --count N             pages to transfer (CAP_XFERCOUNT; -1: all)\n"
         "  --show-ui             ask the source to show its dialog\n"
         "  --out FOLDER          where the pages go (default: out)\n"
         "  --wait SECONDS        how long to wait for each page: the first one after the\n"
         "                        source is enabled, and each further one while the source\n"
         "                        waits for it (a multifunction printer's uploads); then the\n"
         "                        session ends with the pages received (default: 60; 0: no\n"
         "                        limit)\n"
         "  --quiet               no line per page, only the summary\n"
         "  --identity            print the source's identity and stop\n"
         "  -h, --help            show this text\n"
         "\n"
         "Ctrl-C (or SIGTERM) ends the session cleanly: a wait for pages is given up, the\n"
         "pages written stay, and the summary is printed.\n"
         "\n"
         "Exit status: 0 when the session ended normally, 1 when it failed, 2 for a wrong\n"
         "command line, 130 after Ctrl-C (143 after SIGTERM).\n";
}

}  // namespace twacquire
