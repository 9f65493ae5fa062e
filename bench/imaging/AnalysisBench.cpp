// Speed of the two page analyses on the benchmark page, against the page copy.

#include <benchmark/benchmark.h>

#include <optional>

#include "BenchPage.h"
#include "imaging/BackgroundFilter.h"
#include "imaging/ColorDetector.h"
#include "imaging/CxImage.h"

namespace {

// Dropping the paper colour; the filtered copy is the new image the pipeline swaps in.
void BM_AnalysisBackgroundFilter(benchmark::State& state) {
  const CxImage& page = bench::Page();
  for (auto _ : state) {
    BackgroundFilter filter(2);
    std::optional<CxImage> result = filter.Apply(page);
    if (!result) {
      state.SkipWithError("background filter refused the page");
      return;
    }
    benchmark::DoNotOptimize(result->GetDIB());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.GetSize());
}

void BM_AnalysisColorDetector(benchmark::State& state) {
  const CxImage& page = bench::Page();
  int mode = 0;
  for (auto _ : state) {
    ColorDetector detector;
    const auto measure = detector.Detect(page);
    if (!measure) {
      state.SkipWithError("colour detector refused the page");
      return;
    }
    mode = detector.Mode();
    benchmark::DoNotOptimize(measure->ratio);
  }
  state.counters["margin_mode"] = mode;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.GetSize());
}

BENCHMARK(BM_AnalysisBackgroundFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisColorDetector)->Unit(benchmark::kMillisecond);

// Budgets: background filter <= 4 x, colour detector <= 6 x the copy.
const int kRatios[] = {
    bench::RegisterRatio("BM_AnalysisBackgroundFilter", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_AnalysisColorDetector", "BM_ReferenceMemcpy"),
};

}  // namespace
