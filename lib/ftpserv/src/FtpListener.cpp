#include "FtpListener.h"

#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <algorithm>
#include <chrono>

#include "FtpControlConnection.h"
#include "FtpServiceEvents.h"

namespace ftpserv {

using asio::ip::tcp;

namespace {

// Enough for the devices of an office; more threads than cores would only take turns.
constexpr unsigned kMaxWorkers = 8;

constexpr std::string_view kTooManyReply = "421 Too many connections, try again later.\r\n";

std::string ListenFailureText(const std::error_code& error) {
  if (error == asio::error::address_in_use) return "port in use";
  if (error == asio::error::access_denied) return "permission denied";
  return error.message();
}

}  // namespace

FtpListener::FtpListener(FtpServiceConfig config, FtpServiceEvents& events)
    : config_(std::move(config)),
      events_(events),
      registry_(config_.limits.maxConnections, config_.limits.maxConnectionsPerAddress) {}

FtpListener::~FtpListener() { Stop(); }

std::vector<std::unique_ptr<FtpListener::Worker>> FtpListener::MakeWorkers() {
  std::vector<std::unique_ptr<Worker>> workers(std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers));
  for (auto& worker : workers) worker = std::make_unique<Worker>();
  return workers;
}

FtpListener::Worker& FtpListener::NextWorker() {
  Worker& worker = *workers_[nextWorker_];
  nextWorker_ = (nextWorker_ + 1) % workers_.size();
  return worker;
}

bool FtpListener::Start(uint16_t port, std::string& failure) {
  // One dual-stack socket serves IPv6 and IPv4 clients; a host without IPv6 gets IPv4 only.
  std::error_code error = Listen({tcp::v6(), port});
  if (error == asio::error::address_family_not_supported) error = Listen({tcp::v4(), port});
  if (error) {
    failure = ListenFailureText(error);
    return false;
  }
  port_ = acceptor_.local_endpoint(error).port();
  Accept();
  for (auto& worker : workers_) worker->thread = std::thread([&io = worker->io] { io.run(); });
  running_ = true;
  return true;
}

std::error_code FtpListener::Listen(const tcp::endpoint& endpoint) {
  std::error_code error;
  acceptor_.close(error);
  acceptor_.open(endpoint.protocol(), error);
  if (error) return error;
  // Lets a restarted service take its port while old connections linger in TIME_WAIT; a port
  // that another program listens on still fails.
  acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
  if (endpoint.protocol() == tcp::v6()) acceptor_.set_option(asio::ip::v6_only(false), error);
  acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error) acceptor_.close();
  return error;
}

void FtpListener::Stop() {
  if (!running_) return;
  running_ = false;
  asio::post(acceptor_.get_executor(), [this] {
    std::error_code ignored;
    acceptor_.close(ignored);
    acceptRetry_.cancel();
    // Posted after every connection the acceptor handed over: each thread closes its own.
    for (auto& worker : workers_) {
      asio::post(worker->io, [this, &io = worker->io] {
        registry_.CloseAll(io.get_executor());
        // What the closing cancelled is dropped with the io_context, never run.
        io.stop();
      });
    }
  });
  for (auto& worker : workers_) worker->thread.join();
  port_ = 0;
}

void FtpListener::Accept() {
  acceptor_.async_accept(NextWorker().io, [this](std::error_code error, tcp::socket socket) {
    if (!acceptor_.is_open()) return;
    if (!error) {
      std::error_code ignored;
      const auto remote = socket.remote_endpoint(ignored);
      const auto address = Unmapped(remote.address());
      // Only this thread adds connections, so the room seen here is still there when it adds.
      if (registry_.HasRoomFor(address)) {
        auto connection = std::make_shared<FtpControlConnection>(std::move(socket), config_, registry_, events_);
        registry_.Add(connection.get(), address);
        // From here on the connection belongs to its thread; this one keeps no reference to it.
        const auto executor = connection->Executor();
        asio::post(executor, [connection = std::move(connection)] { connection->Start(); });
      } else {
        Refuse(std::move(socket), "[" + address.to_string() + " port " + std::to_string(remote.port()) +
                                      "] connection refused: too many connections");
      }
      Accept();
      return;
    }
    events_.Log("accepting a connection failed: " + error.message());
    acceptRetry_.expires_after(std::chrono::milliseconds(100));
    acceptRetry_.async_wait([this](std::error_code waitError) {
      if (!waitError && acceptor_.is_open()) Accept();
    });
  });
}

void FtpListener::Refuse(tcp::socket socket, const std::string& why) {
  events_.Log(why);
  auto held = std::make_shared<tcp::socket>(std::move(socket));
  // The socket belongs to the thread it was accepted for, like a connection's.
  asio::post(held->get_executor(), [held] {
    asio::async_write(*held, asio::buffer(kTooManyReply.data(), kTooManyReply.size()), [held](std::error_code, size_t) {
      std::error_code ignored;
      held->close(ignored);
    });
  });
}

}  // namespace ftpserv
