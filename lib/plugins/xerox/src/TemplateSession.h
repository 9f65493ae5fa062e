#pragma once

#include <memory>
#include <string>

#include "ScanTemplateWriter.h"
#include "SoapClient.h"

class CXeroxConnectorEvents;
class XeroxCertificatePins;

namespace xerox {

// The work of a CXeroxConnector: list the device's templates, remove the one this connector's
// name left earlier, put the new one, and tell the sink. Texts are UTF-8 here.
class TemplateSession {
 public:
  TemplateSession(std::string endpointUrl, std::string templateName);
  ~TemplateSession();

  void Subscribe(CXeroxConnectorEvents* sink) { sink_ = sink; }
  void SetCertificatePins(XeroxCertificatePins* pins) { pins_ = pins; }
  void SetTimeouts(const ExchangeTimeouts& timeouts) { timeouts_ = timeouts; }

  // Throws XeroxException; the device keeps what the exchange had done until the failure.
  void PutConfiguration(ScanTemplateOptions options);

 private:
  void Log(int level, const std::string& text) const;
  void Replace(SoapClient& client, const std::string& templateName, const std::string& content);

  std::string endpointUrl_;
  std::string templateName_;
  CXeroxConnectorEvents* sink_ = nullptr;
  XeroxCertificatePins* pins_ = nullptr;
  ExchangeTimeouts timeouts_;
  std::unique_ptr<SoapClient> client_;  // made at the first exchange, its connection kept
};

// UTF-8 to UTF-16 for texts that may come from a device: bytes that are not UTF-8 become "?".
std::u16string WideForDisplay(const std::string& text);

}  // namespace xerox
