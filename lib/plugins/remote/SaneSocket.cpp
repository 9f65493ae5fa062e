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
#include <mutex>
#include <utility>
#include <vector>

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

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

// One name lookup handed to the C library's resolver threads. Its strings and request must
// stay where they are until the resolver is done with them.
struct NameLookup {
  NameLookup(const std::string& host, const std::string& port) : name(host), service(port) {
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    request.ar_name = name.c_str();
    request.ar_service = service.c_str();
    request.ar_request = &hints;
  }
  NameLookup(const NameLookup&) = delete;
  NameLookup& operator=(const NameLookup&) = delete;
  ~NameLookup() {
    if (request.ar_result) freeaddrinfo(request.ar_result);
  }

  const std::string name;
  const std::string service;
  addrinfo hints{};
  gaicb request{};
};

// Lookups that outlived their time-out and could not be cancelled: the resolver still writes
// into them, so they are kept until it has finished and freed by a later lookup. Those still
// running when the library goes are left alone rather than freed under the resolver.
class AbandonedLookups {
 public:
  static void Keep(std::unique_ptr<NameLookup> lookup) {
    AbandonedLookups& self = Instance();
    const std::lock_guard lock(self.mutex_);
    std::erase_if(self.lookups_, [](const auto& kept) { return gai_error(&kept->request) != EAI_INPROGRESS; });
    self.lookups_.push_back(std::move(lookup));
  }
  ~AbandonedLookups() {
    for (auto& lookup : lookups_)
      if (gai_error(&lookup->request) == EAI_INPROGRESS) static_cast<void>(lookup.release());
  }

 private:
  static AbandonedLookups& Instance() {
    static AbandonedLookups instance;
    return instance;
  }
  std::mutex mutex_;
  std::vector<std::unique_ptr<NameLookup>> lookups_;
};

// The addresses of host, found within `timeout`: a name server that does not answer must not
// hold the caller longer than a host that does not answer.
AddressList Resolve(const std::string& host, uint16_t port, std::chrono::milliseconds timeout) {
  const std::string service = std::to_string(port);
  addrinfo numeric{};
  numeric.ai_family = AF_UNSPEC;
  numeric.ai_socktype = SOCK_STREAM;
  numeric.ai_flags = AI_NUMERICHOST;  // an address needs no lookup and cannot block
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &numeric, &found) == 0) return AddressList(found, freeaddrinfo);

  auto lookup = std::make_unique<NameLookup>(host, service);
  gaicb* requests[] = {&lookup->request};
  if (const int started = getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr); started != 0)
    throw SaneError("cannot find the address of " + host + ": " + gai_strerror(started));
  const gaicb* const waiting[] = {&lookup->request};
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (gai_error(&lookup->request) == EAI_INPROGRESS) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const timespec wait{static_cast<time_t>(left.count() / 1000000000), static_cast<long>(left.count() % 1000000000)};
    gai_suspend(waiting, 1, &wait);  // returns early on a signal: the loop checks again
  }
  const int status = gai_error(&lookup->request);
  if (status == EAI_INPROGRESS) {
    if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) AbandonedLookups::Keep(std::move(lookup));
    throw SaneError("the address of " + host + " was not found within " + std::to_string(timeout.count()) + " ms");
  }
  if (status != 0) throw SaneError("cannot find the address of " + host + ": " + gai_strerror(status));
  return AddressList(std::exchange(lookup->request.ar_result, nullptr), freeaddrinfo);
}

}  // namespace

SaneSocket::SaneSocket(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
    : timeout_(timeout), host_(host + ":" + std::to_string(port)) {
  const AddressList addresses = Resolve(host, port, timeout);
  int error = 0;
  for (const addrinfo* address = addresses.get(); address; address = address->ai_next) {
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
  // Bytes that are already there are taken at once; poll only when there are none, which
  // halves the system calls of an image that streams in.
  for (;;) {
    if (aborted_) throw SaneError(std::string("the connection to ") + host_ + " was closed while receiving");
    // saned writes a long reply in pieces without TCP_NODELAY: its last piece waits for our
    // acknowledgement of the one before, which the kernel would delay by 40 ms, for every
    // option list. Acknowledge at once (the kernel drops the setting again after a while, so
    // it is renewed before every receive).
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    const ssize_t got = recv(fd_, bytes.data(), bytes.size(), 0);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitFor(POLLIN, "receiving");
    } else if (errno != EINTR) {
      throw SaneError("the connection to " + host_ + " failed while receiving: " + ErrorText(errno));
    }
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
