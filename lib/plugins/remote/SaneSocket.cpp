#include "SaneSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace sanenet {
namespace {

std::string ErrorText(int code) { return std::strerror(code); }

std::string NumericAddress(const sockaddr* address, socklen_t length) {
  char text[NI_MAXHOST] = {};
  if (getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return {};
  return text;
}

int PollOnce(int fd, short events, std::chrono::milliseconds timeout) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int result = poll(&entry, 1, static_cast<int>(timeout.count()));
    if (result < 0 && errno == EINTR) continue;
    return result;
  }
}

// A non-blocking connect to one address, finished within `timeout`; the socket or -1 with
// `error` set.
int ConnectTo(const addrinfo& address, std::chrono::milliseconds timeout, int& error) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) return fd;
  if (errno != EINPROGRESS) {
    error = errno;
    close(fd);
    return -1;
  }
  const int ready = PollOnce(fd, POLLOUT, timeout);
  if (ready <= 0) {
    error = ready == 0 ? ETIMEDOUT : errno;
    close(fd);
    return -1;
  }
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

SaneSocket::SaneSocket(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
    : timeout_(timeout), host_(host + ":" + std::to_string(port)) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (lookup != 0) throw SaneError("cannot find the address of " + host + ": " + gai_strerror(lookup));
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  int error = 0;
  for (const addrinfo* address = found; address; address = address->ai_next) {
    fd_ = ConnectTo(*address, timeout, error);
    if (fd_ < 0) continue;
    peer_ = NumericAddress(address->ai_addr, address->ai_addrlen);
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // small requests, answered at once
    return;
  }
  throw SaneError("cannot connect to " + host_ + ": " + ErrorText(error));
}

SaneSocket::~SaneSocket() {
  if (fd_ >= 0) close(fd_);
}

void SaneSocket::Abort() {
  aborted_ = true;
  shutdown(fd_, SHUT_RDWR);
}

void SaneSocket::WaitFor(short events, const char* what) {
  if (aborted_) throw SaneError(std::string("the connection to ") + host_ + " was closed while " + what);
  const int ready = PollOnce(fd_, events, timeout_);
  if (ready == 0)
    throw SaneError(host_ + " did not answer within " + std::to_string(timeout_.count()) + " ms while " + what);
  if (ready < 0) throw SaneError(std::string("the connection to ") + host_ + " failed while " + what + ": " +
                                 ErrorText(errno));
  if (aborted_) throw SaneError(std::string("the connection to ") + host_ + " was closed while " + what);
}

size_t SaneSocket::ReadSome(std::span<uint8_t> bytes) {
  for (;;) {
    WaitFor(POLLIN, "receiving");
    const ssize_t got = recv(fd_, bytes.data(), bytes.size(), 0);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    throw SaneError("the connection to " + host_ + " failed while receiving: " + ErrorText(errno));
  }
}

void SaneSocket::ReadExact(std::span<uint8_t> bytes) {
  while (!bytes.empty()) {
    const size_t got = ReadSome(bytes);
    if (got == 0) throw SaneError(host_ + " closed the connection");
    bytes = bytes.subspan(got);
  }
}

void SaneSocket::WriteAll(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    WaitFor(POLLOUT, "sending");
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      throw SaneError("the connection to " + host_ + " failed while sending: " + ErrorText(errno));
    }
    bytes = bytes.subspan(static_cast<size_t>(sent));
  }
}

}  // namespace sanenet
