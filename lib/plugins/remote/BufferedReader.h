#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "SaneWire.h"

namespace sanenet {

class SaneSocket;

// Reads from a socket through a buffer: an image comes as many small records, each a 4-byte
// length and its bytes, and one receive then serves many of them. Large reads that find the
// buffer empty go straight into the caller's memory.
class BufferedReader : public WireSource {
 public:
  explicit BufferedReader(SaneSocket& socket, size_t capacity = size_t{256} << 10);
  void ReadExact(std::span<uint8_t> bytes) override;

 private:
  SaneSocket& socket_;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
};

}  // namespace sanenet
