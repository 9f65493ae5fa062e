#include "network/RemoteScannerSettings.h"

#include <algorithm>

#include "connectors/CSSConnector.h"
#include "network/RemoteScanCredentials.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"

RemoteScannerSettings::RemoteScannerSettings(const std::string& remoteHost)
    : connector_(std::make_unique<CSSConnector>(remoteHost)) {
  connector_->Subscribe(this);
}

RemoteScannerSettings::~RemoteScannerSettings() {
  connector_->Unsubscribe();
  connector_.reset();
}

void RemoteScannerSettings::OnConnectorMessage(const std::string& message) { logger_.Error("%s", message); }
void RemoteScannerSettings::OnReceivedFile(const std::string&) { logger_.Fatal("ReceivedFile"); }
void RemoteScannerSettings::OnScanFinished() { logger_.Fatal("ScanFinishedMarker"); }

bool RemoteScannerSettings::CheckConnection() { return connector_ && connector_->CheckConnection(); }

void RemoteScannerSettings::GetAvailableScanners(std::map<int, std::string>& scanners) {
  std::vector<std::string> names;
  connector_->GetAvailableScanners(names);
  for (size_t i = 0; i < names.size(); ++i) scanners[int(i)] = names[i];
}

void RemoteScannerSettings::GetSupportedColorFormats(std::vector<int32_t>& v) { connector_->GetSupportedColorFormats(scanner_, v); }
void RemoteScannerSettings::GetSupportedPaperSources(std::vector<int32_t>& v) { connector_->GetSupportedPaperSources(scanner_, v); }
void RemoteScannerSettings::GetSupportedResolutions(std::vector<int32_t>& v) { connector_->GetSupportedResolutions(scanner_, v); }
void RemoteScannerSettings::GetSupportedOrientations(std::vector<int32_t>& v) { connector_->GetSupportedOrientations(scanner_, v); }
void RemoteScannerSettings::GetSupportedSimplexDuplex(std::vector<int32_t>& v) { connector_->GetSupportedSimplexDuplex(scanner_, v); }
void RemoteScannerSettings::GetSupportedPaperSizes(std::vector<int32_t>& v) { connector_->GetSupportedPaperSizes(scanner_, v); }

namespace {

std::string Label(const std::string& key, int32_t value) {
  if (key == "Resolution") return std::to_string(value) + " DPI";
  if (key == "BitDepth") return value == 1 ? "Black/White" : value == 8 ? "Gray" : value == 24 ? "Color" : "";
  if (key == "PaperSource") return value == 0 ? "Flat Bed" : value == 1 ? "ADF" : "";
  if (key == "Orientation") return value == 0 ? "Portrait" : value == 3 ? "Landscape" : "";
  if (key == "Duplex") return value == 0 ? "Simplex" : value == 1 ? "Duplex" : "";
  return value == 0 ? "None" : value == 1 ? "A4" : value == 3 ? "Letter" : "";
}

int StoredValue(const SettingsStore& settings, const std::string& key) {
  if (key == "BitDepth") return settings.GetBitDepth();
  if (key == "PaperSource") return settings.GetPaperSource() ? 1 : 0;
  if (key == "Resolution") return settings.GetResolution();
  if (key == "Orientation") return settings.GetOrientation();
  if (key == "Duplex") return settings.GetDuplex() ? 1 : 0;
  return settings.GetPaperSize();
}

void StoreValue(const SettingsStore& settings, const std::string& key, int32_t value) {
  if (key == "BitDepth") settings.SetBitDepth(value);
  else if (key == "PaperSource") settings.SetPaperSource(value == 1);
  else if (key == "Resolution") settings.SetResolution(value);
  else if (key == "Orientation") settings.SetOrientation(value);
  else if (key == "Duplex") settings.SetDuplex(value == 1);
  else settings.SetPaperSize(value);
}

}  // namespace

std::vector<RemoteOptionList> LoadRemoteOptionLists(const SettingsStore& settings, RemoteScannerSettings& service) {
  const std::pair<const char*, void (RemoteScannerSettings::*)(std::vector<int32_t>&)> lists[] = {
      {"BitDepth", &RemoteScannerSettings::GetSupportedColorFormats},
      {"PaperSource", &RemoteScannerSettings::GetSupportedPaperSources},
      {"Resolution", &RemoteScannerSettings::GetSupportedResolutions},
      {"Orientation", &RemoteScannerSettings::GetSupportedOrientations},
      {"Duplex", &RemoteScannerSettings::GetSupportedSimplexDuplex},
      {"PaperSize", &RemoteScannerSettings::GetSupportedPaperSizes}};
  std::vector<RemoteOptionList> result;
  for (const auto& [key, get] : lists) {
    RemoteOptionList list;
    list.key = key;
    (service.*get)(list.values);
    const int stored = StoredValue(settings, key);
    for (size_t i = 0; i < list.values.size(); ++i) {
      list.labels.push_back(Label(key, list.values[i]));
      if (list.values[i] == stored) list.selected = int(i);
    }
    list.enabled = list.values.size() >= 2;
    result.push_back(std::move(list));
  }
  return result;
}

RemoteScanPage LoadRemoteScanPage(const SettingsStore& settings, RemoteScannerSettings& service) {
  RemoteScanPage page;
  if (service.Connector()) ApplyRemoteScanCredentials(settings, *service.Connector());
  if (!service.CheckConnection()) {
    Logger("RemoteScanSettingsTab", "RemoteScanSettingsTab").Error("%s", LoadResourceString(154));
    return page;
  }
  page.connected = true;
  service.GetAvailableScanners(page.scanners);
  if (settings.GetRemoteScanScanner().empty() && !page.scanners.empty())
    settings.SetRemoteScanScanner(page.scanners.begin()->second);
  service.SetCurrentScanner(settings.GetRemoteScanScanner());
  page.lists = LoadRemoteOptionLists(settings, service);
  return page;
}

std::vector<RemoteOptionList> ChooseRemoteScanner(const SettingsStore& settings, RemoteScannerSettings& service,
                                                  const std::string& name) {
  settings.SetRemoteScanScanner(name);
  service.SetCurrentScanner(name);
  return LoadRemoteOptionLists(settings, service);
}

bool ChooseRemoteOption(const SettingsStore& settings, RemoteOptionList& list, const std::string& label) {
  const auto chosen = std::find(list.labels.begin(), list.labels.end(), label);
  if (chosen == list.labels.end()) return false;
  list.selected = int(chosen - list.labels.begin());
  StoreValue(settings, list.key, list.values[size_t(list.selected)]);
  return true;
}
