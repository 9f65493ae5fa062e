#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/ip/address.hpp>
#include <map>
#include <mutex>
#include <set>

namespace ftpserv {

class FtpControlConnection;

// The open control connections, so that Stop can reach each of them and the listener can hold
// each address and the whole service to their limits. It does not keep connections alive: the
// accepting thread adds each one, and each removes itself when it dies, on its own thread.
class ConnectionRegistry {
 public:
  ConnectionRegistry(size_t maxConnections, size_t maxPerAddress);

  bool HasRoomFor(const asio::ip::address& address) const;
  void Add(FtpControlConnection* connection, const asio::ip::address& address);
  void Remove(FtpControlConnection* connection, const asio::ip::address& address);
  // Closes the connections that run on `executor`; from that executor's thread, where none of
  // them can die meanwhile.
  void CloseAll(const asio::any_io_executor& executor);

 private:
  mutable std::mutex mutex_;
  size_t maxConnections_;
  size_t maxPerAddress_;
  std::set<FtpControlConnection*> connections_;
  std::map<asio::ip::address, size_t> perAddress_;
};

}  // namespace ftpserv
