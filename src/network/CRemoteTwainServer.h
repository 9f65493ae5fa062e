#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connectors/CSSConnectorEvents.h"
#include "connectors/IServer.h"
#include "logging/Logger.h"
#include "platform/Sync.h"

class CSSConnector;
class SettingsStore;

// The remote scanner behind the FTP server's interface, so that its pages take the whole
// receive path of an MFP scan. Host and scanner are fixed when it is made; the six scan options
// are read from the settings at every Start. Start, Stop, Subscribe and the destructor run on
// the application's thread; the connector's events come on its scan thread and are passed on
// to the sink from an event thread of this object's own. The sink may wait for locks that the
// application's thread holds while it starts or replaces the connector, and replacing it waits
// for the scan thread, so the scan thread never waits for the sink. GetReceivedFiles may come
// from any thread.
class CRemoteTwainServer final : public IServer, public CSSConnectorEvents {
 public:
  CRemoteTwainServer(std::string remoteHost, std::string scanner, const SettingsStore& settings);
  CRemoteTwainServer(const CRemoteTwainServer&) = delete;
  CRemoteTwainServer& operator=(const CRemoteTwainServer&) = delete;

  // A new connector (the previous one goes, with a scan it still runs) that scans into root;
  // user, password and port belong to the FTP server and are not used.
  bool Start(const std::u16string& root, const std::u16string& user, const std::u16string& password,
             int32_t port) override;
  // A running remote scan is not interrupted: its pages are collected later.
  void Stop() override;
  void Subscribe(CFtpServerEvents* sink) override;
  void Unsubscribe() override;
  void GetReceivedFiles(std::vector<std::string>& files) override;
  ~CRemoteTwainServer() override;

  void OnConnectorMessage(const std::string& message) override;
  void OnReceivedFile(const std::string& file) override;
  void OnScanFinished() override;

 private:
  enum class Event { FileReceived, ScanFinished };
  // The event thread: passes the queued events on to the sink, without the lock.
  void DeliverEvents();

  const std::string remoteHost_;
  const std::string scanner_;
  const SettingsStore& settings_;
  std::unique_ptr<CSSConnector> connector_;
  std::mutex mutex_;  // guards the sink, the received files and the event queue
  std::condition_variable eventQueued_;
  CFtpServerEvents* sink_ = nullptr;
  std::vector<std::string> received_;
  std::deque<std::pair<Event, std::string>> events_;
  bool stopping_ = false;
  platform::Thread eventThread_;  // last: started when everything it uses exists
  Logger logger_{"RemoteTwainServer", "RemoteTwainServer"};
};
