#include "network/AsyncCancelDialog.h"

#include <utility>

namespace {

// Without a display nothing is drawn: the dialog is active as soon as it opens.
class UndrawnView final : public AsyncCancelDialog::View {
 public:
  bool Open(AsyncCancelDialog& dialog) override {
    dialog.Activated();
    return true;
  }
  void Close() override {}
};

}  // namespace

AsyncCancelDialog::AsyncCancelDialog(std::function<void()> onCancel)
    : onCancel_(std::move(onCancel)), view_(std::make_unique<UndrawnView>()) {}

AsyncCancelDialog::~AsyncCancelDialog() { End(); }

void AsyncCancelDialog::SetView(std::unique_ptr<View> view) {
  view_ = view ? std::move(view) : std::make_unique<UndrawnView>();
}

void AsyncCancelDialog::Show() {
  End();
  const std::lock_guard lock(mutex_);
  ready_.Reset();
  quit_.Reset();
  thread_ = platform::Thread([this] { Run(); });
}

std::uint32_t AsyncCancelDialog::WaitUntilShown() const {
  if (!IsShown()) return platform::WAIT_FAILED;
  return ready_.Wait(platform::INFINITE);
}

void AsyncCancelDialog::End() {
  // The dialog's thread never takes the lock, so it can be joined under it.
  const std::lock_guard lock(mutex_);
  if (!thread_.IsStarted()) return;
  quit_.Set();
  thread_.Join();
  thread_ = platform::Thread();
}

bool AsyncCancelDialog::IsShown() const {
  const std::lock_guard lock(mutex_);
  return thread_.IsStarted();
}

void AsyncCancelDialog::StopWaiting() {
  const std::lock_guard lock(mutex_);
  if (!thread_.IsStarted()) return;
  cancelled_ = true;
  quit_.Set();
}

void AsyncCancelDialog::Run() {
  const bool opened = view_->Open(*this);
  if (!opened) {
    // Nobody could press "Stop waiting" on it, but the wait must not hang on its ready event:
    // it goes on without the dialog, ended by its images, its time-out or the source's close.
    logger_.Error("The wait dialog cannot be shown; the wait goes on without it");
    ready_.Set();
  }
  quit_.Wait(platform::INFINITE);
  if (opened) view_->Close();
  if (cancelled_) onCancel_();
}
