#pragma once

#include <atomic>

#include "network/AsyncCancelDialog.h"
#include "platform/Sync.h"

namespace network_test {

// The wait dialog as a display shows it: up at once, with a button the test presses.
class PressableWaitDialog final : public AsyncCancelDialog::View {
 public:
  bool Open(AsyncCancelDialog& dialog) override {
    dialog_ = &dialog;
    dialog.Activated();
    shown_.Set();
    return true;
  }
  void Close() override { dialog_ = nullptr; }
  // Waits for the dialog to come up, then presses "Stop waiting".
  bool PressStopWaiting() {
    if (shown_.Wait(20000) != platform::WAIT_OBJECT_0) return false;
    dialog_.load()->StopWaiting();
    return true;
  }

 private:
  platform::Event shown_{/*manualReset=*/true};
  std::atomic<AsyncCancelDialog*> dialog_{nullptr};
};

}  // namespace network_test
