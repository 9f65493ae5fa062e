// twacquire: a TWAIN application for the command line. Opens a data source through the data
// source manager, acquires its pages with native, memory or file transfer and writes each one
// as a BMP file, with a line per page and a summary at the end.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "Acquisition.h"
#include "CommandLine.h"
#include "DataSourceManager.h"
#include "IdentityReport.h"
#include "PageSink.h"
#include "ResourceUsage.h"
#include "TwainApplication.h"
#include "platform/FileSystem.h"
#include "platform/InterruptSignals.h"
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

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

void PrintPage(const twacquire::PageReport& page) {
  const double rate = page.elapsedSeconds > 0 ? page.number / page.elapsedSeconds : 0;
  std::cout << "page " << page.number << ": " << (page.output.empty() ? "(not kept)" : page.output) << "  "
            << page.info.ImageWidth << " x " << page.info.ImageLength << ", " << page.info.BitsPerPixel << " bit, "
            << Format("%.1f", Fix32ToFloat(page.info.XResolution)) << " dpi  "
            << Format("%.2f", rate) << " pages/s" << std::endl;
}

void PrintSummary(const twacquire::Acquisition& acquisition) {
  const double seconds = acquisition.Seconds();
  const double rate = seconds > 0 ? acquisition.Pages() / seconds : 0;
  std::cout << "\nPages:            " << acquisition.Pages() << '\n'
            << "Seconds:          " << Format("%.2f", seconds) << '\n'
            << "Pages per second: " << Format("%.2f", rate) << '\n'
            << "Peak memory:      " << Format("%.1f", twacquire::PeakMemoryMegabytes()) << " MB\n";
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
  if (options.identityOnly) {
    if (!application.CloseSource() || !application.CloseManager()) return Fail(application.LastError());
    return 0;
  }

  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(options.outputFolder, ec);
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) {
    return Fail("cannot create the output folder " + options.outputFolder + (ec ? ": " + ec.message() : ""));
  }
  std::cout << "\nAcquiring by " << twacquire::MechanismName(options.mechanism) << " transfer into " << folder.string()
            << '\n';

  twacquire::BmpFolderSink sink(folder.string());
  twacquire::Acquisition acquisition(application, options, sink);
  if (!options.quiet) acquisition.OnPage(PrintPage);
  // Ctrl-C ends the session as the source allows, keeping the pages written.
  std::atomic<int> interruption{0};
  bool acquired = false;
  {
    const platform::InterruptSignals signals([&](int signal) {
      interruption = signal;
      acquisition.Interrupt();
    });
    acquired = acquisition.Run();
  }
  if (!acquisition.Note().empty()) std::cout << "Note: " << acquisition.Note() << '\n';
  PrintSummary(acquisition);
  if (!acquired) return Fail(acquisition.Error());
  if (!application.CloseSource() || !application.CloseManager()) return Fail(application.LastError());
  // As a shell reports a program the signal ended.
  return interruption != 0 ? 128 + interruption : 0;
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
