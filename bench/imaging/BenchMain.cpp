// Runs the imaging benchmarks and ends with each registered figure as a ratio to its
// reference measured in the same run, so that results compare across machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "BenchPage.h"

namespace {

// Console output as usual, plus the mean real time of every benchmark run.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      const double iterations = static_cast<double>(run.iterations);
      times_[run.benchmark_name()] = {run.real_accumulated_time / iterations, run.cpu_accumulated_time / iterations};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  struct Seconds {
    double real;
    double cpu;
  };
  const std::map<std::string, Seconds>& Times() const { return times_; }

 private:
  std::map<std::string, Seconds> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // CPU time decides: on a shared machine wall time mostly measures the neighbours.
  const auto& times = reporter.Times();
  std::printf("\nRatios to the references of this run (CPU time; wall time in brackets):\n");
  for (const bench::Ratio& ratio : bench::Ratios()) {
    const auto figure = times.find(ratio.benchmark);
    const auto reference = times.find(ratio.reference);
    if (figure == times.end() || reference == times.end() || reference->second.cpu <= 0 || reference->second.real <= 0)
      continue;
    std::printf("  %-32s %9.2f ms  %6.2f x  (%5.2f x)  %s\n", ratio.benchmark, figure->second.cpu * 1e3,
                figure->second.cpu / reference->second.cpu, figure->second.real / reference->second.real, ratio.reference);
  }
  return 0;
}
