#include "network/CFtpServerEventsHandler.h"

#include "network/NetworkArrivals.h"
#include "platform/StringConversion.h"

void CFtpServerEventsHandler::OnServerMessage(const std::u16string& message) {
  if (!logger_.IsDebugEnabled()) return;
  try {
    logger_.Debug("%s", platform::WideToNarrow(message));
  } catch (const platform::StringConversionError& error) {
    logger_.Debug("(a server message that is not text: %s)", error.what());
  }
}

void CFtpServerEventsHandler::OnFileReceived(const std::u16string&) { target_.OnNetworkFilesArrived(); }

void CFtpServerEventsHandler::OnTransferFinished() { target_.OnNetworkFilesArrived(); }
