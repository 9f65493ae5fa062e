#pragma once

// The network side of MFP scans as tests play it: a free loopback port for the source's FTP
// server, and curl uploading to it as an MFP does.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/ShellQuoted.h"

namespace test_support {

// A socket bound to a free loopback port, kept open as long as the object lives when asked to.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listen) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (listen) {
      ::listen(fd_, 1);
    } else {
      close(fd_);
      fd_ = -1;
    }
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;
  ~LoopbackPort() {
    if (fd_ >= 0) close(fd_);
  }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// True when something accepts connections on the loopback port.
inline bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// curl as an MFP uses the server: log in, store the file, log out. True when it was stored.
// `host` as it goes into the URL ("[::1]" for IPv6); `curlOptions` are added to curl's.
inline bool FtpUpload(int port, const std::string& user, const std::string& password, const std::string& local,
                      const std::string& remoteName, const std::string& host = "127.0.0.1",
                      const std::string& curlOptions = "") {
  const std::string url =
      "ftp://" + user + ":" + password + "@" + host + ":" + std::to_string(port) + "/" + remoteName;
  const std::string command =
      "curl -s -S -g --max-time 20 " + curlOptions + " -T " + ShellQuoted(local) + " " + ShellQuoted(url);
  return std::system(command.c_str()) == 0;
}

// True when this machine has an IPv6 loopback to listen on.
inline bool HasIpv6Loopback() {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return bound;
}

}  // namespace test_support
