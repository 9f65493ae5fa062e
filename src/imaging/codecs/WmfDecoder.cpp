#include "imaging/codecs/WmfDecoder.h"

#include <cstring>

namespace imaging {

namespace {

bool IsPlaceableWmf(std::span<const uint8_t> bytes) { return bytes.size() >= 22 && LoadLE32(bytes.data()) == 0x9AC6CDD7; }

bool IsPlainWmf(std::span<const uint8_t> bytes) {
  if (bytes.size() < 18) return false;
  const uint16_t type = LoadLE16(bytes.data());
  const uint16_t headerWords = LoadLE16(bytes.data() + 2);
  const uint16_t version = LoadLE16(bytes.data() + 4);
  return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

bool IsEmf(std::span<const uint8_t> bytes) {
  return bytes.size() >= 88 && LoadLE32(bytes.data()) == 1 && std::memcmp(bytes.data() + 40, " EMF", 4) == 0;
}

}  // namespace

bool WmfDecoder::Sniff(std::span<const uint8_t> bytes) { return IsPlaceableWmf(bytes) || IsPlainWmf(bytes) || IsEmf(bytes); }

DecoderResult WmfDecoder::Create(std::span<const uint8_t> bytes) {
  if (!Sniff(bytes)) return Error{"WMF: not a Windows metafile"};
  return std::unique_ptr<ImageDecoder>(new WmfDecoder());
}

Result<CxImage> WmfDecoder::DecodeFrame(int32_t) {
  return Error{"WMF: metafiles (WMF, EMF) cannot be rendered on this platform"};
}

}  // namespace imaging
