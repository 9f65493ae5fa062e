#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

// Message numbers the data source's window understands, with their Windows values.
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_USER = 0x0400;

// One message: for WM_TIMER, wParam is the timer's id; for WM_COMMAND, the command id.
struct WindowMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// A window without pixels: a thread with a message queue. Posted messages, commands and timer
// messages are handled one at a time on that thread, in the order they were posted; a timer
// message comes only when nothing else is waiting, as on Windows.
//
// Timers follow SetTimer/KillTimer: a timer fires every `elapseMs` until it is killed, at most
// one message per timer waits in the queue, and killing a timer does not take back a message
// that is already queued, so the handler may still see the id of a timer that no longer runs.
//
// Every member may be called from any thread, the window's own included. The window stops when
// Stop() is called or the object dies; the thread then ends after the message it is handling.
// The destructor waits for the thread unless it runs on that thread itself (a handler that
// destroys its own window): then the thread is left to finish on its own.
class MessageWindow {
 public:
  using Handler = std::function<void(const WindowMessage&)>;

  // The thread is started in Create(); nothing runs before.
  explicit MessageWindow(Handler handler);
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;
  ~MessageWindow();

  // Starts the window's thread; false when the thread cannot be started or Create() ran before.
  bool Create();

  // Queues a message for the handler; false once the window has stopped (or never started).
  bool Post(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  // Queues a command that runs on the window's thread in turn with the messages.
  bool Run(std::function<void()> command);

  // Starts, or restarts with a new period, the timer `id`. Returns `id`, or 0 when `id` is 0,
  // `elapseMs` is 0 or the window has stopped.
  std::uintptr_t SetTimer(std::uintptr_t id, std::uint32_t elapseMs);
  // Stops timer `id`; false when no such timer runs. A message it queued earlier stays queued.
  bool KillTimer(std::uintptr_t id);

  // While held (the calls nest), timer messages stay queued and other messages still flow;
  // the last Release delivers what was held back.
  void HoldTimerMessages();
  void ReleaseTimerMessages();

  // No message is handled after the current one; returns at once, never waits for the thread.
  void Stop();
  bool IsStopped() const;
  // True on the window's thread.
  bool IsWindowThread() const;
  // True once the thread has ended (or never started).
  bool HasEnded() const;
  // Waits for the thread to end; false on the window's own thread, which cannot wait for itself.
  bool Join();

 private:
  struct Shared;  // queue, timers and flags; shared with the thread, which may outlive this object
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace platform
