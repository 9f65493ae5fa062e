#pragma once

#include <string>

// The sink of the remote scanner connector's events. The connector calls it on its scan
// thread, one call at a time. The sink is owned by the caller and must stay alive until it
// has unsubscribed.
class CSSConnectorEvents {
 public:
  // A text for the log: what went wrong with the service or the scanner.
  virtual void OnConnectorMessage(const std::string& message) = 0;
  // A scanned page (or the end marker) is complete in the target folder (full path).
  virtual void OnReceivedFile(const std::string& file) = 0;
  // No more files of this scan will come.
  virtual void OnScanFinished() = 0;
  virtual ~CSSConnectorEvents() = default;
};
