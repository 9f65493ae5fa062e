#include "imaging/CxImage.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "imaging/ImageLimits.h"
#include "platform/PixelMemory.h"

namespace {

constexpr size_t kMaxErrorLength = 255;
constexpr int32_t kDefaultDpi = 96;

uint32_t PaletteEntriesFor(uint32_t bpp) { return bpp <= 8 ? 1u << bpp : 0; }

constexpr std::array<RgbQuad, 2> kStdPalette1 = {MakeRgb(0, 0, 0), MakeRgb(255, 255, 255)};

constexpr std::array<RgbQuad, 16> kStdPalette4 = {
    MakeRgb(0, 0, 0),       MakeRgb(128, 0, 0),   MakeRgb(0, 128, 0),   MakeRgb(128, 128, 0),
    MakeRgb(0, 0, 128),     MakeRgb(128, 0, 128), MakeRgb(0, 128, 128), MakeRgb(192, 192, 192),
    MakeRgb(128, 128, 128), MakeRgb(255, 0, 0),   MakeRgb(0, 255, 0),   MakeRgb(255, 255, 0),
    MakeRgb(0, 0, 255),     MakeRgb(255, 0, 255), MakeRgb(0, 255, 255), MakeRgb(255, 255, 255)};

// The 8-bit standard palette keeps the twenty fixed system colours at both ends (so that the
// 4-bit colours' dark half comes first) and fills the middle with a 6x6x6 cube and a gray ramp.
constexpr std::array<RgbQuad, 256> MakeStdPalette8() {
  std::array<RgbQuad, 256> palette{};
  size_t n = 0;
  for (size_t i = 0; i < 8; ++i) palette[n++] = kStdPalette4[i];
  palette[n++] = MakeRgb(192, 220, 192);
  palette[n++] = MakeRgb(166, 202, 240);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        palette[n++] = MakeRgb(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                               static_cast<uint8_t>(b * 51));
  for (int i = 0; i < 20; ++i) {
    const auto level = static_cast<uint8_t>(8 + i * 12);  // 8 .. 236, between the cube's steps
    palette[n++] = MakeRgb(level, level, level);
  }
  palette[n++] = MakeRgb(255, 251, 240);
  palette[n++] = MakeRgb(160, 160, 164);
  for (size_t i = 8; i < 16; ++i) palette[n++] = kStdPalette4[i];
  return palette;
}

constexpr std::array<RgbQuad, 256> kStdPalette8 = MakeStdPalette8();

}  // namespace

void imaging::FreePixelBlock::operator()(uint8_t* block) const { platform::FreePixelMemory({block, mapped}); }

bool CxImage::AllocateBlock(size_t size, size_t zeroBytes) {
  const platform::PixelMemory memory = platform::AllocatePixelMemory(size, zeroBytes);
  block_ = std::unique_ptr<uint8_t, imaging::FreePixelBlock>(memory.data, imaging::FreePixelBlock{memory.mapped});
  return block_ != nullptr;
}

CxImage::CxImage(uint32_t formatId) : type_(formatId) {}

CxImage::CxImage(const CxImage& other)
    : blockSize_(other.blockSize_),
      width_(other.width_),
      height_(other.height_),
      bpp_(other.bpp_),
      numColors_(other.numColors_),
      effWidth_(other.effWidth_),
      xDpi_(other.xDpi_),
      yDpi_(other.yDpi_),
      numFrames_(other.numFrames_),
      frame_(other.frame_),
      type_(other.type_),
      lastError_(other.lastError_),
      progress_(other.GetProgress()),
      escape_(other.GetEscape()) {
  if (!other.block_) return;
  // Nothing to clear: every byte is copied.
  if (!AllocateBlock(blockSize_, 0)) {
    // A copy that cannot be made is an empty image that says why.
    blockSize_ = width_ = height_ = bpp_ = numColors_ = effWidth_ = 0;
    SetLastError("CxImage::Create can't allocate memory");
    return;
  }
  std::memcpy(block_.get(), other.block_.get(), blockSize_);
}

CxImage& CxImage::operator=(const CxImage& other) {
  if (this == &other) return *this;
  CxImage copy(other);
  SwapWith(copy);
  return *this;
}

CxImage::CxImage(CxImage&& other) noexcept : CxImage() { SwapWith(other); }

CxImage& CxImage::operator=(CxImage&& other) noexcept {
  if (this == &other) return *this;
  CxImage moved(std::move(other));
  SwapWith(moved);
  return *this;
}

CxImage::~CxImage() = default;

void CxImage::SwapWith(CxImage& other) noexcept {
  using std::swap;
  swap(block_, other.block_);
  swap(blockSize_, other.blockSize_);
  swap(width_, other.width_);
  swap(height_, other.height_);
  swap(bpp_, other.bpp_);
  swap(numColors_, other.numColors_);
  swap(effWidth_, other.effWidth_);
  swap(xDpi_, other.xDpi_);
  swap(yDpi_, other.yDpi_);
  swap(numFrames_, other.numFrames_);
  swap(frame_, other.frame_);
  swap(type_, other.type_);
  swap(lastError_, other.lastError_);
  const uint32_t progress = GetProgress();
  SetProgress(other.GetProgress());
  other.SetProgress(progress);
  const bool escape = GetEscape();
  SetEscape(other.GetEscape());
  other.SetEscape(escape);
}

bool CxImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId) {
  return CreateBlock(width, height, bpp, formatId, true);
}

bool CxImage::CreateForOverwrite(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId) {
  return CreateBlock(width, height, bpp, formatId, false);
}

bool CxImage::CreateBlock(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId, bool zeroPixels) {
  Destroy();
  if (width == 0 || height == 0) {
    SetLastError("CxImage::Create : width and height must be greater than zero");
    return false;
  }
  const uint32_t depth = imaging::NormalizedBpp(bpp);
  if (!imaging::WithinImageLimit(width, height, depth)) {
    SetLastError("CXIMAGE_MAX_MEMORY exceeded");
    return false;
  }
  const uint64_t stride = StrideOf(width, depth);
  const uint32_t entries = PaletteEntriesFor(depth);
  // Within the limit, the padded rows stay far below the range of size_t.
  const uint64_t pixelOffset = BitmapInfoHeader::kSize + uint64_t{4} * entries;
  const uint64_t size = pixelOffset + stride * height;
  if (!AllocateBlock(size, zeroPixels ? size : pixelOffset)) {
    SetLastError("CxImage::Create can't allocate memory");
    return false;
  }
  blockSize_ = size;
  width_ = width;
  height_ = height;
  bpp_ = depth;
  numColors_ = entries;
  effWidth_ = static_cast<uint32_t>(stride);
  type_ = formatId;
  WriteHeader();
  if (!zeroPixels) {
    // Padding is not the caller's to write, yet it goes out with the block.
    const size_t used = (size_t{width} * depth + 7) / 8;
    for (uint32_t row = 0; row < height; ++row) std::memset(GetBits(row) + used, 0, effWidth_ - used);
  }
  return true;
}

void CxImage::Destroy() {
  block_.reset();
  blockSize_ = 0;
  width_ = height_ = bpp_ = numColors_ = effWidth_ = 0;
}

bool CxImage::IsValid() const { return block_ != nullptr; }

void CxImage::WriteHeader() {
  BitmapInfoHeader header;
  header.width = static_cast<int32_t>(width_);
  header.height = static_cast<int32_t>(height_);
  header.bitCount = static_cast<uint16_t>(bpp_);
  header.sizeImage = effWidth_ * height_;
  header.xPelsPerMeter = DpiToPixelsPerMeter(xDpi_);
  header.yPelsPerMeter = DpiToPixelsPerMeter(yDpi_);
  header.clrUsed = numColors_;
  WriteInfoHeader(block_.get(), header);
}

void CxImage::WriteResolution() {
  if (!block_) return;
  StoreLE32(block_.get() + 24, static_cast<uint32_t>(DpiToPixelsPerMeter(xDpi_)));
  StoreLE32(block_.get() + 28, static_cast<uint32_t>(DpiToPixelsPerMeter(yDpi_)));
}

uint8_t* CxImage::PixelData() const {
  return block_.get() + BitmapInfoHeader::kSize + 4 * size_t{numColors_};
}

RgbQuad CxImage::GetPaletteColor(uint32_t index) const {
  const RgbQuad* palette = GetPalette();
  if (!palette || index >= numColors_) return RgbQuad{};
  return palette[index];
}

void CxImage::SetPaletteColor(uint32_t index, RgbQuad color) {
  RgbQuad* palette = GetPalette();
  if (!palette || index >= numColors_) return;
  palette[index] = color;
}

RgbQuad* CxImage::GetPalette() {
  if (!block_ || numColors_ == 0) return nullptr;
  // Blocks are at least 16-byte aligned and the header is 40 bytes, so entries are 4-byte aligned.
  return reinterpret_cast<RgbQuad*>(block_.get() + BitmapInfoHeader::kSize);
}

const RgbQuad* CxImage::GetPalette() const { return const_cast<CxImage*>(this)->GetPalette(); }

void CxImage::SetGrayPalette() {
  RgbQuad* palette = GetPalette();
  if (!palette) return;
  for (uint32_t i = 0; i < numColors_; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (numColors_ - 1));
    palette[i] = MakeRgb(level, level, level);
  }
}

std::span<const RgbQuad> CxImage::StandardPalette(uint32_t bpp) {
  switch (bpp) {
    case 1: return kStdPalette1;
    case 4: return kStdPalette4;
    case 8: return kStdPalette8;
    default: return {};
  }
}

void CxImage::SetStdPalette() {
  RgbQuad* palette = GetPalette();
  const auto standard = StandardPalette(bpp_);
  if (!palette || standard.size() != numColors_) return;
  std::memcpy(palette, standard.data(), standard.size_bytes());
}

uint8_t* CxImage::GetBits(uint32_t row) {
  if (!block_ || row >= height_) return nullptr;
  return PixelData() + size_t{effWidth_} * row;
}

const uint8_t* CxImage::GetBits(uint32_t row) const { return const_cast<CxImage*>(this)->GetBits(row); }

uint32_t CxImage::GetClrImportant() const { return block_ ? LoadLE32(block_.get() + 36) : 0; }

void CxImage::SetClrImportant(uint32_t colors) {
  if (block_) StoreLE32(block_.get() + 36, colors);
}

void CxImage::SetXDPI(int32_t dpi) {
  xDpi_ = dpi > 0 ? dpi : kDefaultDpi;
  WriteResolution();
}

void CxImage::SetYDPI(int32_t dpi) {
  yDpi_ = dpi > 0 ? dpi : kDefaultDpi;
  WriteResolution();
}

void CxImage::SetLastError(const char* text) const {
  lastError_.assign(text ? text : "");
  if (lastError_.size() > kMaxErrorLength) lastError_.resize(kMaxErrorLength);
}
