#include "ScannerOptions.h"

#include <sane/sane.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace sanenet {
namespace {

constexpr int kStandardResolutions[] = {75, 100, 150, 200, 300, 400, 600, 1200};

struct PaperMillimetres {
  double width;
  double height;
};
constexpr PaperMillimetres kA4{210.0, 297.0};
constexpr PaperMillimetres kLetter{215.9, 279.4};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

bool Contains(std::string_view text, std::string_view part) { return Lower(text).find(part) != std::string::npos; }

// The colour format a scan mode gives: 1, 8, 24, or 0 for one we do not know.
int ColorFormatOfMode(std::string_view mode) {
  if (Contains(mode, "lineart") || Contains(mode, "binary") || Contains(mode, "halftone") || Contains(mode, "black"))
    return 1;
  if (Contains(mode, "gray") || Contains(mode, "grey")) return 8;
  if (Contains(mode, "color") || Contains(mode, "colour")) return 24;
  return 0;
}

bool IsFlatbedSource(std::string_view source) { return Contains(source, "flatbed") || Contains(source, "platen"); }

const OptionDescriptor* Usable(const std::vector<OptionDescriptor>& options, std::string_view name) {
  const int index = FindOption(options, name);
  if (index < 0 || !options[size_t(index)].IsActive()) return nullptr;
  return &options[size_t(index)];
}

double ToNumber(const OptionDescriptor& option, int32_t word) {
  return option.type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : double(word);
}

int32_t ToWord(const OptionDescriptor& option, double value) {
  return option.type == SANE_TYPE_FIXED ? SANE_FIX(value) : int32_t(std::lround(value));
}

std::vector<int32_t> Sorted(std::vector<int32_t> values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

bool Allows(const OptionDescriptor& option, double value) {
  if (option.range) return value >= ToNumber(option, option.range->min) && value <= ToNumber(option, option.range->max);
  if (option.constraintType == SANE_CONSTRAINT_WORD_LIST)
    return std::any_of(option.wordList.begin(), option.wordList.end(),
                       [&](int32_t word) { return ToNumber(option, word) == value; });
  return true;
}

// The largest value a geometry option allows, in millimetres; 0 when unknown.
double MaximumMillimetres(const std::vector<OptionDescriptor>& options, std::string_view name) {
  const OptionDescriptor* option = Usable(options, name);
  if (!option || option->unit != SANE_UNIT_MM || !option->range) return 0;
  return ToNumber(*option, option->range->max);
}

bool Fits(const std::vector<OptionDescriptor>& options, PaperMillimetres paper) {
  // Rounded to a tenth of a millimetre: a scanner's area of 215.9 mm is given as 215.899.
  const auto atLeast = [](double have, double want) { return std::round(have * 10) >= std::round(want * 10); };
  return atLeast(MaximumMillimetres(options, "br-x"), paper.width) &&
         atLeast(MaximumMillimetres(options, "br-y"), paper.height);
}

OptionValue WordValue(const OptionDescriptor& option, int32_t word) {
  return OptionValue{option.type, int32_t(sizeof(SANE_Word)), {word}, {}};
}

OptionValue TextValue(const OptionDescriptor& option, const std::string& text) {
  return OptionValue{SANE_TYPE_STRING, option.size, {}, text};
}

std::optional<OptionValue> FirstString(const OptionDescriptor& option, auto&& matches) {
  const auto found = std::find_if(option.stringList.begin(), option.stringList.end(), matches);
  if (found == option.stringList.end()) return std::nullopt;
  return TextValue(option, *found);
}

std::optional<OptionValue> SourceValue(const OptionDescriptor& option, const ScanRequest& request) {
  if (request.paperSource != 1)
    return FirstString(option, [](const std::string& source) { return IsFlatbedSource(source); });
  if (request.duplex == 1) {
    if (auto duplex = FirstString(option, [](const std::string& s) { return IsFeederSource(s) && IsDuplexSource(s); }))
      return duplex;
  }
  return FirstString(option, [](const std::string& s) { return IsFeederSource(s) && !IsDuplexSource(s); });
}

std::optional<OptionValue> ModeValue(const OptionDescriptor& option, const ScanRequest& request) {
  if (auto exact = FirstString(option, [&](const std::string& mode) { return ColorFormatOfMode(mode) == request.bitDepth; }))
    return exact;
  // Line art from a scanner without a line-art mode: gray with 1-bit samples.
  if (request.bitDepth == 1) return FirstString(option, [](const std::string& mode) { return ColorFormatOfMode(mode) == 8; });
  return std::nullopt;
}

std::optional<OptionValue> NearestResolution(const OptionDescriptor& option, int wanted) {
  if (option.type != SANE_TYPE_INT && option.type != SANE_TYPE_FIXED) return std::nullopt;
  if (option.range) {
    const double low = ToNumber(option, option.range->min);
    const double high = ToNumber(option, option.range->max);
    return WordValue(option, ToWord(option, std::clamp(double(wanted), low, std::max(low, high))));
  }
  if (option.wordList.empty()) return WordValue(option, ToWord(option, wanted));
  const auto nearest = std::min_element(option.wordList.begin(), option.wordList.end(), [&](int32_t a, int32_t b) {
    return std::abs(ToNumber(option, a) - wanted) < std::abs(ToNumber(option, b) - wanted);
  });
  return WordValue(option, *nearest);
}

std::optional<OptionValue> GeometryValue(std::string_view name, const OptionDescriptor& option,
                                         const ScanRequest& request) {
  if (request.paperSize != kPaperA4 && request.paperSize != kPaperLetter) return std::nullopt;
  if (option.unit != SANE_UNIT_MM || (option.type != SANE_TYPE_INT && option.type != SANE_TYPE_FIXED))
    return std::nullopt;
  const PaperMillimetres paper = request.paperSize == kPaperA4 ? kA4 : kLetter;
  double wanted = 0;
  if (name == "br-x") wanted = paper.width;
  if (name == "br-y") wanted = paper.height;
  if (option.range) {
    wanted = std::clamp(wanted, ToNumber(option, option.range->min),
                        std::max(ToNumber(option, option.range->min), ToNumber(option, option.range->max)));
  }
  return WordValue(option, ToWord(option, wanted));
}

}  // namespace

bool IsFeederSource(std::string_view source) {
  return Contains(source, "adf") || Contains(source, "feeder") || Contains(source, "automatic document");
}

bool IsDuplexSource(std::string_view source) { return Contains(source, "duplex"); }

int FindOption(const std::vector<OptionDescriptor>& options, std::string_view name) {
  for (size_t i = 1; i < options.size(); ++i) {
    if (options[i].name == name) return int(i);
  }
  return -1;
}

std::vector<int32_t> SupportedColorFormats(const std::vector<OptionDescriptor>& options) {
  std::vector<int32_t> formats;
  bool gray = false;
  if (const OptionDescriptor* mode = Usable(options, "mode")) {
    for (const std::string& name : mode->stringList) {
      const int format = ColorFormatOfMode(name);
      if (format != 0) formats.push_back(format);
      gray = gray || format == 8;
    }
  }
  // Line art as gray with 1-bit samples; the depth option may be inactive in the current mode,
  // so its constraint is read whatever its state.
  const int depthIndex = FindOption(options, "depth");
  if (gray && depthIndex >= 0) {
    const auto& depths = options[size_t(depthIndex)].wordList;
    if (std::find(depths.begin(), depths.end(), 1) != depths.end()) formats.push_back(1);
  }
  return Sorted(std::move(formats));
}

std::vector<int32_t> SupportedPaperSources(const std::vector<OptionDescriptor>& options) {
  const OptionDescriptor* source = Usable(options, "source");
  if (!source) return {0};
  std::vector<int32_t> sources;
  for (const std::string& name : source->stringList) {
    if (IsFeederSource(name)) sources.push_back(1);
    if (IsFlatbedSource(name)) sources.push_back(0);
  }
  return Sorted(std::move(sources));
}

std::vector<int32_t> SupportedResolutions(const std::vector<OptionDescriptor>& options) {
  const OptionDescriptor* option = Usable(options, "resolution");
  if (!option || (option->type != SANE_TYPE_INT && option->type != SANE_TYPE_FIXED)) return {};
  std::vector<int32_t> values;
  if (option->range) {
    for (const int step : kStandardResolutions) {
      if (Allows(*option, step)) values.push_back(step);
    }
    return values;
  }
  for (const int32_t word : option->wordList) values.push_back(int32_t(std::lround(ToNumber(*option, word))));
  return Sorted(std::move(values));
}

std::vector<int32_t> SupportedOrientations(const std::vector<OptionDescriptor>&) {
  // The scanner has no notion of it: a landscape page is turned after the scan.
  return {0, kLandscape};
}

std::vector<int32_t> SupportedSimplexDuplex(const std::vector<OptionDescriptor>& options) {
  std::vector<int32_t> values{0};
  const OptionDescriptor* source = Usable(options, "source");
  const bool duplexSource = source && std::any_of(source->stringList.begin(), source->stringList.end(),
                                                  [](const std::string& s) { return IsDuplexSource(s); });
  const OptionDescriptor* duplex = Usable(options, "duplex");
  if (duplexSource || (duplex && duplex->type == SANE_TYPE_BOOL)) values.push_back(1);
  return values;
}

std::vector<int32_t> SupportedPaperSizes(const std::vector<OptionDescriptor>& options) {
  std::vector<int32_t> sizes{0};
  if (Fits(options, kA4)) sizes.push_back(kPaperA4);
  if (Fits(options, kLetter)) sizes.push_back(kPaperLetter);
  return sizes;
}

const std::vector<std::string_view>& ScanOptionNames() {
  static const std::vector<std::string_view> names{"source", "duplex", "mode", "depth", "resolution",
                                                   "tl-x",   "tl-y",   "br-x", "br-y"};
  return names;
}

std::optional<OptionValue> ValueFor(std::string_view name, const std::vector<OptionDescriptor>& options,
                                    const ScanRequest& request) {
  const OptionDescriptor* option = Usable(options, name);
  if (!option || !option->IsSettable()) return std::nullopt;
  if (name == "source") return SourceValue(*option, request);
  if (name == "mode") return ModeValue(*option, request);
  if (name == "resolution") return NearestResolution(*option, request.resolution);
  if (name == "duplex") {
    if (option->type != SANE_TYPE_BOOL) return std::nullopt;
    return WordValue(*option, request.duplex == 1 ? SANE_TRUE : SANE_FALSE);
  }
  if (name == "depth") {
    const int wanted = request.bitDepth == 1 ? 1 : 8;
    if (option->type != SANE_TYPE_INT || !Allows(*option, wanted)) return std::nullopt;
    return WordValue(*option, wanted);
  }
  return GeometryValue(name, *option, request);
}

}  // namespace sanenet
