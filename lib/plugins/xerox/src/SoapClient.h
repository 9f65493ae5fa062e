#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "SoapMessages.h"

class XeroxCertificatePins;

namespace xerox {

struct TlsPeer;

// The limits of one request.
struct ExchangeTimeouts {
  std::chrono::milliseconds connect{3000};
  std::chrono::milliseconds exchange{6000};
};

// Posts SOAP requests to one https:// endpoint over one libcurl handle (its connection is kept
// between requests) and returns the device's answers. Every failure is a XeroxException: the
// device cannot be reached, its certificate is not the pinned one, an HTTP error (redirects are
// not followed), a fault, or an answer that is too large, of another content type or no SOAP.
class SoapClient {
 public:
  using LogSink = std::function<void(int level, const std::string& text)>;

  // Throws XeroxException when the URL is not an https:// URL with a host.
  SoapClient(const std::string& url, LogSink log);
  SoapClient(const SoapClient&) = delete;
  SoapClient& operator=(const SoapClient&) = delete;
  ~SoapClient();

  void SetTimeouts(const ExchangeTimeouts& timeouts) { timeouts_ = timeouts; }
  void SetCertificatePins(XeroxCertificatePins* pins) { pins_ = pins; }

  // The answer's content element; a fault is thrown. `operation` names the request in messages.
  XmlElement Exchange(std::string_view operation, const std::string& envelope);

  // The device as the URL names it: host, or host:port.
  const std::string& Device() const { return device_; }

 private:
  [[noreturn]] void ThrowTransferError(int code, const std::string& detail) const;
  XmlElement ReadAnswer(std::string_view operation, long status, const std::string& contentType);

  std::string url_;
  std::string host_;    // lower case: the key of the device's certificate pin
  std::string device_;
  LogSink log_;
  ExchangeTimeouts timeouts_;
  XeroxCertificatePins* pins_ = nullptr;
  std::unique_ptr<TlsPeer> peer_;
  std::string response_;
  bool responseTooLarge_ = false;
  void* curl_ = nullptr;
};

}  // namespace xerox
