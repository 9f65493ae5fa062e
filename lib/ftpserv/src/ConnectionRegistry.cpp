#include "ConnectionRegistry.h"

#include <vector>

#include "FtpControlConnection.h"

namespace ftpserv {

ConnectionRegistry::ConnectionRegistry(size_t maxConnections, size_t maxPerAddress)
    : maxConnections_(maxConnections), maxPerAddress_(maxPerAddress) {}

bool ConnectionRegistry::HasRoomFor(const asio::ip::address& address) const {
  const std::lock_guard lock(mutex_);
  if (connections_.size() >= maxConnections_) return false;
  const auto found = perAddress_.find(address);
  return found == perAddress_.end() || found->second < maxPerAddress_;
}

void ConnectionRegistry::Add(FtpControlConnection* connection, const asio::ip::address& address) {
  const std::lock_guard lock(mutex_);
  connections_.insert(connection);
  ++perAddress_[address];
}

void ConnectionRegistry::Remove(FtpControlConnection* connection, const asio::ip::address& address) {
  const std::lock_guard lock(mutex_);
  if (connections_.erase(connection) == 0) return;
  const auto found = perAddress_.find(address);
  if (found != perAddress_.end() && --found->second == 0) perAddress_.erase(found);
}

void ConnectionRegistry::CloseAll(const asio::any_io_executor& executor) {
  // Closing lets a connection's handlers finish, which may remove it while we walk, and takes
  // the lock: close a copy, without the lock.
  std::vector<FtpControlConnection*> open;
  {
    const std::lock_guard lock(mutex_);
    for (auto* connection : connections_) {
      if (connection->Executor() == executor) open.push_back(connection);
    }
  }
  for (auto* connection : open) connection->Close("server stopped");
}

}  // namespace ftpserv
