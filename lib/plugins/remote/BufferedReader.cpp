#include "BufferedReader.h"

#include <algorithm>

#include "SaneSocket.h"

namespace sanenet {

BufferedReader::BufferedReader(SaneSocket& socket, size_t capacity) : socket_(socket), buffer_(capacity) {}

void BufferedReader::ReadExact(std::span<uint8_t> bytes) {
  while (!bytes.empty()) {
    if (begin_ == end_) {
      begin_ = end_ = 0;
      if (bytes.size() >= buffer_.size()) {
        socket_.ReadExact(bytes);
        return;
      }
      end_ = socket_.ReadSome(buffer_);
      if (end_ == 0) throw SaneError("the service closed the data connection");
    }
    const size_t taken = std::min(bytes.size(), end_ - begin_);
    std::copy_n(buffer_.begin() + std::ptrdiff_t(begin_), taken, bytes.begin());
    begin_ += taken;
    bytes = bytes.subspan(taken);
  }
}

}  // namespace sanenet
