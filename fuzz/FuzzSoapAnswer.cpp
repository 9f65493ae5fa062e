// A device's answer is read by the XML reader and the SOAP layer straight from the network:
// every input is read or refused with a reason, and text read from an answer, written back with
// escapes, reads back the same.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SoapMessages.h"
#include "XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto answer = xerox::ParseSoapAnswer(input, error);
  if (!answer) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (answer->fault) return 0;
  const xerox::XmlElement& content = answer->content;
  if (!xerox::ReadTemplateList(content, error) && error.empty()) std::abort();
  xerox::ReadPutChecksum(content, error);
  xerox::IsVoidResponse(content, error);
  const auto again = xerox::ParseXml("<a>" + xerox::EscapeXml(content.text) + "</a>", error);
  if (!again || again->text != content.text) std::abort();
  return 0;
}
