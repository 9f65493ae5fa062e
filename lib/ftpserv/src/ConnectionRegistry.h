#pragma once

#include <asio/ip/address.hpp>
#include <map>
#include <set>

namespace ftpserv {

class FtpControlConnection;

// The open control connections, so that Stop can reach each of them and the listener can hold
// each address and the whole service to their limits. It does not keep connections alive: each
// one adds itself when it starts and removes itself when it dies. Network thread only.
class ConnectionRegistry {
 public:
  ConnectionRegistry(size_t maxConnections, size_t maxPerAddress);

  bool HasRoomFor(const asio::ip::address& address) const;
  void Add(FtpControlConnection* connection, const asio::ip::address& address);
  void Remove(FtpControlConnection* connection, const asio::ip::address& address);
  void CloseAll();

 private:
  size_t maxConnections_;
  size_t maxPerAddress_;
  std::set<FtpControlConnection*> connections_;
  std::map<asio::ip::address, size_t> perAddress_;
};

}  // namespace ftpserv
