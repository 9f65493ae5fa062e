#include "FtpListener.h"

#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <chrono>

#include "FtpControlConnection.h"
#include "FtpServiceEvents.h"

namespace ftpserv {

using asio::ip::tcp;

namespace {

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
  thread_ = std::thread([this] { io_.run(); });
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
  if (!thread_.joinable()) return;
  asio::post(io_, [this] {
    std::error_code ignored;
    acceptor_.close(ignored);
    registry_.CloseAll();
    // What the closing cancelled is dropped with the io_context, never run.
    io_.stop();
  });
  thread_.join();
  port_ = 0;
}

void FtpListener::Accept() {
  acceptor_.async_accept([this](std::error_code error, tcp::socket socket) {
    if (!acceptor_.is_open()) return;
    if (!error) {
      std::error_code ignored;
      const auto remote = socket.remote_endpoint(ignored);
      const auto address = Unmapped(remote.address());
      if (registry_.HasRoomFor(address)) {
        std::make_shared<FtpControlConnection>(std::move(socket), config_, registry_, events_)->Start();
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
  asio::async_write(*held, asio::buffer(kTooManyReply.data(), kTooManyReply.size()), [held](std::error_code, size_t) {
    std::error_code ignored;
    held->close(ignored);
  });
}

}  // namespace ftpserv
