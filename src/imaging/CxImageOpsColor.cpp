// Colour and depth operations of CxImage: gray conversion, depth changes, inversion.
#include <cstring>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/CxImageOpsSupport.h"
#include "imaging/ImageLimits.h"
#include "imaging/kernels/NearestColor.h"
#include "imaging/kernels/PixelRows.h"

using namespace imaging;

namespace {

bool IsSupportedDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

// Packs one index per pixel into a row of `bpp` bits (1, 4 or 8).
void PackIndices(const uint8_t* indices, uint8_t* row, uint32_t width, uint32_t bpp) {
  switch (bpp) {
    case 8: std::memcpy(row, indices, width); return;
    case 4:
      for (uint32_t x = 0; x < width; x += 2) {
        const uint8_t low = x + 1 < width ? (indices[x + 1] & 0x0F) : 0;
        row[x >> 1] = static_cast<uint8_t>((indices[x] << 4) | low);
      }
      return;
    default: PackBits(indices, row, width); return;
  }
}

uint8_t ClampToByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Adds `error` times weight / 16 to one blue, green, red pixel, clamping every channel.
void AddError(uint8_t* pixel, const int32_t error[3], int32_t weight) {
  for (int c = 0; c < 3; ++c) pixel[c] = ClampToByte(pixel[c] + error[c] * weight / 16);
}

}  // namespace

bool CxImage::ToGray() {
  if (!IsValid()) return false;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (GetBpp() == 24) {
    CxImage result;
    if (!CreateResultLike(*this, result, width, height, 8)) return false;
    result.SetGrayPalette();
    for (uint32_t y = 0; y < height; ++y) BgrRowToGray(GetBits(y), result.GetBits(y), width);
    AdoptResult(*this, result);
    return true;
  }
  const std::array<uint8_t, 256> levels = GrayLevels(PaletteTable(*this));
  if (GetBpp() == 8) {
    // Same size and depth: the indices are remapped in place to their gray levels.
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = GetBits(y);
      for (uint32_t x = 0; x < width; ++x) row[x] = levels[row[x]];
    }
    SetGrayPalette();
    return true;
  }
  CxImage result;
  if (!CreateResultLike(*this, result, width, height, 8)) return false;
  result.SetGrayPalette();
  const uint32_t bpp = GetBpp();
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = GetBits(y);
    uint8_t* dst = result.GetBits(y);
    for (uint32_t x = 0; x < width; ++x) dst[x] = levels[GetPackedIndex(src, x, bpp)];
  }
  AdoptResult(*this, result);
  return true;
}

bool CxImage::IsGrayRamp() const {
  const RgbQuad* palette = GetPalette();
  if (!palette) return false;
  for (uint32_t i = 0; i < GetNumColors(); ++i) {
    if (palette[i].red != i || palette[i].green != i || palette[i].blue != i) return false;
  }
  return true;
}

bool CxImage::RaiseBpp(uint32_t bits) {
  if (!IsValid()) return false;
  if (bits != 4 && bits != 8 && bits != 24) return false;
  const uint32_t bpp = GetBpp();
  if (bits == bpp) return true;
  if (bits < bpp) return false;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  CxImage result;
  if (!CreateResultLike(*this, result, width, height, bits)) return false;
  const std::array<RgbQuad, 256> palette = PaletteTable(*this);
  if (bits == 24) {
    for (uint32_t y = 0; y < height; ++y) ExpandRowToBgr(GetBits(y), width, bpp, palette, result.GetBits(y));
  } else {
    // Indices keep their meaning: the palette's entries come along, the new ones stay black.
    std::memcpy(result.GetPalette(), GetPalette(), GetNumColors() * sizeof(RgbQuad));
    std::vector<uint8_t> indices(width);
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* src = GetBits(y);
      for (uint32_t x = 0; x < width; ++x) indices[x] = GetPackedIndex(src, x, bpp);
      PackIndices(indices.data(), result.GetBits(y), width, bits);
    }
  }
  AdoptResult(*this, result);
  return true;
}

bool CxImage::DecreaseBpp(uint32_t bits, bool errorDiffusion, const RgbQuad* palette, uint32_t colors) {
  if (!IsValid()) return false;
  const uint32_t bpp = GetBpp();
  if (bits > bpp) {
    SetLastError("DecreaseBpp: target BPP greater than source BPP");
    return false;
  }
  if (!IsSupportedDepth(bits)) return false;
  if (bits == bpp) {
    const uint32_t important = GetClrImportant();
    if (colors == 0 || (important != 0 && important < colors) || bits == 24) return true;
  }

  const uint32_t entries = 1u << bits;
  const RgbQuad* target = palette;
  uint32_t count = colors < entries ? colors : entries;
  if (!palette || count == 0) {
    const auto standard = StandardPalette(bits);
    target = standard.data();
    count = entries;
  }

  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  CxImage result;
  if (!CreateResultLike(*this, result, width, height, bits)) return false;
  std::memcpy(result.GetPalette(), target, count * sizeof(RgbQuad));
  if (count < entries) result.SetClrImportant(count);

  NearestColor nearest(target, count);
  const std::array<RgbQuad, 256> sourcePalette = PaletteTable(*this);
  std::vector<uint8_t> indices(width);
  RowProgress progress(*this, height);

  if (!errorDiffusion) {
    std::array<uint8_t, 256> indexMap{};
    if (bpp <= 8) {
      for (uint32_t i = 0; i < 256; ++i)
        indexMap[i] = nearest.Find(sourcePalette[i].blue, sourcePalette[i].green, sourcePalette[i].red);
    }
    // Two colours: the nearer one follows from a linear test (see NearestColor), done for
    // whole rows at a time.
    const bool twoColours = bpp == 24 && count <= 2;
    int32_t weights[3] = {0, 0, 0};
    int32_t limit = 0;
    if (twoColours) {
      const RgbQuad& p0 = target[0];
      const RgbQuad& p1 = target[count - 1];
      weights[0] = p1.blue - p0.blue;
      weights[1] = p1.green - p0.green;
      weights[2] = p1.red - p0.red;
      const int32_t bias = (p1.blue * p1.blue + p1.green * p1.green + p1.red * p1.red) -
                           (p0.blue * p0.blue + p0.green * p0.green + p0.red * p0.red);
      // 2 * dot > bias exactly when dot > floor(bias / 2).
      limit = bias >> 1;
    }
    for (uint32_t y = 0; y < height; ++y) {
      if (!progress.Continue(y)) return false;
      const uint8_t* src = GetBits(y);
      if (twoColours && bits == 1) {
        PackWeightedAbove(src, result.GetBits(y), width, weights, limit);
        continue;
      }
      if (bpp == 24) {
        for (uint32_t x = 0; x < width; ++x) indices[x] = nearest.Find(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
      } else {
        for (uint32_t x = 0; x < width; ++x) indices[x] = indexMap[GetPackedIndex(src, x, bpp)];
      }
      PackIndices(indices.data(), result.GetBits(y), width, bits);
    }
    AdoptResult(*this, result);
    return true;
  }

  // Error diffusion works on colours. The errors are carried in two working rows (the current
  // and the next stored row), clamped after each addition exactly as if they were added to the
  // source pixels, so the source stays untouched until the result replaces it.
  std::vector<uint8_t> current(size_t{width} * 3);
  std::vector<uint8_t> next(size_t{width} * 3);
  ExpandRowToBgr(GetBits(0), width, bpp, sourcePalette, current.data());
  for (uint32_t y = 0; y < height; ++y) {
    if (!progress.Continue(y)) return false;
    const bool hasNext = y + 1 < height;
    if (hasNext) ExpandRowToBgr(GetBits(y + 1), width, bpp, sourcePalette, next.data());
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = &current[size_t{x} * 3];
      const uint8_t index = nearest.Find(pixel[0], pixel[1], pixel[2]);
      indices[x] = index;
      const RgbQuad& chosen = nearest.Entry(index);
      const int32_t error[3] = {pixel[0] - chosen.blue, pixel[1] - chosen.green, pixel[2] - chosen.red};
      if (error[0] == 0 && error[1] == 0 && error[2] == 0) continue;
      if (x + 1 < width) AddError(pixel + 3, error, 7);
      if (!hasNext) continue;
      uint8_t* below = &next[size_t{x} * 3];
      if (x > 0) AddError(below - 3, error, 2);
      AddError(below, error, 4);
      if (x + 1 < width) AddError(below + 3, error, 1);
    }
    PackIndices(indices.data(), result.GetBits(y), width, bits);
    current.swap(next);
  }
  AdoptResult(*this, result);
  return true;
}

bool CxImage::Invert() {
  if (!IsValid()) return false;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  if (GetBpp() == 24) {
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = GetBits(y);
      for (uint32_t i = 0; i < width * 3; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
    }
    return true;
  }
  if (GetBpp() == 8 && IsGrayRamp()) {
    // Gray images keep their ramp; the levels are mirrored instead.
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = GetBits(y);
      for (uint32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(255 - row[x]);
    }
    return true;
  }
  RgbQuad* palette = GetPalette();
  for (uint32_t i = 0; i < GetNumColors(); ++i) {
    palette[i].blue = static_cast<uint8_t>(255 - palette[i].blue);
    palette[i].green = static_cast<uint8_t>(255 - palette[i].green);
    palette[i].red = static_cast<uint8_t>(255 - palette[i].red);
  }
  return true;
}
