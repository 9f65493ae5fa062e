// Geometry operations of CxImage: mirroring and rotation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/CxImage.h"
#include "imaging/CxImageOpsSupport.h"
#include "imaging/kernels/NearestColor.h"
#include "imaging/kernels/PixelRows.h"
#include "imaging/kernels/QuarterTurn.h"

using namespace imaging;

namespace {

// Quarter turns of palette images are cut into square tiles so that the source rows read and
// the destination rows written stay in the first-level cache while a tile is copied.
constexpr uint32_t kTile = 32;
// Colour pages turn in bands of destination rows written whole (see TurnBand24): 16 rows read
// 48 bytes, about one cache line, from each source row per pass.
constexpr uint32_t kBand24 = 16;

// Angles that differ from a multiple of 90 degrees by less than this are exact quarter turns.
constexpr double kQuarterTolerance = 1e-9;

// Turns `source` by a quarter (90 degrees clockwise) or three quarters into `result`, which has
// the source's width and height exchanged (see QuarterTurn for the pixel mapping).
bool TurnQuarter(const CxImage& source, CxImage& result, bool threeQuarters, RowProgress& progress) {
  const uint32_t bpp = source.GetBpp();
  QuarterTurn turn;
  turn.source = source.GetBits(0);
  turn.sourceStride = static_cast<ptrdiff_t>(source.GetEffWidth());
  turn.width = source.GetWidth();
  turn.height = source.GetHeight();
  turn.destination = result.GetBits(0);
  turn.destinationStride = static_cast<ptrdiff_t>(result.GetEffWidth());
  turn.threeQuarters = threeQuarters;
  const uint32_t outWidth = turn.height;
  const uint32_t outHeight = turn.width;
  if (bpp < 8) {
    // Packed pixels are set one by one: the rows start clean so that their padding stays zero.
    for (uint32_t dr = 0; dr < outHeight; ++dr) std::memset(result.GetBits(dr), 0, result.GetEffWidth());
  }
  if (bpp == 24) {
    // Bands go in the order of ascending source columns, so that each pass reads the source
    // rows just after the previous one (the way the hardware prefetchers look ahead).
    const uint32_t bands = (outHeight + kBand24 - 1) / kBand24;
    for (uint32_t band = 0; band < bands; ++band) {
      if (!progress.Continue(band * kBand24)) return false;
      const uint32_t b = threeQuarters ? band : bands - 1 - band;
      TurnBand24(turn, b * kBand24, std::min((b + 1) * kBand24, outHeight));
    }
    return true;
  }
  if (bpp == 1) {
    for (uint32_t dr0 = 0; dr0 < outHeight; dr0 += 8) {
      if (dr0 % kTile == 0 && !progress.Continue(dr0)) return false;
      TurnBand1(turn, dr0, std::min(dr0 + 8, outHeight));
    }
    return true;
  }
  for (uint32_t dr0 = 0; dr0 < outHeight; dr0 += kTile) {
    if (!progress.Continue(dr0)) return false;
    const uint32_t dr1 = std::min(dr0 + kTile, outHeight);
    for (uint32_t dx0 = 0; dx0 < outWidth; dx0 += kTile) {
      const uint32_t dx1 = std::min(dx0 + kTile, outWidth);
      if (bpp == 8) {
        TurnTile8(turn, dr0, dr1, dx0, dx1);
        continue;
      }
      for (uint32_t dr = dr0; dr < dr1; ++dr) {
        uint8_t* dst = result.GetBits(dr);
        const uint32_t column = turn.SourceColumn(dr);
        for (uint32_t dx = dx0; dx < dx1; ++dx)
          SetPackedIndex(dst, dx, bpp, GetPackedIndex(source.GetBits(turn.SourceRow(dx)), column, bpp));
      }
    }
  }
  return true;
}

bool TurnHalf(const CxImage& source, CxImage& result, RowProgress& progress) {
  const uint32_t height = source.GetHeight();
  for (uint32_t dr = 0; dr < height; ++dr) {
    if (!progress.Continue(dr)) return false;
    ReverseRow(source.GetBits(height - 1 - dr), result.GetBits(dr), source.GetWidth(), source.GetBpp());
  }
  return true;
}

// Rotation by any angle: each destination pixel takes the source pixel under it, found by
// turning back around the centres (nearest pixel). Pixels outside the source are white, or
// the palette entry nearest to white.
bool TurnFree(const CxImage& source, CxImage& result, double radians, RowProgress& progress) {
  const uint32_t width = source.GetWidth();
  const uint32_t height = source.GetHeight();
  const uint32_t bpp = source.GetBpp();
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const double cx = width / 2.0;
  const double cy = height / 2.0;
  const double outCx = result.GetWidth() / 2.0;
  const double outCy = result.GetHeight() / 2.0;
  const uint32_t outWidth = result.GetWidth();
  const uint32_t outHeight = result.GetHeight();

  uint8_t fillIndex = 0;
  if (bpp <= 8) {
    NearestColor nearest(source.GetPalette(), source.GetNumColors());
    fillIndex = nearest.Find(255, 255, 255);
  }

  for (uint32_t dy = 0; dy < outHeight; ++dy) {
    if (!progress.Continue(dy)) return false;
    uint8_t* dst = result.GetBits(StoredRowOf(outHeight, dy));
    if (bpp <= 8) std::memset(dst, 0, PixelBytesOf(outWidth, bpp));
    // Picture coordinates (y down); a positive angle turns the picture clockwise.
    const double py = dy + 0.5 - outCy;
    const double px0 = 0.5 - outCx;
    for (uint32_t dx = 0; dx < outWidth; ++dx) {
      const double px = px0 + dx;
      const double sx = px * c + py * s + cx;
      const double sy = -px * s + py * c + cy;
      const bool inside = sx >= 0 && sy >= 0 && sx < width && sy < height;
      if (bpp == 24) {
        uint8_t* out = dst + 3 * size_t{dx};
        if (!inside) {
          out[0] = out[1] = out[2] = 255;
          continue;
        }
        const uint8_t* in = source.GetBits(StoredRowOf(height, static_cast<uint32_t>(sy))) +
                            3 * size_t{static_cast<uint32_t>(sx)};
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        continue;
      }
      const uint8_t index =
          inside ? GetPackedIndex(source.GetBits(StoredRowOf(height, static_cast<uint32_t>(sy))),
                                  static_cast<uint32_t>(sx), bpp)
                 : fillIndex;
      SetPackedIndex(dst, dx, bpp, index);
    }
  }
  return true;
}

uint32_t RoundedExtent(double value) {
  const double rounded = std::floor(value + 0.5);
  return rounded < 1 ? 1 : static_cast<uint32_t>(std::min(rounded, 4294967295.0));
}

}  // namespace

bool CxImage::MirrorHorizontally() {
  if (!IsValid()) return false;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  const uint32_t bpp = GetBpp();
  // Same size and depth: rows are reversed where they are.
  if (bpp == 24 || bpp == 8) {
    // A row is worked on from both ends at once: two short streams that the hardware
    // prefetchers pick up too late, so the next row is requested ahead of time.
    const uint32_t rowBytes = PixelBytesOf(width, bpp);
    for (uint32_t y = 0; y < height; ++y) {
      if (y + 1 < height) PrefetchBytes(GetBits(y + 1), rowBytes);
      if (bpp == 24) {
        ReverseRow24InPlace(GetBits(y), width);
      } else {
        ReverseRow8InPlace(GetBits(y), width);
      }
    }
    return true;
  }
  const uint32_t bytes = PixelBytesOf(width, bpp);
  std::vector<uint8_t> reversed(bytes);
  for (uint32_t y = 0; y < height; ++y) {
    ReverseRow(GetBits(y), reversed.data(), width, bpp);
    std::memcpy(GetBits(y), reversed.data(), bytes);
  }
  return true;
}

bool CxImage::RotateBy(double degrees) {
  if (!IsValid() || !std::isfinite(degrees)) return false;
  double angle = std::fmod(degrees, 360.0);
  if (angle < 0) angle += 360.0;
  const double quarters = angle / 90.0;
  const double nearestQuarter = std::floor(quarters + 0.5);
  const bool exactQuarter = std::fabs(quarters - nearestQuarter) < kQuarterTolerance;
  const uint32_t turns = exactQuarter ? static_cast<uint32_t>(nearestQuarter) % 4 : 0;
  if (exactQuarter && turns == 0) return true;

  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  uint32_t outWidth = width;
  uint32_t outHeight = height;
  const double radians = angle * 3.14159265358979323846 / 180.0;
  if (exactQuarter && turns != 2) {
    outWidth = height;
    outHeight = width;
  } else if (!exactQuarter) {
    // The bounding box of the turned corners.
    const double c = std::fabs(std::cos(radians));
    const double s = std::fabs(std::sin(radians));
    outWidth = RoundedExtent(width * c + height * s);
    outHeight = RoundedExtent(width * s + height * c);
  }

  CxImage result;
  if (!CreateResultLike(*this, result, outWidth, outHeight, GetBpp())) return false;
  if (GetNumColors() > 0) std::memcpy(result.GetPalette(), GetPalette(), GetNumColors() * sizeof(RgbQuad));
  RowProgress progress(*this, outHeight);
  bool done = false;
  if (!exactQuarter) {
    done = TurnFree(*this, result, radians, progress);
  } else if (turns == 2) {
    done = TurnHalf(*this, result, progress);
  } else {
    done = TurnQuarter(*this, result, turns == 3, progress);
  }
  if (!done) return false;
  AdoptResult(*this, result);
  return true;
}
