#pragma once

#include <mutex>
#include <string>

#include "connectors/CSSConnectorEvents.h"

namespace sanenet {

// Carries the scan thread's events to the subscribed sink. Shared between the connector and
// its scan thread, so a scan thread that outlives its connector finds a relay without a sink
// instead of a destroyed object. Events are delivered under the relay's lock: once Detach has
// returned, no event reaches the old sink (a sink may detach from inside an event).
class EventRelay {
 public:
  void Attach(CSSConnectorEvents* sink) {
    const std::lock_guard lock(mutex_);
    sink_ = sink;
  }
  void Detach() { Attach(nullptr); }

  void Message(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (sink_) sink_->OnConnectorMessage(text);
  }
  void File(const std::string& path) {
    const std::lock_guard lock(mutex_);
    if (sink_) sink_->OnReceivedFile(path);
  }
  void Finished() {
    const std::lock_guard lock(mutex_);
    if (sink_) sink_->OnScanFinished();
  }

 private:
  std::recursive_mutex mutex_;
  CSSConnectorEvents* sink_ = nullptr;
};

}  // namespace sanenet
