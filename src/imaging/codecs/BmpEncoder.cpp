#include "imaging/codecs/BmpEncoder.h"

#include <cstring>

namespace imaging {

namespace {

constexpr size_t kFileHeaderSize = 14;

}  // namespace

std::array<uint8_t, 14> BmpFileHeader(const CxImage& image) {
  std::array<uint8_t, kFileHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  StoreLE32(header.data() + 2, static_cast<uint32_t>(kFileHeaderSize + image.GetSize()));
  StoreLE32(header.data() + 10, static_cast<uint32_t>(kFileHeaderSize + BitmapInfoHeader::kSize + 4 * image.GetNumColors()));
  return header;
}

Status EncodeBmpInto(const CxImage& image, std::vector<uint8_t>& out) {
  if (!image.IsValid()) return Error{"BMP: no image to save"};
  // Within the image size limit the file stays far below 4 GiB.
  const auto header = BmpFileHeader(image);
  out.resize(kFileHeaderSize + image.GetSize());
  std::memcpy(out.data(), header.data(), kFileHeaderSize);
  std::memcpy(out.data() + kFileHeaderSize, image.GetDIB(), image.GetSize());
  return Status::Ok();
}

Result<std::vector<uint8_t>> EncodeBmp(const CxImage& image) {
  std::vector<uint8_t> out;
  auto status = EncodeBmpInto(image, out);
  if (status.IsError()) return status.TakeError();
  return out;
}

}  // namespace imaging
