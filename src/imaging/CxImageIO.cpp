// Loading and saving: file access, format detection and the choice of encoder.
#include "imaging/CxImage.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "imaging/codecs/BmpEncoder.h"
#include "imaging/codecs/DecoderTable.h"
#include "imaging/codecs/Encoders.h"

namespace {

constexpr const char* kUnknownFormat = "Decode: Unknown or wrong format";

struct FileBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
};

imaging::Result<FileBytes> ReadFileCapped(const std::string& path, uint64_t maxBytes) {
  // Only regular files: a folder reads as nothing and a pipe could block for ever.
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return imaging::Error{"Decode: can't open file: it does not exist"};
  if (!std::filesystem::is_regular_file(status)) return imaging::Error{"Decode: can't open file: not a regular file"};
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return imaging::Error{"Decode: can't open file"};
  const std::streamoff length = in.tellg();
  if (length < 0) return imaging::Error{"Decode: can't read file"};
  if (static_cast<uint64_t>(length) > maxBytes)
    return imaging::Error{"Decode: file too large (" + std::to_string(length) + " bytes, at most " + std::to_string(maxBytes) + ")"};
  FileBytes file;
  file.size = static_cast<size_t>(length);
  // Left uninitialised: every byte is read over at once.
  file.data.reset(new (std::nothrow) uint8_t[file.size > 0 ? file.size : 1]);
  if (!file.data) return imaging::Error{"Decode: not enough memory for the file"};
  in.seekg(0);
  if (file.size > 0 && !in.read(reinterpret_cast<char*>(file.data.get()), static_cast<std::streamsize>(file.size)))
    return imaging::Error{"Decode: can't read file"};
  return file;
}

}  // namespace

bool CxImage::LoadFile(const std::string& path, uint32_t formatId) {
  auto file = ReadFileCapped(path, kMaxFileBytes);
  if (file.IsError()) {
    Destroy();
    SetLastError(file.ErrorText().c_str());
    return false;
  }
  return Decode(std::span<const uint8_t>(file.Value().data.get(), file.Value().size), formatId);
}

bool CxImage::Decode(std::span<const uint8_t> bytes, uint32_t formatId) {
  const int32_t frame = frame_;
  numFrames_ = 0;  // until a decoder has read the header, nothing is known about this file
  // Decodes the requested frame with a decoder whose header check has passed, and adopts it
  // keeping this object's frame request and escape flag.
  auto decodeFrame = [&](imaging::ImageDecoder& decoder, uint32_t type) -> imaging::Status {
    numFrames_ = decoder.FrameCount();
    auto decoded = decoder.TakeFrame(frame);
    if (decoded.IsError()) return decoded.TakeError();
    const bool escape = GetEscape();
    const int32_t frames = numFrames_;
    SwapWith(decoded.Value());
    SetEscape(escape);
    SetProgress(0);
    numFrames_ = frames;
    frame_ = frame;
    type_ = type;
    return imaging::Status::Ok();
  };

  std::optional<std::string> firstError;
  if (const auto* entry = imaging::DecoderFor(formatId)) {
    auto decoder = entry->create(bytes);
    auto status = decoder.IsError() ? imaging::Status(decoder.TakeError()) : decodeFrame(*decoder.Value(), entry->formatId);
    if (!status.IsError()) return true;
    firstError = status.ErrorText();
  }
  std::string error = kUnknownFormat;
  std::optional<std::string> refusal;  // why the first format whose signature matched refused the header
  for (const auto& entry : imaging::DetectionTable()) {
    if (!entry.sniff(bytes)) continue;
    auto decoder = entry.create(bytes);
    if (decoder.IsError()) {  // signature matched, header did not: try the next format
      if (!refusal) refusal = decoder.ErrorText();
      continue;
    }
    auto status = decodeFrame(*decoder.Value(), entry.formatId);
    if (!status.IsError()) return true;
    error = status.ErrorText();  // the first format that accepts the header decides
    refusal.reset();
    break;
  }
  if (refusal) error += " (" + *refusal + ")";
  if (firstError) error = *firstError;
  Destroy();
  SetLastError(error.c_str());
  return false;
}

bool CxImage::Encode(std::vector<uint8_t>& out, uint32_t formatId) const {
  if (!IsValid()) return false;
  auto status = imaging::EncodeImage(*this, formatId, out);
  if (status.IsError()) {
    SetLastError(status.ErrorText().c_str());
    return false;
  }
  return true;
}

namespace {

bool WriteAll(std::ofstream& file, const uint8_t* data, size_t size) {
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

}  // namespace

bool CxImage::SaveFile(const std::string& path, uint32_t formatId) const {
  if (!IsValid()) return false;
  // BMP is the file transfer's format: the block goes to the file as it is, with no copy.
  std::vector<uint8_t> encoded;
  if (formatId != ImageFormat::Bmp && !Encode(encoded, formatId)) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    SetLastError("SaveFile: can't create file");
    return false;
  }
  bool written = false;
  if (formatId == ImageFormat::Bmp) {
    const auto header = imaging::BmpFileHeader(*this);
    written = WriteAll(file, header.data(), header.size()) && WriteAll(file, GetDIB(), GetSize());
  } else {
    written = WriteAll(file, encoded.data(), encoded.size());
  }
  file.close();
  if (!written || !file) {
    SetLastError("SaveFile: can't write file");
    return false;
  }
  return true;
}
