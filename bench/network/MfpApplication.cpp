#include "MfpApplication.h"

#include <cstdlib>

namespace bench {

MfpApplication::MfpApplication(int transferCount) {
  session_.OnNotification([this](TW_UINT16 msg) -> TW_UINT16 {
    if (msg != MSG_XFERREADY) return TWRC_SUCCESS;
    const auto now = Clock::now();  // first: the time the application learns of the page
    {
      const std::lock_guard lock(mutex_);
      ready_.push_back(now);
    }
    readyArrived_.notify_all();
    return TWRC_SUCCESS;
  });
  if (session_.OpenDsm() != TWRC_SUCCESS || session_.OpenSource() != TWRC_SUCCESS) {
    error_ = "cannot open velloran.ds through the test manager";
  } else if (session_.SetOneValue(CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT32>(transferCount)) !=
             TWRC_SUCCESS) {
    error_ = "CAP_XFERCOUNT refused";
  }
}

bool MfpApplication::Enable() {
  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  return session_.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS;
}

bool MfpApplication::Disable() {
  TW_USERINTERFACE ui{};
  return session_.Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) == TWRC_SUCCESS;
}

std::optional<MfpApplication::Clock::time_point> MfpApplication::WaitForXferReady(std::size_t number,
                                                                                  std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!readyArrived_.wait_for(lock, timeout, [&] { return ready_.size() >= number; })) return std::nullopt;
  return ready_[number - 1];
}

int MfpApplication::TransferBatch() {
  int pages = 0;
  for (;;) {
    TW_HANDLE handle = nullptr;
    const bool done = session_.Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) == TWRC_XFERDONE;
    std::free(handle);
    if (!done) return -1;
    ++pages;
    TW_PENDINGXFERS pending{};
    if (session_.Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) return -1;
    if (pending.Count == 0) return pages;
  }
}

}  // namespace bench
