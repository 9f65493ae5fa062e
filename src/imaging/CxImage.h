#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/BitmapTypes.h"
#include "imaging/ImageFormat.h"

namespace platform {
class BitmapSection;
class MemoryDeviceContext;
}

namespace imaging {
// Releases an image's block, which comes from platform::AllocatePixelMemory; `mapped` says how
// it was had.
struct FreePixelBlock {
  size_t mapped = 0;
  void operator()(uint8_t* block) const;
};
}  // namespace imaging

// One image as a device-independent bitmap: a single contiguous block holding the 40-byte
// BITMAPINFOHEADER (little-endian), the palette (2, 16 or 256 entries at 1, 4 or 8 bits per
// pixel, none at 24) and the pixel rows, bottom-up, each padded to 4 bytes; 24-bit pixels are
// stored blue, green, red. The native transfer hands exactly this block to the application.
//
// Every operation returns success or failure. A failure leaves the image as it was (LoadFile
// and Create leave it empty) and puts its message in GetLastError(). Operations that change
// size or depth build a new image and swap it in, so at most two copies of a page exist.
//
// Not thread-safe, except SetEscape/GetEscape and GetProgress, which another thread may call
// while a long operation runs.
class CxImage {
 public:
  explicit CxImage(uint32_t formatId = ImageFormat::Unknown);
  CxImage(const CxImage& other);
  CxImage& operator=(const CxImage& other);
  CxImage(CxImage&& other) noexcept;
  CxImage& operator=(CxImage&& other) noexcept;
  ~CxImage();

  // Allocates width x height pixels of `bpp` bits, normalised to 1 (<= 1), 4 (2..4), 8 (5..8)
  // or 24 (above 8). Palette entries and pixel rows start zeroed. Keeps the resolution and the
  // frame data; sets the format id. On failure the image is empty.
  bool Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId = ImageFormat::Unknown);
  // The same for a caller that writes every pixel byte of every row itself: the header, the
  // palette and the padding at the end of each row are zeroed, the pixel bytes are not (the
  // block may be a recycled page). Saves clearing a page that is about to be overwritten.
  bool CreateForOverwrite(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId = ImageFormat::Unknown);
  void Destroy();
  // True when the image holds a bitmap block.
  bool IsValid() const;

  // Decodes frame GetFrame() of a file. A supported `formatId` is tried first; then (or for
  // Unknown, JBIG and unknown ids) the format is detected from the content. When both fail
  // the error is that of the first attempt. Files larger than kMaxFileBytes are refused.
  bool LoadFile(const std::string& path, uint32_t formatId = ImageFormat::Unknown);
  // The same as LoadFile for bytes already in memory (borrowed for the call only).
  bool Decode(std::span<const uint8_t> bytes, uint32_t formatId = ImageFormat::Unknown);
  // Encodes as BMP, PNG, JPEG or TIFF into a file created or overwritten.
  bool SaveFile(const std::string& path, uint32_t formatId) const;
  // The same as SaveFile into memory; `out` is replaced.
  bool Encode(std::vector<uint8_t>& out, uint32_t formatId) const;

  // Twice the largest pixel data an image may hold: room for any uncompressed file we accept.
  static constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

  uint32_t GetWidth() const { return width_; }
  uint32_t GetHeight() const { return height_; }
  uint32_t GetBpp() const { return bpp_; }
  // Palette entries: 2, 16, 256 or 0.
  uint32_t GetNumColors() const { return numColors_; }
  // Bytes of one stored row (padded to 4).
  uint32_t GetEffWidth() const { return effWidth_; }

  // All zero when there is no palette or the index is out of range.
  RgbQuad GetPaletteColor(uint32_t index) const;
  // Ignored when there is no palette or the index is out of range.
  void SetPaletteColor(uint32_t index, RgbQuad color);
  // nullptr when the image has no palette.
  RgbQuad* GetPalette();
  const RgbQuad* GetPalette() const;
  // Entry i = i * 255 / (entries - 1) in every channel.
  void SetGrayPalette();
  // The standard palette of the image's depth (see StandardPalette).
  void SetStdPalette();
  // Standard palette for 1, 4 or 8 bits: black/white; the 16 basic colours; the 16 basic
  // colours' first 8, two pale system colours, a 6x6x6 colour cube, a 20-step gray ramp and the
  // remaining system colours. Empty for other depths.
  static std::span<const RgbQuad> StandardPalette(uint32_t bpp);

  // Stored row `row` (0 = bottom row of the picture); nullptr when empty or out of range.
  uint8_t* GetBits(uint32_t row = 0);
  const uint8_t* GetBits(uint32_t row = 0) const;
  // The whole block (header + palette + rows) and its size in bytes.
  uint8_t* GetDIB() { return block_.get(); }
  const uint8_t* GetDIB() const { return block_.get(); }
  size_t GetSize() const { return blockSize_; }
  // The header field "colours important" (0 = all); decoders of palette formats may set it.
  uint32_t GetClrImportant() const;
  void SetClrImportant(uint32_t colors);

  int32_t GetXDPI() const { return xDpi_; }
  int32_t GetYDPI() const { return yDpi_; }
  // A value of 0 or less stores 96; the header's pixels per metre follows.
  void SetXDPI(int32_t dpi);
  void SetYDPI(int32_t dpi);

  // Frames (pages) of the file the image came from, and the frame to decode or decoded.
  int32_t GetNumFrames() const { return numFrames_; }
  void SetNumFrames(int32_t frames) { numFrames_ = frames; }
  int32_t GetFrame() const { return frame_; }
  void SetFrame(int32_t frame) { frame_ = frame; }

  uint32_t GetType() const { return type_; }
  void SetType(uint32_t formatId) { type_ = formatId; }
  const char* GetLastError() const { return lastError_.c_str(); }
  // Keeps at most 255 characters.
  void SetLastError(const char* text) const;

  uint32_t GetProgress() const { return progress_.load(std::memory_order_relaxed); }
  void SetProgress(uint32_t percent) { progress_.store(percent, std::memory_order_relaxed); }
  void SetEscape(bool escape) { escape_.store(escape, std::memory_order_relaxed); }
  bool GetEscape() const { return escape_.load(std::memory_order_relaxed); }

  // Exchanges everything, including the last error and the frame data.
  void SwapWith(CxImage& other) noexcept;

  // Builds the image from a bitmap section (CxImageFromBitmap.cpp): its width, rows and pixels
  // (24-bit sections give a 24-bit image; 32-bit ones drop the fourth byte), top-down sections
  // turned into the block's bottom-up order. Keeps the resolution, the frame data and the format
  // id. Fails with "GetDIBits failed", leaving the image as it was, for an invalid section,
  // another depth, or a size over the image limit.
  bool CreateFromBitmapHandle(const platform::BitmapSection& bitmap);

  // Paints the image stretched into `rect` (left and top inclusive, right and bottom exclusive,
  // rows counted from the top) of the bitmap selected into `dc`, nearest pixel; what falls
  // outside the bitmap is left out (CxImagePaint.cpp). False when the image is empty, nothing
  // is selected or the rectangle is empty.
  bool PaintTo(platform::MemoryDeviceContext& dc, const ImageRect& rect) const;

  // Operations on the pixels (CxImageOps*.cpp).
  bool ToGray();
  bool IsGrayRamp() const;
  bool RaiseBpp(uint32_t bits);
  bool DecreaseBpp(uint32_t bits, bool errorDiffusion, const RgbQuad* palette = nullptr, uint32_t colors = 0);
  bool Invert();
  bool MirrorHorizontally();
  bool RotateBy(double degrees);
  bool ResizeTo(int32_t newWidth, int32_t newHeight, int mode = 1);
  int32_t OptimalThreshold(int32_t method = 0, const ImageRect* box = nullptr, const CxImage* mask = nullptr);
  bool AdaptiveThreshold(int32_t method = 0, int32_t boxSize = 64, const CxImage* mask = nullptr,
                         int32_t bias = 0, float balance = 0.5f);

 private:
  // Puts a block of `size` bytes, its first `zeroBytes` zeroed, in place of the current one;
  // false when it cannot be had.
  bool AllocateBlock(size_t size, size_t zeroBytes = SIZE_MAX);
  bool CreateBlock(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatId, bool zeroPixels);

  void WriteHeader();
  void WriteResolution();
  uint8_t* PixelData() const;

  std::unique_ptr<uint8_t, imaging::FreePixelBlock> block_;
  size_t blockSize_ = 0;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t bpp_ = 0;
  uint32_t numColors_ = 0;
  uint32_t effWidth_ = 0;
  int32_t xDpi_ = 96;
  int32_t yDpi_ = 96;
  int32_t numFrames_ = 0;
  int32_t frame_ = 0;
  uint32_t type_ = ImageFormat::Unknown;
  mutable std::string lastError_;
  std::atomic<uint32_t> progress_{0};
  std::atomic<bool> escape_{false};
};
