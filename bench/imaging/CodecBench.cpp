// Codec speed on the benchmark page, with the two references every figure is measured
// against: copying the page's bitmap (the memory limit) and libjpeg-turbo decoding the page's
// JPEG into a buffer with nothing else around it (the decode limit).

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstring>
#include <vector>

#include "BenchPage.h"
#include "imaging/CxImage.h"

namespace {

void DecodeBenchmark(benchmark::State& state, const std::vector<uint8_t>& bytes, uint32_t format) {
  for (auto _ : state) {
    CxImage image;
    if (!image.Decode(bytes, format)) {
      state.SkipWithError(image.GetLastError());
      return;
    }
    benchmark::DoNotOptimize(image.GetBits(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::Page().GetSize());
}

void BM_DecodeJpeg(benchmark::State& state) { DecodeBenchmark(state, bench::PageJpeg(), ImageFormat::Jpeg); }
void BM_DecodePng(benchmark::State& state) { DecodeBenchmark(state, bench::PagePng(), ImageFormat::Png); }
void BM_DecodeTiffLzw(benchmark::State& state) { DecodeBenchmark(state, bench::PageTiffLzw(), ImageFormat::Tiff); }
void BM_DecodeTiffG4(benchmark::State& state) { DecodeBenchmark(state, bench::PageTiffG4(), ImageFormat::Tiff); }

void BM_EncodeBmp(benchmark::State& state) {
  const CxImage& page = bench::Page();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    if (!page.Encode(out, ImageFormat::Bmp)) {
      state.SkipWithError(page.GetLastError());
      return;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.GetSize());
}

// The memory limit: the page's whole block copied into memory that is reused.
void BM_ReferenceMemcpy(benchmark::State& state) {
  const CxImage& page = bench::Page();
  std::vector<uint8_t> target(page.GetSize(), 1);
  for (auto _ : state) {
    std::memcpy(target.data(), page.GetDIB(), page.GetSize());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.GetSize());
}

// The decode limit: libjpeg-turbo alone, BGR rows into a reused buffer, default settings.
void BM_ReferenceLibjpegDecode(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = bench::PageJpeg();
  std::vector<uint8_t> pixels(size_t{bench::kPageWidth} * bench::kPageHeight * 3, 1);
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const size_t stride = size_t{info.output_width} * 3;
    while (info.output_scanline < info.output_height) {
      JSAMPROW rows[16];
      JDIMENSION count = 0;
      for (; count < 16 && info.output_scanline + count < info.output_height; ++count)
        rows[count] = pixels.data() + stride * (info.output_scanline + count);
      jpeg_read_scanlines(&info, rows, count);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench::Page().GetSize());
}

// Makes the page and its encodings before the first measurement.
void BM_PreparePage(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(bench::PageJpeg().data());
    benchmark::DoNotOptimize(bench::PagePng().data());
    benchmark::DoNotOptimize(bench::PageTiffLzw().data());
    benchmark::DoNotOptimize(bench::PageTiffG4().data());
  }
  state.counters["jpeg_kb"] = static_cast<double>(bench::PageJpeg().size()) / 1024;
  state.counters["png_kb"] = static_cast<double>(bench::PagePng().size()) / 1024;
  state.counters["tiff_lzw_kb"] = static_cast<double>(bench::PageTiffLzw().size()) / 1024;
  state.counters["tiff_g4_kb"] = static_cast<double>(bench::PageTiffG4().size()) / 1024;
}

BENCHMARK(BM_PreparePage)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceLibjpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTiffLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTiffG4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeBmp)->Unit(benchmark::kMillisecond);

const int kRatios[] = {
    bench::RegisterRatio("BM_DecodeJpeg", "BM_ReferenceLibjpegDecode"),
    bench::RegisterRatio("BM_DecodePng", "BM_ReferenceLibjpegDecode"),
    bench::RegisterRatio("BM_DecodeTiffLzw", "BM_ReferenceLibjpegDecode"),
    bench::RegisterRatio("BM_DecodeTiffG4", "BM_ReferenceLibjpegDecode"),
    bench::RegisterRatio("BM_EncodeBmp", "BM_ReferenceMemcpy"),
};

}  // namespace
