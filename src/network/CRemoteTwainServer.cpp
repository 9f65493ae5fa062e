#include "network/CRemoteTwainServer.h"

#include "connectors/CFtpServerEvents.h"
#include "connectors/CSSConnector.h"
#include "network/RemoteScanCredentials.h"
#include "platform/StringConversion.h"
#include "settings/SettingsStore.h"

CRemoteTwainServer::CRemoteTwainServer(std::string remoteHost, std::string scanner, const SettingsStore& settings)
    : remoteHost_(std::move(remoteHost)),
      scanner_(std::move(scanner)),
      settings_(settings),
      eventThread_([this] { DeliverEvents(); }) {}

CRemoteTwainServer::~CRemoteTwainServer() {
  if (connector_) {
    connector_->Unsubscribe();
    connector_.reset();
  }
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  eventQueued_.notify_all();
  eventThread_.Join();
}

void CRemoteTwainServer::DeliverEvents() {
  std::unique_lock lock(mutex_);
  for (;;) {
    eventQueued_.wait(lock, [this] { return stopping_ || !events_.empty(); });
    if (stopping_) return;
    const auto [event, file] = std::move(events_.front());
    events_.pop_front();
    CFtpServerEvents* const sink = sink_;
    lock.unlock();
    // Without the lock: the sink collects through GetReceivedFiles.
    if (sink != nullptr && event == Event::FileReceived) sink->OnFileReceived(platform::FileNameToWide(file));
    if (sink != nullptr && event == Event::ScanFinished) sink->OnTransferFinished();
    lock.lock();
  }
}

bool CRemoteTwainServer::Start(const std::u16string& root, const std::u16string&, const std::u16string&, int32_t) {
  if (connector_) connector_->Unsubscribe();
  connector_ = std::make_unique<CSSConnector>(remoteHost_);
  connector_->Subscribe(this);
  ApplyRemoteScanCredentials(settings_, *connector_);
  std::string folder;
  try {
    folder = platform::WideToNarrow(root);
  } catch (const platform::StringConversionError& error) {
    logger_.Error("The scan folder is not valid text: %s", error.what());
    return false;
  }
  return connector_->StartScanning(scanner_, folder, settings_.GetBitDepth(), settings_.GetDuplex() ? 1 : 0,
                                   settings_.GetOrientation(), settings_.GetResolution(), settings_.GetPaperSize(),
                                   settings_.GetPaperSource() ? 1 : 0);
}

void CRemoteTwainServer::Stop() {}

void CRemoteTwainServer::Subscribe(CFtpServerEvents* sink) {
  const std::lock_guard lock(mutex_);
  sink_ = sink;
}

void CRemoteTwainServer::Unsubscribe() {
  const std::lock_guard lock(mutex_);
  sink_ = nullptr;
}

void CRemoteTwainServer::GetReceivedFiles(std::vector<std::string>& files) {
  const std::lock_guard lock(mutex_);
  files.insert(files.end(), received_.begin(), received_.end());
  received_.clear();
}

void CRemoteTwainServer::OnConnectorMessage(const std::string& message) { logger_.Error("%s", message); }

void CRemoteTwainServer::OnReceivedFile(const std::string& file) {
  {
    const std::lock_guard lock(mutex_);
    received_.push_back(file);
    events_.emplace_back(Event::FileReceived, file);
  }
  eventQueued_.notify_one();
}

void CRemoteTwainServer::OnScanFinished() {
  {
    const std::lock_guard lock(mutex_);
    events_.emplace_back(Event::ScanFinished, std::string());
  }
  eventQueued_.notify_one();
}
