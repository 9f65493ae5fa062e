// The template writer puts texts from the settings into the device's job template: whatever
// they hold, a template it writes has exactly its own fields, each with the value given, so no
// setting can add or change a field; and what it refuses, it refuses with a reason.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ScanTemplateWriter.h"
#include "support/ScanTemplateFields.h"

namespace {

constexpr size_t kFieldCount = 23;  // the fields of every template the writer makes

std::vector<std::string> Split(std::string_view bytes, size_t parts) {
  std::vector<std::string> pieces;
  while (pieces.size() + 1 < parts) {
    const size_t end = bytes.find('\0');
    if (end == std::string_view::npos) break;
    pieces.emplace_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 1);
  }
  pieces.emplace_back(bytes);
  pieces.resize(parts);
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static constexpr int32_t kNumbers[] = {0, 1, 3, 8, 24, 100, 200, 250, 500, 600, 700, -100};
  xerox::ScanTemplateOptions options;
  options.resolution = kNumbers[data[0] % std::size(kNumbers)];
  options.bitDepth = kNumbers[data[1] % std::size(kNumbers)];
  options.orientation = kNumbers[data[2] % std::size(kNumbers)];
  options.paperSize = kNumbers[data[3] % std::size(kNumbers)];
  options.duplex = (data[4] & 1) != 0;
  const auto texts = Split(std::string_view(reinterpret_cast<const char*>(data) + 5, size - 5), 4);
  options.templateName = texts[0];
  options.ftpAddress = texts[1];
  options.user = texts[2];
  options.password = texts[3];

  std::string error;
  const auto text = xerox::WriteScanTemplate(options, error);
  if (!text) {
    if (error.empty()) std::abort();
    return 0;
  }
  auto fields = test_support::TemplateFields(*text);
  if (fields.size() != kFieldCount) std::abort();
  size_t lines = 0;
  for (size_t at = text->find("\t* "); at != std::string::npos; at = text->find("\t* ", at + 1)) ++lines;
  if (lines != kFieldCount) std::abort();
  if (fields["JobTemplateName"] != options.templateName || fields["RepositoryName"] != options.ftpAddress ||
      fields["UserNetworkFilingLoginName"] != options.user || fields["UserNetworkFilingLoginID"] != options.password) {
    std::abort();
  }
  return 0;
}
