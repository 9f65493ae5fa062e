#include "imaging/codecs/TiffDecoder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/DecoderSupport.h"
#include "imaging/codecs/TiffStructure.h"

namespace imaging {

namespace {

enum class PixelKind { Bilevel, Gray, Palette, Rgb };

struct PageLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t samples = 1;
  uint16_t bits = 1;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  PixelKind kind = PixelKind::Gray;
  uint32_t outBpp = 8;
};

std::string TiffError(TiffStream& stream, const char* fallback) {
  std::string text = stream.HasError() ? stream.ErrorText() : std::string("TIFF: ") + fallback;
  stream.ClearError();
  return text;
}

bool IsFax(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

// The layouts we copy row by row; nullopt sends the page to the RGBA reader.
std::optional<PixelKind> SimpleKind(TIFF* tiff, const PageLayout& page) {
  uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  uint16_t format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  if (format != SAMPLEFORMAT_UINT) return std::nullopt;
  if (planar != PLANARCONFIG_CONTIG && page.samples > 1) return std::nullopt;
  switch (page.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      // Bilevel pages keep one bit per pixel: an extra sample (alpha) is dropped, as other
      // readers do, since compositing would turn the page into gray.
      if (page.bits == 1) return PixelKind::Bilevel;
      // Gray with alpha goes to the RGBA reader, which composites it.
      if (page.samples != 1) return std::nullopt;
      if (page.bits != 2 && page.bits != 4 && page.bits != 8 && page.bits != 16) return std::nullopt;
      return PixelKind::Gray;
    case PHOTOMETRIC_PALETTE:
      if (page.samples != 1 || (page.bits != 1 && page.bits != 2 && page.bits != 4 && page.bits != 8))
        return std::nullopt;
      return PixelKind::Palette;
    case PHOTOMETRIC_RGB:
      if (page.samples < 3 || (page.bits != 8 && page.bits != 16)) return std::nullopt;
      // Extra samples (alpha) would need compositing: the RGBA reader does that.
      if (page.samples > 3) return std::nullopt;
      return PixelKind::Rgb;
    default:
      return std::nullopt;
  }
}

uint32_t OutputBpp(const PageLayout& page) {
  switch (page.kind) {
    case PixelKind::Bilevel: return 1;
    case PixelKind::Gray: return page.bits == 4 ? 4 : 8;
    case PixelKind::Palette: return page.bits == 2 ? 8 : page.bits;
    case PixelKind::Rgb: return 24;
  }
  return 24;
}

void SetPagePalette(TIFF* tiff, const PageLayout& page, CxImage& image) {
  const bool whiteIsZero = page.photometric == PHOTOMETRIC_MINISWHITE;
  switch (page.kind) {
    case PixelKind::Bilevel:
      image.SetPaletteColor(0, whiteIsZero ? kWhite : kBlack);
      image.SetPaletteColor(1, whiteIsZero ? kBlack : kWhite);
      return;
    case PixelKind::Gray:
      image.SetGrayPalette();  // white-is-zero samples are inverted as they are copied
      return;
    case PixelKind::Palette: {
      uint16_t* red = nullptr;
      uint16_t* green = nullptr;
      uint16_t* blue = nullptr;
      if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) {
        image.SetGrayPalette();  // libtiff demands the map; this is only a safe default
        return;
      }
      const uint32_t entries = 1u << page.bits;
      // Some writers store 8-bit values in the 16-bit colour map.
      bool eightBit = true;
      for (uint32_t i = 0; i < entries; ++i)
        if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
      const int shift = eightBit ? 0 : 8;
      for (uint32_t i = 0; i < entries && i < image.GetNumColors(); ++i)
        image.SetPaletteColor(i, MakeRgb(static_cast<uint8_t>(red[i] >> shift), static_cast<uint8_t>(green[i] >> shift),
                                         static_cast<uint8_t>(blue[i] >> shift)));
      return;
    }
    case PixelKind::Rgb:
      return;
  }
}

// One decoded row of the file into one picture row of the image.
void ConvertRow(const PageLayout& page, const uint8_t* src, uint8_t* dst) {
  const uint32_t width = page.width;
  const bool invert = page.kind == PixelKind::Gray && page.photometric == PHOTOMETRIC_MINISWHITE;
  const uint8_t flip = invert ? 0xFF : 0x00;
  switch (page.kind) {
    case PixelKind::Bilevel:
      if (page.samples == 1) {
        std::memcpy(dst, src, (size_t{width} + 7) / 8);
        return;
      }
      // The first sample of each pixel: the page; the others (alpha) are dropped.
      std::memset(dst, 0, (size_t{width} + 7) / 8);
      for (uint32_t x = 0; x < width; ++x) {
        const size_t bit = size_t{x} * page.samples;
        if ((src[bit / 8] >> (7 - bit % 8)) & 1) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      return;
    case PixelKind::Palette:
    case PixelKind::Gray:
      if (page.bits == 2) {
        for (uint32_t x = 0; x < width; ++x) {
          const uint8_t value = (src[x / 4] >> (6 - 2 * (x % 4))) & 3;
          dst[x] = page.kind == PixelKind::Palette ? value : static_cast<uint8_t>((value * 85) ^ flip);
        }
      } else if (page.bits == 4) {
        const size_t bytes = (size_t{width} + 1) / 2;
        for (size_t i = 0; i < bytes; ++i) dst[i] = invert ? static_cast<uint8_t>(~src[i]) : src[i];
      } else if (page.bits == 8) {
        if (!invert) {
          std::memcpy(dst, src, width);
        } else {
          for (uint32_t x = 0; x < width; ++x) dst[x] = src[x] ^ flip;
        }
      } else if (page.bits == 1) {
        std::memcpy(dst, src, (size_t{width} + 7) / 8);
      } else {  // 16-bit gray: libtiff has put the samples in host order
        for (uint32_t x = 0; x < width; ++x) {
          uint16_t value;
          std::memcpy(&value, src + 2 * size_t{x}, 2);
          dst[x] = static_cast<uint8_t>(value >> 8) ^ flip;
        }
      }
      return;
    case PixelKind::Rgb:
      if (page.bits == 8) {
        for (uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
          dst[0] = src[2];
          dst[1] = src[1];
          dst[2] = src[0];
        }
        return;
      }
      for (uint32_t x = 0; x < width; ++x, src += 6, dst += 3) {
        uint16_t rgb[3];
        std::memcpy(rgb, src, 6);
        dst[0] = static_cast<uint8_t>(rgb[2] >> 8);
        dst[1] = static_cast<uint8_t>(rgb[1] >> 8);
        dst[2] = static_cast<uint8_t>(rgb[0] >> 8);
      }
      return;
  }
}

Status ReadStrips(TIFF* tiff, TiffStream& stream, const PageLayout& page, CxImage& image) {
  const tmsize_t stripSize = TIFFStripSize(tiff);
  const tmsize_t scanline = TIFFScanlineSize(tiff);
  uint32_t rowsPerStrip = page.height;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, page.height);
  if (stripSize <= 0 || scanline <= 0 || !WithinScratchLimit(static_cast<uint64_t>(stripSize)))
    return Error{TiffError(stream, "invalid strip size")};
  if (static_cast<uint64_t>(scanline) * rowsPerStrip > static_cast<uint64_t>(stripSize))
    return Error{"TIFF: strip smaller than its rows"};
  std::vector<uint8_t> strip(static_cast<size_t>(stripSize));
  for (uint32_t y = 0; y < page.height; y += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, page.height - y);
    const tstrip_t index = TIFFComputeStrip(tiff, y, 0);
    // Every row of the strip must arrive: a short strip is a damaged file.
    const tmsize_t wanted = scanline * static_cast<tmsize_t>(rows);
    if (TIFFReadEncodedStrip(tiff, index, strip.data(), wanted) < wanted)
      return Error{TiffError(stream, "strip data truncated")};
    for (uint32_t r = 0; r < rows; ++r) ConvertRow(page, strip.data() + static_cast<size_t>(scanline) * r, PictureRow(image, y + r));
  }
  return Status::Ok();
}

Status ReadTiles(TIFF* tiff, TiffStream& stream, const PageLayout& page, CxImage& image) {
  uint32_t tileWidth = 0;
  uint32_t tileHeight = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
  const tmsize_t tileSize = TIFFTileSize(tiff);
  const tmsize_t tileRow = TIFFTileRowSize(tiff);
  const tmsize_t scanline = TIFFScanlineSize(tiff);
  if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0 || tileRow <= 0 || scanline <= 0)
    return Error{TiffError(stream, "invalid tile size")};
  if (static_cast<uint64_t>(tileRow) * tileHeight > static_cast<uint64_t>(tileSize))
    return Error{"TIFF: tile smaller than its rows"};
  // Tile widths are multiples of 16 pixels, so tiles start on byte boundaries at every depth.
  if (tileWidth % 16 != 0) return Error{"TIFF: tile width not a multiple of 16"};
  const auto bandBytes = CheckedMul(static_cast<uint64_t>(scanline), tileHeight);
  if (!bandBytes || !WithinScratchLimit(*bandBytes) || !WithinScratchLimit(static_cast<uint64_t>(tileSize)))
    return Error{"TIFF: tiles too large (" + std::to_string(tileWidth) + " x " + std::to_string(tileHeight) + ")"};
  std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
  std::vector<uint8_t> band(static_cast<size_t>(*bandBytes));
  for (uint32_t y = 0; y < page.height; y += tileHeight) {
    const uint32_t rows = std::min(tileHeight, page.height - y);
    for (uint32_t x = 0; x < page.width; x += tileWidth) {
      if (TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, 0), tile.data(), tileSize) < tileSize)
        return Error{TiffError(stream, "tile data truncated")};
      const uint64_t offset = uint64_t{x} * page.bits * page.samples / 8;
      const size_t bytes = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(tileRow),
                                                                  static_cast<uint64_t>(scanline) - offset));
      for (uint32_t r = 0; r < rows; ++r)
        std::memcpy(band.data() + static_cast<size_t>(scanline) * r + offset, tile.data() + static_cast<size_t>(tileRow) * r, bytes);
    }
    for (uint32_t r = 0; r < rows; ++r) ConvertRow(page, band.data() + static_cast<size_t>(scanline) * r, PictureRow(image, y + r));
  }
  return Status::Ok();
}

Result<CxImage> ReadRgba(TIFF* tiff, TiffStream& stream, const PageLayout& page, uint64_t fileBytes) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tiff, message)) return Error{std::string("TIFF: ") + message};
  const auto rasterBytes = CheckedMul(page.width, page.height, 4);
  if (!rasterBytes || !WithinScratchLimit(*rasterBytes)) return Error{TooLargeText("TIFF", page.width, page.height)};
  if (auto problem = SizeProblem(page.width, page.height, 24, fileBytes, "TIFF"); !problem.empty()) return Error{problem};
  auto created = NewImage(page.width, page.height, 24, ImageFormat::Tiff, "TIFF", fileBytes);
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  std::vector<uint32_t> raster(static_cast<size_t>(*rasterBytes / 4));
  // Bottom-left origin: raster row 0 is the bottom row, as the image stores it.
  if (!TIFFReadRGBAImageOriented(tiff, page.width, page.height, raster.data(), ORIENTATION_BOTLEFT, 1))
    return Error{TiffError(stream, "can't read the image")};
  for (uint32_t y = 0; y < page.height; ++y) {
    const uint32_t* src = raster.data() + size_t{page.width} * y;
    uint8_t* dst = image.GetBits(y);
    for (uint32_t x = 0; x < page.width; ++x, dst += 3) {
      // libtiff delivers premultiplied colour: adding the uncovered part gives white paper.
      const uint32_t uncovered = 255 - TIFFGetA(src[x]);
      dst[0] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetB(src[x]) + uncovered));
      dst[1] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetG(src[x]) + uncovered));
      dst[2] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetR(src[x]) + uncovered));
    }
  }
  return image;
}

void SetPageResolution(TIFF* tiff, CxImage& image) {
  float x = 0;
  float y = 0;
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x)) return;
  if (!TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y)) y = x;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  SetResolution(image, x, y, unit == RESUNIT_INCH ? 1 : unit == RESUNIT_CENTIMETER ? 2 : 0);
}

}  // namespace

TiffDecoder::TiffDecoder(std::span<const uint8_t> bytes, std::unique_ptr<TiffStream> stream, TiffHandle tiff,
                         int32_t pages)
    : ImageDecoder(ImageFormat::Tiff), bytes_(bytes), stream_(std::move(stream)), tiff_(std::move(tiff)), pages_(pages) {}

TiffDecoder::~TiffDecoder() = default;

bool TiffDecoder::Sniff(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8) return false;
  const bool little = bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
  const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
  return little || big;
}

DecoderResult TiffDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"TIFF: not a TIFF file"};
  auto stream = std::make_unique<TiffStream>(bytes);
  TiffHandle tiff(stream->Open());
  if (!tiff) return Error{TiffError(*stream, "can't open")};
  const tdir_t directories = TIFFNumberOfDirectories(tiff.get());
  if (directories == 0) return Error{TiffError(*stream, "no pages")};
  const auto pages = static_cast<int32_t>(std::min<tdir_t>(directories, INT32_MAX));
  stream->ClearError();  // damage in later directories shows when that page is decoded
  return std::unique_ptr<ImageDecoder>(new TiffDecoder(bytes, std::move(stream), std::move(tiff), pages));
}

Result<CxImage> TiffDecoder::DecodeFrame(int32_t index) {
  auto complete = CheckTiffDirectory(bytes_, static_cast<uint32_t>(index));
  if (complete.IsError()) return complete.TakeError();
  TIFF* tiff = tiff_.get();
  stream_->ClearError();
  if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(index))) return Error{TiffError(*stream_, "can't read the page")};
  PageLayout page;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height))
    return Error{"TIFF: page without width or height"};
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &page.bits);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.photometric))
    page.photometric = page.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
  if (page.width == 0 || page.height == 0) return Error{"TIFF: page has no pixels"};

  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  if (IsFax(compression) && page.samples > 1) {
    // A fax stream codes one bilevel row of ImageWidth pixels per image row, whatever the
    // sample count says (libtiff's codec codes exactly that many pixels per row), so it can
    // carry no extra sample. Read with the count set to 1, the stream's rows are the page.
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t{1});
    page.samples = 1;
  }
  if (compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR) {
    // libjpeg converts to RGB itself, which our row copy then takes as is.
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    page.photometric = PHOTOMETRIC_RGB;
  }
  const auto kind = SimpleKind(tiff, page);
  if (!kind) {
    auto image = ReadRgba(tiff, *stream_, page, bytes_.size());
    if (!image.IsError()) SetPageResolution(tiff, image.Value());
    return image;
  }
  page.kind = *kind;
  page.outBpp = OutputBpp(page);
  auto created = NewImage(page.width, page.height, page.outBpp, ImageFormat::Tiff, "TIFF", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  SetPagePalette(tiff, page, image);
  SetPageResolution(tiff, image);
  auto status = TIFFIsTiled(tiff) ? ReadTiles(tiff, *stream_, page, image) : ReadStrips(tiff, *stream_, page, image);
  if (status.IsError()) return status.TakeError();
  return image;
}

}  // namespace imaging
