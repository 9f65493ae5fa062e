#include "CommandLine.h"

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

}  // namespace

std::variant<Options, CommandLineError> ParseCommandLine(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string error;
    if (argument == "-h" || argument == "--help") {
      options.showHelp = true;
    } else if (TakeValue(arguments, i, "--source", options.sourcePath, error) ||
               TakeValue(arguments, i, "--dsm", options.dsmPath, error)) {
      if (!error.empty()) return CommandLineError{error};
    } else {
      return CommandLineError{"unknown argument \"" + argument + "\""};
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: twacquire [--source FILE] [--dsm LIBRARY]\n"
         "\n"
         "Opens a TWAIN data source through the data source manager and prints its identity.\n"
         "\n"
         "  --source FILE   the data source to open (default: velloran.ds next to twacquire);\n"
         "                  the installed manager offers only the sources installed under\n"
         "                  /usr/local/lib/twain and picks the Velloran source among them\n"
         "  --dsm LIBRARY   the data source manager library (default: the installed\n"
         "                  libtwaindsm.so.2, else the test manager of the build tree)\n"
         "  -h, --help      show this text\n";
}

}  // namespace twacquire
