#include "network/NetworkScanServer.h"

#include "connectors/CFtpServer.h"
#include "network/CFtpServerEventsHandler.h"
#include "network/CRemoteTwainServer.h"
#include "platform/StringConversion.h"
#include "settings/ScanMode.h"
#include "settings/SettingsStore.h"

NetworkScanServer::NetworkScanServer(NetworkArrivals& arrivals) : arrivals_(arrivals) {}

NetworkScanServer::~NetworkScanServer() { Release(); }

std::unique_ptr<IServer> NetworkScanServer::MakeServer(const SettingsStore& settings) const {
  if (scan_mode::UsesRemoteScanner(settings.GetMode()))
    return std::make_unique<CRemoteTwainServer>(settings.GetRemoteHost(), settings.GetRemoteScanScanner(), settings);
  return std::make_unique<CFtpServer>();
}

bool NetworkScanServer::Start(const SettingsStore& settings) {
  logger_.Debug("StartFtpServer: Starting FTP Server");
  const std::string folder = folders_.PrepareNext(settings);
  if (!server_) {
    sink_ = std::make_unique<CFtpServerEventsHandler>(arrivals_);
    server_ = MakeServer(settings);
    if (!server_) return false;
    server_->Subscribe(sink_.get());
  }
  const std::string user = settings.GetFtpUser();
  const int port = settings.GetFtpServerPort();
  logger_.Debug("Either FTPServer or SSConnector is going to start with  Folder %s, User %s, Port %d", folder, user,
                port);
  std::u16string wideUser;
  std::u16string widePassword;
  try {
    wideUser = platform::NarrowToWide(user);
    widePassword = platform::NarrowToWide(settings.GetFtpPassword());
  } catch (const platform::StringConversionError& error) {
    // A device could never log in with credentials that are not text.
    logger_.Error("StartFtpServer: the FTP user or password in the settings is not UTF-8 text: %s", error.what());
    return false;
  }
  return server_->Start(platform::FileNameToWide(folder), wideUser, widePassword, port);
}

void NetworkScanServer::Stop() {
  if (server_) server_->Stop();
  folders_.DeleteCurrentIfFlagged();
}

void NetworkScanServer::Release() {
  Stop();
  server_.reset();
  sink_.reset();
}

void NetworkScanServer::CollectReceivedFiles(std::vector<std::string>& files) {
  if (server_) server_->GetReceivedFiles(files);
}
