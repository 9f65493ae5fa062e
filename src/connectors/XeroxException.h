#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Why a Xerox device exchange failed: a code and the text for the user. The codes are 32-bit
// HRESULT-style values; callers compare them with the constants below.
inline constexpr uint32_t kXeroxUnreachable = 0x800400C9;        // no connection, time-out, name, TLS
inline constexpr uint32_t kXeroxSoapFault = 0x800400CA;          // the device refused the request
inline constexpr uint32_t kXeroxHttpError = 0x800400CB;          // an HTTP status other than success
inline constexpr uint32_t kXeroxBadAnswer = 0x800400CC;          // an answer that is no SOAP message
inline constexpr uint32_t kXeroxCertificateChanged = 0x800400CD; // the device's certificate is not the pinned one
inline constexpr uint32_t kXeroxInvalidArgument = 0x80070057;    // a value the template cannot carry

class XeroxException : public std::runtime_error {
 public:
  // `description` is UTF-8; GetDescription gives it as UTF-16.
  XeroxException(uint32_t error, const std::string& description);

  uint32_t GetError() const { return error_; }
  const std::u16string& GetDescription() const { return description_; }

 private:
  uint32_t error_;
  std::u16string description_;
};
