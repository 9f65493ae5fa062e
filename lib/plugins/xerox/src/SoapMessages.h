#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "XmlDocument.h"

namespace xerox {

// The requests of a device's template-management service (SOAP 1.1) and the reading of its
// answers: ListTemplates, PutTemplate and DeleteTemplate.
inline constexpr std::string_view kTemplateNamespace = "http://www.xerox.com/webservices/office/template_management/1/";

std::string ListTemplatesRequest();
std::string PutTemplateRequest(std::string_view templateName, std::string_view templateContent);
std::string DeleteTemplateRequest(std::string_view templateName, uint32_t checksum);

// A SOAP answer: the one element inside the Body, or the fault the device sent instead.
struct SoapAnswer {
  struct Fault {
    std::string code;
    std::string text;
  };
  std::optional<Fault> fault;
  XmlElement content;  // the Body's element when there is no fault
};

// Reads an envelope; nullopt with `error` when the document is no SOAP envelope with a body.
std::optional<SoapAnswer> ParseSoapAnswer(std::string_view document, std::string& error);

struct TemplateEntry {
  std::string name;
  uint32_t checksum = 0;
};

// The contents of the answers to the three requests; nullopt with `error` when an answer has
// another shape.
std::optional<std::vector<TemplateEntry>> ReadTemplateList(const XmlElement& content, std::string& error);
std::optional<uint32_t> ReadPutChecksum(const XmlElement& content, std::string& error);
bool IsVoidResponse(const XmlElement& content, std::string& error);

}  // namespace xerox
