#include "network/CXeroxConnectorEventsHandler.h"

#include "platform/StringConversion.h"
#include "settings/SettingsStore.h"

namespace {

std::string Narrow(const std::u16string& text) {
  try {
    return platform::WideToNarrow(text);
  } catch (const platform::StringConversionError& error) {
    return std::string("(not text: ") + error.what() + ")";
  }
}

}  // namespace

// Level 0 is "off": such lines are never written.
void CXeroxConnectorEventsHandler::OnConnectorLog(int32_t level, const std::u16string& text) {
  switch (level) {
    case 1:
      logger_.Fatal("%s", Narrow(text));
      break;
    case 2:
      logger_.Error("%s", Narrow(text));
      break;
    case 3:
      logger_.Warn("%s", Narrow(text));
      break;
    case 4:
      logger_.Info("%s", Narrow(text));
      break;
    case 5:
      logger_.Debug("%s", Narrow(text));
      break;
    default:
      break;
  }
}

void CXeroxConnectorEventsHandler::OnTemplatePut(const std::u16string& device, const std::u16string& templateName,
                                                 uint32_t checksum) {
  WriteLastTemplate(Narrow(device), Narrow(templateName), checksum);
}

void CXeroxConnectorEventsHandler::OnTemplateRemoved(const std::u16string&, const std::u16string&, uint32_t checksum) {
  WriteLastTemplate("", "", checksum);
}

void CXeroxConnectorEventsHandler::WriteLastTemplate(const std::string& device, const std::string& templateName,
                                                     uint32_t checksum) const {
  const bool written = settings_.SetLastMfpName(device) && settings_.SetLastMfpTemplateName(templateName) &&
                       settings_.SetLastMfpTemplateChecksum(static_cast<int>(checksum));
  if (!written) logger_.Error("The template left on the device cannot be recorded in %s", settings_.GetSettingsFilePath());
}
