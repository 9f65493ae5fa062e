#pragma once

#include <string>

#include "connectors/XeroxCertificatePins.h"

class SettingsStore;

// The devices' certificate fingerprints in the settings file: section MfpCertificates, one key
// per device (its host, with characters other than letters, digits, "-" and "." written "_").
// Deleting a device's key accepts the certificate it shows next.
class MfpCertificatePins final : public XeroxCertificatePins {
 public:
  static constexpr const char* kSection = "MfpCertificates";

  explicit MfpCertificatePins(const SettingsStore& settings) : settings_(settings) {}

  std::string Find(const std::string& device) const override;
  void Remember(const std::string& device, const std::string& fingerprint) override;
  std::string HowToAccept(const std::string& device) const override;

  static std::string KeyFor(const std::string& device);

 private:
  const SettingsStore& settings_;
};
