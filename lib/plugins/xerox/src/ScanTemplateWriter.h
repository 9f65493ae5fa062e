#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xerox {

// What a scan template asks of the device: the scan settings and the FTP server that receives
// every job. Texts are UTF-8.
struct ScanTemplateOptions {
  std::string templateName;
  std::string ftpAddress;  // host:port
  std::string user;
  std::string password;
  int32_t resolution = 200;  // 100 to 600 dpi in steps of 100
  int32_t bitDepth = 1;      // 1 black and white, 8 grey, 24 colour
  int32_t orientation = 0;   // 0 portrait, 1 (MFP page) or 3 (remote page) landscape
  int32_t paperSize = 3;     // 1 A4, 3 Letter
  bool duplex = false;
};

// The template in the device's job template language: a general section, the scan section, a
// file destination that stores each job by FTP into the server's root, and the document section
// (multi-page TIFF, which the source reads page by page). Nullopt with `error` naming the value
// when an option has no place in the language: a number outside the lists above, or a text with
// a quote, a backslash or a control character, which the language's strings cannot hold.
std::optional<std::string> WriteScanTemplate(const ScanTemplateOptions& options, std::string& error);

}  // namespace xerox
