#include "TransferFixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "imaging/codecs/TiffEncoder.h"

namespace transfers_test {

namespace {

uint32_t PixelBytes(uint32_t width, uint32_t bpp) { return static_cast<uint32_t>((uint64_t{width} * bpp + 7) / 8); }

// Clears the bits past the last pixel of a packed row.
void ClearTail(std::vector<uint8_t>& row, uint32_t width, uint32_t bpp) {
  const uint32_t usedBits = (width * bpp) % 8;
  if (usedBits != 0 && !row.empty()) row.back() &= static_cast<uint8_t>(0xFF00 >> usedBits);
}

Pixels PixelsOfStrips(const TW_IMAGEINFO& info, const TW_PALETTE8* palette, const std::vector<uint8_t>& rows,
                      uint32_t bytesPerRow) {
  Pixels pixels;
  pixels.width = static_cast<uint32_t>(info.ImageWidth);
  pixels.height = static_cast<uint32_t>(info.ImageLength);
  pixels.bpp = static_cast<uint32_t>(info.BitsPerPixel);
  if (palette != nullptr) {
    for (TW_UINT16 i = 0; i < palette->NumColors; ++i) {
      const TW_ELEMENT8& e = palette->Colors[i];
      pixels.palette.push_back(RgbQuad{e.Channel3, e.Channel2, e.Channel1, 0});
    }
  }
  const uint32_t bytes = PixelBytes(pixels.width, pixels.bpp);
  for (uint32_t y = 0; y < pixels.height; ++y) {
    const uint8_t* sent = rows.data() + std::size_t{y} * bytesPerRow;
    std::vector<uint8_t> row(sent, sent + bytes);
    if (pixels.bpp == 24) {
      for (uint32_t x = 0; x < pixels.width; ++x) std::swap(row[3 * x], row[3 * x + 2]);  // RGB back to BGR
    }
    ClearTail(row, pixels.width, pixels.bpp);
    pixels.rows.push_back(std::move(row));
  }
  return pixels;
}

// The native block as the BMP file an application would save from it, decoded.
Pixels PixelsOfBlock(const uint8_t* block, std::size_t size) {
  std::vector<uint8_t> file(14 + size);
  file[0] = 'B';
  file[1] = 'M';
  const auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  uint32_t colors = 0;
  std::memcpy(&colors, block + 32, 4);
  uint16_t bpp = 0;
  std::memcpy(&bpp, block + 14, 2);
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 14 + 40 + 4 * colors);
  std::memcpy(file.data() + 14, block, size);
  CxImage image;
  EXPECT_TRUE(image.Decode(file, ImageFormat::Bmp)) << image.GetLastError();
  return PixelsOf(image);
}

}  // namespace

Pixels PixelsOf(const CxImage& image) {
  Pixels pixels;
  pixels.width = image.GetWidth();
  pixels.height = image.GetHeight();
  pixels.bpp = image.GetBpp();
  for (uint32_t i = 0; i < image.GetNumColors(); ++i) {
    RgbQuad entry = image.GetPaletteColor(i);
    entry.reserved = 0;
    pixels.palette.push_back(entry);
  }
  const uint32_t bytes = PixelBytes(pixels.width, pixels.bpp);
  for (uint32_t y = 0; y < pixels.height; ++y) {
    const uint8_t* stored = image.GetBits(pixels.height - 1 - y);
    std::vector<uint8_t> row(stored, stored + bytes);
    ClearTail(row, pixels.width, pixels.bpp);
    pixels.rows.push_back(std::move(row));
  }
  return pixels;
}

Pixels PixelsOfFile(const std::string& path, int32_t page) {
  CxImage image;
  image.SetFrame(page);
  EXPECT_TRUE(image.LoadFile(path)) << path << ": " << image.GetLastError();
  return PixelsOf(image);
}

::testing::AssertionResult SamePixels(const Pixels& expected, const Pixels& actual) {
  if (expected.width != actual.width || expected.height != actual.height || expected.bpp != actual.bpp) {
    return ::testing::AssertionFailure() << "expected " << expected.width << " x " << expected.height << " x "
                                         << expected.bpp << ", got " << actual.width << " x " << actual.height
                                         << " x " << actual.bpp;
  }
  if (expected.palette.size() != actual.palette.size()) {
    return ::testing::AssertionFailure() << "expected " << expected.palette.size() << " colours, got "
                                         << actual.palette.size();
  }
  for (std::size_t i = 0; i < expected.palette.size(); ++i) {
    const RgbQuad& e = expected.palette[i];
    const RgbQuad& a = actual.palette[i];
    if (e.red != a.red || e.green != a.green || e.blue != a.blue) {
      return ::testing::AssertionFailure() << "colour " << i << " differs";
    }
  }
  for (uint32_t y = 0; y < expected.height; ++y) {
    if (expected.rows[y] != actual.rows[y]) {
      std::size_t x = 0;
      while (expected.rows[y][x] == actual.rows[y][x]) ++x;
      return ::testing::AssertionFailure() << "row " << y << " (from the top) differs at byte " << x << ": expected "
                                           << int{expected.rows[y][x]} << ", got " << int{actual.rows[y][x]};
    }
  }
  return ::testing::AssertionSuccess();
}

TransferSession::TransferSession() {
  folder_ = (environment.Root() / "pages").string() + "/";
  outputFolder_ = (environment.Root() / "received").string() + "/";
  std::filesystem::create_directories(folder_);
  std::filesystem::create_directories(outputFolder_);
  settings->SetMode(1);
  settings->SetAlwaysShowUI(false);
  settings->SetCurrentDirectory(folder_);
  settings->SetIncludeSubfolders(false);
  settings->SetListMode(0);
  settings->SetLoggerEnabled(true);
}

std::string TransferSession::WritePage(const std::string& name, const CxImage& image, uint32_t formatId) const {
  const std::string path = PathIn(name);
  EXPECT_TRUE(image.SaveFile(path, formatId)) << path << ": " << image.GetLastError();
  return path;
}

std::string TransferSession::WriteTiff(const std::string& name, const std::vector<const CxImage*>& pages) const {
  std::vector<imaging::TiffPage> tiffPages;
  for (const CxImage* page : pages) tiffPages.push_back({page, imaging::TiffCompression::Automatic});
  auto encoded = imaging::EncodeTiff(tiffPages);
  EXPECT_FALSE(encoded.IsError());
  const std::string path = PathIn(name);
  if (encoded.IsError()) return path;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(encoded.Value().data()), static_cast<std::streamsize>(encoded.Value().size()));
  return path;
}

void TransferSession::Open() {
  ASSERT_EQ(app.OpenDsm(), TWRC_SUCCESS);
  ASSERT_EQ(app.OpenSource(), TWRC_SUCCESS);
}

TW_UINT16 TransferSession::EnableHeadless() {
  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  return app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

void TransferSession::TransferPage(Mechanism mechanism, ReceivedPage& page, uint32_t memoryBufferLength) {
  ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &page.info), TWRC_SUCCESS);
  const bool hasPalette = page.info.BitsPerPixel <= 8;
  if (hasPalette) {
    ASSERT_EQ(app.Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &page.palette), TWRC_SUCCESS);
  }

  switch (mechanism) {
    case Mechanism::kNative: {
      TW_HANDLE handle = nullptr;
      ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
      ASSERT_NE(handle, nullptr);
      const auto* block = static_cast<const uint8_t*>(handle);
      const uint32_t rowBytes = (static_cast<uint32_t>(page.info.ImageWidth) * page.info.BitsPerPixel + 31) / 32 * 4;
      const std::size_t size = 40 + 4 * std::size_t{hasPalette ? page.palette.NumColors : 0u} +
                               std::size_t{rowBytes} * static_cast<uint32_t>(page.info.ImageLength);
      page.pixels = PixelsOfBlock(block, size);
      std::free(handle);  // the application's memory
      return;
    }
    case Mechanism::kMemory: {
      std::vector<uint8_t> buffer(memoryBufferLength);
      std::vector<uint8_t> rows;
      uint32_t bytesPerRow = 0;
      for (;;) {
        TW_IMAGEMEMXFER strip{};
        strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, memoryBufferLength, buffer.data()};
        const TW_UINT16 rc = app.Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << "strip " << page.strips << ": rc " << rc;
        ASSERT_GT(TW_UINT32{strip.Rows}, 0u);
        if (bytesPerRow == 0) {
          bytesPerRow = strip.BytesPerRow;
          rows.resize(std::size_t{bytesPerRow} * static_cast<uint32_t>(page.info.ImageLength));
        }
        ASSERT_EQ(TW_UINT32{strip.BytesPerRow}, bytesPerRow);
        ASSERT_EQ(TW_UINT32{strip.BytesWritten}, strip.Rows * bytesPerRow);
        ASSERT_LE(std::size_t{strip.YOffset + strip.Rows} * bytesPerRow, rows.size());
        std::memcpy(rows.data() + std::size_t{strip.YOffset} * bytesPerRow, buffer.data(), strip.BytesWritten);
        ++page.strips;
        if (rc == TWRC_XFERDONE) break;
      }
      page.pixels = PixelsOfStrips(page.info, hasPalette ? &page.palette : nullptr, rows, bytesPerRow);
      return;
    }
    case Mechanism::kFile: {
      const std::string path = outputFolder_ + "page-" + std::to_string(++fileTransfers_) + ".bmp";
      TW_SETUPFILEXFER setup{};
      std::strncpy(setup.FileName, path.c_str(), sizeof(setup.FileName) - 1);
      setup.Format = TWFF_BMP;
      ASSERT_EQ(app.Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
      ASSERT_EQ(app.Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
      page.pixels = PixelsOfFile(path);
      return;
    }
  }
}

TW_INT16 TransferSession::EndTransfer() {
  TW_PENDINGXFERS pending{};
  pending.Count = 0x1234;
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
  return static_cast<TW_INT16>(pending.Count);
}

void TransferSession::TransferBatch(Mechanism mechanism, std::vector<ReceivedPage>& pages) {
  for (int guard = 0; guard < 1000; ++guard) {
    ReceivedPage page;
    TransferPage(mechanism, page);
    if (::testing::Test::HasFatalFailure()) return;
    pages.push_back(std::move(page));
    if (EndTransfer() == 0) return;
  }
  FAIL() << "the batch does not end";
}

void TransferSession::Disable() {
  TW_USERINTERFACE ui{};
  EXPECT_EQ(app.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
}

TW_UINT16 TransferSession::SetCapability(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
  void* container = std::calloc(1, sizeof(TW_ONEVALUE));
  TW_ONEVALUE value{};
  value.ItemType = itemType;
  value.Item = item;
  std::memcpy(container, &value, sizeof(value));
  TW_CAPABILITY capability{cap, TWON_ONEVALUE, container};
  const TW_UINT16 rc = app.Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
  std::free(container);
  return rc;
}

std::string TransferSession::Log() const {
  return test_support::ScopedEnvironment::ReadFile(settings->GetLogFilePath());
}

CxImage ColourPage(uint32_t width, uint32_t height, uint32_t seed) {
  CxImage image;
  EXPECT_TRUE(image.Create(width, height, 24));
  image.SetXDPI(300);
  image.SetYDPI(300);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetBits(height - 1 - y);
    for (uint32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + y + seed);
      row[3 * x + 1] = static_cast<uint8_t>(x + y * 3);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) + seed * 5);
    }
  }
  return image;
}

CxImage IndexedPage(uint32_t width, uint32_t height, bool grayRamp) {
  CxImage image;
  EXPECT_TRUE(image.Create(width, height, 8));
  for (uint32_t i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    image.SetPaletteColor(i, grayRamp ? RgbQuad{v, v, v, 0}
                                      : RgbQuad{static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v * 3), v, 0});
  }
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetBits(y);
    for (uint32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(x * 5 + y * 11);
  }
  return image;
}

CxImage BilevelPage(uint32_t width, uint32_t height) {
  CxImage image;
  EXPECT_TRUE(image.Create(width, height, 1));
  image.SetPaletteColor(0, RgbQuad{0, 0, 0, 0});
  image.SetPaletteColor(1, RgbQuad{255, 255, 255, 0});
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetBits(y);
    for (uint32_t x = 0; x < width; ++x) {
      if ((x * 3 + y) % 7 < 3 || x == width - 1) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
  return image;
}

}  // namespace transfers_test
