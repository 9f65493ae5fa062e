#include "imaging/codecs/BmpEncoder.h"

#include <cstring>

namespace imaging {

Result<std::vector<uint8_t>> EncodeBmp(const CxImage& image) {
  if (!image.IsValid()) return Error{"BMP: no image to save"};
  constexpr size_t kFileHeaderSize = 14;
  const size_t total = kFileHeaderSize + image.GetSize();
  if (total > UINT32_MAX) return Error{"BMP: image too large for a bitmap file"};
  std::vector<uint8_t> out(total);
  out[0] = 'B';
  out[1] = 'M';
  StoreLE32(out.data() + 2, static_cast<uint32_t>(total));
  StoreLE32(out.data() + 6, 0);
  StoreLE32(out.data() + 10, static_cast<uint32_t>(kFileHeaderSize + BitmapInfoHeader::kSize + 4 * image.GetNumColors()));
  std::memcpy(out.data() + kFileHeaderSize, image.GetDIB(), image.GetSize());
  return out;
}

}  // namespace imaging
