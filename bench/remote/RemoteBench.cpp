// Pages per second of a ten-page feeder scan at 300 dpi in colour from SANE's test backend
// behind saned on loopback: through CSSConnector (each page a PNG file), and through
// scanimage --batch (each page a PNM file) against the same daemon, in the same run.
//
// scanimage reaches a daemon only through libsane's net backend, which knows no port but the
// service's default: the daemon listens on 6566, which must be free.
//
//   bench_remote [ROUNDS]      (default 3; the best round of each counts)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "connectors/CSSConnector.h"
#include "connectors/CSSConnectorEvents.h"
#include "support/SanedDaemon.h"
#include "support/ScopedEnvironment.h"
#include "support/ShellQuoted.h"

namespace {

constexpr int kPages = 10;
constexpr int kServicePort = 6566;

class CountingSink : public CSSConnectorEvents {
 public:
  void OnConnectorMessage(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
  void OnReceivedFile(const std::string&) override { ++files; }
  void OnScanFinished() override {}
  int files = 0;
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Processor seconds (user and system) used so far by this process, or by its waited-for
// children: on a loaded machine the processor a scan needs decides its pace more than the wall
// clock of one run shows.
double ProcessorSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds for the scan through the connector; negative when it did not give every page.
double ThroughConnector(const std::string& host, const std::filesystem::path& folder, double& processor) {
  std::filesystem::create_directories(folder);
  CountingSink sink;
  CSSConnector connector(host);
  connector.Subscribe(&sink);
  const double processorBefore = ProcessorSeconds(RUSAGE_SELF);
  const auto start = Clock::now();
  if (!connector.StartScanning("test:0", folder.string(), 24, 0, 0, 300, 0, 1)) return -1;
  connector.WaitForScan(std::chrono::minutes(5));
  const auto took = Clock::now() - start;
  processor = ProcessorSeconds(RUSAGE_SELF) - processorBefore;
  connector.Unsubscribe();
  return sink.files == kPages + 1 ? Seconds(took) : -1;  // the pages and the marker
}

double ThroughScanimage(const std::filesystem::path& netConfig, const std::filesystem::path& folder,
                        double& processor) {
  std::filesystem::create_directories(folder);
  const std::string command =
      "cd " + test_support::ShellQuoted(folder.string()) + " && SANE_CONFIG_DIR=" +
      test_support::ShellQuoted(netConfig.string()) +
      " scanimage -d net:127.0.0.1:test:0 --source 'Automatic Document Feeder' --mode Color --resolution 300"
      " --format=pnm --batch=page%d.pnm 2>/dev/null";
  const double processorBefore = ProcessorSeconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  std::system(command.c_str());  // ends with "out of documents", which is its normal end
  const auto took = Clock::now() - start;
  processor = ProcessorSeconds(RUSAGE_CHILDREN) - processorBefore;
  const auto pages = std::distance(std::filesystem::directory_iterator(folder), {});
  return pages == kPages ? Seconds(took) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  test_support::ScopedEnvironment environment;
  test_support::SanedConfig config;
  config.port = kServicePort;
  config.testBackendOptions = "test-picture \"Color pattern\"\n";
  test_support::SanedDaemon daemon(environment.Root(), config);
  const auto netConfig = environment.Root() / "net.d";
  test_support::ScopedEnvironment::WriteFile(netConfig / "dll.conf", "net\n");
  test_support::ScopedEnvironment::WriteFile(netConfig / "net.conf", "connect_timeout = 5\n127.0.0.1\n");

  double connector = 1e9;
  double scanimage = 1e9;
  double connectorProcessor = 1e9;
  double scanimageProcessor = 1e9;
  for (int round = 0; round < rounds; ++round) {
    double ourProcessor = 0;
    double theirProcessor = 0;
    const double ours =
        ThroughConnector(daemon.Host(), environment.Root() / ("c" + std::to_string(round)), ourProcessor);
    const double theirs =
        ThroughScanimage(netConfig, environment.Root() / ("s" + std::to_string(round)), theirProcessor);
    if (ours < 0 || theirs < 0) {
      std::fprintf(stderr, "a scan did not give %d pages (connector %.3f s, scanimage %.3f s)\n", kPages, ours, theirs);
      return 1;
    }
    connector = std::min(connector, ours);
    scanimage = std::min(scanimage, theirs);
    connectorProcessor = std::min(connectorProcessor, ourProcessor);
    scanimageProcessor = std::min(scanimageProcessor, theirProcessor);
  }
  std::printf("10-page feeder scan, 300 dpi colour, best of %d rounds\n", rounds);
  std::printf("  connector (PNG files):     %6.2f pages/s\n", kPages / connector);
  std::printf("  scanimage --batch (PNM):   %6.2f pages/s\n", kPages / scanimage);
  std::printf("  ratio:                     %6.2f\n", scanimage / connector);
  std::printf("  processor per page (user and system, without saned): connector %.1f ms, scanimage %.1f ms\n",
              1000 * connectorProcessor / kPages, 1000 * scanimageProcessor / kPages);
  return 0;
}
