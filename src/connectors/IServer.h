#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFtpServerEvents;

// A network server that receives scanned files into a folder. The operations are declared in
// the slot order the data source relies on; keep it.
class IServer {
 public:
  // Starts serving root with these credentials on port; true when connections are accepted.
  // May be called again on a running object with a new root: the old service stops first.
  virtual bool Start(const std::u16string& root, const std::u16string& user, const std::u16string& password,
                     int32_t port) = 0;
  // Closes every connection and releases the port before it returns.
  virtual void Stop() = 0;
  // Events go to sink from then on; the sink is borrowed, not owned.
  virtual void Subscribe(CFtpServerEvents* sink) = 0;
  // No event reaches the previous sink after this returns (unless called from inside an event).
  virtual void Unsubscribe() = 0;
  // Appends the full path of every file stored since the previous call, each once, in the order
  // the uploads completed.
  virtual void GetReceivedFiles(std::vector<std::string>& files) = 0;
  virtual ~IServer() = default;
};
