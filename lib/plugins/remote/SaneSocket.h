#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "SaneWire.h"

namespace sanenet {

// One TCP connection to the scanner service, with a time-out on the connect and on every read
// and write, so that an unreachable or silent host fails within the time-out instead of
// blocking. Used by one thread; Abort alone may be called from another thread, to end a
// transfer that is blocked in a read.
class SaneSocket : public WireSource {
 public:
  // Connects to host (a name or a numeric address) and port, trying each of its addresses;
  // throws SaneError with the reason when none accepts within `timeout`. The name's lookup has
  // `timeout` as well, so a name server that does not answer cannot hold the caller.
  SaneSocket(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
  SaneSocket(const SaneSocket&) = delete;
  SaneSocket& operator=(const SaneSocket&) = delete;
  ~SaneSocket() override;

  void ReadExact(std::span<uint8_t> bytes) override;
  // Up to bytes.size() bytes, at least one; 0 at the end of the stream.
  size_t ReadSome(std::span<uint8_t> bytes);
  void WriteAll(std::span<const uint8_t> bytes);
  // Every blocked or later read and write fails at once.
  void Abort();

  void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
  // The numeric address of the peer, for the data connection of a scan.
  const std::string& PeerAddress() const { return peer_; }

 private:
  void WaitFor(short events, const char* what);

  int fd_ = -1;
  std::chrono::milliseconds timeout_;
  std::atomic<bool> aborted_{false};
  std::string host_;
  std::string peer_;
};

}  // namespace sanenet
