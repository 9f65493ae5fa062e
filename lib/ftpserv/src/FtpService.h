#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventDispatcher.h"
#include "FtpServiceEvents.h"
#include "ReceivedFiles.h"
#include "connectors/CFtpServer.h"

namespace ftpserv {

class FtpListener;

// What CFtpServer is: the event thread and the list of received files, which last for the
// object's life, and the listener of the current run.
class FtpService : private FtpServiceEvents {
 public:
  FtpService();
  FtpService(const FtpService&) = delete;
  FtpService& operator=(const FtpService&) = delete;
  ~FtpService() override;

  bool Start(const std::u16string& root, const std::u16string& user, const std::u16string& password, int32_t port);
  void Stop();
  void SetLimits(const FtpServerLimits& limits);
  uint16_t BoundPort() const;
  EventDispatcher& events() { return dispatcher_; }
  ReceivedFiles& received() { return received_; }

 private:
  // FtpServiceEvents, called on the network thread
  void Log(const std::string& line) override;
  void Stored(const std::filesystem::path& file) override;

  EventDispatcher dispatcher_;
  ReceivedFiles received_;
  mutable std::mutex runMutex_;  // Start, Stop and BoundPort from any thread
  FtpServerLimits limits_;
  std::unique_ptr<FtpListener> listener_;
};

}  // namespace ftpserv
