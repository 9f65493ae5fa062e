#pragma once

#include <asio/ip/tcp.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ftpserv {

class UploadFile;

// The data side of a control connection as the command handler sees it: the handler decides,
// the link does the socket work. A transfer's final reply (226, 426, 451, ...) comes from the
// link once the data connection has ended.
class FtpDataLink {
 public:
  virtual ~FtpDataLink() = default;
  // Listens for one data connection from the client on our control address; the port, or
  // nothing when no port could be opened. Replaces any earlier PASV or PORT.
  virtual std::optional<uint16_t> ListenPassive() = 0;
  // The next transfer connects to target. Replaces any earlier PASV or PORT.
  virtual void ConnectActive(const asio::ip::tcp::endpoint& target) = 0;
  // Whether PASV, EPSV, PORT or EPRT has set up the next transfer.
  virtual bool HasDataSetup() const = 0;
  // Stores the data connection's bytes into file; name is the client's path for the log.
  virtual void Receive(std::unique_ptr<UploadFile> file, std::string name) = 0;
  // Sends bytes over the data connection (listings).
  virtual void Send(std::string bytes) = 0;
  // Ends the running transfer with a 426 reply; false when none was running.
  virtual bool AbortTransfer() = 0;
};

}  // namespace ftpserv
