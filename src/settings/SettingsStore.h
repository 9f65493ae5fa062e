#pragma once

#include <string>
#include <vector>

// Every persistent setting of the data source, read from and written to the user's ini file.
// Nothing is cached: each getter reads the file, each setter writes it at once, so a change made
// by another part of the program, the user interface process or a person editing the file is
// seen by the next read. Getters and setters may be called from any thread; writes of different
// keys from several threads or processes never lose each other.
// Getters return the key's default when the file or the key is absent. Setters are const: the
// store holds only paths, and what they change is the file.
class SettingsStore {
 public:
  SettingsStore(std::string settingsFile, std::string logFile, std::string logConfigFile, std::string fileListFile);

  const std::string& GetSettingsFilePath() const { return settingsFile_; }
  const std::string& GetLogFilePath() const { return logFile_; }
  const std::string& GetLogConfigFilePath() const { return logConfigFile_; }
  const std::string& GetFileListPath() const { return fileListFile_; }

  // [Directory]
  std::string GetCurrentDirectory() const;  // raw value
  void SetCurrentDirectory(const std::string& value) const;
  std::string GetExpandedCurrentDirectory() const;  // after ExpandPathTemplate
  bool GetIncludeSubfolders() const;
  void SetIncludeSubfolders(bool value) const;
  bool GetDeleteFiles() const;
  void SetDeleteFiles(bool value) const;
  bool GetDeleteTempFolders() const;
  int GetListMode() const;
  void SetListMode(int value) const;

  // [General]
  int GetMode() const;
  void SetMode(int value) const;
  int GetUIMode() const;  // 0 or absent reads 8 (the Folder page alone)
  bool GetAlwaysShowUI() const;
  void SetAlwaysShowUI(bool value) const;
  bool GetDisableUI() const;
  bool GetForcePixelTypeToCapability() const;
  void SetForcePixelTypeToCapability(bool value) const;
  bool GetFixResolution() const;
  int GetPDFRenderResolution() const;
  int GetIniVersion() const;

  // [Scanner]
  int GetResolution() const;
  void SetResolution(int value) const;
  int GetBitDepth() const;
  void SetBitDepth(int value) const;
  int GetPaperSize() const;
  void SetPaperSize(int value) const;
  bool GetDuplex() const;
  void SetDuplex(bool value) const;
  int GetOrientation() const;
  void SetOrientation(int value) const;
  bool GetPaperSource() const;  // false flatbed, true document feeder
  void SetPaperSource(bool value) const;

  // [FileTransfer]
  std::string GetDefaultFile() const;
  std::string GetCurrentFile() const;
  void SetCurrentFile(const std::string& value) const;
  void ResetCurrentFile() const;  // CurrentFile = DefaultFile

  // [ImageProcessing]
  int GetBackgroundDropout() const;  // 1 or 2; any other value reads 0
  void SetBackgroundDropout(int value) const;
  bool GetColorDetection() const;
  void SetColorDetection(bool value) const;
  int GetColorDetectionRatio() const;
  int GetColorDetectionAmount() const;
  bool GetThreshold() const;
  void SetThreshold(bool value) const;
  int GetThresholdMethod() const;
  int GetThresholdBoxSize() const;
  double GetThresholdGlobalLocalBalance() const;
  int GetRotation() const;
  void SetRotation(int value) const;
  bool GetMirror() const;
  void SetMirror(bool value) const;
  int GetScaleToWidth() const;
  int GetScaleToHeight() const;

  // [Logger]
  bool GetLoggerEnabled() const;
  void SetLoggerEnabled(bool value) const;

  // [DevMode]
  bool GetRecycle() const;
  void SetRecycle(bool value) const;
  int GetPageNumber() const;
  void SetPageNumber(int value) const;

  // [FtpServer]
  std::string GetFtpServerHost() const;  // key FtpServer; empty means this computer
  int GetFtpServerPort() const;
  std::string GetFtpUser() const;
  std::string GetFtpPassword() const;
  // The address an MFP uploads to: the FtpServer host (or GetLocalIpAddress() when it is
  // empty), ":" and the port.
  std::string GetFtpServerAddress() const;

  // [MFP]
  std::string GetMfpName() const;
  void SetMfpName(const std::string& value) const;
  std::string GetMfpNamesValue() const;       // raw value
  std::vector<std::string> GetMfpNames() const;  // split at every ";", empty pieces kept
  std::string GetMfpTemplateName() const;
  std::string GetMFPServiceEndPointTemplate() const;
  void SetMFPServiceEndPointTemplate(const std::string& value) const;
  void SetLastMfpName(const std::string& value) const;
  void SetLastMfpTemplateName(const std::string& value) const;
  void SetLastMfpTemplateChecksum(int value) const;

  // [RemoteScan]
  std::string GetRemoteHost() const;
  void SetRemoteHost(const std::string& value) const;
  std::string GetRemoteScanScanner() const;  // key Scanner
  void SetRemoteScanScanner(const std::string& value) const;

  // [ProcessingManager]
  int GetProcessingMode() const;
  int GetProcessingModeTimeout() const;
  bool GetXeroxStopMarkerEnable() const;
  void SetXeroxStopMarkerEnable(bool value) const;

  // Any key by name, for tools and tests that set keys the program itself only reads.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) const;

 private:
  std::string settingsFile_;
  std::string logFile_;
  std::string logConfigFile_;
  std::string fileListFile_;
};
