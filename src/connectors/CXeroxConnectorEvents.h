#pragma once

#include <cstdint>
#include <string>

// The sink of a CXeroxConnector's events. The connector calls it on the thread that called the
// connector, inside that call. The sink is owned by the caller and must outlive the connector.
class CXeroxConnectorEvents {
 public:
  // Level 0 (off) to 5 (debug): 1 fatal, 2 error, 3 warning, 4 information.
  virtual void OnConnectorLog(int32_t level, const std::u16string& text) = 0;
  // A template was left on the device (host, or host:port, of the endpoint); the checksum is the
  // one the device reported for it.
  virtual void OnTemplatePut(const std::u16string& device, const std::u16string& templateName,
                             uint32_t checksum) = 0;
  // A template the connector left earlier is gone from the device.
  virtual void OnTemplateRemoved(const std::u16string& device, const std::u16string& templateName,
                                 uint32_t checksum) = 0;
  virtual ~CXeroxConnectorEvents() = default;
};
