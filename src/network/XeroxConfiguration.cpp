#include "network/XeroxConfiguration.h"

#include <cstdio>
#include <string>
#include <vector>

#include "connectors/XeroxException.h"
#include "logging/Logger.h"
#include "network/XeroxConnectorHolder.h"
#include "platform/MessageBox.h"
#include "platform/StringConversion.h"
#include "resources/StringTable.h"
#include "settings/ScanMode.h"
#include "settings/SettingsStore.h"

namespace {

constexpr unsigned kNoXeroxConnectionText = 143;
constexpr unsigned kTemplateServiceAddress = 150;
constexpr int kLastAttempt = 2;

std::string EndpointPattern(int attempt, const SettingsStore& settings) {
  switch (attempt) {
    case 0:
      return settings.GetMFPServiceEndPointTemplate();
    case 1:
      return LoadResourceString(kTemplateServiceAddress) + "/";
    default:
      return LoadResourceString(kTemplateServiceAddress);
  }
}

// The pattern with the device name in place of its "%s"; other "%" are kept as they stand, so a
// stored pattern can never make the formatting read arguments that are not there.
std::string FormatEndpoint(const std::string& pattern, const std::string& device) {
  std::string url;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "%s") == 0) {
      url += device;
      ++i;
    } else {
      url += pattern[i];
    }
  }
  return url;
}

std::string Utf8(const std::u16string& text) {
  try {
    return platform::WideToNarrow(text);
  } catch (const platform::StringConversionError& error) {
    return error.what();
  }
}

}  // namespace

void ConfigureXeroxDevice(XeroxConnectorHolder& holder, const Logger& logger, const SettingsStore& settings) {
  const std::string device = settings.GetMfpName();
  if (logger.IsDebugEnabled()) {
    logger.Debug(
        "Information about Xerox connection\n MfpName=%s\n FtpLogin=%s\n FtpPassword=%s\n Resolution=%d\n BitDepth=%d\n "
        "Orientation=%d\n PaperSize=%d\n Duplex=%d",
        device, settings.GetFtpUser(), settings.GetFtpPassword(), settings.GetResolution(), settings.GetBitDepth(),
        settings.GetOrientation(), settings.GetPaperSize(), settings.GetDuplex() ? 1 : 0);
  }
  const std::string templateName = settings.GetMfpTemplateName();
  for (int attempt = settings.GetMFPServiceEndPointTemplate().empty() ? 1 : 0; attempt <= kLastAttempt; ++attempt) {
    const std::string pattern = EndpointPattern(attempt, settings);
    try {
      CXeroxConnector& connector = holder.Replace(platform::NarrowToWide(FormatEndpoint(pattern, device)),
                                                  platform::NarrowToWide(templateName), settings);
      connector.PutConfigurationOnDevice(platform::NarrowToWide(settings.GetFtpServerAddress()),
                                         platform::NarrowToWide(settings.GetFtpUser()),
                                         platform::NarrowToWide(settings.GetFtpPassword()), settings.GetResolution(),
                                         settings.GetBitDepth(), settings.GetOrientation(), settings.GetPaperSize(),
                                         settings.GetDuplex());
    } catch (const XeroxException&) {
      logger.Debug("XeroxConnector configuration failed at %d iteration", attempt);
      if (attempt == kLastAttempt) throw;
      continue;
    }
    settings.SetMFPServiceEndPointTemplate(pattern);
    logger.Debug("XeroxConnector configuration was set at %d iteration", attempt);
    break;
  }
  logger.Debug("XeroxConnector configuration was set");
}

void ShowXeroxError(const XeroxException& failure) {
  const std::string text =
      failure.GetError() == kXeroxUnreachable ? LoadResourceString(kNoXeroxConnectionText) : Utf8(failure.GetDescription());
  platform::ShowMessageBox(text, "Error", platform::MessageIcon::Error);
}

bool PrepareXeroxScan(XeroxConnectorHolder& holder, const SettingsStore& settings) {
  if (!scan_mode::PutsXeroxTemplate(settings.GetMode())) return true;
  const Logger logger("Velloran", "Velloran");
  try {
    ConfigureXeroxDevice(holder, logger, settings);
    logger.Error("Scan template is put on device successfully.");
    return true;
  } catch (const XeroxException& failure) {
    logger.Error("Error in Xerox connector: Error = %d Description = %s", static_cast<int>(failure.GetError()),
                 Utf8(failure.GetDescription()));
    ShowXeroxError(failure);
  } catch (...) {
    logger.Error("StartScan: Unknown exception in XeroxConnector occured");
    platform::ShowMessageBox(LoadResourceString(kNoXeroxConnectionText), "Error", platform::MessageIcon::Error);
  }
  return false;
}

void CheckConnection(const SettingsStore& settings) {
  const Logger logger("ScanSettingsTab", "FtpTab");
  XeroxConnectorHolder holder;
  try {
    ConfigureXeroxDevice(holder, logger, settings);
    platform::ShowMessageBox("Velloran has successfully connected to Xerox MFP.", "Successfully connected",
                             platform::MessageIcon::Information);
  } catch (const XeroxException& failure) {
    logger.Error("CheckConnection: Error in Xerox connector: Error = %d Description = %s",
                 static_cast<int>(failure.GetError()), Utf8(failure.GetDescription()));
    ShowXeroxError(failure);
  } catch (...) {
    logger.Error("CheckConnection: Unexpected error in Xerox connector");
    platform::ShowMessageBox(
        "There is no connection to Xerox MFP device. Probably device doesn't support EIP or it is disabled.", "Error",
        platform::MessageIcon::Error);
  }
}
