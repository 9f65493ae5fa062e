#pragma once

#include <string>

// The sink of the FTP server's events. The server calls it on an event thread of its own, one
// call at a time, never on the thread that serves the network, so a slow sink delays only the
// events behind it, not uploads in progress. The sink is owned by the caller and must outlive
// its subscription.
class CFtpServerEvents {
 public:
  virtual ~CFtpServerEvents() = default;
  // One line for the log: a connection, a login, a transfer or a refusal, with the client's address.
  virtual void OnServerMessage(const std::u16string& message) = 0;
  // A file has been stored under the root folder (full path).
  virtual void OnFileReceived(const std::u16string& file) = 0;
  // An upload has ended; sent after OnFileReceived for the same upload.
  virtual void OnTransferFinished() = 0;
};
