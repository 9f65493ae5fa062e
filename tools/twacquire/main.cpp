// twacquire: a TWAIN application for the command line. This version opens the
// data source and prints its identity; acquisition comes with a later change.
#include <filesystem>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "CommandLine.h"
#include "DataSourceManager.h"
#include "IdentityReport.h"
#include "TwainApplication.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"

namespace {

constexpr const char* kVelloranFamily = "Velloran";

std::string DefaultSourcePath() {
  const std::filesystem::path program = std::filesystem::absolute(platform::OwnModulePath());
  return (program.parent_path() / "velloran.ds").lexically_normal().string();
}

int Fail(const std::string& message) {
  std::cerr << "twacquire: " << message << '\n';
  return 1;
}

int Run(const twacquire::Options& options) {
  std::string error;
  const std::optional<twacquire::DataSourceManager> manager =
      twacquire::DataSourceManager::Load(options.dsmPath, TWACQUIRE_TEST_DSM_PATH, error);
  if (!manager) return Fail("no data source manager:\n" + error);
  std::cout << "Data source manager: " << manager->Description() << '\n';

  const std::string sourcePath = options.sourcePath.empty() ? DefaultSourcePath() : options.sourcePath;
  // A manager that cannot be pointed at a file offers its installed sources.
  std::string family;
  if (manager->AcceptsSourceFile()) {
    if (!platform::RegularFileExists(sourcePath)) return Fail("no data source file " + sourcePath);
    manager->OfferSourceFile(sourcePath);
    std::cout << "Data source file:    " << sourcePath << '\n';
  } else {
    family = kVelloranFamily;
    if (!options.sourcePath.empty()) {
      std::cout << "Note: the installed manager opens installed sources only; --source is not used.\n";
    }
  }

  twacquire::TwainApplication application(*manager);
  if (!application.OpenManager() || !application.OpenSource(family)) return Fail(application.LastError());
  std::cout << '\n';
  twacquire::PrintIdentity(std::cout, application.SourceIdentity());
  if (!application.CloseSource() || !application.CloseManager()) return Fail(application.LastError());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto parsed = twacquire::ParseCommandLine(arguments);
  if (const auto* error = std::get_if<twacquire::CommandLineError>(&parsed)) {
    std::cerr << "twacquire: " << error->message << "\n\n" << twacquire::UsageText();
    return 2;
  }
  const auto& options = std::get<twacquire::Options>(parsed);
  if (options.showHelp) {
    std::cout << twacquire::UsageText();
    return 0;
  }
  return Run(options);
}
