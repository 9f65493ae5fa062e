#include "network/MfpCertificatePins.h"

#include "settings/SettingsStore.h"

std::string MfpCertificatePins::KeyFor(const std::string& device) {
  std::string key;
  for (const char c : device) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    key += plain ? c : '_';
  }
  return key;
}

std::string MfpCertificatePins::Find(const std::string& device) const {
  return settings_.ReadString(kSection, KeyFor(device), "");
}

void MfpCertificatePins::Remember(const std::string& device, const std::string& fingerprint) {
  settings_.WriteString(kSection, KeyFor(device), fingerprint);
}

std::string MfpCertificatePins::HowToAccept(const std::string& device) const {
  return "If the device really has a new certificate, delete the key " + KeyFor(device) + " in section [" +
         kSection + "] of " + settings_.GetSettingsFilePath() + " and try again.";
}
