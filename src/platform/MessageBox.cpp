#include "platform/MessageBox.h"

#include "platform/NeverDestroyed.h"
#include "platform/SystemInfo.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

struct MessageBoxTargets {
  std::mutex mutex;
  MessageBoxPresenter presenter;
  MessageBoxPresenter log;
};

// Never destroyed: a message may still be reported while the process exits. Whoever installs a
// target removes it again.
MessageBoxTargets& Targets() {
  static NeverDestroyed<MessageBoxTargets> targets;
  return targets.Get();
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  MessageBoxPresenter target;
  {
    std::lock_guard lock(Targets().mutex);
    target = Targets().presenter ? Targets().presenter : Targets().log;
  }
  // Called outside the lock: a presenter blocks until the user answers.
  if (target) target(MessageBoxRequest{text, caption, icon});
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  std::lock_guard lock(Targets().mutex);
  return std::exchange(Targets().presenter, std::move(presenter));
}

MessageBoxPresenter SetMessageBoxLog(MessageBoxPresenter writer) {
  std::lock_guard lock(Targets().mutex);
  return std::exchange(Targets().log, std::move(writer));
}

bool HasDisplay() {
  const auto hasValue = [](const char* name) {
    const auto value = EnvironmentVariable(name);
    return value && !value->empty();
  };
  return hasValue("DISPLAY") || hasValue("WAYLAND_DISPLAY");
}

}  // namespace platform
