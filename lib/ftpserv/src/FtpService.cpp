#include "FtpService.h"

#include "FtpListener.h"
#include "platform/StringConversion.h"

namespace ftpserv {

FtpService::FtpService() = default;

// The listener goes first: its connections report to the dispatcher until they are gone.
FtpService::~FtpService() { Stop(); }

bool FtpService::Start(const std::u16string& root, const std::u16string& user, const std::u16string& password,
                       int32_t port) {
  const std::lock_guard lock(runMutex_);
  listener_.reset();
  std::string rootText;
  std::string userText;
  std::string passwordText;
  try {
    rootText = platform::WideToNarrow(root);
    userText = platform::WideToNarrow(user);
    passwordText = platform::WideToNarrow(password);
  } catch (const platform::StringConversionError& error) {
    Log(std::string("FTP server not started: the root, user or password is not valid text: ") + error.what());
    return false;
  }
  if (port < 0 || port > 65535) {
    Log("FTP server not started: port " + std::to_string(port) + " is out of range");
    return false;
  }
  auto folder = RootFolder::Open(rootText);
  if (!folder) {
    Log("FTP server not started: root folder " + rootText + " does not exist");
    return false;
  }
  auto listener = std::make_unique<FtpListener>(FtpServiceConfig{*folder, userText, passwordText, limits_},
                                                 static_cast<FtpServiceEvents&>(*this));
  std::string failure;
  if (!listener->Start(static_cast<uint16_t>(port), failure)) {
    Log("FTP server not started: cannot listen on port " + std::to_string(port) + ": " + failure);
    return false;
  }
  Log("FTP server listening on port " + std::to_string(listener->port()) + ", root folder " + folder->path().string());
  listener_ = std::move(listener);
  return true;
}

void FtpService::Stop() {
  const std::lock_guard lock(runMutex_);
  if (!listener_) return;
  listener_->Stop();
  listener_.reset();
  Log("FTP server stopped");
}

void FtpService::SetLimits(const FtpServerLimits& limits) {
  const std::lock_guard lock(runMutex_);
  limits_ = limits;
}

uint16_t FtpService::BoundPort() const {
  const std::lock_guard lock(runMutex_);
  return listener_ ? listener_->port() : 0;
}

void FtpService::Log(const std::string& line) { dispatcher_.PostMessage(line); }

void FtpService::Stored(const std::filesystem::path& file) {
  received_.Add(file.string());
  dispatcher_.PostFileReceived(file.string());
}

}  // namespace ftpserv
