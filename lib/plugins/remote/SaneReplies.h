#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SaneWire.h"

// The replies of the scanner service's remote procedures, decoded from the wire. Decoding only
// checks the encoding; what a reply means (its status, its values) is the session's business.
namespace sanenet {

struct InitReply {
  int32_t status = 0;
  int32_t versionCode = 0;
};

struct DeviceInfo {
  std::string name;
  std::string vendor;
  std::string model;
  std::string type;
};

struct DevicesReply {
  int32_t status = 0;
  std::vector<DeviceInfo> devices;
};

struct OpenReply {
  int32_t status = 0;
  int32_t handle = 0;
  std::string resource;  // not empty: the service wants this resource authorised first
};

struct OptionRange {
  int32_t min = 0;
  int32_t max = 0;
  int32_t quant = 0;
};

struct OptionDescriptor {
  std::string name;
  std::string title;
  std::string description;
  int32_t type = 0;
  int32_t unit = 0;
  int32_t size = 0;
  int32_t capabilities = 0;
  int32_t constraintType = 0;
  std::vector<std::string> stringList;  // constraint: string list
  std::vector<int32_t> wordList;        // constraint: word list, without its leading count
  std::optional<OptionRange> range;     // constraint: range

  bool IsActive() const;
  bool IsSettable() const;
};

// An option's value as it travels: words for booleans, integers and fixed-point numbers, bytes
// (with the NUL) for strings.
struct OptionValue {
  int32_t type = 0;
  int32_t size = 0;
  std::vector<int32_t> words;
  std::string text;
};

struct ControlReply {
  int32_t status = 0;
  int32_t info = 0;
  OptionValue value;
  std::string resource;
};

struct ParametersReply {
  int32_t status = 0;
  int32_t format = 0;
  bool lastFrame = false;
  int32_t bytesPerLine = 0;
  int32_t pixelsPerLine = 0;
  int32_t lines = 0;
  int32_t depth = 0;
};

struct StartReply {
  int32_t status = 0;
  int32_t port = 0;
  int32_t byteOrder = 0;
  std::string resource;
};

InitReply ReadInitReply(WireReader& reader);
DevicesReply ReadDevicesReply(WireReader& reader);
OpenReply ReadOpenReply(WireReader& reader);
// Index 0 is the option count, as the service lists it.
std::vector<OptionDescriptor> ReadOptionDescriptors(WireReader& reader);
OptionValue ReadOptionValue(WireReader& reader);
ControlReply ReadControlReply(WireReader& reader);
ParametersReply ReadParametersReply(WireReader& reader);
StartReply ReadStartReply(WireReader& reader);

// The service's text for a status code ("Document feeder out of documents").
std::string StatusText(int32_t status);

}  // namespace sanenet
