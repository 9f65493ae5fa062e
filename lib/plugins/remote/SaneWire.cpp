#include "SaneWire.h"

#include <algorithm>

namespace sanenet {

void WireReader::Read(std::span<uint8_t> bytes) {
  consumed_ += bytes.size();
  if (consumed_ > limits_.maxReplyBytes)
    throw SaneError("the service sent a reply of more than " + std::to_string(limits_.maxReplyBytes) + " bytes");
  source_.ReadExact(bytes);
}

int32_t WireReader::Word() {
  uint8_t bytes[4];
  Read(bytes);
  const uint32_t value = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  return static_cast<int32_t>(value);
}

uint32_t WireReader::ArrayLength(const char* what) {
  const int32_t length = Word();
  if (length < 0) throw SaneError(std::string("the service sent a negative length for ") + what);
  if (static_cast<uint32_t>(length) > limits_.maxArrayElements)
    throw SaneError(std::string("the service sent ") + std::to_string(length) + " elements for " + what +
                    ", more than the limit of " + std::to_string(limits_.maxArrayElements));
  return static_cast<uint32_t>(length);
}

std::string WireReader::String(bool* isNull) {
  const int32_t length = Word();
  if (length < 0) throw SaneError("the service sent a string with a negative length");
  if (static_cast<uint32_t>(length) > limits_.maxStringBytes)
    throw SaneError("the service sent a string of " + std::to_string(length) + " bytes, more than the limit of " +
                    std::to_string(limits_.maxStringBytes));
  if (isNull) *isNull = length == 0;
  std::string text(static_cast<size_t>(length), '\0');
  Read(std::span(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  // The NUL travels with the string; anything after an inner NUL is not part of it.
  text.resize(std::find(text.begin(), text.end(), '\0') - text.begin());
  return text;
}

std::vector<std::string> WireReader::StringArray(const char* what) {
  const uint32_t count = ArrayLength(what);
  std::vector<std::string> strings;
  for (uint32_t i = 0; i < count; ++i) {
    bool isNull = false;
    std::string text = String(&isNull);
    if (!isNull) strings.push_back(std::move(text));  // the list's NULL terminator
  }
  return strings;
}

std::vector<int32_t> WireReader::WordArray(const char* what) {
  const uint32_t count = ArrayLength(what);
  std::vector<int32_t> words;
  words.reserve(std::min<uint32_t>(count, 1024));
  for (uint32_t i = 0; i < count; ++i) words.push_back(Word());
  return words;
}

std::vector<uint8_t> WireReader::ByteArray(const char* what) {
  const int32_t length = Word();
  if (length < 0) throw SaneError(std::string("the service sent a negative length for ") + what);
  if (static_cast<uint32_t>(length) > limits_.maxStringBytes)
    throw SaneError(std::string("the service sent ") + std::to_string(length) + " bytes for " + what +
                    ", more than the limit of " + std::to_string(limits_.maxStringBytes));
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  Read(bytes);
  return bytes;
}

WireWriter& WireWriter::Word(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (const int shift : {24, 16, 8, 0}) data_.push_back(static_cast<uint8_t>(bits >> shift));
  return *this;
}

WireWriter& WireWriter::String(const std::string& text) {
  Word(static_cast<int32_t>(text.size() + 1));
  data_.insert(data_.end(), text.begin(), text.end());
  data_.push_back(0);
  return *this;
}

WireWriter& WireWriter::Bytes(std::span<const uint8_t> bytes) {
  Word(static_cast<int32_t>(bytes.size()));
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  return *this;
}

void MemorySource::ReadExact(std::span<uint8_t> bytes) {
  if (bytes.size() > Remaining()) throw SaneError("the reply ended early");
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_), bytes.size(), bytes.begin());
  offset_ += bytes.size();
}

}  // namespace sanenet
