#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "connectors/IServer.h"

namespace ftpserv {
class FtpService;
}

// What one FTP service allows; the defaults suit a few devices on a local network.
struct FtpServerLimits {
  size_t maxConnections = 64;
  size_t maxConnectionsPerAddress = 16;
  size_t maxLineLength = 4096;
  int maxFailedLogins = 3;
  std::chrono::milliseconds failedLoginDelay{1000};
  std::chrono::milliseconds idleTimeout{std::chrono::minutes(5)};
  std::chrono::milliseconds dataTimeout{std::chrono::minutes(1)};
  // A client that dies mid-upload closes its data connection as if the file were complete, and
  // its control connection a moment later: an upload is committed only when the control
  // connection is still there this long after the data ended.
  std::chrono::milliseconds uploadSettleTime{10};
};

// The built-in FTP server: devices log in with the user and password given to Start and upload
// into the root folder and folders they make under it. Every operation may be called from any
// thread; events arrive on the server's event thread (see CFtpServerEvents).
class CFtpServer : public IServer {
 public:
  CFtpServer();
  CFtpServer(const CFtpServer&) = delete;
  CFtpServer& operator=(const CFtpServer&) = delete;

  // Port 0 takes a free port (see BoundPort).
  bool Start(const std::u16string& root, const std::u16string& user, const std::u16string& password,
             int32_t port) override;
  void Stop() override;
  void Subscribe(CFtpServerEvents* sink) override;
  void Unsubscribe() override;
  void GetReceivedFiles(std::vector<std::string>& files) override;
  ~CFtpServer() override;

  // Applies to the next Start.
  void SetLimits(const FtpServerLimits& limits);
  // The port the running service listens on; 0 when stopped.
  uint16_t BoundPort() const;

 private:
  std::unique_ptr<ftpserv::FtpService> service_;
};
