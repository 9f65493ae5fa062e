#include "imaging/codecs/GifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/DecoderSupport.h"

namespace imaging {

namespace {

struct GifSource {
  std::span<const uint8_t> bytes;
  size_t position = 0;
};

int ReadFromSource(GifFileType* gif, GifByteType* out, int length) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  if (length <= 0) return 0;
  const size_t count = std::min<size_t>(static_cast<size_t>(length), source->bytes.size() - source->position);
  std::memcpy(out, source->bytes.data() + source->position, count);
  source->position += count;
  return static_cast<int>(count);
}

std::string GifError(int code) {
  const char* text = GifErrorString(code);
  return std::string("GIF: ") + (text ? text : "decoding failed");
}

// An open giflib reader over borrowed bytes.
class GifReader {
 public:
  explicit GifReader(std::span<const uint8_t> bytes) {
    source_.bytes = bytes;
    gif_ = DGifOpen(&source_, ReadFromSource, &error_);
  }
  ~GifReader() {
    if (gif_) DGifCloseFile(gif_, nullptr);
  }
  GifReader(const GifReader&) = delete;
  GifReader& operator=(const GifReader&) = delete;

  GifFileType* Gif() const { return gif_; }
  std::string ErrorText() const { return GifError(gif_ ? gif_->Error : error_); }

  // Moves to the next image descriptor, skipping extensions; false at the end or on error.
  bool NextImage(bool& failed) {
    failed = false;
    for (;;) {
      GifRecordType record = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif_, &record) == GIF_ERROR) return Fail(failed);
      switch (record) {
        case IMAGE_DESC_RECORD_TYPE:
          if (DGifGetImageDesc(gif_) == GIF_ERROR) return Fail(failed);
          return true;
        case EXTENSION_RECORD_TYPE: {
          int code = 0;
          GifByteType* block = nullptr;
          if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR) return Fail(failed);
          while (block != nullptr)
            if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR) return Fail(failed);
          break;
        }
        case TERMINATE_RECORD_TYPE:
          return false;
        default:
          return Fail(failed);
      }
    }
  }

  // Skips the compressed data of the current image without decoding it.
  bool SkipImageData() {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif_, &codeSize, &block) == GIF_ERROR) return false;
    while (block != nullptr)
      if (DGifGetCodeNext(gif_, &block) == GIF_ERROR) return false;
    return true;
  }

 private:
  static bool Fail(bool& failed) {
    failed = true;
    return false;
  }

  GifSource source_;
  GifFileType* gif_ = nullptr;
  int error_ = 0;
};

void SetColorMap(CxImage& image, const ColorMapObject* map) {
  if (!map || !map->Colors) {
    image.SetGrayPalette();
    return;
  }
  const int count = std::min(map->ColorCount, 256);
  for (int i = 0; i < count; ++i)
    image.SetPaletteColor(static_cast<uint32_t>(i), MakeRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
}

}  // namespace

bool GifDecoder::Sniff(std::span<const uint8_t> bytes) {
  return bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 || std::memcmp(bytes.data(), "GIF89a", 6) == 0);
}

DecoderResult GifDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"GIF: not a GIF file"};
  GifReader reader(bytes);
  if (!reader.Gif()) return Error{reader.ErrorText()};
  // Count the images; a file damaged after some of them keeps those.
  int32_t frames = 0;
  bool failed = false;
  while (reader.NextImage(failed)) {
    if (!reader.SkipImageData()) break;
    ++frames;
  }
  if (frames == 0) return Error{failed ? reader.ErrorText() : "GIF: no image in the file"};
  return std::unique_ptr<ImageDecoder>(new GifDecoder(bytes, frames));
}

Result<CxImage> GifDecoder::DecodeFrame(int32_t index) {
  GifReader reader(bytes_);
  if (!reader.Gif()) return Error{reader.ErrorText()};
  bool failed = false;
  for (int32_t i = 0;; ++i) {
    if (!reader.NextImage(failed)) return Error{failed ? reader.ErrorText() : "GIF: image missing"};
    if (i == index) break;
    if (!reader.SkipImageData()) return Error{reader.ErrorText()};
  }
  GifFileType* gif = reader.Gif();
  const GifImageDesc desc = gif->Image;
  if (desc.Left < 0 || desc.Top < 0 || desc.Width <= 0 || desc.Height <= 0)
    return Error{"GIF: invalid image size (" + std::to_string(desc.Width) + " x " + std::to_string(desc.Height) + " at " +
                 std::to_string(desc.Left) + ", " + std::to_string(desc.Top) + ")"};
  const uint64_t right = uint64_t(desc.Left) + uint64_t(desc.Width);
  const uint64_t bottom = uint64_t(desc.Top) + uint64_t(desc.Height);
  const uint64_t width = std::max<uint64_t>(right, gif->SWidth > 0 ? uint64_t(gif->SWidth) : 0);
  const uint64_t height = std::max<uint64_t>(bottom, gif->SHeight > 0 ? uint64_t(gif->SHeight) : 0);
  auto created = NewImage(width, height, 8, ImageFormat::Gif, "GIF", bytes_.size());
  if (created.IsError()) return created.TakeError();
  CxImage image = std::move(created).Value();
  SetColorMap(image, desc.ColorMap ? desc.ColorMap : gif->SColorMap);

  const uint8_t background = static_cast<uint8_t>(gif->SBackGroundColor);
  for (uint32_t y = 0; y < image.GetHeight(); ++y) std::memset(image.GetBits(y), background, image.GetWidth());

  std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
  auto readLine = [&](uint32_t y) {
    if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return false;
    std::memcpy(PictureRow(image, static_cast<uint32_t>(desc.Top) + y) + desc.Left, line.data(), line.size());
    return true;
  };
  const uint32_t rows = static_cast<uint32_t>(desc.Height);
  if (desc.Interlace) {
    constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (uint32_t y = kStart[pass]; y < rows; y += kStep[pass])
        if (!readLine(y)) return Error{reader.ErrorText()};
  } else {
    for (uint32_t y = 0; y < rows; ++y)
      if (!readLine(y)) return Error{reader.ErrorText()};
  }
  return image;
}

}  // namespace imaging
