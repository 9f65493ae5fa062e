#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "SaneReplies.h"

// What a scanner's options offer, in the connector's terms, and the option values that ask a
// scanner for a scan with the connector's settings.
namespace sanenet {

// The six settings of a scan, in the connector's values.
struct ScanRequest {
  int bitDepth = 24;     // 1 line art, 8 gray, 24 colour
  int duplex = 0;        // 1: both sides
  int orientation = 0;   // 0 portrait, 3 landscape (turned after the scan)
  int resolution = 300;  // dots per inch
  int paperSize = 0;     // 0 the scanner's own area, 1 A4, 3 Letter
  int paperSource = 0;   // 0 flat bed, 1 feeder
};

inline constexpr int kLandscape = 3;
inline constexpr int kPaperA4 = 1;
inline constexpr int kPaperLetter = 3;

// The index of the option with this name, or -1.
int FindOption(const std::vector<OptionDescriptor>& options, std::string_view name);

std::vector<int32_t> SupportedColorFormats(const std::vector<OptionDescriptor>& options);
std::vector<int32_t> SupportedPaperSources(const std::vector<OptionDescriptor>& options);
std::vector<int32_t> SupportedResolutions(const std::vector<OptionDescriptor>& options);
std::vector<int32_t> SupportedOrientations(const std::vector<OptionDescriptor>& options);
std::vector<int32_t> SupportedSimplexDuplex(const std::vector<OptionDescriptor>& options);
std::vector<int32_t> SupportedPaperSizes(const std::vector<OptionDescriptor>& options);

// The options a scan sets, in the order they are set: the source and mode first, because they
// change which other options apply.
const std::vector<std::string_view>& ScanOptionNames();

// The value that option `name` gets for `request`, or nullopt to leave it as it is (the scanner
// has no value that fits, or the request does not concern it). `options` are the scanner's
// options as they are now (the mode decides whether line art is a depth).
std::optional<OptionValue> ValueFor(std::string_view name, const std::vector<OptionDescriptor>& options,
                                    const ScanRequest& request);

// Whether a source names the document feeder, and one that scans both sides.
bool IsFeederSource(std::string_view source);
bool IsDuplexSource(std::string_view source);

}  // namespace sanenet
