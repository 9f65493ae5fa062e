#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace sanenet {

// A failure of the exchange with the scanner service: a connection that broke or timed out, a
// reply that does not decode, or a status the service returned. The text says which.
class SaneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a reply's bytes come from: a socket, or memory in the parser's tests and fuzzer.
class WireSource {
 public:
  virtual ~WireSource() = default;
  // Fills `bytes` completely or throws SaneError (closed, timed out, broken).
  virtual void ReadExact(std::span<uint8_t> bytes) = 0;
};

// Limits on what one reply may claim, so that a hostile or broken service cannot make us
// allocate without bound: every length is checked before anything is allocated for it.
struct WireLimits {
  uint32_t maxStringBytes = 64 * 1024;
  uint32_t maxArrayElements = 64 * 1024;
  uint64_t maxReplyBytes = 16 * 1024 * 1024;  // one whole reply
};

// Decodes the service's encoding: big-endian 32-bit words, strings as byte arrays with their
// NUL, arrays as a word count then the elements, pointers as a word that says whether the
// pointer is NULL, then (when it is not) the value.
class WireReader {
 public:
  explicit WireReader(WireSource& source, WireLimits limits = {}) : source_(source), limits_(limits) {}

  int32_t Word();
  // True when a value follows (the pointer is not NULL).
  bool Pointer() { return Word() == 0; }
  // A NULL string reads as empty; `isNull` (when given) tells the two apart.
  std::string String(bool* isNull = nullptr);
  // The element count of an array, range-checked: negative or over the limit is an error.
  uint32_t ArrayLength(const char* what);
  std::vector<std::string> StringArray(const char* what);
  std::vector<int32_t> WordArray(const char* what);
  std::vector<uint8_t> ByteArray(const char* what);

 private:
  void Read(std::span<uint8_t> bytes);

  WireSource& source_;
  WireLimits limits_;
  uint64_t consumed_ = 0;
};

// Encodes a request in the same encoding.
class WireWriter {
 public:
  WireWriter& Word(int32_t value);
  WireWriter& String(const std::string& text);
  WireWriter& Bytes(std::span<const uint8_t> bytes);  // as an array of bytes
  const std::vector<uint8_t>& Data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

// A source over bytes in memory.
class MemorySource : public WireSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  void ReadExact(std::span<uint8_t> bytes) override;
  size_t Remaining() const { return bytes_.size() - offset_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t offset_ = 0;
};

}  // namespace sanenet
