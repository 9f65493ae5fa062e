#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConnectionRegistry.h"
#include "FtpSessionState.h"

namespace ftpserv {

class FtpServiceEvents;

// One run of the service: the network threads, the listening socket and the open connections.
// Start to Stop; a new root means a new listener.
//
// Each network thread runs an io_context of its own, and each connection (with its data
// connections) lives on one of them, taken in turn: the handlers of one connection never run at
// the same time, and uploads from several devices use several cores for their socket reads and
// file writes. The first thread also accepts.
class FtpListener {
 public:
  FtpListener(FtpServiceConfig config, FtpServiceEvents& events);
  FtpListener(const FtpListener&) = delete;
  FtpListener& operator=(const FtpListener&) = delete;
  ~FtpListener();

  // Listens on every interface (IPv6 and IPv4 where the host has both) and starts the network
  // threads. On failure the text says why ("port in use", "permission denied", ...).
  bool Start(uint16_t port, std::string& failure);
  // Closes the listening socket and every connection, drops uploads in progress and ends the
  // network threads; the port is free when it returns.
  void Stop();
  uint16_t port() const { return port_; }

 private:
  struct Worker {
    asio::io_context io{1};  // one thread runs it
    // Keeps the thread running while it has no connection; Stop ends it.
    asio::executor_work_guard<asio::io_context::executor_type> idle{io.get_executor()};
    std::thread thread;
  };
  static std::vector<std::unique_ptr<Worker>> MakeWorkers();

  std::error_code Listen(const asio::ip::tcp::endpoint& endpoint);
  Worker& NextWorker();
  void Accept();
  void Refuse(asio::ip::tcp::socket socket, const std::string& why);

  const FtpServiceConfig config_;
  FtpServiceEvents& events_;
  ConnectionRegistry registry_;
  // Destroyed before the registry: dropping their handlers destroys the connections, which leave
  // the registry as they go.
  std::vector<std::unique_ptr<Worker>> workers_ = MakeWorkers();
  size_t nextWorker_ = 0;  // accepting thread only
  asio::ip::tcp::acceptor acceptor_{workers_.front()->io};
  // A failed accept (out of descriptors, say) is tried again after a pause, not at once in a loop.
  asio::steady_timer acceptRetry_{workers_.front()->io};
  uint16_t port_ = 0;
  bool running_ = false;
};

}  // namespace ftpserv
