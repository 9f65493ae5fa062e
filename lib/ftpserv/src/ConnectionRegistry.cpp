#include "ConnectionRegistry.h"

#include <vector>

#include "FtpControlConnection.h"

namespace ftpserv {

ConnectionRegistry::ConnectionRegistry(size_t maxConnections, size_t maxPerAddress)
    : maxConnections_(maxConnections), maxPerAddress_(maxPerAddress) {}

bool ConnectionRegistry::HasRoomFor(const asio::ip::address& address) const {
  if (connections_.size() >= maxConnections_) return false;
  const auto found = perAddress_.find(address);
  return found == perAddress_.end() || found->second < maxPerAddress_;
}

void ConnectionRegistry::Add(FtpControlConnection* connection, const asio::ip::address& address) {
  connections_.insert(connection);
  ++perAddress_[address];
}

void ConnectionRegistry::Remove(FtpControlConnection* connection, const asio::ip::address& address) {
  if (connections_.erase(connection) == 0) return;
  const auto found = perAddress_.find(address);
  if (found != perAddress_.end() && --found->second == 0) perAddress_.erase(found);
}

void ConnectionRegistry::CloseAll() {
  // Closing lets a connection's handlers finish, which may remove it while we walk: walk a copy.
  const std::vector<FtpControlConnection*> open(connections_.begin(), connections_.end());
  for (auto* connection : open) connection->Close("server stopped");
}

}  // namespace ftpserv
