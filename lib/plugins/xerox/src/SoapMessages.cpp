#include "SoapMessages.h"

#include <limits>

namespace xerox {

namespace {

std::string Envelope(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soap:Body>" +
         body + "</soap:Body></soap:Envelope>";
}

std::string Operation(std::string_view name, const std::string& parameters) {
  const std::string tag(name);
  return "<" + tag + " xmlns=\"" + std::string(kTemplateNamespace) + "\">" + parameters + "</" + tag + ">";
}

std::string Parameter(std::string_view name, std::string_view value) {
  const std::string tag(name);
  return "<" + tag + ">" + EscapeXml(value) + "</" + tag + ">";
}

std::string_view Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// Devices report checksums as decimal numbers; some as signed 32-bit values.
std::optional<uint32_t> ParseChecksum(std::string_view text) {
  text = Trimmed(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (negative) {
    if (value > uint64_t{1} << 31) return std::nullopt;
    return static_cast<uint32_t>(-static_cast<int64_t>(value));
  }
  if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace

std::string ListTemplatesRequest() { return Envelope(Operation("ListTemplatesRequest", "")); }

std::string PutTemplateRequest(std::string_view templateName, std::string_view templateContent) {
  return Envelope(Operation("PutTemplateRequest",
                            Parameter("templateName", templateName) + Parameter("templateContent", templateContent)));
}

std::string DeleteTemplateRequest(std::string_view templateName, uint32_t checksum) {
  return Envelope(Operation("DeleteTemplateRequest", Parameter("templateName", templateName) +
                                                         Parameter("priorChecksum", std::to_string(checksum))));
}

std::optional<SoapAnswer> ParseSoapAnswer(std::string_view document, std::string& error) {
  std::optional<XmlElement> root = ParseXml(document, error);
  if (!root) return std::nullopt;
  if (root->LocalName() != "Envelope") {
    error = "the answer is <" + root->name + ">, not a SOAP envelope";
    return std::nullopt;
  }
  const XmlElement* body = root->Child("Body");
  if (!body) {
    error = "the SOAP envelope has no body";
    return std::nullopt;
  }
  if (body->children.empty()) {
    error = "the SOAP body is empty";
    return std::nullopt;
  }
  SoapAnswer answer;
  const XmlElement& first = body->children.front();
  if (first.LocalName() == "Fault") {
    SoapAnswer::Fault fault;
    if (const XmlElement* code = first.Child("faultcode")) fault.code = std::string(Trimmed(code->text));
    if (const XmlElement* text = first.Child("faultstring")) fault.text = std::string(Trimmed(text->text));
    // SOAP 1.2 devices: Code/Value and Reason/Text.
    if (const XmlElement* code = first.Child("Code"); code && code->Child("Value"))
      fault.code = std::string(Trimmed(code->Child("Value")->text));
    if (const XmlElement* reason = first.Child("Reason"); reason && reason->Child("Text"))
      fault.text = std::string(Trimmed(reason->Child("Text")->text));
    answer.fault = std::move(fault);
    return answer;
  }
  answer.content = first;
  return answer;
}

std::optional<std::vector<TemplateEntry>> ReadTemplateList(const XmlElement& content, std::string& error) {
  if (content.LocalName() != "TemplateEntries") {
    error = "the answer to ListTemplates is <" + content.name + ">, not <TemplateEntries>";
    return std::nullopt;
  }
  std::vector<TemplateEntry> entries;
  for (const XmlElement& entry : content.children) {
    if (entry.LocalName() != "TemplateEntry") continue;
    const XmlElement* name = entry.Child("TemplateName");
    const XmlElement* checksum = entry.Child("TemplateChecksum");
    const std::optional<uint32_t> value = checksum ? ParseChecksum(checksum->text) : std::nullopt;
    if (!name || !value) {
      error = "a template entry without a name or a numeric checksum";
      return std::nullopt;
    }
    entries.push_back({std::string(Trimmed(name->text)), *value});
  }
  return entries;
}

std::optional<uint32_t> ReadPutChecksum(const XmlElement& content, std::string& error) {
  const XmlElement* checksum = content.LocalName() == "TemplateChecksum" ? &content : content.Child("TemplateChecksum");
  const std::optional<uint32_t> value = checksum ? ParseChecksum(checksum->text) : std::nullopt;
  if (!value) error = "the answer to PutTemplate (<" + content.name + ">) holds no numeric template checksum";
  return value;
}

bool IsVoidResponse(const XmlElement& content, std::string& error) {
  if (content.LocalName() == "VoidResponse") return true;
  error = "the answer to DeleteTemplate is <" + content.name + ">, not <VoidResponse>";
  return false;
}

}  // namespace xerox
