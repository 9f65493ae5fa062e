// Pages per second through the page pipeline (the pending list filled from a folder, each page
// loaded, enhanced and converted as for a transfer) on one core, next to what the image object
// alone needs for the same pages in the same run (decode, plus the operation the mode asks
// for), and the pipeline's peak memory next to one page's bitmap.
//
//   bench_pipeline                      all figures (about two minutes)
//   bench_pipeline --benchmark_filter=  Google Benchmark options as usual; the memory figures
//                                       are printed after the benchmarks in every case

#include <benchmark/benchmark.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "PipelineCorpus.h"
#include "acquisition/NextImageLoader.h"
#include "acquisition/PendingImagesList.h"
#include "imaging/CxImage.h"
#include "settings/SettingsStore.h"
#include "twain/twain.h"

namespace {

using bench_pipeline::kPageCount;

enum class Mode { kPlain, kBinarise, kFixResolution };
constexpr Mode kModes[] = {Mode::kPlain, Mode::kBinarise, Mode::kFixResolution};
constexpr double kRequestedDpi = 200;  // what the resolution fix resamples to

const char* ModeName(Mode mode) {
  switch (mode) {
    case Mode::kPlain: return "no_enhancement";
    case Mode::kBinarise: return "binarisation";
    case Mode::kFixResolution: return "resolution_fix";
  }
  return "?";
}

struct Format {
  const char* name;
  const char* folder;
  bool bilevelTiff;
};
constexpr Format kFormats[] = {{"jpeg", "jpeg", false}, {"tiff_g4", "g4", true}};

// The settings of one mode, in a file of their own (DeleteFiles written off: the corpus stays).
std::unique_ptr<SettingsStore> SettingsFor(const std::string& root, Mode mode) {
  const std::string base = root + "settings-" + ModeName(mode);
  auto settings = std::make_unique<SettingsStore>(base + ".ini", base + ".log", base + "Log.ini", base + ".flist");
  settings->SetDeleteFiles(false);
  settings->SetThreshold(mode == Mode::kBinarise);
  settings->WriteString("General", "FixResolution", mode == Mode::kFixResolution ? "1" : "0");
  return settings;
}

NegotiatedFormat RequestedFormat() { return NegotiatedFormat{TWPT_RGB, 24, TWPF_CHOCOLATE, kRequestedDpi, kRequestedDpi}; }

// The width every delivered page must have.
uint32_t ExpectedWidth(Mode mode) {
  return mode == Mode::kFixResolution ? static_cast<uint32_t>(bench_pipeline::kPageWidth * kRequestedDpi / bench_pipeline::kPageDpi)
                                      : bench_pipeline::kPageWidth;
}

// One pass of the pipeline over the folder; the number of pages delivered as expected.
int RunPipeline(PendingImagesList& list, NextImageLoader& loader, const std::string& folder, Mode mode) {
  list.Init(false, false, std::make_unique<LoopCounter>(false, 0), /*clear=*/true);
  list.AddFolder(folder);
  int pages = 0;
  while (loader.LoadNextImage(RequestedFormat(), nullptr)) {
    const CxImage& image = loader.CurrentImage()->Image();
    benchmark::DoNotOptimize(image.GetBits(0));
    if (image.GetWidth() == ExpectedWidth(mode) && (mode != Mode::kBinarise || image.GetBpp() == 1)) ++pages;
  }
  loader.ReleaseOpenFile();
  return pages;
}

void PipelineBenchmark(benchmark::State& state, std::string folder, const SettingsStore* settings, Mode mode) {
  PendingImagesList list;
  NextImageLoader loader(list, *settings);
  int64_t pages = 0;
  for (auto _ : state) pages += RunPipeline(list, loader, folder, mode);
  if (pages != static_cast<int64_t>(state.iterations()) * kPageCount) state.SkipWithError("pages missing or not as expected");
  state.SetItemsProcessed(pages);
}

// The image object alone: decode each file (format from the content, as the pipeline does)
// and run the mode's one operation with the pipeline's parameters.
void ReferenceBenchmark(benchmark::State& state, std::string folder, Mode mode) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  int64_t pages = 0;
  for (auto _ : state) {
    for (const std::string& file : files) {
      CxImage image;
      if (!image.LoadFile(file, ImageFormat::Unknown)) {
        state.SkipWithError(image.GetLastError());
        return;
      }
      if (mode == Mode::kBinarise && image.GetBpp() != 1) image.AdaptiveThreshold(0, 32, nullptr, 0, 0.5f);
      if (mode == Mode::kFixResolution) {
        image.ResizeTo(static_cast<int32_t>(image.GetWidth() * kRequestedDpi / image.GetXDPI()),
                       static_cast<int32_t>(image.GetHeight() * kRequestedDpi / image.GetYDPI()), 1);
      }
      benchmark::DoNotOptimize(image.GetBits(0));
      ++pages;
    }
  }
  state.SetItemsProcessed(pages);
}

std::string BenchmarkName(const char* kind, const Format& format, Mode mode) {
  return std::string(kind) + "/" + format.name + "/" + ModeName(mode);
}

// Console output as usual, plus the median over the repetitions of each benchmark's CPU time
// per iteration: the machine is shared, and the median shrugs off a busy neighbour.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      samples_[run.run_name.function_name].push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations));
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Seconds; 0 when the benchmark did not run.
  double MedianCpuSeconds(const std::string& name) const {
    const auto found = samples_.find(name);
    if (found == samples_.end() || found->second.empty()) return 0;
    std::vector<double> values = found->second;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  }

 private:
  std::map<std::string, std::vector<double>> samples_;
};

// The benchmark measures one core: whatever the imaging code does runs on the CPU we start on.
void PinToOneCore() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  sched_setaffinity(0, sizeof set, &set);
}

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

// In a fresh process: the resident memory the pipeline adds at its peak over one pass.
int RunMemoryProbe(const std::string& root, const std::string& folder, int modeIndex) {
  const std::unique_ptr<SettingsStore> settings = SettingsFor(root, kModes[modeIndex]);
  PendingImagesList list;
  NextImageLoader loader(list, *settings);
  settings->GetThreshold();
  const long baseline = StatusKilobytes("VmRSS");
  // Starts the high-water mark afresh at the current size.
  std::ofstream("/proc/self/clear_refs") << "5";
  const int pages = RunPipeline(list, loader, folder, kModes[modeIndex]);
  const long peak = StatusKilobytes("VmHWM");
  std::printf("pages=%d added=%ld\n", pages, (peak - baseline) * 1024);
  return pages == kPageCount ? 0 : 1;
}

std::string SelfPath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

long long ProbeMemory(const std::string& root, const std::string& folder, int modeIndex) {
  const std::string command =
      "'" + SelfPath() + "' --memory-probe '" + root + "' '" + folder + "' " + std::to_string(modeIndex);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char line[128] = {};
  long long added = -1;
  int pages = 0;
  if (std::fgets(line, sizeof line, pipe) != nullptr) std::sscanf(line, "pages=%d added=%lld", &pages, &added);
  pclose(pipe);
  return pages == kPageCount ? added : -1;
}

size_t BitmapBytesOfFirstPage(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  CxImage image;
  return !files.empty() && image.LoadFile(files.front()) ? image.GetSize() : 0;
}

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velloran-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("bench_pipeline: mkdtemp");
      std::exit(1);
    }
    path_ = pattern + "/";
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
  PinToOneCore();
  if (argc == 5 && std::string(argv[1]) == "--memory-probe") return RunMemoryProbe(argv[2], argv[3], std::atoi(argv[4]));

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const TemporaryFolder corpus;
  std::printf("Writing %d letter pages at 300 dpi as JPEG and as TIFF G4 to %s ...\n", kPageCount, corpus.Path().c_str());
  std::fflush(stdout);
  for (const Format& format : kFormats) bench_pipeline::WriteCorpus(corpus.Path() + format.folder + "/", format.bilevelTiff);

  std::vector<std::unique_ptr<SettingsStore>> settings;
  for (const Format& format : kFormats) {
    const std::string folder = corpus.Path() + format.folder + "/";
    for (Mode mode : kModes) {
      settings.push_back(SettingsFor(corpus.Path(), mode));
      benchmark::RegisterBenchmark(BenchmarkName("Pipeline", format, mode).c_str(), PipelineBenchmark, folder,
                                   settings.back().get(), mode)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(2)
          ->Repetitions(3);
      benchmark::RegisterBenchmark(BenchmarkName("DecodePlusOperation", format, mode).c_str(), ReferenceBenchmark,
                                   folder, mode)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(2)
          ->Repetitions(3);
    }
  }
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nPages per second on one core (median CPU time of 3 runs), %d pages of 2550 x 3300 pixels:\n",
              kPageCount);
  std::printf("  %-8s %-15s %10s %18s %14s\n", "format", "mode", "pipeline", "decode+operation", "pipeline adds");
  for (const Format& format : kFormats) {
    for (Mode mode : kModes) {
      const double pipeline = reporter.MedianCpuSeconds(BenchmarkName("Pipeline", format, mode));
      const double reference = reporter.MedianCpuSeconds(BenchmarkName("DecodePlusOperation", format, mode));
      if (pipeline <= 0 || reference <= 0) continue;
      std::printf("  %-8s %-15s %10.2f %18.2f %13.1f%%\n", format.name, ModeName(mode), kPageCount / pipeline,
                  kPageCount / reference, (pipeline / reference - 1.0) * 100.0);
    }
  }

  std::printf("\nPeak resident memory the pipeline adds over one pass (fresh process per line):\n");
  for (const Format& format : kFormats) {
    const std::string folder = corpus.Path() + format.folder + "/";
    const double page = static_cast<double>(BitmapBytesOfFirstPage(folder));
    for (int m = 0; m < static_cast<int>(std::size(kModes)); ++m) {
      const long long added = ProbeMemory(corpus.Path(), folder, m);
      if (added < 0 || page <= 0) {
        std::printf("  %-8s %-15s probe failed\n", format.name, ModeName(kModes[m]));
        continue;
      }
      std::printf("  %-8s %-15s %8.1f MB = %4.2f x one page's bitmap (%.1f MB)\n", format.name, ModeName(kModes[m]),
                  static_cast<double>(added) / 1e6, static_cast<double>(added) / page, page / 1e6);
    }
  }
  return 0;
}
