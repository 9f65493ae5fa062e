// Pages per second for 100 US Letter pages at 300 dpi (JPEG files, 2550 x 3300, 24 bits)
// through native, memory and file transfer, acquired by an application that discards what it
// receives, on one core. In the same run: the limit for the same pages (libjpeg-turbo's decode
// into a reused buffer plus one copy of the bitmap into a freshly allocated block), and djpeg
// writing each page as a BMP file. Ends with the ratios and the peak memory of each mechanism.
//
// Usage: bench_transfers [benchmark options]
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Acquisition.h"
#include "DataSourceManager.h"
#include "LetterPage.h"
#include "PageSink.h"
#include "TwainApplication.h"
#include "imaging/CxImage.h"
#include "support/ScopedEnvironment.h"

extern char** environ;

namespace {

constexpr int kPages = 100;
constexpr uint32_t kWidth = bench::kLetterWidth;
constexpr uint32_t kHeight = bench::kLetterHeight;
constexpr double kBitmapMegabytes = (40.0 + double{(kWidth * 3 + 3) / 4 * 4} * kHeight) / 1e6;

struct Figures {
  double msPerPage = 0;     // wall time
  double cpuMsPerPage = 0;  // processor time of the process and of the programs it ran
  double peakMegabytes = 0;
};
std::map<std::string, Figures> g_figures;

// The private world of the run: settings, temporary files, the pages.
struct Corpus {
  test_support::ScopedEnvironment environment;
  std::string folder;          // with a trailing "/"
  std::vector<std::string> pages;
  std::string output;          // where file transfers and djpeg write
};
Corpus* g_corpus = nullptr;

void MakeCorpus() {
  g_corpus = new Corpus;
  Corpus& corpus = *g_corpus;
  const auto root = corpus.environment.Root();
  corpus.folder = (root / "pages").string() + "/";
  corpus.output = (root / "out").string();
  std::filesystem::create_directories(corpus.folder);
  std::filesystem::create_directories(corpus.output);
  std::vector<uint8_t> jpeg;
  if (!bench::LetterPage().Encode(jpeg, ImageFormat::Jpeg)) {
    std::fprintf(stderr, "bench_transfers: cannot encode the page\n");
    std::exit(1);
  }
  const std::string first = corpus.folder + "page-000.jpg";
  std::ofstream(first, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                               static_cast<std::streamsize>(jpeg.size()));
  corpus.pages.push_back(first);
  // The same bytes under a hundred names: the source opens, reads and decodes each one.
  for (int i = 1; i < kPages; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "page-%03d.jpg", i);
    std::filesystem::create_hard_link(first, corpus.folder + name);
    corpus.pages.push_back(corpus.folder + name);
  }
  const auto settingsFolder = corpus.environment.UserSettingsFolder("velloran");
  test_support::ScopedEnvironment::WriteFile(settingsFolder / "velloran.ini",
                                             "[General]\nMode=1\nAlwaysShowUI=0\n"
                                             "[Directory]\nCurrentDirectory=" + corpus.folder +
                                                 "\nIncludeSubfolders=0\nListMode=0\nDeleteFiles=0\n"
                                                 "[Logger]\nLoggerEnabled=0\n");
  std::printf("Pages: %d x %s (%zu bytes, %u x %u, 24 bits; bitmap %.1f MB)\n", kPages, first.c_str(), jpeg.size(),
              kWidth, kHeight, kBitmapMegabytes);
}

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return 0;
}

// Peak resident memory of what runs between Begin and End, above what was resident before.
class PeakMemory {
 public:
  void Begin() {
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
    before_ = StatusKilobytes("VmRSS");
  }
  double EndMegabytes() const { return static_cast<double>(StatusKilobytes("VmHWM") - before_) * 1024.0 / 1e6; }

 private:
  long before_ = 0;
};

// Processor time of this process and of its finished children, in seconds. On a machine that
// other work shares, it tells more than the wall time.
double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

void Record(const std::string& name, double seconds, double cpuSeconds, double peakMegabytes,
            benchmark::State& state) {
  Figures& figures = g_figures[name];
  figures.msPerPage = seconds * 1000.0 / kPages;
  figures.cpuMsPerPage = cpuSeconds * 1000.0 / kPages;
  state.counters["cpu_ms_per_page"] = figures.cpuMsPerPage;
  figures.peakMegabytes = peakMegabytes;
  state.counters["pages_per_s"] = kPages / seconds;
  state.counters["ms_per_page"] = figures.msPerPage;
  if (peakMegabytes > 0) state.counters["peak_MB"] = peakMegabytes;
}

// ---- The limit: decode plus one copy ------------------------------------------------------

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

// Decodes into `bgr` (reused), bottom-up rows padded to 4 bytes, as the bitmap block holds them.
bool DecodeJpeg(const std::vector<uint8_t>& file, std::vector<uint8_t>& bgr) {
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  const std::size_t stride = (std::size_t{info.output_width} * 3 + 3) / 4 * 4;
  bgr.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = bgr.data() + (info.output_height - 1 - info.output_scanline) * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

void BM_Limit_DecodeAndCopy(benchmark::State& state) {
  std::vector<uint8_t> file;
  std::vector<uint8_t> bgr;
  for (auto _ : state) {
    PeakMemory peak;
    peak.Begin();
    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : g_corpus->pages) {
      std::ifstream in(path, std::ios::binary);
      file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      if (!DecodeJpeg(file, bgr)) {
        state.SkipWithError("decode failed");
        return;
      }
      const std::size_t size = 40 + bgr.size();
      void* block = std::calloc(1, size);  // what the application receives, fresh every page
      std::memcpy(static_cast<uint8_t*>(block) + 40, bgr.data(), bgr.size());
      benchmark::DoNotOptimize(block);
      std::free(block);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Record("limit", seconds, CpuSeconds() - cpuStart, peak.EndMegabytes(), state);
  }
}

// ---- djpeg writing BMP files --------------------------------------------------------------

void BM_Reference_DjpegBmp(benchmark::State& state) {
  const std::string out = g_corpus->output + "/djpeg.bmp";
  for (auto _ : state) {
    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : g_corpus->pages) {
      const char* argv[] = {"djpeg", "-bmp", "-outfile", out.c_str(), path.c_str(), nullptr};
      pid_t pid = 0;
      if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        state.SkipWithError("djpeg cannot be started");
        return;
      }
      int status = 0;
      waitpid(pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        state.SkipWithError("djpeg failed");
        return;
      }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Record("djpeg", seconds, CpuSeconds() - cpuStart, 0, state);
  }
}

// ---- The three mechanisms through the manager ----------------------------------------------

void RunMechanism(benchmark::State& state, twacquire::TransferMechanism mechanism, const char* name) {
  std::string error;
  const auto manager = twacquire::DataSourceManager::Load(TEST_DSM_PATH, "", error);
  if (!manager) {
    state.SkipWithError(error.c_str());
    return;
  }
  manager->OfferSourceFile(VELLORAN_DS_PATH);
  twacquire::Options options;
  options.mechanism = mechanism;
  options.waitSeconds = 30;
  options.quiet = true;
  for (auto _ : state) {
    twacquire::TwainApplication application(*manager);
    if (!application.OpenManager() || !application.OpenSource("")) {
      state.SkipWithError(application.LastError().c_str());
      return;
    }
    twacquire::DiscardingSink sink(g_corpus->output + "/transferred.bmp");
    twacquire::Acquisition acquisition(application, options, sink);
    PeakMemory peak;
    peak.Begin();
    const double cpuStart = CpuSeconds();
    const bool ok = acquisition.Run();
    const double cpuSeconds = CpuSeconds() - cpuStart;
    const double peakMegabytes = peak.EndMegabytes();
    if (!ok || acquisition.Pages() != kPages) {
      state.SkipWithError(("acquired " + std::to_string(acquisition.Pages()) + " pages: " + acquisition.Error()).c_str());
      return;
    }
    state.SetIterationTime(acquisition.Seconds());
    Record(name, acquisition.Seconds(), cpuSeconds, peakMegabytes, state);
  }
}

void BM_Native(benchmark::State& state) { RunMechanism(state, twacquire::TransferMechanism::kNative, "native"); }
void BM_Memory(benchmark::State& state) { RunMechanism(state, twacquire::TransferMechanism::kMemory, "memory"); }
void BM_File(benchmark::State& state) { RunMechanism(state, twacquire::TransferMechanism::kFile, "file"); }

BENCHMARK(BM_Limit_DecodeAndCopy)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Native)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Memory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Reference_DjpegBmp)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_File)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void PrintRatio(const char* name, const char* reference, double target) {
  const auto figures = g_figures.find(name);
  const auto base = g_figures.find(reference);
  if (figures == g_figures.end() || base == g_figures.end() || base->second.msPerPage <= 0) return;
  const double ratio = figures->second.msPerPage / base->second.msPerPage;
  const double cpuRatio = figures->second.cpuMsPerPage / base->second.cpuMsPerPage;
  std::printf("%-7s wall %4.2f x %s (%s), processor %4.2f x %s (%s), target <= %.2f;  peak %5.1f MB = %.2f bitmaps "
              "(target < 3: %s)\n",
              name, ratio, reference, ratio <= target ? "met" : "MISSED", cpuRatio, reference,
              cpuRatio <= target ? "met" : "MISSED", target,
              figures->second.peakMegabytes,
              figures->second.peakMegabytes / kBitmapMegabytes,
              figures->second.peakMegabytes < 3 * kBitmapMegabytes ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  // One core, as the figures are stated.
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu() >= 0 ? sched_getcpu() : 0, &one);
  sched_setaffinity(0, sizeof one, &one);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MakeCorpus();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\n");
  for (const auto& [name, figures] : g_figures) {
    std::printf("%-7s %6.1f ms/page (processor %6.1f)  %5.2f pages/s\n", name.c_str(), figures.msPerPage,
                figures.cpuMsPerPage, 1000.0 / figures.msPerPage);
  }
  std::printf("\n");
  PrintRatio("native", "limit", 1.33);
  PrintRatio("memory", "limit", 1.33);
  PrintRatio("file", "djpeg", 1.15);
  delete g_corpus;
  return 0;
}
