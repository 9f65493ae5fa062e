#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/BitmapTypes.h"

namespace imaging {

// Reads a borrowed byte span without ever passing its end. A read past the end yields zeros
// and marks the reader overrun; parsers check Overrun() (or Remaining()) after each group of
// reads instead of after every byte.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Size() const { return bytes_.size(); }
  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }
  bool AtEnd() const { return position_ >= bytes_.size(); }
  bool Overrun() const { return overrun_; }

  // Moves to an absolute offset; false (and overrun) past the end.
  bool Seek(size_t offset) {
    if (offset > bytes_.size()) {
      overrun_ = true;
      return false;
    }
    position_ = offset;
    return true;
  }
  bool Skip(size_t count) {
    if (count > Remaining()) {
      position_ = bytes_.size();
      overrun_ = true;
      return false;
    }
    position_ += count;
    return true;
  }

  uint8_t U8() { return Has(1) ? bytes_[position_++] : 0; }
  uint16_t LE16() { return Has(2) ? Advance(LoadLE16(bytes_.data() + position_), 2) : 0; }
  uint32_t LE32() { return Has(4) ? Advance(LoadLE32(bytes_.data() + position_), 4) : 0; }
  uint16_t BE16() { return Has(2) ? Advance(LoadBE16(bytes_.data() + position_), 2) : 0; }
  uint32_t BE32() { return Has(4) ? Advance(LoadBE32(bytes_.data() + position_), 4) : 0; }

  // The next `count` bytes, or an empty span (and overrun) when fewer remain.
  std::span<const uint8_t> Bytes(size_t count) {
    if (!Has(count)) return {};
    const auto out = bytes_.subspan(position_, count);
    position_ += count;
    return out;
  }
  // Everything from the current position to the end, without moving.
  std::span<const uint8_t> Rest() const { return bytes_.subspan(position_); }

 private:
  bool Has(size_t count) {
    if (count <= Remaining()) return true;
    position_ = bytes_.size();
    overrun_ = true;
    return false;
  }
  template <typename T>
  T Advance(T value, size_t count) {
    position_ += count;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool overrun_ = false;
};

}  // namespace imaging
