// Speed of the image operations on the benchmark page, each against the reference its budget
// is stated in: the page copy (memory-bound work) or the library JPEG decode (the adaptive
// threshold, which does a decoder's amount of arithmetic).

#include <benchmark/benchmark.h>

#include "BenchPage.h"
#include "imaging/CxImage.h"

namespace {

// Runs `op` on a fresh copy of `page` per iteration; the copy is not timed. Operations that
// build a new image allocate it inside the timed part, as they do in the pipeline.
template <typename Op>
void RunOnCopy(benchmark::State& state, const CxImage& page, Op op) {
  CxImage work;
  for (auto _ : state) {
    state.PauseTiming();
    work = page;
    state.ResumeTiming();
    if (!op(work)) {
      state.SkipWithError(work.GetLastError());
      return;
    }
    benchmark::DoNotOptimize(work.GetDIB());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.GetSize());
}

void BM_OpToGray(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.ToGray(); });
}

// The binarisation with the pipeline's defaults (mean of the methods, 32-pixel boxes).
void BM_OpAdaptiveThreshold(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.AdaptiveThreshold(0, 32, nullptr, 0, 0.5f); });
}

void BM_OpRotate90(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.RotateBy(90); });
}

// Binarised pages are turned after the threshold when both are set.
void BM_OpRotate90Bilevel(benchmark::State& state) {
  RunOnCopy(state, bench::BilevelPage(), [](CxImage& image) { return image.RotateBy(90); });
}

// Mirroring works in place and is its own inverse: no copy needed between runs.
void BM_OpMirror(benchmark::State& state) {
  CxImage work = bench::Page();
  for (auto _ : state) {
    if (!work.MirrorHorizontally()) {
      state.SkipWithError("mirror failed");
      return;
    }
    benchmark::DoNotOptimize(work.GetDIB());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * work.GetSize());
}

// 300 dpi to 200 dpi, as the resolution fix does.
void BM_OpResizeNearest(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.ResizeTo(1700, 2200, 1); });
}

// Mode 0 on a colour page made smaller: the box average.
void BM_OpResizeBoxAverage(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.ResizeTo(1700, 2200, 0); });
}

// Mode 0 made larger: bilinear.
void BM_OpResizeBilinear(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.ResizeTo(3000, 3900, 0); });
}

// The pipeline's conversion to black and white without a threshold: nearest colour.
void BM_OpDecreaseBpp1(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.DecreaseBpp(1, false); });
}

void BM_OpDecreaseBpp1Diffused(benchmark::State& state) {
  RunOnCopy(state, bench::Page(), [](CxImage& image) { return image.DecreaseBpp(1, true); });
}

BENCHMARK(BM_OpToGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpAdaptiveThreshold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpRotate90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpRotate90Bilevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpMirror)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpResizeNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpResizeBoxAverage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpResizeBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpDecreaseBpp1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpDecreaseBpp1Diffused)->Unit(benchmark::kMillisecond);

// Budgets: mirror <= 2 x, gray and nearest resize <= 3 x, quarter turn <= 8 x the copy;
// adaptive threshold <= 3 x the decode. The others are reported for reference.
const int kRatios[] = {
    bench::RegisterRatio("BM_OpMirror", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpToGray", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpResizeNearest", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpRotate90", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpAdaptiveThreshold", "BM_ReferenceLibjpegDecode"),
    bench::RegisterRatio("BM_OpRotate90Bilevel", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpResizeBoxAverage", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpResizeBilinear", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpDecreaseBpp1", "BM_ReferenceMemcpy"),
    bench::RegisterRatio("BM_OpDecreaseBpp1Diffused", "BM_ReferenceMemcpy"),
};

}  // namespace
