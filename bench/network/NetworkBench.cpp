// The MFP path end to end: pages uploaded over loopback to velloran.ds's own FTP server while a
// TWAIN application (through the test manager) transfers each page natively and drops it.
//
// UploadToXferReady: 200 uploads of a US Letter 300 dpi JPEG page, one per batch; for each, the
// time from the client's receipt of the 226 reply to the run of the application's MSG_XFERREADY
// callback, on one clock (a negative figure: the callback ran before the 226 reached the
// client). Median and 95th percentile.
//
// TenClients: ten clients at once, each uploading 20 such pages (ten different ones) over one
// session, first to velloran.ds while it delivers the pages to the application, then to the
// same FTP server library with nobody taking the pages (what the source's own work costs the
// uploads), then to Debian's vsftpd on loopback; rounds alternate so that all see the same
// machine. Throughput from the first connection to the last 226, in MB/s and pages/s, the
// median round of each, and the ratio of velloran.ds to vsftpd.
//
// The pages are made once into the build tree (bench/network/pages). vsftpd must be installed
// and the benchmark run as root (vsftpd's sessions change to its "ftp" user).
//
// Usage: bench_network [benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FtpUploader.h"
#include "LetterPage.h"
#include "MfpApplication.h"
#include "VsftpdServer.h"
#include "connectors/CFtpServer.h"
#include "platform/StringConversion.h"
#include "settings/SettingsStore.h"
#include "support/FtpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/SourceSettings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLatencyUploads = 200;
constexpr int kClients = 10;
constexpr int kPagesPerClient = 20;
constexpr int kRounds = 3;  // of each server
constexpr int kDistinctPages = 10;
constexpr auto kPageTimeout = std::chrono::seconds(30);
constexpr const char* kUser = "scanner";
constexpr const char* kPassword = "Bench4Pages";
constexpr const char* kMarker = "SCANFINISHEDMARKER.MRK";

// The private world of the run: settings, the source's FTP root, vsftpd's folder, the pages.
struct Corpus {
  test_support::ScopedEnvironment environment;
  fs::path velloranRoot;
  fs::path vsftpdFolder;
  int velloranPort = 0;
  int vsftpdPort = 0;
  int libraryPort = 0;
  std::vector<std::string> pages;  // the bytes of each JPEG file
};
Corpus* g_corpus = nullptr;

// What the summary prints.
struct Figures {
  std::vector<double> latenciesMs;
  std::vector<double> velloranMBps, velloranPagesPerS, vsftpdMBps, vsftpdPagesPerS;
  std::vector<double> libraryMBps, libraryPagesPerS;  // the FTP server library without the source
  std::vector<double> deliveredPagesPerS;  // by the application, from the first connection on
};
Figures g_figures;

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Letter pages with different strokes, made once into the build tree and reused by later runs.
std::vector<std::string> LoadPages() {
  const fs::path folder = BENCH_PAGES_DIR;
  fs::create_directories(folder);
  std::vector<std::string> pages;
  for (int i = 0; i < kDistinctPages; ++i) {
    const fs::path path = folder / ("letter-" + std::to_string(i) + ".jpg");
    if (!fs::exists(path)) {
      std::vector<uint8_t> jpeg;
      if (!bench::LetterPage(static_cast<uint32_t>(100 + i)).Encode(jpeg, ImageFormat::Jpeg)) {
        std::fprintf(stderr, "bench_network: cannot encode a page\n");
        std::exit(1);
      }
      const fs::path part = path.string() + ".part";
      std::ofstream(part, std::ios::binary)
          .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
      fs::rename(part, path);
    }
    pages.push_back(ReadFile(path));
  }
  return pages;
}

void MakeCorpus() {
  g_corpus = new Corpus;
  Corpus& corpus = *g_corpus;
  corpus.pages = LoadPages();
  const fs::path root = corpus.environment.Root();
  corpus.velloranRoot = root / "mfp";
  corpus.vsftpdFolder = root / "vsftpd";
  fs::create_directories(corpus.velloranRoot);
  corpus.velloranPort = test_support::LoopbackPort(/*listen=*/false).Port();
  corpus.vsftpdPort = test_support::LoopbackPort(/*listen=*/false).Port();
  corpus.libraryPort = test_support::LoopbackPort(/*listen=*/false).Port();
  const auto settings = test_support::PrepareSourceSettings();
  settings->SetLoggerEnabled(false);
  settings->SetAlwaysShowUI(false);
  settings->SetMode(2);
  settings->SetCurrentDirectory(corpus.velloranRoot.string());
  settings->WriteString("Directory", "DeleteTempFolders", "0");
  settings->WriteString("FtpServer", "FtpServerPort", std::to_string(corpus.velloranPort));
  settings->WriteString("FtpServer", "FtpUser", kUser);
  settings->WriteString("FtpServer", "FtpPassword", kPassword);
  // Each page is offered as soon as it has arrived.
  settings->WriteString("ProcessingManager", "ProcessingMode", "0");
  settings->WriteString("ProcessingManager", "ProcessingModeTimeout", "0");
  std::size_t bytes = 0;
  for (const std::string& page : corpus.pages) bytes += page.size();
  std::printf("Pages: %d US Letter 300 dpi JPEG files (%u x %u, 24 bits), %.2f MB each on average\n",
              kDistinctPages, bench::kLetterWidth, bench::kLetterHeight,
              static_cast<double>(bytes) / kDistinctPages / 1e6);
}

// Empties a folder the uploads went to, between rounds.
void Empty(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Nearest rank.
double Percentile(std::vector<double> values, double percent) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// ---- From the 226 to MSG_XFERREADY ----------------------------------------------------------

void BM_UploadToXferReady(benchmark::State& state) {
  const Corpus& corpus = *g_corpus;
  bench::MfpApplication application(/*transferCount=*/1);  // one page per batch: a MSG_XFERREADY per upload
  if (!application.Error().empty()) {
    state.SkipWithError(application.Error().c_str());
    return;
  }
  for (auto _ : state) {
    std::vector<double> latencies;
    const auto start = Clock::now();
    for (int i = 0; i < kLatencyUploads; ++i) {
      // Each batch starts the server again: a fresh session, as an MFP opens for each scan.
      if (!application.Enable()) return state.SkipWithError("MSG_ENABLEDS failed");
      bench::FtpUploader client(static_cast<uint16_t>(corpus.velloranPort), kUser, kPassword);
      const auto uploaded = client.Store("page-" + std::to_string(i) + ".jpg", corpus.pages[i % kDistinctPages]);
      if (!uploaded) return state.SkipWithError(client.Error().c_str());
      const auto ready = application.WaitForXferReady(static_cast<std::size_t>(i) + 1, kPageTimeout);
      if (!ready) return state.SkipWithError("no MSG_XFERREADY");
      latencies.push_back(std::chrono::duration<double, std::milli>(*ready - *uploaded).count());
      if (application.TransferBatch() != 1) return state.SkipWithError("the page did not transfer");
      if (!application.Disable()) return state.SkipWithError("MSG_DISABLEDS failed");
      Empty(corpus.velloranRoot);
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    g_figures.latenciesMs = latencies;
    state.counters["median_ms"] = Median(latencies);
    state.counters["p95_ms"] = Percentile(latencies, 95);
    state.counters["max_ms"] = *std::max_element(latencies.begin(), latencies.end());
  }
}

// ---- Ten clients at once --------------------------------------------------------------------

struct Throughput {
  double seconds = 0;
  std::size_t bytes = 0;
  int pages = 0;
  std::string error;
};

// Ten clients, each on its own session uploading its pages one after the other; from the first
// connection to the last 226.
Throughput UploadFromTenClients(int port, const std::string& user, const std::string& password,
                                const std::string& folderPrefix, int round) {
  const Corpus& corpus = *g_corpus;
  std::vector<std::string> errors(kClients);
  std::vector<std::size_t> bytes(kClients, 0);
  std::vector<std::thread> clients;
  const auto start = Clock::now();
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      bench::FtpUploader client(static_cast<uint16_t>(port), user, password);
      for (int p = 0; p < kPagesPerClient && client.Error().empty(); ++p) {
        const std::string& page = corpus.pages[(c + p) % kDistinctPages];
        const std::string name = "r" + std::to_string(round) + "-c" + std::to_string(c) + "-p" + std::to_string(p);
        if (client.Store(folderPrefix + name + ".jpg", page)) bytes[c] += page.size();
      }
      errors[c] = client.Error();
    });
  }
  for (std::thread& client : clients) client.join();
  Throughput result;
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (int c = 0; c < kClients; ++c) {
    result.bytes += bytes[c];
    if (result.error.empty() && !errors[c].empty()) result.error = "client " + std::to_string(c) + ": " + errors[c];
  }
  result.pages = kClients * kPagesPerClient;
  return result;
}

void Record(const Throughput& throughput, std::vector<double>& megabytesPerSecond, std::vector<double>& pagesPerSecond) {
  megabytesPerSecond.push_back(static_cast<double>(throughput.bytes) / 1e6 / throughput.seconds);
  pagesPerSecond.push_back(throughput.pages / throughput.seconds);
}

void BM_TenClients(benchmark::State& state) {
  const Corpus& corpus = *g_corpus;
  bench::MfpApplication application(/*transferCount=*/-1);
  if (!application.Error().empty()) return state.SkipWithError(application.Error().c_str());
  const bench::VsftpdServer vsftpd(corpus.vsftpdFolder, corpus.vsftpdPort);
  if (!vsftpd.Running()) return state.SkipWithError(vsftpd.Error().c_str());
  for (auto _ : state) {
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
      // velloran.ds, delivering every page to the application as it arrives.
      if (!application.Enable()) return state.SkipWithError("MSG_ENABLEDS failed");
      const auto scanStart = Clock::now();
      std::atomic<int> delivered = -1;
      Clock::time_point lastDelivered;
      std::thread receiver([&] {
        if (!application.WaitForXferReady(static_cast<std::size_t>(round) + 1, kPageTimeout)) return;
        delivered = application.TransferBatch();
        lastDelivered = Clock::now();
      });
      const Throughput velloran = UploadFromTenClients(corpus.velloranPort, kUser, kPassword, "", round);
      bench::FtpUploader marker(static_cast<uint16_t>(corpus.velloranPort), kUser, kPassword);
      const bool ended = marker.Store(kMarker, "").has_value();
      receiver.join();
      application.Disable();
      Empty(corpus.velloranRoot);
      if (!velloran.error.empty()) return state.SkipWithError(("velloran.ds: " + velloran.error).c_str());
      if (!ended || delivered != velloran.pages) {
        return state.SkipWithError(("the application received " + std::to_string(delivered.load()) + " of " +
                                    std::to_string(velloran.pages) + " pages")
                                       .c_str());
      }
      Record(velloran, g_figures.velloranMBps, g_figures.velloranPagesPerS);
      g_figures.deliveredPagesPerS.push_back(velloran.pages /
                                             std::chrono::duration<double>(lastDelivered - scanStart).count());

      // The same server library with nobody taking the pages: what the source's work costs.
      const fs::path libraryRoot = corpus.environment.Root() / "library";
      fs::create_directories(libraryRoot);
      CFtpServer library;
      if (!library.Start(platform::FileNameToWide(libraryRoot.string()), platform::NarrowToWide(kUser),
                         platform::NarrowToWide(kPassword), corpus.libraryPort)) {
        return state.SkipWithError("the FTP server library does not start");
      }
      const Throughput alone = UploadFromTenClients(corpus.libraryPort, kUser, kPassword, "", round);
      library.Stop();
      Empty(libraryRoot);
      if (!alone.error.empty()) return state.SkipWithError(("the FTP server library: " + alone.error).c_str());
      Record(alone, g_figures.libraryMBps, g_figures.libraryPagesPerS);

      const Throughput reference = UploadFromTenClients(corpus.vsftpdPort, "anonymous", "bench@",
                                                        bench::VsftpdServer::RemotePath(""), round);
      Empty(vsftpd.Incoming());
      if (!reference.error.empty()) return state.SkipWithError(("vsftpd: " + reference.error).c_str());
      Record(reference, g_figures.vsftpdMBps, g_figures.vsftpdPagesPerS);
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    state.counters["velloran_MB_per_s"] = Median(g_figures.velloranMBps);
    state.counters["vsftpd_MB_per_s"] = Median(g_figures.vsftpdMBps);
    state.counters["ratio"] = Median(g_figures.velloranMBps) / Median(g_figures.vsftpdMBps);
  }
}

BENCHMARK(BM_UploadToXferReady)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_TenClients)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void PrintSummary() {
  std::printf("\n");
  if (!g_figures.latenciesMs.empty()) {
    const double p95 = Percentile(g_figures.latenciesMs, 95);
    std::printf("226 to MSG_XFERREADY over %zu uploads: median %.1f ms, p95 %.1f ms, min %.1f, max %.1f "
                "(target p95 < 50 ms: %s)\n",
                g_figures.latenciesMs.size(), Median(g_figures.latenciesMs), p95,
                *std::min_element(g_figures.latenciesMs.begin(), g_figures.latenciesMs.end()),
                *std::max_element(g_figures.latenciesMs.begin(), g_figures.latenciesMs.end()),
                p95 < 50 ? "met" : "MISSED");
  }
  if (!g_figures.velloranMBps.empty() && !g_figures.vsftpdMBps.empty()) {
    const double ratio = Median(g_figures.velloranMBps) / Median(g_figures.vsftpdMBps);
    std::printf("%d clients x %d pages, median of %zu rounds each:\n", kClients, kPagesPerClient,
                g_figures.velloranMBps.size());
    std::printf("  velloran.ds %7.1f MB/s %6.1f pages/s (the application had every page at %.1f pages/s)\n",
                Median(g_figures.velloranMBps), Median(g_figures.velloranPagesPerS),
                Median(g_figures.deliveredPagesPerS));
    std::printf("  the FTP server library alone %7.1f MB/s %6.1f pages/s\n", Median(g_figures.libraryMBps),
                Median(g_figures.libraryPagesPerS));
    std::printf("  vsftpd      %7.1f MB/s %6.1f pages/s\n", Median(g_figures.vsftpdMBps),
                Median(g_figures.vsftpdPagesPerS));
    std::printf("  ratio %.2f (target >= 0.80: %s)\n", ratio, ratio >= 0.8 ? "met" : "MISSED");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("Load average before: %s\n", LoadAverage().c_str());
  MakeCorpus();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  std::printf("Load average after: %s\n", LoadAverage().c_str());
  delete g_corpus;
  return 0;
}
