#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "acquisition/ScanSource.h"
#include "logging/Logger.h"
#include "network/NetworkScanServer.h"
#include "network/XeroxConnectorHolder.h"

class NetworkArrivals;
class SettingsStore;

// The pages of a network scan: files that an MFP uploads to the built-in FTP server, or that a
// remote scanner writes, while the batch runs. Which server receives them is the scan mode's
// choice (NetworkScanServer). Used under the data source's session lock; the server's events
// reach `arrivals` on the server's event thread.
class NetworkScanSource final : public ScanSource {
 public:
  NetworkScanSource(NetworkArrivals& arrivals, const SettingsStore& settings);

  // Empties the pending list for the files to come, drops what an earlier scan received but
  // never collected, puts the scan template on a Xerox device when the scan mode says so, and
  // starts the server on a new scan folder. Failed: the user has been told why.
  Start Begin(PendingImagesList& pending) override;
  // While the server runs.
  bool MayReceiveMore() const override { return receiving_; }

  // A new scan folder and the server started on it; false when it cannot serve.
  bool StartServer();
  // Stops the server; its scan folder goes when DeleteTempFolders said so. Safe from any state.
  void StopServer();
  // Stops receiving, then destroys the server and its sink, waiting for the server's event
  // thread: the caller must not hold a lock that an event waits for.
  void Release();

  // Collects the files received since the last call and admits them to `pending`, in the order
  // their uploads completed: a marker file sets the stop marker, a supported image that
  // `accepts` goes in, anything else is dropped.
  void AdmitArrivals(PendingImagesList& pending, const std::function<bool(const std::string& path)>& accepts);

 private:
  const SettingsStore& settings_;
  NetworkScanServer server_;
  XeroxConnectorHolder xerox_;
  // Set by the server's start, cleared by its stop and before it is released, which happens
  // without the session lock; events still on their way then find nothing to do.
  std::atomic<bool> receiving_{false};
  Logger logger_{"Velloran", "Velloran"};
};
