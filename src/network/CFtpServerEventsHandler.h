#pragma once

#include <string>

#include "connectors/CFtpServerEvents.h"
#include "logging/Logger.h"

class NetworkArrivals;

// The data source's sink for the FTP server's events: log lines go to the "FtpServer" logger,
// and every file or transfer event just asks the data source to collect what has arrived.
// Called on the server's event thread; `target` must outlive the subscription.
class CFtpServerEventsHandler final : public CFtpServerEvents {
 public:
  explicit CFtpServerEventsHandler(NetworkArrivals& target) : target_(target) {}

  void OnServerMessage(const std::u16string& message) override;
  void OnFileReceived(const std::u16string& file) override;
  void OnTransferFinished() override;

 private:
  NetworkArrivals& target_;
  Logger logger_{"FtpServer", "FtpServerEventsHandler"};
};
