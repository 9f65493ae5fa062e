// Thresholding of CxImage: the optimal threshold of a histogram and the adaptive binarisation.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/CxImageOpsSupport.h"
#include "imaging/kernels/HistogramThreshold.h"
#include "imaging/kernels/PixelRows.h"
#include "imaging/kernels/Resample.h"

using namespace imaging;

namespace {

constexpr const char* kInvalidMask = "OptimalThreshold invalid ContrastMask";

// A contrast mask is an 8-bit gray image of the image's size; pixels where it is 0 are left out.
bool IsUsableMask(const CxImage& image, const CxImage& mask) {
  return mask.IsValid() && mask.GetWidth() == image.GetWidth() && mask.GetHeight() == image.GetHeight() &&
         mask.GetBpp() == 8 && mask.IsGrayRamp();
}

// Adds the levels of picture rows [top, bottom) and columns [left, right) of an 8-bit image.
void AddToHistogram(const CxImage& image, const CxImage* mask, const ImageRect& r, uint32_t* histogram) {
  const uint32_t height = image.GetHeight();
  for (auto y = static_cast<uint32_t>(r.top); y < static_cast<uint32_t>(r.bottom); ++y) {
    const uint8_t* row = image.GetBits(StoredRowOf(height, y));
    if (!mask) {
      for (auto x = static_cast<uint32_t>(r.left); x < static_cast<uint32_t>(r.right); ++x) ++histogram[row[x]];
      continue;
    }
    const uint8_t* maskRow = mask->GetBits(StoredRowOf(height, y));
    for (auto x = static_cast<uint32_t>(r.left); x < static_cast<uint32_t>(r.right); ++x)
      if (maskRow[x] != 0) ++histogram[row[x]];
  }
}

// The gray levels the adaptive threshold works on: the image itself when it is gray already,
// otherwise a gray copy that is filled band by band as the boxes need it.
class GrayLevels8 {
 public:
  explicit GrayLevels8(const CxImage& image)
      : image_(image), direct_(image.GetBpp() == 8 && image.IsGrayRamp()) {
    if (!direct_) levels_ = GrayLevels(PaletteTable(image));
  }

  bool Prepare(CxImage& owner) {
    if (direct_) return true;
    if (gray_.Create(image_.GetWidth(), image_.GetHeight(), 8)) return true;
    owner.SetLastError(gray_.GetLastError());
    return false;
  }

  const CxImage& Image() const { return direct_ ? image_ : gray_; }

  // Converts picture rows [top, bottom).
  void Convert(uint32_t top, uint32_t bottom) {
    if (direct_) return;
    const uint32_t width = image_.GetWidth();
    const uint32_t bpp = image_.GetBpp();
    for (uint32_t y = top; y < bottom; ++y) {
      const uint32_t stored = StoredRowOf(image_.GetHeight(), y);
      const uint8_t* src = image_.GetBits(stored);
      uint8_t* dst = gray_.GetBits(stored);
      if (bpp == 24) {
        BgrRowToGray(src, dst, width);
      } else {
        for (uint32_t x = 0; x < width; ++x) dst[x] = levels_[GetPackedIndex(src, x, bpp)];
      }
    }
  }

 private:
  const CxImage& image_;
  bool direct_;
  std::array<uint8_t, 256> levels_{};
  CxImage gray_;
};

}  // namespace

int32_t CxImage::OptimalThreshold(int32_t method, const ImageRect* box, const CxImage* mask) {
  if (!IsValid()) return -1;
  if (GetBpp() != 8) {
    SetLastError("OptimalThreshold works only on 8 bit images");
    return -1;
  }
  if (mask && !IsUsableMask(*this, *mask)) {
    SetLastError(kInvalidMask);
    return -1;
  }
  const auto width = static_cast<int32_t>(GetWidth());
  const auto height = static_cast<int32_t>(GetHeight());
  ImageRect r{0, 0, width, height};
  if (box) {
    r.left = std::clamp(box->left, 0, width);
    r.right = std::clamp(box->right, r.left, width);
    r.top = std::clamp(box->top, 0, height);
    r.bottom = std::clamp(box->bottom, r.top, height);
  }
  std::array<uint32_t, 256> histogram{};
  AddToHistogram(*this, mask, r, histogram.data());
  // One histogram: no table of logarithms is worth building.
  return HistogramThreshold(0).Compute(histogram.data(), method);
}

bool CxImage::AdaptiveThreshold(int32_t method, int32_t boxSize, const CxImage* mask, int32_t bias, float balance) {
  if (!IsValid()) return false;
  if (GetBpp() == 1) return true;
  if (mask && !IsUsableMask(*this, *mask)) {
    SetLastError(kInvalidMask);
    return false;
  }
  const uint32_t box = boxSize < 8 ? 8 : static_cast<uint32_t>(boxSize);
  // NaN counts as 0: only the local thresholds decide.
  const double weight = balance > 0 ? (balance < 1 ? static_cast<double>(balance) : 1.0) : 0.0;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  const auto columns = static_cast<uint32_t>((uint64_t{width} + box - 1) / box);
  const auto rows = static_cast<uint32_t>((uint64_t{height} + box - 1) / box);

  GrayLevels8 gray(*this);
  if (!gray.Prepare(*this)) return false;
  CxImage result;
  if (!CreateResultLike(*this, result, width, height, 1)) return false;
  result.SetPaletteColor(0, MakeRgb(0, 0, 0));
  result.SetPaletteColor(1, MakeRgb(255, 255, 255));

  // Pass 1: one threshold per box, from its own histogram; their sum is the whole image's.
  RowProgress progress(*this, 2 * height);
  const HistogramThreshold threshold(uint64_t{box} * box);
  std::vector<int32_t> local(size_t{columns} * rows);
  std::array<uint32_t, 256> global{};
  std::array<uint32_t, 256> histogram{};
  const CxImage* maskImage = mask;
  for (uint32_t by = 0; by < rows; ++by) {
    const uint32_t top = by * box;
    if (!progress.Continue(top)) return false;
    const uint32_t bottom = std::min(top + box, height);
    gray.Convert(top, bottom);
    for (uint32_t bx = 0; bx < columns; ++bx) {
      const uint32_t left = bx * box;
      const ImageRect r{static_cast<int32_t>(left), static_cast<int32_t>(top),
                        static_cast<int32_t>(std::min(left + box, width)), static_cast<int32_t>(bottom)};
      histogram.fill(0);
      AddToHistogram(gray.Image(), maskImage, r, histogram.data());
      const int32_t t = threshold.Compute(histogram.data(), method);
      if (t < 0) return false;
      local[size_t{by} * columns + bx] = t;
      for (size_t i = 0; i < 256; ++i) global[i] += histogram[i];
    }
  }
  const int32_t globalThreshold = threshold.Compute(global.data(), method);
  if (globalThreshold < 0) return false;

  // The threshold map, one level per box, balanced between the box and the whole page.
  std::vector<uint8_t> map(local.size());
  for (size_t i = 0; i < local.size(); ++i) {
    const double level = (1.0 - weight) * local[i] + weight * globalThreshold + bias;
    map[i] = static_cast<uint8_t>(std::clamp(std::floor(level + 0.5), 0.0, 255.0));
  }

  // Pass 2: the map, enlarged bilinearly to whole boxes and cut to the page, is computed one
  // row at a time and compared with the gray levels.
  const uint64_t mapWidth = uint64_t{columns} * box;
  const uint64_t mapHeight = uint64_t{rows} * box;
  std::vector<LinearTap> taps(width);
  for (uint32_t x = 0; x < width; ++x) taps[x] = LinearTapAt(x, columns, static_cast<uint32_t>(mapWidth));
  std::vector<uint16_t> blended(columns);
  std::vector<uint8_t> levels(width);
  const CxImage& grayImage = gray.Image();
  for (uint32_t y = 0; y < height; ++y) {
    if (!progress.Continue(height + y)) return false;
    const LinearTap line = LinearTapAt(y, rows, static_cast<uint32_t>(mapHeight));
    BlendRows(&map[size_t{line.first} * columns], &map[size_t{line.second} * columns], line.weight, blended.data(),
              columns);
    InterpolateRow(blended.data(), taps, 1, levels.data());
    const uint32_t stored = StoredRowOf(height, y);
    PackGreaterThan(grayImage.GetBits(stored), levels.data(), result.GetBits(stored), width);
  }
  AdoptResult(*this, result);
  return true;
}
