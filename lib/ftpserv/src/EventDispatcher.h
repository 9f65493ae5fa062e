#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class CFtpServerEvents;

namespace ftpserv {

// Delivers the server's events to the subscribed sink on a thread of its own, in the order they
// were posted, so that the network thread never waits for the sink.
class EventDispatcher {
 public:
  EventDispatcher();
  EventDispatcher(const EventDispatcher&) = delete;
  EventDispatcher& operator=(const EventDispatcher&) = delete;
  // Delivers what is queued, then ends the thread.
  ~EventDispatcher();

  void Subscribe(CFtpServerEvents* sink);
  // Waits for an event being delivered to finish, unless called from inside one.
  void Unsubscribe();

  // Any thread. Log lines beyond a backlog limit are dropped (and counted) so that a stalled sink
  // cannot make the queue grow without bound; file events are never dropped.
  void PostMessage(const std::string& utf8Text);
  // OnFileReceived for the file, then OnTransferFinished.
  void PostFileReceived(const std::string& path);

 private:
  struct Event {
    bool isFile;
    std::string text;
  };

  void Run();
  void Deliver(const Event& event);

  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<Event> queue_;
  size_t queuedMessages_ = 0;
  size_t droppedMessages_ = 0;
  bool stopping_ = false;

  // Guards the sink and the delivery flag; never held while the sink runs, so that a sink may
  // take locks of its own that its subscriber holds while subscribing.
  std::mutex sinkMutex_;
  std::condition_variable deliveryEnded_;
  CFtpServerEvents* sink_ = nullptr;
  bool delivering_ = false;

  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace ftpserv
