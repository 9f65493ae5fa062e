#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Every persistent setting of the data source, read from and written to the user's ini file.
// Nothing is cached: each getter reads the file, each setter writes it at once, so a change made
// by another part of the program, the user interface process or a person editing the file is
// seen by the next read. Getters and setters may be called from any thread; writes of different
// keys from several threads or processes never lose each other.
// Getters return the key's default when the file or the key is absent. Setters are const: the
// store holds only paths, and what they change is the file. A setter returns whether the file
// took the value; when it did not (a value with a line break, a folder that cannot be written),
// the file and the key's old value are as they were.
class SettingsStore {
 public:
  SettingsStore(std::string settingsFile, std::string logFile, std::string logConfigFile, std::string fileListFile);

  const std::string& GetSettingsFilePath() const { return settingsFile_; }
  const std::string& GetLogFilePath() const { return logFile_; }
  const std::string& GetLogConfigFilePath() const { return logConfigFile_; }
  const std::string& GetFileListPath() const { return fileListFile_; }

  // [Directory]
  std::string GetCurrentDirectory() const;  // raw value
  bool SetCurrentDirectory(const std::string& value) const;
  std::string GetExpandedCurrentDirectory() const;  // after ExpandPathTemplate
  bool GetIncludeSubfolders() const;
  bool SetIncludeSubfolders(bool value) const;
  bool GetDeleteFiles() const;
  bool SetDeleteFiles(bool value) const;
  bool GetDeleteTempFolders() const;
  int GetListMode() const;
  bool SetListMode(int value) const;

  // [General]
  int GetMode() const;
  bool SetMode(int value) const;
  int GetUIMode() const;  // 0 or absent reads 8 (the Folder page alone)
  bool GetAlwaysShowUI() const;
  bool SetAlwaysShowUI(bool value) const;
  bool GetDisableUI() const;
  bool GetForcePixelTypeToCapability() const;
  bool SetForcePixelTypeToCapability(bool value) const;
  bool GetFixResolution() const;
  int GetPDFRenderResolution() const;
  int GetIniVersion() const;

  // [Scanner]
  int GetResolution() const;
  bool SetResolution(int value) const;
  int GetBitDepth() const;
  bool SetBitDepth(int value) const;
  int GetPaperSize() const;
  bool SetPaperSize(int value) const;
  bool GetDuplex() const;
  bool SetDuplex(bool value) const;
  int GetOrientation() const;
  bool SetOrientation(int value) const;
  bool GetPaperSource() const;  // false flatbed, true document feeder
  bool SetPaperSource(bool value) const;

  // [FileTransfer]
  std::string GetDefaultFile() const;
  std::string GetCurrentFile() const;
  bool SetCurrentFile(const std::string& value) const;
  bool ResetCurrentFile() const;  // CurrentFile = DefaultFile

  // [ImageProcessing]
  int GetBackgroundDropout() const;  // 1 or 2; any other value reads 0
  bool SetBackgroundDropout(int value) const;
  bool GetColorDetection() const;
  bool SetColorDetection(bool value) const;
  int GetColorDetectionRatio() const;
  int GetColorDetectionAmount() const;
  bool GetThreshold() const;
  bool SetThreshold(bool value) const;
  int GetThresholdMethod() const;
  int GetThresholdBoxSize() const;
  double GetThresholdGlobalLocalBalance() const;
  int GetRotation() const;
  bool SetRotation(int value) const;
  bool GetMirror() const;
  bool SetMirror(bool value) const;
  int GetScaleToWidth() const;
  int GetScaleToHeight() const;

  // [Logger]
  bool GetLoggerEnabled() const;
  bool SetLoggerEnabled(bool value) const;

  // [DevMode]
  bool GetRecycle() const;
  bool SetRecycle(bool value) const;
  int GetPageNumber() const;
  bool SetPageNumber(int value) const;

  // [FtpServer]
  std::string GetFtpServerHost() const;  // key FtpServer; empty means this computer
  int GetFtpServerPort() const;
  std::string GetFtpUser() const;
  // When none is stored, a new random one is made and stored first.
  std::string GetFtpPassword() const;
  // Twelve letters and digits from the system's random source.
  static std::string MakeFtpPassword();
  // The address an MFP uploads to: the FtpServer host (or GetLocalIpAddress() when it is
  // empty), ":" and the port.
  std::string GetFtpServerAddress() const;

  // [MFP]
  std::string GetMfpName() const;
  bool SetMfpName(const std::string& value) const;
  std::string GetMfpNamesValue() const;       // raw value
  std::vector<std::string> GetMfpNames() const;  // split at every ";", empty pieces kept
  std::string GetMfpTemplateName() const;
  std::string GetMFPServiceEndPointTemplate() const;
  bool SetMFPServiceEndPointTemplate(const std::string& value) const;
  bool SetLastMfpName(const std::string& value) const;
  bool SetLastMfpTemplateName(const std::string& value) const;
  bool SetLastMfpTemplateChecksum(int value) const;

  // [RemoteScan]
  std::string GetRemoteHost() const;
  bool SetRemoteHost(const std::string& value) const;
  std::string GetRemoteScanScanner() const;  // key Scanner
  bool SetRemoteScanScanner(const std::string& value) const;

  // [ProcessingManager]
  int GetProcessingMode() const;
  int GetProcessingModeTimeout() const;
  bool GetXeroxStopMarkerEnable() const;
  bool SetXeroxStopMarkerEnable(bool value) const;

  // Any key by name, for tools and tests that set keys the program itself only reads.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  bool WriteString(const std::string& section, const std::string& key, const std::string& value) const;

 private:
  // A password made while the settings file could not take it: kept for the rest of the
  // process, so that the server, the device and the Information page all see the same one.
  struct UnsavedPassword {
    std::mutex mutex;
    std::string value;
  };

  std::string settingsFile_;
  std::string logFile_;
  std::string logConfigFile_;
  std::string fileListFile_;
  std::shared_ptr<UnsavedPassword> unsavedPassword_ = std::make_shared<UnsavedPassword>();
};
