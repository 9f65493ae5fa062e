#pragma once

#include <string>

// Where the fingerprints of devices' TLS certificates are kept. Devices carry self-signed
// certificates, so the connector trusts the one it meets at the first successful contact and
// refuses any other later. Fingerprints are "sha256:" and 64 upper-case hex digits; devices are
// host names or addresses as the endpoint URL gives them, lower case.
class XeroxCertificatePins {
 public:
  virtual ~XeroxCertificatePins() = default;
  // The fingerprint kept for the device; empty when none is.
  virtual std::string Find(const std::string& device) const = 0;
  virtual void Remember(const std::string& device, const std::string& fingerprint) = 0;
  // One sentence telling the user how to accept a device's new certificate.
  virtual std::string HowToAccept(const std::string& device) const = 0;
};
