#include "TemplateSession.h"

#include <algorithm>
#include <cctype>

#include "connectors/CXeroxConnectorEvents.h"
#include "connectors/XeroxException.h"
#include "platform/StringConversion.h"

namespace xerox {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

}  // namespace

std::u16string WideForDisplay(const std::string& text) {
  try {
    return platform::NarrowToWide(text);
  } catch (const platform::StringConversionError&) {
    std::string ascii = text;
    std::replace_if(ascii.begin(), ascii.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }, '?');
    return platform::NarrowToWide(ascii);
  }
}

TemplateSession::TemplateSession(std::string endpointUrl, std::string templateName)
    : endpointUrl_(std::move(endpointUrl)), templateName_(std::move(templateName)) {}

TemplateSession::~TemplateSession() = default;

void TemplateSession::Log(int level, const std::string& text) const {
  if (sink_) sink_->OnConnectorLog(level, WideForDisplay(text));
}

void TemplateSession::PutConfiguration(ScanTemplateOptions options) {
  options.templateName = templateName_;
  std::string error;
  const std::optional<std::string> content = WriteScanTemplate(options, error);
  if (!content) throw XeroxException(kXeroxInvalidArgument, "The scan template cannot be made: " + error + ".");
  try {
    if (!client_) client_ = std::make_unique<SoapClient>(endpointUrl_, [this](int level, const std::string& text) {
      Log(level, text);
    });
    client_->SetTimeouts(timeouts_);
    client_->SetCertificatePins(pins_);
    Replace(*client_, options.templateName, *content);
  } catch (const XeroxException& failure) {
    Log(2, failure.what());
    throw;
  }
}

void TemplateSession::Replace(SoapClient& client, const std::string& templateName, const std::string& content) {
  std::string error;
  const auto entries = ReadTemplateList(client.Exchange("ListTemplates", ListTemplatesRequest()), error);
  if (!entries) throw XeroxException(kXeroxBadAnswer, "The device's list of templates cannot be read: " + error + ".");
  const std::u16string device = WideForDisplay(client.Device());
  for (const TemplateEntry& entry : *entries) {
    if (!SameName(entry.name, templateName)) continue;
    if (!IsVoidResponse(client.Exchange("DeleteTemplate", DeleteTemplateRequest(entry.name, entry.checksum)), error)) {
      throw XeroxException(kXeroxBadAnswer, "The device's answer to DeleteTemplate cannot be read: " + error + ".");
    }
    Log(4, "Template " + entry.name + " removed from " + client.Device());
    if (sink_) sink_->OnTemplateRemoved(device, WideForDisplay(entry.name), entry.checksum);
  }
  const auto checksum = ReadPutChecksum(client.Exchange("PutTemplate", PutTemplateRequest(templateName, content)), error);
  if (!checksum) throw XeroxException(kXeroxBadAnswer, "The device's answer to PutTemplate cannot be read: " + error + ".");
  Log(4, "Template " + templateName + " put on " + client.Device() + ", checksum " + std::to_string(*checksum));
  if (sink_) sink_->OnTemplatePut(device, WideForDisplay(templateName), *checksum);
}

}  // namespace xerox
