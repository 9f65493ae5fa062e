#include "PopplerMessages.h"

#include <poppler-global.h>

#include <mutex>

namespace fileformats {
namespace {

thread_local std::string firstMessage;

void KeepMessage(const std::string& message, void*) {
  if (firstMessage.empty()) firstMessage = message;
}

}  // namespace

void CapturePopplerMessages() {
  static std::once_flag installed;
  std::call_once(installed, [] { poppler::set_debug_error_function(KeepMessage, nullptr); });
}

void ClearPopplerMessages() { firstMessage.clear(); }

std::string FirstPopplerMessage() { return firstMessage; }

}  // namespace fileformats
