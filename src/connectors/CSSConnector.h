#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSSConnectorEvents;

namespace sanenet {
class ConnectorState;
}

// How long the connector waits for the scanner service before it gives up.
struct SSConnectorTimeouts {
  std::chrono::milliseconds connect{5000};
  // Every reply of the service; the start of a scan and its image data get `scan`, as a
  // scanner may warm up its lamp or pull a sheet first.
  std::chrono::milliseconds reply{10000};
  std::chrono::milliseconds scan{60000};
};

// The connector to a scanner on another computer, shared there by SANE's network daemon
// (saned). `host` is a name or an address with an optional port: "scanhost", "scanhost:6566",
// "[fe80::1]:6566"; the port defaults to 6566. Every call makes its own connection, so any host
// and port work side by side in one process, and nothing process-wide is touched.
//
// The queries and StartScanning block the calling thread for at most the time-outs. A scan
// runs on a thread of the connector: it sets the options, writes each page into the target
// folder as a file, raises OnReceivedFile for each, then for the end marker
// SCANFINISHEDMARKER.MRK, then OnScanFinished, also when the scan failed half way (the pages
// received until then stay). Destroying the connector cancels a running scan and returns
// within a bounded time.
class CSSConnector {
 public:
  explicit CSSConnector(std::string host);
  CSSConnector(const CSSConnector&) = delete;
  CSSConnector& operator=(const CSSConnector&) = delete;
  virtual ~CSSConnector();

  // Events go to sink until Unsubscribe; after Unsubscribe returns no event reaches it (unless
  // it is called from inside an event).
  virtual void Subscribe(CSSConnectorEvents* sink);
  virtual void Unsubscribe();

  // True when the service answers.
  virtual bool CheckConnection();
  // Appends the scanners' names in the service's order; false when the service cannot be asked.
  virtual bool GetAvailableScanners(std::vector<std::string>& scanners);
  // Append what the scanner supports: bit depths 1/8/24; paper sources 0 flat bed, 1 feeder;
  // resolutions in dpi; orientations 0 portrait, 3 landscape; 0 simplex, 1 duplex; paper sizes
  // 0 none, 1 A4, 3 Letter. False when the scanner cannot be asked.
  virtual bool GetSupportedColorFormats(const std::string& scanner, std::vector<int32_t>& values);
  virtual bool GetSupportedPaperSources(const std::string& scanner, std::vector<int32_t>& values);
  virtual bool GetSupportedResolutions(const std::string& scanner, std::vector<int32_t>& values);
  virtual bool GetSupportedOrientations(const std::string& scanner, std::vector<int32_t>& values);
  virtual bool GetSupportedSimplexDuplex(const std::string& scanner, std::vector<int32_t>& values);
  virtual bool GetSupportedPaperSizes(const std::string& scanner, std::vector<int32_t>& values);
  // True when the scanner was opened and the scan has been handed to the connector's thread;
  // false (with OnConnectorMessage saying why) when the service or the scanner cannot be
  // reached, or this connector's previous scan still runs.
  virtual bool StartScanning(const std::string& scanner, const std::string& folder, int32_t bitDepth, int32_t duplex,
                             int32_t orientation, int32_t resolution, int32_t paperSize, int32_t paperSource);

  // The user and password for scanners that the daemon protects (its saned.users list).
  void SetCredentials(const std::string& user, const std::string& password);
  void SetTimeouts(const SSConnectorTimeouts& timeouts);
  // Waits until the running scan (if any) has raised OnScanFinished; false after `timeout`.
  bool WaitForScan(std::chrono::milliseconds timeout);

 private:
  std::shared_ptr<sanenet::ConnectorState> state_;
};
