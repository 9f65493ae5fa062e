#pragma once

#include <string>

#include "connectors/CXeroxConnectorEvents.h"
#include "logging/Logger.h"

class SettingsStore;

// The data source's sink for a Xerox connector's events: its log lines go to the
// "XeroxConnector" logger at their own level, and the template it left on a device (or removed)
// is written to the LastMfp... keys. May be called on any thread; `settings` must outlive it.
class CXeroxConnectorEventsHandler final : public CXeroxConnectorEvents {
 public:
  explicit CXeroxConnectorEventsHandler(const SettingsStore& settings) : settings_(settings) {}

  void OnConnectorLog(int32_t level, const std::u16string& text) override;
  void OnTemplatePut(const std::u16string& device, const std::u16string& templateName, uint32_t checksum) override;
  void OnTemplateRemoved(const std::u16string& device, const std::u16string& templateName, uint32_t checksum) override;

 private:
  void WriteLastTemplate(const std::string& device, const std::string& templateName, uint32_t checksum) const;

  const SettingsStore& settings_;
  Logger logger_{"XeroxConnector", "XeroxConnectorEventsHandler"};
};
