#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "logging/Logger.h"
#include "platform/Sync.h"

// The wait dialog, "FTP Transfer In Progress" with its one button "Stop waiting", shown while
// MSG_ENDXFER waits for network images. The waiting blocks the application's thread, so each
// wait shows the dialog on a thread of its own; the object lives as long as the data source.
//
// The waiting thread calls Show, WaitUntilShown and, when the wait is over for any reason, End.
// "Stop waiting" (StopWaiting, from any thread) sets the cancelled flag and ends the dialog; its
// thread then runs the cancel handler, which the waiting thread sees through its cancel event.
class AsyncCancelDialog {
 public:
  // What puts the dialog on the screen; both calls come on the dialog's thread. Open returns
  // false when the window cannot be created. The view calls Activated each time the window
  // becomes active and StopWaiting when its button is pressed. The caption's close button and
  // Escape do nothing: the dialog ends only by its button or by End.
  class View {
   public:
    virtual ~View() = default;
    virtual bool Open(AsyncCancelDialog& dialog) = 0;
    virtual void Close() = 0;
  };

  // `onCancel` runs on the dialog's thread once a dialog ended by "Stop waiting" is gone.
  explicit AsyncCancelDialog(std::function<void()> onCancel);
  AsyncCancelDialog(const AsyncCancelDialog&) = delete;
  AsyncCancelDialog& operator=(const AsyncCancelDialog&) = delete;
  // Ends a dialog still shown.
  ~AsyncCancelDialog();

  // What draws the dialog from the next Show on; nothing is drawn by default (no display), and
  // the dialog then counts as shown at once. Not while a dialog is shown.
  void SetView(std::unique_ptr<View> view);

  // Start of a wait: the ready event is reset and the dialog's thread started.
  void Show();
  // Blocks until the dialog is on the screen: WAIT_OBJECT_0, or WAIT_FAILED when no dialog was
  // shown. A dialog whose window cannot be created counts as shown, so the wait is not stuck.
  std::uint32_t WaitUntilShown() const;
  // End of a wait, from the waiting thread: the dialog ends with result 0, without touching the
  // cancelled flag, and its thread is joined.
  void End();

  // The "Stop waiting" button. Any thread; nothing when no dialog is shown.
  void StopWaiting();
  // The view's window became active.
  void Activated() { ready_.Set(); }

  // A network scan starts: a "Stop waiting" of an earlier batch no longer counts.
  void ClearCancelled() { cancelled_ = false; }
  bool IsCancelled() const { return cancelled_; }
  bool IsShown() const;

 private:
  // The dialog's thread: shows the dialog, waits for its end, reports a cancel.
  void Run();

  std::function<void()> onCancel_;
  std::unique_ptr<View> view_;
  platform::Event ready_{/*manualReset=*/true};
  platform::Event quit_{/*manualReset=*/true};
  std::atomic<bool> cancelled_{false};
  // Guards the thread object: "Stop waiting" comes from another thread than the wait.
  mutable std::mutex mutex_;
  platform::Thread thread_;
  Logger logger_{"Velloran", "AsyncCancelDialog"};
};
