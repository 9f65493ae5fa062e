#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <string>
#include <thread>

#include "ConnectionRegistry.h"
#include "FtpSessionState.h"

namespace ftpserv {

class FtpServiceEvents;

// One run of the service: the network thread with its io_context, the listening socket and the
// open connections. Start to Stop; a new root means a new listener.
class FtpListener {
 public:
  FtpListener(FtpServiceConfig config, FtpServiceEvents& events);
  FtpListener(const FtpListener&) = delete;
  FtpListener& operator=(const FtpListener&) = delete;
  ~FtpListener();

  // Listens on every interface (IPv6 and IPv4 where the host has both) and starts the network
  // thread. On failure the text says why ("port in use", "permission denied", ...).
  bool Start(uint16_t port, std::string& failure);
  // Closes the listening socket and every connection, drops uploads in progress and ends the
  // network thread; the port is free when it returns.
  void Stop();
  uint16_t port() const { return port_; }

 private:
  std::error_code Listen(const asio::ip::tcp::endpoint& endpoint);
  void Accept();
  void Refuse(asio::ip::tcp::socket socket, const std::string& why);

  const FtpServiceConfig config_;
  FtpServiceEvents& events_;
  ConnectionRegistry registry_;
  // Destroyed before the registry: dropping its handlers destroys the connections, which leave
  // the registry as they go.
  asio::io_context io_{1};
  asio::ip::tcp::acceptor acceptor_{io_};
  // A failed accept (out of descriptors, say) is tried again after a pause, not at once in a loop.
  asio::steady_timer acceptRetry_{io_};
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace ftpserv
