#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class CXeroxConnectorEvents;
class XeroxCertificatePins;

namespace xerox {
class TemplateSession;
}

// A connector to one Xerox device's template-management web service (SOAP 1.1 over HTTPS).
// PutConfigurationOnDevice leaves a scan template on the device that files every scanned job by
// FTP to the given server; the template the connector left earlier under the same name is
// removed first. Everything runs on the calling thread; failures throw XeroxException.
class CXeroxConnector {
 public:
  // `endpointUrl`: the service's https:// address. `templateName`: the template's name on the
  // device; empty means CreateTemplateName().
  CXeroxConnector(const std::u16string& endpointUrl, const std::u16string& templateName);
  CXeroxConnector(const CXeroxConnector&) = delete;
  CXeroxConnector& operator=(const CXeroxConnector&) = delete;
  virtual ~CXeroxConnector();

  // The name used when none is given: one per computer, so that each computer replaces its own
  // template and leaves the others' alone.
  static std::u16string CreateTemplateName();

  // Events go to sink from then on; borrowed, it must outlive the connector.
  void SubscribeEvents(CXeroxConnectorEvents* sink);

  // `ftpAddress` is host:port. Resolution 100 to 600 in steps of 100; bit depth 1, 8 or 24;
  // orientation 0 portrait, 1 or 3 landscape; paper size 1 A4, 3 Letter.
  void PutConfigurationOnDevice(const std::u16string& ftpAddress, const std::u16string& user,
                                const std::u16string& password, int32_t resolution, int32_t bitDepth,
                                int32_t orientation, int32_t paperSize, bool duplex);

  // The certificate policy: without pins every contact counts as a first one. Borrowed.
  void SetCertificatePins(XeroxCertificatePins* pins);
  // Limits of one request: to connect, and for the whole exchange.
  void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds exchange);

 private:
  std::unique_ptr<xerox::TemplateSession> session_;
};
