// Resampling of CxImage: nearest pixel, bilinear, bicubic and the box average for shrinking
// colour pages. Coordinates are those of the picture (row 0 at the top), so the top-left
// pixel is anchored whatever the storage order.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/CxImageOpsSupport.h"
#include "imaging/kernels/NearestColor.h"
#include "imaging/kernels/PixelRows.h"
#include "imaging/kernels/Resample.h"

using namespace imaging;

namespace {

// Source rows as 1 channel (gray-ramp images: the index is the level) or 3 channels (blue,
// green, red: colour images and every other palette image, through the palette).
class SourceRows {
 public:
  explicit SourceRows(const CxImage& image)
      : image_(image),
        palette_(PaletteTable(image)),
        channels_(image.GetBpp() == 24 || !(image.GetBpp() == 8 && image.IsGrayRamp()) ? 3 : 1),
        direct_(image.GetBpp() == 24 || channels_ == 1) {}

  uint32_t Channels() const { return channels_; }

  // Starts the rows of one destination row: rows fetched from here on stay valid until the
  // next call.
  void BeginLine() { pinned_ = 0; }

  // Picture row y as channel bytes. Rows of palette images are expanded into a small cache
  // that holds the four taps of the bicubic filter; a row fetched since BeginLine is never
  // replaced.
  const uint8_t* Row(uint32_t y) {
    const uint8_t* stored = image_.GetBits(StoredRowOf(image_.GetHeight(), y));
    if (direct_) return stored;
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].row == y) {
        pinned_ |= 1u << i;
        return slots_[i].bytes.data();
      }
    }
    size_t i = next_;
    while (pinned_ & (1u << i)) i = (i + 1) % slots_.size();
    next_ = (i + 1) % slots_.size();
    pinned_ |= 1u << i;
    Slot& slot = slots_[i];
    slot.bytes.resize(size_t{image_.GetWidth()} * 3);
    ExpandRowToBgr(stored, image_.GetWidth(), image_.GetBpp(), palette_, slot.bytes.data());
    slot.row = y;
    return slot.bytes.data();
  }

 private:
  struct Slot {
    int64_t row = -1;
    std::vector<uint8_t> bytes;
  };
  const CxImage& image_;
  std::array<RgbQuad, 256> palette_;
  uint32_t channels_;
  bool direct_;
  std::array<Slot, 4> slots_;
  size_t next_ = 0;
  uint32_t pinned_ = 0;
};

// Writes rows of channel bytes into the result: directly for colour and gray images, through
// the nearest palette entry for other palette images.
class ResultRows {
 public:
  ResultRows(CxImage& result, uint32_t channels)
      : result_(result),
        direct_(result.GetBpp() == 24 || channels == 1),
        nearest_(result.GetPalette() ? result.GetPalette() : &white_, result.GetPalette() ? result.GetNumColors() : 1),
        bytes_(size_t{result.GetWidth()} * channels),
        indices_(result.GetWidth()) {}

  // Buffer for picture row y; Commit(y) stores it.
  uint8_t* Buffer(uint32_t y) {
    return direct_ ? result_.GetBits(StoredRowOf(result_.GetHeight(), y)) : bytes_.data();
  }

  void Commit(uint32_t y) {
    if (direct_) return;
    const uint32_t width = result_.GetWidth();
    uint8_t* row = result_.GetBits(StoredRowOf(result_.GetHeight(), y));
    std::memset(row, 0, result_.GetEffWidth());
    for (uint32_t x = 0; x < width; ++x)
      SetPackedIndex(row, x, result_.GetBpp(), nearest_.Find(bytes_[3 * x], bytes_[3 * x + 1], bytes_[3 * x + 2]));
  }

 private:
  static constexpr RgbQuad white_{255, 255, 255, 0};
  CxImage& result_;
  bool direct_;
  NearestColor nearest_;
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> indices_;
};

bool ResizeNearest(const CxImage& source, CxImage& result, RowProgress& progress) {
  const uint32_t width = source.GetWidth();
  const uint32_t height = source.GetHeight();
  const uint32_t outWidth = result.GetWidth();
  const uint32_t outHeight = result.GetHeight();
  const uint32_t bpp = source.GetBpp();
  const uint32_t bytesPerPixel = bpp == 24 ? 3 : 1;
  std::vector<uint32_t> sourceOffset(outWidth);
  for (uint32_t x = 0; x < outWidth; ++x)
    sourceOffset[x] = static_cast<uint32_t>(uint64_t{x} * width / outWidth) * (bpp >= 8 ? bytesPerPixel : 1);

  int64_t previousSourceRow = -1;
  const uint8_t* previousRow = nullptr;
  const size_t rowBytes = result.GetEffWidth();
  for (uint32_t y = 0; y < outHeight; ++y) {
    if (!progress.Continue(y)) return false;
    const auto sy = static_cast<uint32_t>(uint64_t{y} * height / outHeight);
    uint8_t* dst = result.GetBits(StoredRowOf(outHeight, y));
    if (sy == previousSourceRow) {
      std::memcpy(dst, previousRow, rowBytes);
      continue;
    }
    const uint8_t* src = source.GetBits(StoredRowOf(height, sy));
    // Skipped source rows break the sequential reads the hardware prefetchers follow, so the
    // next row needed is requested ahead of time.
    if (y + 1 < outHeight) {
      const auto nextRow = static_cast<uint32_t>(uint64_t{y + 1} * height / outHeight);
      if (nextRow != sy) PrefetchBytes(source.GetBits(StoredRowOf(height, nextRow)), PixelBytesOf(width, bpp));
    }
    if (bpp == 24) {
      // Pixels move as 4-byte words (the fourth byte is overwritten by the next pixel); the
      // last pixel, and source pixels in the last column, move as 3 bytes so that nothing is
      // written into the next row or read past the block.
      const uint32_t lastSourceOffset = (width - 1) * 3;
      uint32_t x = 0;
      for (; x + 1 < outWidth && sourceOffset[x] != lastSourceOffset; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, src + sourceOffset[x], 4);
        std::memcpy(dst + 3 * size_t{x}, &pixel, 4);
      }
      for (; x < outWidth; ++x) std::memcpy(dst + 3 * size_t{x}, src + sourceOffset[x], 3);
    } else if (bpp == 8) {
      for (uint32_t x = 0; x < outWidth; ++x) dst[x] = src[sourceOffset[x]];
    } else {
      std::memset(dst, 0, rowBytes);
      for (uint32_t x = 0; x < outWidth; ++x) SetPackedIndex(dst, x, bpp, GetPackedIndex(src, sourceOffset[x], bpp));
    }
    previousSourceRow = sy;
    previousRow = dst;
  }
  return true;
}

bool ResizeBilinear(const CxImage& source, CxImage& result, RowProgress& progress) {
  SourceRows rows(source);
  const uint32_t channels = rows.Channels();
  ResultRows out(result, channels);
  const uint32_t width = source.GetWidth();
  const uint32_t outWidth = result.GetWidth();
  const uint32_t outHeight = result.GetHeight();
  const std::vector<LinearTap> columns = LinearTaps(width, outWidth);
  std::vector<uint16_t> blended(size_t{width} * channels);
  for (uint32_t y = 0; y < outHeight; ++y) {
    if (!progress.Continue(y)) return false;
    const LinearTap row = LinearTapAt(y, source.GetHeight(), outHeight);
    rows.BeginLine();
    BlendRows(rows.Row(row.first), rows.Row(row.second), row.weight, blended.data(), width * channels);
    InterpolateRow(blended.data(), columns, channels, out.Buffer(y));
    out.Commit(y);
  }
  return true;
}

// Catmull-Rom weights (the cubic convolution kernel with a = -0.5) for a sample at fraction f.
std::array<float, 4> CubicWeights(float f) {
  constexpr float a = -0.5f;
  auto far = [](float t) { return ((a * t - 5 * a) * t + 8 * a) * t - 4 * a; };
  auto near = [](float t) { return ((a + 2) * t - (a + 3)) * t * t + 1; };
  return {far(1 + f), near(f), near(1 - f), far(2 - f)};
}

struct CubicTap {
  std::array<uint32_t, 4> index;
  std::array<float, 4> weight;
};

// Sample positions sit half a pixel before the nearest-pixel positions x * old / new.
std::vector<CubicTap> CubicTaps(uint32_t size, uint32_t outSize) {
  std::vector<CubicTap> taps(outSize);
  for (uint32_t x = 0; x < outSize; ++x) {
    const double position = static_cast<double>(x) * size / outSize - 0.5;
    const double base = std::floor(position);
    const auto f = static_cast<float>(position - base);
    taps[x].weight = CubicWeights(f);
    for (int k = 0; k < 4; ++k) {
      const double i = std::clamp(base - 1 + k, 0.0, static_cast<double>(size - 1));
      taps[x].index[k] = static_cast<uint32_t>(i);
    }
  }
  return taps;
}

bool ResizeBicubic(const CxImage& source, CxImage& result, RowProgress& progress) {
  SourceRows rows(source);
  const uint32_t channels = rows.Channels();
  ResultRows out(result, channels);
  const uint32_t width = source.GetWidth();
  const uint32_t outWidth = result.GetWidth();
  const uint32_t outHeight = result.GetHeight();
  const std::vector<CubicTap> columns = CubicTaps(width, outWidth);
  const std::vector<CubicTap> lines = CubicTaps(source.GetHeight(), outHeight);
  std::vector<float> blended(size_t{width} * channels);
  for (uint32_t y = 0; y < outHeight; ++y) {
    if (!progress.Continue(y)) return false;
    const CubicTap& line = lines[y];
    rows.BeginLine();
    const uint8_t* r[4];
    for (int k = 0; k < 4; ++k) r[k] = rows.Row(line.index[k]);
    for (size_t i = 0; i < blended.size(); ++i)
      blended[i] = line.weight[0] * r[0][i] + line.weight[1] * r[1][i] + line.weight[2] * r[2][i] +
                   line.weight[3] * r[3][i];
    uint8_t* dst = out.Buffer(y);
    for (uint32_t x = 0; x < outWidth; ++x) {
      const CubicTap& column = columns[x];
      for (uint32_t c = 0; c < channels; ++c) {
        float v = 0;
        for (int k = 0; k < 4; ++k) v += column.weight[k] * blended[size_t{column.index[k]} * channels + c];
        dst[size_t{x} * channels + c] = static_cast<uint8_t>(std::clamp(std::floor(v + 0.5f), 0.0f, 255.0f));
      }
    }
    out.Commit(y);
  }
  return true;
}

// Each destination pixel's share of the source pixels it covers, per axis, in thousandths of
// a source pixel: destination x covers [first, first + count) with weights[offset ...].
struct BoxTaps {
  struct Span {
    uint32_t first = 0;
    uint32_t count = 0;
    uint32_t offset = 0;
    uint32_t total = 0;
  };
  std::vector<Span> spans;
  std::vector<uint32_t> weights;
};

BoxTaps BoxTapsFor(uint32_t size, uint32_t outSize) {
  BoxTaps taps;
  taps.spans.resize(outSize);
  for (uint32_t x = 0; x < outSize; ++x) {
    // The span [x * size / outSize, (x + 1) * size / outSize), in units of 1 / outSize.
    const uint64_t begin = uint64_t{x} * size;
    const uint64_t end = uint64_t{x + 1} * size;
    BoxTaps::Span& span = taps.spans[x];
    span.first = static_cast<uint32_t>(begin / outSize);
    span.offset = static_cast<uint32_t>(taps.weights.size());
    for (uint64_t i = span.first; i * outSize < end; ++i) {
      const uint64_t covered = std::min(end, (i + 1) * outSize) - std::max(begin, i * outSize);
      const auto weight = static_cast<uint32_t>((covered * 1000 + outSize / 2) / outSize);
      taps.weights.push_back(weight);
      span.total += weight;
      ++span.count;
    }
  }
  return taps;
}

// (sum + total / 2) / total, rounded down, without a 64-bit division per channel: the
// floating-point estimate is off by at most one and corrected in integers.
inline uint64_t RoundedQuotient(uint64_t sum, uint64_t total, double reciprocal) {
  const uint64_t numerator = sum + total / 2;
  auto q = static_cast<uint64_t>(static_cast<double>(numerator) * reciprocal);
  if (q * total > numerator) {
    --q;
  } else if ((q + 1) * total <= numerator) {
    ++q;
  }
  return q;
}

// Weighted sums of one source row for every destination column, per channel.
void SumColumns(const uint8_t* src, const BoxTaps& columns, uint64_t* sums) {
  const uint32_t* weights = columns.weights.data();
  for (const BoxTaps::Span& span : columns.spans) {
    const uint8_t* p = src + 3 * size_t{span.first};
    uint64_t b = 0, g = 0, r = 0;
    for (uint32_t i = 0; i < span.count; ++i, p += 3) {
      const uint64_t w = weights[span.offset + i];
      b += w * p[0];
      g += w * p[1];
      r += w * p[2];
    }
    sums[0] = b;
    sums[1] = g;
    sums[2] = r;
    sums += 3;
  }
}

// Colour pages made smaller in both directions: each destination pixel is the average of the
// source area it covers, so that thin strokes fade instead of vanishing. Neighbouring
// destination rows share at most one source row, whose column sums are kept for the next.
bool ResizeBoxAverage(const CxImage& source, CxImage& result, RowProgress& progress) {
  const uint32_t height = source.GetHeight();
  const uint32_t outWidth = result.GetWidth();
  const uint32_t outHeight = result.GetHeight();
  const BoxTaps columns = BoxTapsFor(source.GetWidth(), outWidth);
  const BoxTaps lines = BoxTapsFor(height, outHeight);
  std::vector<uint64_t> current(size_t{outWidth} * 3);
  std::vector<uint64_t> kept(size_t{outWidth} * 3);
  int64_t keptRow = -1;
  std::vector<uint64_t> sums(size_t{outWidth} * 3);
  for (uint32_t y = 0; y < outHeight; ++y) {
    if (!progress.Continue(y)) return false;
    std::fill(sums.begin(), sums.end(), 0);
    const BoxTaps::Span& line = lines.spans[y];
    for (uint32_t k = 0; k < line.count; ++k) {
      const uint32_t row = line.first + k;
      const uint64_t wy = lines.weights[line.offset + k];
      if (row != keptRow) {
        SumColumns(source.GetBits(StoredRowOf(height, row)), columns, current.data());
        if (k + 1 == line.count) {
          current.swap(kept);
          keptRow = row;
        }
      }
      const std::vector<uint64_t>& rowSums = row == keptRow ? kept : current;
      for (size_t i = 0; i < sums.size(); ++i) sums[i] += wy * rowSums[i];
    }
    uint8_t* dst = result.GetBits(StoredRowOf(outHeight, y));
    for (uint32_t x = 0; x < outWidth; ++x) {
      const uint64_t total = uint64_t{columns.spans[x].total} * line.total;
      const double reciprocal = 1.0 / static_cast<double>(total);
      for (uint32_t c = 0; c < 3; ++c)
        dst[3 * size_t{x} + c] = static_cast<uint8_t>(RoundedQuotient(sums[3 * size_t{x} + c], total, reciprocal));
    }
  }
  return true;
}

}  // namespace

bool CxImage::ResizeTo(int32_t newWidth, int32_t newHeight, int mode) {
  if (!IsValid() || newWidth <= 0 || newHeight <= 0) return false;
  const auto outWidth = static_cast<uint32_t>(newWidth);
  const auto outHeight = static_cast<uint32_t>(newHeight);
  if (outWidth == GetWidth() && outHeight == GetHeight()) return true;

  CxImage result;
  if (!CreateResultLike(*this, result, outWidth, outHeight, GetBpp())) return false;
  if (GetNumColors() > 0) std::memcpy(result.GetPalette(), GetPalette(), GetNumColors() * sizeof(RgbQuad));
  RowProgress progress(*this, outHeight);
  bool done = false;
  if (mode == 1) {
    done = ResizeNearest(*this, result, progress);
  } else if (mode == 2) {
    done = ResizeBicubic(*this, result, progress);
  } else if (GetBpp() == 24 && outWidth < GetWidth() && outHeight < GetHeight()) {
    done = ResizeBoxAverage(*this, result, progress);
  } else {
    done = ResizeBilinear(*this, result, progress);
  }
  if (!done) return false;
  AdoptResult(*this, result);
  return true;
}
