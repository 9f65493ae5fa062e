#include "ScanTemplateWriter.h"

#include <string_view>

namespace xerox {

namespace {

// The language's strings are quoted and have no escapes: a quote, a backslash or a line break
// inside would end the value early or change the template.
bool FitsTemplateString(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

const char* ColorMode(int32_t bitDepth) {
  switch (bitDepth) {
    case 1: return "BLACK_AND_WHITE";
    case 8: return "GRAYSCALE";
    case 24: return "FULL_COLOR";
    default: return nullptr;
  }
}

const char* MediaSize(int32_t paperSize) {
  switch (paperSize) {
    case 1: return "ISO_A4SEF";
    case 3: return "NA_8.5x11SEF";
    default: return nullptr;
  }
}

// Landscape is 1 when the MFP page stored it and 3 when the remote scanner page did.
const char* Orientation(int32_t orientation) {
  switch (orientation) {
    case 0: return "PORTRAIT";
    case 1:
    case 3: return "LANDSCAPE";
    default: return nullptr;
  }
}

class Section {
 public:
  explicit Section(std::string& out, const char* header, const char* instance = "") : out_(out) {
    out_ += std::string(header) + "\r\n" + instance + "{\r\n";
  }
  ~Section() { out_ += "}\r\nend\r\n\r\n"; }
  void Add(const char* type, const char* name, std::string_view value) {
    out_ += std::string("\t* ") + type + " " + name + " = " + std::string(value) + ";\r\n";
  }
  void AddString(const char* name, std::string_view value) { Add("string", name, "\"" + std::string(value) + "\""); }

 private:
  std::string& out_;
};

}  // namespace

std::optional<std::string> WriteScanTemplate(const ScanTemplateOptions& options, std::string& error) {
  const struct {
    const char* what;
    const std::string& value;
  } texts[] = {{"template name", options.templateName},
               {"FTP address", options.ftpAddress},
               {"FTP user", options.user},
               {"FTP password", options.password}};
  for (const auto& text : texts) {
    if (!FitsTemplateString(text.value)) {
      error = std::string("the ") + text.what + " holds a quote, a backslash or a control character, which a scan template cannot carry";
      return std::nullopt;
    }
  }
  if (options.templateName.empty() || options.ftpAddress.empty()) {
    error = "the template name and the FTP address must not be empty";
    return std::nullopt;
  }
  const int32_t dpi = options.resolution;
  if (dpi < 100 || dpi > 600 || dpi % 100 != 0) {
    error = "resolution " + std::to_string(dpi) + " is not one of 100, 200, 300, 400, 500 or 600 dpi";
    return std::nullopt;
  }
  const char* colorMode = ColorMode(options.bitDepth);
  if (!colorMode) {
    error = "bit depth " + std::to_string(options.bitDepth) + " is not 1, 8 or 24";
    return std::nullopt;
  }
  const char* mediaSize = MediaSize(options.paperSize);
  if (!mediaSize) {
    error = "paper size " + std::to_string(options.paperSize) + " is not 1 (A4) or 3 (Letter)";
    return std::nullopt;
  }
  const char* orientation = Orientation(options.orientation);
  if (!orientation) {
    error = "orientation " + std::to_string(options.orientation) + " is not 0 (portrait) or 1 (landscape)";
    return std::nullopt;
  }

  std::string out;
  {
    Section general(out, "[service xrx_svc_general]");
    general.Add("enum_encoding", "JobTemplateCharacterEncoding", "UTF-8");
    general.AddString("JobTemplateCreator", "Velloran");
    general.AddString("JobTemplateLanguageVersion", "4.00.07");
    general.AddString("JobTemplateName", options.templateName);
    general.Add("enum_confmethod", "ConfirmationMethod", "NONE");
    general.Add("boolean", "SuppressJobLog", "TRUE");
  }
  {
    Section scan(out, "[service xrx_svc_scan]");
    scan.Add("enum_colormode", "ColorMode", colorMode);
    scan.Add("enum_sided", "SidesToScan", options.duplex ? "TWO_SIDED" : "ONE_SIDED");
    scan.Add("enum_mediasize", "InputMediaSize", mediaSize);
    scan.Add("enum_inputorientation", "InputOrientation", orientation);
    scan.Add("enum_imagemode", "DocumentImageMode", "MIXED");
    scan.Add("enum_blankpageremoval", "BlankPageRemoval", "INCLUDE_ALL_PAGES");
  }
  {
    Section file(out, "[service xrx_svc_file]", "file_1");
    file.Add("enum_filingprotocol", "FilingProtocol", "FTP");
    file.AddString("RepositoryAlias", "Velloran");
    file.AddString("RepositoryName", options.ftpAddress);
    file.AddString("DocumentPath", "/");
    file.Add("enum_loginsource", "LoginSource", "TEMPLATE");
    file.AddString("UserNetworkFilingLoginName", options.user);
    file.AddString("UserNetworkFilingLoginID", options.password);
    file.Add("enum_filingpolicy", "DocumentFilingPolicy", "NEW_AUTO_GENERATE");
  }
  {
    Section document(out, "[doc_object xrx_document]");
    document.Add("enum_docformat", "DocumentFormat", "TIFF_V6");
    const std::string resolution = std::to_string(dpi);
    document.Add("enum_resolution", "Resolution", "RES_" + resolution + "X" + resolution);
    document.AddString("DocumentObjectName", "velloran");
  }
  return out;
}

}  // namespace xerox
