#include "settings/SettingsStore.h"

#include "platform/ProfileFile.h"
#include "settings/PathHelpers.h"

#include <climits>
#include <cstdlib>
#include <random>
#include <string_view>
#include <utility>

namespace {

struct Key {
  const char* section;
  const char* name;
  const char* defaultValue;
};

// [Directory]
constexpr Key kCurrentDirectory{"Directory", "CurrentDirectory", ""};
constexpr Key kIncludeSubfolders{"Directory", "IncludeSubfolders", ""};
constexpr Key kDeleteFiles{"Directory", "DeleteFiles", ""};
constexpr Key kDeleteTempFolders{"Directory", "DeleteTempFolders", "0"};
constexpr Key kListMode{"Directory", "ListMode", "0"};
// [General]
constexpr Key kMode{"General", "Mode", "0"};
constexpr Key kUIMode{"General", "UIMode", "0"};
constexpr Key kAlwaysShowUI{"General", "AlwaysShowUI", "1"};
constexpr Key kDisableUI{"General", "DisableUI", "0"};
constexpr Key kForcePixelTypeToCapability{"General", "ForcePixelTypeToCapability", "0"};
constexpr Key kFixResolution{"General", "FixResolution", "0"};
constexpr Key kPDFRenderResolution{"General", "PDFRenderResolution", "200"};
constexpr Key kIniVersion{"General", "IniVersion", "1"};
// [Scanner]
constexpr Key kResolution{"Scanner", "Resolution", "200"};
constexpr Key kBitDepth{"Scanner", "BitDepth", "1"};
constexpr Key kPaperSize{"Scanner", "PaperSize", "3"};
constexpr Key kDuplex{"Scanner", "Duplex", "0"};
constexpr Key kOrientation{"Scanner", "Orientation", "0"};
constexpr Key kPaperSource{"Scanner", "PaperSource", "0"};
// [FileTransfer]
constexpr Key kDefaultFile{"FileTransfer", "DefaultFile", ""};
constexpr Key kCurrentFile{"FileTransfer", "CurrentFile", ""};
// [ImageProcessing]
constexpr Key kBackgroundDropout{"ImageProcessing", "BackgroundDropout", "0"};
constexpr Key kColorDetection{"ImageProcessing", "ColorDetection", "0"};
constexpr Key kColorDetectionRatio{"ImageProcessing", "ColorDetectionRatio", "0"};
constexpr Key kColorDetectionAmount{"ImageProcessing", "ColorDetectionAmount", "0"};
constexpr Key kThreshold{"ImageProcessing", "Threshold", "0"};
constexpr Key kThresholdMethod{"ImageProcessing", "ThresholdMethod", "0"};
constexpr Key kThresholdBoxSize{"ImageProcessing", "ThresholdBoxSize", "32"};
constexpr Key kThresholdGlobalLocalBalance{"ImageProcessing", "ThresholdGlobalLocalBalance", "0.5"};
constexpr Key kRotation{"ImageProcessing", "Rotation", "0"};
constexpr Key kMirror{"ImageProcessing", "Mirror", "0"};
constexpr Key kScaleToWidth{"ImageProcessing", "ScaleToWidth", "0"};
constexpr Key kScaleToHeight{"ImageProcessing", "ScaleToHeight", "0"};
// [Logger]
constexpr Key kLoggerEnabled{"Logger", "LoggerEnabled", "0"};
// [DevMode]
constexpr Key kRecycle{"DevMode", "Recycle", "0"};
constexpr Key kPageNumber{"DevMode", "PageNumber", "0"};
// [FtpServer]
constexpr Key kFtpServer{"FtpServer", "FtpServer", ""};
constexpr Key kFtpServerPort{"FtpServer", "FtpServerPort", "888"};
constexpr Key kFtpUser{"FtpServer", "FtpUser", "vs"};
constexpr Key kFtpPassword{"FtpServer", "FtpPassword", ""};  // none built in: see GetFtpPassword
// [MFP]
constexpr Key kMfpName{"MFP", "MfpName", ""};
constexpr Key kMfpNames{"MFP", "MfpNames", ""};
constexpr Key kMfpTemplateName{"MFP", "MfpTemplateName", ""};
constexpr Key kMFPServiceEndPointTemplate{"MFP", "MFPServiceEndPointTemplate", ""};
constexpr Key kLastMfpName{"MFP", "LastMfpName", ""};
constexpr Key kLastMfpTemplateName{"MFP", "LastMfpTemplateName", ""};
constexpr Key kLastMfpTemplateChecksum{"MFP", "LastMfpTemplateChecksum", "0"};
// [RemoteScan]
constexpr Key kRemoteHost{"RemoteScan", "RemoteHost", ""};
constexpr Key kRemoteScanScanner{"RemoteScan", "Scanner", ""};
// [ProcessingManager]
constexpr Key kProcessingMode{"ProcessingManager", "ProcessingMode", "0"};
constexpr Key kProcessingModeTimeout{"ProcessingManager", "ProcessingModeTimeout", "0"};
constexpr Key kXeroxStopMarkerEnable{"ProcessingManager", "XeroxStopMarkerEnable", "1"};

// Leading blanks and a sign are taken, reading stops at the first non-digit; text that does not
// start with a number reads 0. Values beyond the int range are clamped instead of wrapping.
int ParseInt(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double ParseDouble(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The four boolean readings differ on purpose: each key keeps the reading it always had, and
// existing settings files depend on it.
bool FirstCharNotZero(const std::string& text) { return text.empty() || text.front() != '0'; }
bool EqualsOne(const std::string& text) { return text == "1"; }
bool NotExactlyZero(const std::string& text) { return text != "0"; }

const char* BoolText(bool value) { return value ? "1" : "0"; }

}  // namespace

SettingsStore::SettingsStore(std::string settingsFile, std::string logFile, std::string logConfigFile,
                             std::string fileListFile)
    : settingsFile_(std::move(settingsFile)),
      logFile_(std::move(logFile)),
      logConfigFile_(std::move(logConfigFile)),
      fileListFile_(std::move(fileListFile)) {}

std::string SettingsStore::ReadString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) const {
  return platform::GetPrivateProfileString(section, key, defaultValue, settingsFile_);
}

bool SettingsStore::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
  return platform::WritePrivateProfileString(section, key, value, settingsFile_);
}

namespace {

std::string Read(const SettingsStore& store, const Key& key) {
  return store.ReadString(key.section, key.name, key.defaultValue);
}
bool Write(const SettingsStore& store, const Key& key, const std::string& value) {
  return store.WriteString(key.section, key.name, value);
}
int ReadInt(const SettingsStore& store, const Key& key) { return ParseInt(Read(store, key)); }
bool WriteInt(const SettingsStore& store, const Key& key, int value) {
  return Write(store, key, std::to_string(value));
}
bool WriteBool(const SettingsStore& store, const Key& key, bool value) { return Write(store, key, BoolText(value)); }

}  // namespace

// [Directory]
std::string SettingsStore::GetCurrentDirectory() const { return Read(*this, kCurrentDirectory); }
bool SettingsStore::SetCurrentDirectory(const std::string& value) const {
  return Write(*this, kCurrentDirectory, value);
}
std::string SettingsStore::GetExpandedCurrentDirectory() const { return ExpandPathTemplate(GetCurrentDirectory()); }
bool SettingsStore::GetIncludeSubfolders() const { return FirstCharNotZero(Read(*this, kIncludeSubfolders)); }
bool SettingsStore::SetIncludeSubfolders(bool value) const { return WriteBool(*this, kIncludeSubfolders, value); }
bool SettingsStore::GetDeleteFiles() const { return FirstCharNotZero(Read(*this, kDeleteFiles)); }
bool SettingsStore::SetDeleteFiles(bool value) const { return WriteBool(*this, kDeleteFiles, value); }
bool SettingsStore::GetDeleteTempFolders() const { return EqualsOne(Read(*this, kDeleteTempFolders)); }
int SettingsStore::GetListMode() const { return ReadInt(*this, kListMode); }
bool SettingsStore::SetListMode(int value) const { return WriteInt(*this, kListMode, value); }

// [General]
int SettingsStore::GetMode() const { return ReadInt(*this, kMode); }
bool SettingsStore::SetMode(int value) const { return WriteInt(*this, kMode, value); }
int SettingsStore::GetUIMode() const {
  const int value = ReadInt(*this, kUIMode);
  return value == 0 ? 8 : value;
}
bool SettingsStore::GetAlwaysShowUI() const { return FirstCharNotZero(Read(*this, kAlwaysShowUI)); }
bool SettingsStore::SetAlwaysShowUI(bool value) const { return WriteBool(*this, kAlwaysShowUI, value); }
bool SettingsStore::GetDisableUI() const { return FirstCharNotZero(Read(*this, kDisableUI)); }
bool SettingsStore::GetForcePixelTypeToCapability() const {
  return FirstCharNotZero(Read(*this, kForcePixelTypeToCapability));
}
bool SettingsStore::SetForcePixelTypeToCapability(bool value) const {
  return WriteBool(*this, kForcePixelTypeToCapability, value);
}
bool SettingsStore::GetFixResolution() const { return FirstCharNotZero(Read(*this, kFixResolution)); }
int SettingsStore::GetPDFRenderResolution() const { return ReadInt(*this, kPDFRenderResolution); }
int SettingsStore::GetIniVersion() const { return ReadInt(*this, kIniVersion); }

// [Scanner]
int SettingsStore::GetResolution() const { return ReadInt(*this, kResolution); }
bool SettingsStore::SetResolution(int value) const { return WriteInt(*this, kResolution, value); }
int SettingsStore::GetBitDepth() const { return ReadInt(*this, kBitDepth); }
bool SettingsStore::SetBitDepth(int value) const { return WriteInt(*this, kBitDepth, value); }
int SettingsStore::GetPaperSize() const { return ReadInt(*this, kPaperSize); }
bool SettingsStore::SetPaperSize(int value) const { return WriteInt(*this, kPaperSize, value); }
bool SettingsStore::GetDuplex() const { return FirstCharNotZero(Read(*this, kDuplex)); }
bool SettingsStore::SetDuplex(bool value) const { return WriteBool(*this, kDuplex, value); }
int SettingsStore::GetOrientation() const { return ReadInt(*this, kOrientation); }
bool SettingsStore::SetOrientation(int value) const { return WriteInt(*this, kOrientation, value); }
bool SettingsStore::GetPaperSource() const { return EqualsOne(Read(*this, kPaperSource)); }
bool SettingsStore::SetPaperSource(bool value) const { return WriteBool(*this, kPaperSource, value); }

// [FileTransfer]
std::string SettingsStore::GetDefaultFile() const { return Read(*this, kDefaultFile); }
std::string SettingsStore::GetCurrentFile() const { return Read(*this, kCurrentFile); }
bool SettingsStore::SetCurrentFile(const std::string& value) const { return Write(*this, kCurrentFile, value); }
bool SettingsStore::ResetCurrentFile() const { return SetCurrentFile(GetDefaultFile()); }

// [ImageProcessing]
int SettingsStore::GetBackgroundDropout() const {
  const int value = ReadInt(*this, kBackgroundDropout);
  return (value == 1 || value == 2) ? value : 0;
}
bool SettingsStore::SetBackgroundDropout(int value) const { return WriteInt(*this, kBackgroundDropout, value); }
bool SettingsStore::GetColorDetection() const { return FirstCharNotZero(Read(*this, kColorDetection)); }
bool SettingsStore::SetColorDetection(bool value) const { return WriteBool(*this, kColorDetection, value); }
int SettingsStore::GetColorDetectionRatio() const { return ReadInt(*this, kColorDetectionRatio); }
int SettingsStore::GetColorDetectionAmount() const { return ReadInt(*this, kColorDetectionAmount); }
bool SettingsStore::GetThreshold() const { return FirstCharNotZero(Read(*this, kThreshold)); }
bool SettingsStore::SetThreshold(bool value) const { return WriteBool(*this, kThreshold, value); }
int SettingsStore::GetThresholdMethod() const { return ReadInt(*this, kThresholdMethod); }
int SettingsStore::GetThresholdBoxSize() const { return ReadInt(*this, kThresholdBoxSize); }
double SettingsStore::GetThresholdGlobalLocalBalance() const {
  return ParseDouble(Read(*this, kThresholdGlobalLocalBalance));
}
int SettingsStore::GetRotation() const { return ReadInt(*this, kRotation); }
bool SettingsStore::SetRotation(int value) const { return WriteInt(*this, kRotation, value); }
bool SettingsStore::GetMirror() const { return FirstCharNotZero(Read(*this, kMirror)); }
bool SettingsStore::SetMirror(bool value) const { return WriteBool(*this, kMirror, value); }
int SettingsStore::GetScaleToWidth() const { return ReadInt(*this, kScaleToWidth); }
int SettingsStore::GetScaleToHeight() const { return ReadInt(*this, kScaleToHeight); }

// [Logger]
bool SettingsStore::GetLoggerEnabled() const { return NotExactlyZero(Read(*this, kLoggerEnabled)); }
bool SettingsStore::SetLoggerEnabled(bool value) const { return WriteBool(*this, kLoggerEnabled, value); }

// [DevMode]
bool SettingsStore::GetRecycle() const { return FirstCharNotZero(Read(*this, kRecycle)); }
bool SettingsStore::SetRecycle(bool value) const { return WriteBool(*this, kRecycle, value); }
int SettingsStore::GetPageNumber() const { return ReadInt(*this, kPageNumber); }
bool SettingsStore::SetPageNumber(int value) const { return WriteInt(*this, kPageNumber, value); }

// [FtpServer]
std::string SettingsStore::GetFtpServerHost() const { return Read(*this, kFtpServer); }
int SettingsStore::GetFtpServerPort() const { return ReadInt(*this, kFtpServerPort); }
std::string SettingsStore::GetFtpUser() const { return Read(*this, kFtpUser); }
std::string SettingsStore::GetFtpPassword() const {
  // No stored value can hold a line break: this default means "nothing stored".
  constexpr const char* kAbsent = "\n";
  // Two threads reading at once must not make two passwords.
  const std::lock_guard lock(unsavedPassword_->mutex);
  std::string password = ReadString(kFtpPassword.section, kFtpPassword.name, kAbsent);
  if (password != kAbsent) return password;
  if (!unsavedPassword_->value.empty()) return unsavedPassword_->value;
  // A built-in password would be the same on every installation, and the server listens on
  // every interface: each installation makes its own, once.
  password = MakeFtpPassword();
  if (!Write(*this, kFtpPassword, password)) unsavedPassword_->value = password;
  return password;
}

std::string SettingsStore::MakeFtpPassword() {
  // Letters and digits only: every MFP panel can type them.
  static constexpr std::string_view kAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
  std::random_device entropy;
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string password(12, ' ');
  for (char& c : password) c = kAlphabet[pick(entropy)];
  return password;
}
std::string SettingsStore::GetFtpServerAddress() const {
  std::string host = GetFtpServerHost();
  if (host.empty()) host = GetLocalIpAddress();
  return host + ":" + std::to_string(GetFtpServerPort());
}

// [MFP]
std::string SettingsStore::GetMfpName() const { return Read(*this, kMfpName); }
bool SettingsStore::SetMfpName(const std::string& value) const { return Write(*this, kMfpName, value); }
std::string SettingsStore::GetMfpNamesValue() const { return Read(*this, kMfpNames); }
std::vector<std::string> SettingsStore::GetMfpNames() const {
  const std::string value = GetMfpNamesValue();
  std::vector<std::string> names;
  if (value.empty()) return names;
  std::string::size_type start = 0;
  for (;;) {
    const auto separator = value.find(';', start);
    if (separator == std::string::npos) {
      names.push_back(value.substr(start));
      return names;
    }
    names.push_back(value.substr(start, separator - start));
    start = separator + 1;
  }
}
std::string SettingsStore::GetMfpTemplateName() const { return Read(*this, kMfpTemplateName); }
std::string SettingsStore::GetMFPServiceEndPointTemplate() const { return Read(*this, kMFPServiceEndPointTemplate); }
bool SettingsStore::SetMFPServiceEndPointTemplate(const std::string& value) const {
  return Write(*this, kMFPServiceEndPointTemplate, value);
}
bool SettingsStore::SetLastMfpName(const std::string& value) const { return Write(*this, kLastMfpName, value); }
bool SettingsStore::SetLastMfpTemplateName(const std::string& value) const {
  return Write(*this, kLastMfpTemplateName, value);
}
bool SettingsStore::SetLastMfpTemplateChecksum(int value) const {
  return WriteInt(*this, kLastMfpTemplateChecksum, value);
}

// [RemoteScan]
std::string SettingsStore::GetRemoteHost() const { return Read(*this, kRemoteHost); }
bool SettingsStore::SetRemoteHost(const std::string& value) const { return Write(*this, kRemoteHost, value); }
std::string SettingsStore::GetRemoteScanScanner() const { return Read(*this, kRemoteScanScanner); }
bool SettingsStore::SetRemoteScanScanner(const std::string& value) const {
  return Write(*this, kRemoteScanScanner, value);
}

// [ProcessingManager]
int SettingsStore::GetProcessingMode() const { return ReadInt(*this, kProcessingMode); }
int SettingsStore::GetProcessingModeTimeout() const { return ReadInt(*this, kProcessingModeTimeout); }
bool SettingsStore::GetXeroxStopMarkerEnable() const { return EqualsOne(Read(*this, kXeroxStopMarkerEnable)); }
bool SettingsStore::SetXeroxStopMarkerEnable(bool value) const {
  return WriteBool(*this, kXeroxStopMarkerEnable, value);
}
