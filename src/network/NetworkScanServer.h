#pragma once

#include <memory>
#include <string>
#include <vector>

#include "logging/Logger.h"
#include "network/ScanFolders.h"

class CFtpServerEventsHandler;
class IServer;
class NetworkArrivals;
class SettingsStore;

// The server that receives a network scan's files, with its event sink and its scan folders.
// The server object is made at the first start (which server the scan mode says) and kept, so
// later scans restart it on their new folder. Used on the application's thread; the sink calls
// `arrivals` on the server's event thread.
class NetworkScanServer {
 public:
  explicit NetworkScanServer(NetworkArrivals& arrivals);
  NetworkScanServer(const NetworkScanServer&) = delete;
  NetworkScanServer& operator=(const NetworkScanServer&) = delete;
  ~NetworkScanServer();

  // A new scan folder, then the server started on it with the settings' user, password and
  // port; false when the server cannot serve (the log says why).
  bool Start(const SettingsStore& settings);
  // Stops the server (the object stays) and deletes the scan folder when its flag says so.
  void Stop();
  // Stop, then the server and after it the sink are destroyed. No event arrives afterwards; the
  // caller must not hold a lock the sink's target waits for.
  void Release();
  // Appends the files stored since the previous call, in the order their uploads completed.
  void CollectReceivedFiles(std::vector<std::string>& files);

 private:
  // The one place that chooses the server for the settings' scan mode; nullptr when that
  // source is not available.
  std::unique_ptr<IServer> MakeServer(const SettingsStore& settings) const;

  NetworkArrivals& arrivals_;
  ScanFolders folders_;
  std::unique_ptr<CFtpServerEventsHandler> sink_;
  std::unique_ptr<IServer> server_;  // declared after the sink: destroyed before it
  Logger logger_{"Velloran", "Velloran"};
};
