#include "imaging/codecs/TiffEncoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/codecs/TiffStream.h"

namespace imaging {

namespace {

bool IsGrayEntry(RgbQuad c) { return c.red == c.green && c.green == c.blue; }

// A palette whose entry i is the i-th step of an even gray ramp (black first).
bool IsEvenGrayPalette(const CxImage& image) {
  const uint32_t n = image.GetNumColors();
  for (uint32_t i = 0; i < n; ++i) {
    const RgbQuad c = image.GetPaletteColor(i);
    if (!IsGrayEntry(c) || c.red != i * 255 / (n - 1)) return false;
  }
  return true;
}

// Black-and-white 1-bit image: entries 0 and 1 are gray and differ.
bool IsBilevel(const CxImage& image) {
  const RgbQuad a = image.GetPaletteColor(0);
  const RgbQuad b = image.GetPaletteColor(1);
  return image.GetBpp() == 1 && IsGrayEntry(a) && IsGrayEntry(b) && a.red != b.red;
}

uint16_t CompressionTag(TiffCompression compression) {
  switch (compression) {
    case TiffCompression::Automatic: return COMPRESSION_LZW;
    case TiffCompression::None: return COMPRESSION_NONE;
    case TiffCompression::Lzw: return COMPRESSION_LZW;
    case TiffCompression::PackBits: return COMPRESSION_PACKBITS;
    case TiffCompression::Deflate: return COMPRESSION_ADOBE_DEFLATE;
    case TiffCompression::Jpeg: return COMPRESSION_JPEG;
    case TiffCompression::CcittG3: return COMPRESSION_CCITTFAX3;
    case TiffCompression::CcittG4: return COMPRESSION_CCITTFAX4;
  }
  return COMPRESSION_NONE;
}

Status WritePage(TIFF* tiff, TiffStream& stream, const TiffPage& page) {
  const CxImage& image = *page.image;
  if (!image.IsValid()) return Error{"TIFF: no image to save"};
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  const uint32_t bpp = image.GetBpp();
  const bool bilevel = IsBilevel(image);
  TiffCompression compression = page.compression;
  if (compression == TiffCompression::Automatic)
    compression = bilevel ? TiffCompression::CcittG4 : TiffCompression::Lzw;
  const bool ccitt = compression == TiffCompression::CcittG3 || compression == TiffCompression::CcittG4;
  if (ccitt && !bilevel) return Error{"TIFF: CCITT compression needs a black-and-white image"};
  const bool gray = bpp <= 8 && (bilevel || IsEvenGrayPalette(image));
  if (compression == TiffCompression::Jpeg && !(bpp == 24 || (bpp == 8 && gray)))
    return Error{"TIFF: JPEG compression needs an RGB or gray image"};

  uint16_t photometric = PHOTOMETRIC_RGB;
  if (bilevel) {
    // Keep the stored bits; the photometric says which value is black.
    photometric = image.GetPaletteColor(0).red < image.GetPaletteColor(1).red ? PHOTOMETRIC_MINISBLACK
                                                                              : PHOTOMETRIC_MINISWHITE;
  } else if (gray) {
    photometric = PHOTOMETRIC_MINISBLACK;
  } else if (bpp <= 8) {
    photometric = PHOTOMETRIC_PALETTE;
  }
  const uint16_t samples = bpp == 24 ? 3 : 1;
  const uint16_t bits = bpp == 24 ? 8 : static_cast<uint16_t>(bpp);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, CompressionTag(compression));
  if (compression == TiffCompression::Jpeg && bpp == 24) {
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  } else {
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  }
  if (compression == TiffCompression::Jpeg) TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
  if (photometric == PHOTOMETRIC_PALETTE) {
    uint16_t map[3][256] = {};
    for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
      const RgbQuad c = image.GetPaletteColor(i);
      map[0][i] = static_cast<uint16_t>(c.red * 257);
      map[1][i] = static_cast<uint16_t>(c.green * 257);
      map[2][i] = static_cast<uint16_t>(c.blue * 257);
    }
    TIFFSetField(tiff, TIFFTAG_COLORMAP, map[0], map[1], map[2]);
  }
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(image.GetXDPI()));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(image.GetYDPI()));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  // Strips of about 64 KiB; JPEG strips hold whole 16-row MCUs.
  const uint32_t rowBytes = std::max<uint32_t>(1, image.GetEffWidth());
  uint32_t rowsPerStrip = std::clamp<uint32_t>(65536 / rowBytes, 1, height);
  if (compression == TiffCompression::Jpeg) rowsPerStrip = std::max<uint32_t>(16, rowsPerStrip / 16 * 16);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

  std::vector<uint8_t> row(static_cast<size_t>(image.GetEffWidth()) + 16);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = image.GetBits(height - 1 - y);
    if (bpp == 24) {
      for (uint32_t x = 0; x < width; ++x) {
        row[3 * size_t{x}] = src[3 * size_t{x} + 2];
        row[3 * size_t{x} + 1] = src[3 * size_t{x} + 1];
        row[3 * size_t{x} + 2] = src[3 * size_t{x}];
      }
    } else {
      std::memcpy(row.data(), src, image.GetEffWidth());
    }
    if (TIFFWriteScanline(tiff, row.data(), y, 0) < 0)
      return Error{stream.HasError() ? stream.ErrorText() : "TIFF: write failed"};
  }
  if (!TIFFWriteDirectory(tiff)) return Error{stream.HasError() ? stream.ErrorText() : "TIFF: write failed"};
  return Status::Ok();
}

}  // namespace

Result<std::vector<uint8_t>> EncodeTiff(std::span<const TiffPage> pages) {
  if (pages.empty()) return Error{"TIFF: no image to save"};
  TiffStream stream;
  {
    TiffHandle tiff(stream.Open());
    if (!tiff) return Error{stream.ErrorText()};
    for (const TiffPage& page : pages) {
      if (!page.image) return Error{"TIFF: no image to save"};
      auto status = WritePage(tiff.get(), stream, page);
      if (status.IsError()) return status.TakeError();
    }
  }  // closing flushes the last directory
  if (stream.HasError()) return Error{stream.ErrorText()};
  return std::move(stream.Output());
}

Result<std::vector<uint8_t>> EncodeTiff(const CxImage& image) {
  const TiffPage page{&image, TiffCompression::Automatic};
  return EncodeTiff(std::span<const TiffPage>(&page, 1));
}

}  // namespace imaging
