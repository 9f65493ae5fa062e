// The time to turn a typed US Letter page of a PDF file into the image the source holds, at
// 200 and 300 dpi, next to poppler's pdftoppm rendering the same page to PPM in the same run.
// Both sides include opening the file. Wall time and CPU time are reported (for pdftoppm the
// child process's CPU time); the ratios at the end compare medians of the repetitions, with the
// runs of both sides interleaved so that a busy machine weighs on both alike.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "acquisition/PdfLibrary.h"
#include "acquisition/PdfRenderer.h"
#include "imaging/CxImage.h"
#include "pdf/PdfWriter.h"

extern char** environ;

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; }
double CpuSeconds(const rusage& usage) { return Seconds(usage.ru_utime) + Seconds(usage.ru_stime); }
double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}
long OwnPageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// The page every figure renders, written once into a fresh folder.
const std::string& PagePath() {
  static const std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "velloran-bench-pdf-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    const std::string file = folder + "/typed-letter.pdf";
    test_pdf::WritePdf(file, {test_pdf::TypedLetterPage()});
    return file;
  }();
  return path;
}

// CPU time and page faults per iteration. Faults are where a page's memory goes on a virtual
// machine: each fresh 4 KiB page costs a trap.
void ReportCpu(benchmark::State& state, double cpuSeconds, long faults) {
  state.counters["cpu_ms"] = benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
  state.counters["faults"] = benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}

// What a one-page PDF file costs the source: open, look up, render, build the image, close.
void BM_RenderPdfPage(benchmark::State& state) {
  const int resolution = static_cast<int>(state.range(0));
  CxImage image;
  double cpu = 0;
  long faults = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = OwnCpuSeconds();
    const long faultsStart = OwnPageFaults();
    {
      PdfDocument document;
      RenderPdfPage(document, image, PagePath(), 0, resolution);
    }
    cpu += OwnCpuSeconds() - cpuStart;
    faults += OwnPageFaults() - faultsStart;
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (image.GetWidth() != static_cast<uint32_t>(612 * resolution / 72)) state.SkipWithError("wrong image size");
  ReportCpu(state, cpu, faults);
}

// A further page of a document already open: the render and the image alone.
void BM_RenderOpenDocumentPage(benchmark::State& state) {
  const int resolution = static_cast<int>(state.range(0));
  CxImage image;
  PdfDocument document;
  RenderPdfPage(document, image, PagePath(), 0, resolution);
  double cpu = 0;
  long faults = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = OwnCpuSeconds();
    const long faultsStart = OwnPageFaults();
    RenderPdfPage(document, image, PagePath(), 0, resolution);
    cpu += OwnCpuSeconds() - cpuStart;
    faults += OwnPageFaults() - faultsStart;
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  ReportCpu(state, cpu, faults);
}

// pdftoppm -r <dpi> -singlefile <file>, its PPM going to /dev/null (PPM is its default format).
void BM_Pdftoppm(benchmark::State& state) {
  const std::string resolution = std::to_string(state.range(0));
  std::vector<std::string> arguments = {"pdftoppm", "-r", resolution, "-singlefile", PagePath()};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  double cpu = 0;
  long faults = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, "pdftoppm", &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start pdftoppm");
      break;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("pdftoppm failed");
      break;
    }
    cpu += CpuSeconds(usage);
    faults += usage.ru_minflt;
  }
  posix_spawn_file_actions_destroy(&actions);
  ReportCpu(state, cpu, faults);
}

constexpr int kRepetitions = 7;

void Register(const char* name, void (*function)(benchmark::State&)) {
  for (const int resolution : {200, 300}) {
    benchmark::RegisterBenchmark(name, function)
        ->Arg(resolution)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->Repetitions(kRepetitions);
  }
}

// Console output as usual, plus the medians of every benchmark.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  struct Figure {
    double wallMs = 0;
    double cpuMs = 0;
    double faults = 0;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      Figure& figure = figures_[run.run_name.str()];
      figure.wallMs = run.GetAdjustedRealTime();
      const auto cpu = run.counters.find("cpu_ms");
      if (cpu != run.counters.end()) figure.cpuMs = cpu->second.value;
      const auto faults = run.counters.find("faults");
      if (faults != run.counters.end()) figure.faults = faults->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, Figure>& Figures() const { return figures_; }

 private:
  std::map<std::string, Figure> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  SetPdfLibraryFolder(PDF_LIBRARY_FOLDER);
  Register("BM_RenderPdfPage", BM_RenderPdfPage);
  Register("BM_Pdftoppm", BM_Pdftoppm);
  Register("BM_RenderOpenDocumentPage", BM_RenderOpenDocumentPage);

  // Interleaved unless asked otherwise: the two sides share the machine's moods.
  std::vector<char*> arguments(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  arguments.push_back(interleave.data());
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  ReleasePdfLibrary();

  const auto& figures = reporter.Figures();
  std::printf("\nLetter page, medians of %d repetitions; ratio = ours / pdftoppm (target: within 1.2 x)\n",
              kRepetitions);
  std::printf("  %-4s %10s %10s %7s   %10s %10s %7s   %8s %8s\n", "dpi", "wall ms", "pdftoppm", "ratio", "cpu ms",
              "pdftoppm", "ratio", "faults", "pdftoppm");
  for (const int resolution : {200, 300}) {
    const std::string suffix = "/" + std::to_string(resolution) + "/iterations:3/repeats:" +
                               std::to_string(kRepetitions) + "/manual_time";
    const auto ours = figures.find("BM_RenderPdfPage" + suffix);
    const auto reference = figures.find("BM_Pdftoppm" + suffix);
    if (ours == figures.end() || reference == figures.end()) continue;
    const auto& [wall, cpu, faults] = ours->second;
    const auto& [referenceWall, referenceCpu, referenceFaults] = reference->second;
    std::printf("  %-4d %10.1f %10.1f %6.2fx   %10.1f %10.1f %6.2fx   %8.0f %8.0f\n", resolution, wall, referenceWall,
                wall / referenceWall, cpu, referenceCpu, cpu / referenceCpu, faults, referenceFaults);
  }
  return 0;
}
