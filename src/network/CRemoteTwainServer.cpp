#include "network/CRemoteTwainServer.h"

#include "connectors/CFtpServerEvents.h"
#include "connectors/CSSConnector.h"
#include "network/RemoteScanCredentials.h"
#include "platform/StringConversion.h"
#include "settings/SettingsStore.h"

CRemoteTwainServer::CRemoteTwainServer(std::string remoteHost, std::string scanner, const SettingsStore& settings)
    : remoteHost_(std::move(remoteHost)), scanner_(std::move(scanner)), settings_(settings) {}

CRemoteTwainServer::~CRemoteTwainServer() {
  if (!connector_) return;
  connector_->Unsubscribe();
  connector_.reset();
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
  CFtpServerEvents* sink = nullptr;
  {
    const std::lock_guard lock(mutex_);
    received_.push_back(file);
    sink = sink_;
  }
  // Without the lock: the sink collects through GetReceivedFiles.
  if (sink) sink->OnFileReceived(platform::FileNameToWide(file));
}

void CRemoteTwainServer::OnScanFinished() {
  CFtpServerEvents* sink = nullptr;
  {
    const std::lock_guard lock(mutex_);
    sink = sink_;
  }
  if (sink) sink->OnTransferFinished();
}
