#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "connectors/CSSConnectorEvents.h"
#include "logging/Logger.h"

class CSSConnector;
class SettingsStore;

// What the remote scanner page shows: the scanners of the host and what the current one
// supports, asked through a connector of its own. Used on one thread.
class RemoteScannerSettings : public CSSConnectorEvents {
 public:
  explicit RemoteScannerSettings(const std::string& remoteHost);
  RemoteScannerSettings(const RemoteScannerSettings&) = delete;
  RemoteScannerSettings& operator=(const RemoteScannerSettings&) = delete;

  void OnConnectorMessage(const std::string& message) override;
  void OnReceivedFile(const std::string& file) override;
  void OnScanFinished() override;
  ~RemoteScannerSettings() override;

  virtual bool CheckConnection();
  virtual void GetSupportedColorFormats(std::vector<int32_t>& values);
  virtual void GetSupportedPaperSources(std::vector<int32_t>& values);
  virtual void GetSupportedResolutions(std::vector<int32_t>& values);
  virtual void GetSupportedOrientations(std::vector<int32_t>& values);
  virtual void GetSupportedSimplexDuplex(std::vector<int32_t>& values);
  virtual void GetSupportedPaperSizes(std::vector<int32_t>& values);

  void GetAvailableScanners(std::map<int, std::string>& scanners);
  void SetCurrentScanner(const std::string& name) { scanner_ = name; }
  CSSConnector* Connector() { return connector_.get(); }

 private:
  Logger logger_{"SettingsFromService", "RemoteScannerSettings"};
  std::unique_ptr<CSSConnector> connector_;
  std::string scanner_;
};

// One option list of the page: values with their labels, the one selected, and whether the
// user may choose (two entries or more).
struct RemoteOptionList {
  std::string key;  // section Scanner
  std::vector<int32_t> values;
  std::vector<std::string> labels;
  int selected = -1;
  bool enabled = false;
};

// The page's connection procedure without the page: a connector for RemoteHost; on no
// connection, the connection error (logged; `connected` false, lists empty). Otherwise the
// scanners, the first stored as Scanner when none is, the stored one made current, and the six
// lists labelled with the stored values selected.
struct RemoteScanPage {
  bool connected = false;
  std::map<int, std::string> scanners;
  std::vector<RemoteOptionList> lists;
};
RemoteScanPage LoadRemoteScanPage(const SettingsStore& settings, RemoteScannerSettings& service);

// The six lists for the service's current scanner, labelled, with the stored values selected.
std::vector<RemoteOptionList> LoadRemoteOptionLists(const SettingsStore& settings, RemoteScannerSettings& service);
// Another scanner chosen on the page: stored as Scanner, made current, and its lists.
std::vector<RemoteOptionList> ChooseRemoteScanner(const SettingsStore& settings, RemoteScannerSettings& service,
                                                  const std::string& name);
// An entry of `list` chosen by its label: the first value with that label is selected and
// stored in the list's key. False, with nothing stored, for a label the list does not have.
bool ChooseRemoteOption(const SettingsStore& settings, RemoteOptionList& list, const std::string& label);
