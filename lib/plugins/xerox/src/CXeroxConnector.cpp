#include "connectors/CXeroxConnector.h"

#include "TemplateSession.h"
#include "connectors/XeroxException.h"
#include "platform/StringConversion.h"
#include "platform/SystemInfo.h"

namespace {

std::string Utf8(const std::u16string& text, const char* what) {
  try {
    return platform::WideToNarrow(text);
  } catch (const platform::StringConversionError&) {
    throw XeroxException(kXeroxInvalidArgument, std::string("The ") + what + " is not valid text.");
  }
}

// Template names travel in file names on the device: letters, digits, "-", "_" and "." only.
std::string TemplateNameFor(const std::string& hostName) {
  std::string name;
  for (const char c : hostName.substr(0, 48)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    name += plain ? c : '_';
  }
  return name.empty() ? "velloran.xst" : "velloran_" + name + ".xst";
}

}  // namespace

XeroxException::XeroxException(uint32_t error, const std::string& description)
    : std::runtime_error(description), error_(error), description_(xerox::WideForDisplay(description)) {}

CXeroxConnector::CXeroxConnector(const std::u16string& endpointUrl, const std::u16string& templateName)
    : session_(std::make_unique<xerox::TemplateSession>(
          Utf8(endpointUrl, "device's web service address"),
          templateName.empty() ? Utf8(CreateTemplateName(), "template name") : Utf8(templateName, "template name"))) {}

CXeroxConnector::~CXeroxConnector() = default;

std::u16string CXeroxConnector::CreateTemplateName() {
  return platform::NarrowToWide(TemplateNameFor(platform::HostName()));
}

void CXeroxConnector::SubscribeEvents(CXeroxConnectorEvents* sink) { session_->Subscribe(sink); }

void CXeroxConnector::PutConfigurationOnDevice(const std::u16string& ftpAddress, const std::u16string& user,
                                               const std::u16string& password, int32_t resolution, int32_t bitDepth,
                                               int32_t orientation, int32_t paperSize, bool duplex) {
  xerox::ScanTemplateOptions options;
  options.ftpAddress = Utf8(ftpAddress, "FTP address");
  options.user = Utf8(user, "FTP user");
  options.password = Utf8(password, "FTP password");
  options.resolution = resolution;
  options.bitDepth = bitDepth;
  options.orientation = orientation;
  options.paperSize = paperSize;
  options.duplex = duplex;
  session_->PutConfiguration(std::move(options));
}

void CXeroxConnector::SetCertificatePins(XeroxCertificatePins* pins) { session_->SetCertificatePins(pins); }

void CXeroxConnector::SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds exchange) {
  session_->SetTimeouts({connect, exchange});
}
