#include "SaneReplies.h"

#include <sane/sane.h>

namespace sanenet {

bool OptionDescriptor::IsActive() const { return (capabilities & SANE_CAP_INACTIVE) == 0; }

bool OptionDescriptor::IsSettable() const { return IsActive() && (capabilities & SANE_CAP_SOFT_SELECT) != 0; }

InitReply ReadInitReply(WireReader& reader) {
  InitReply reply;
  reply.status = reader.Word();
  reply.versionCode = reader.Word();
  return reply;
}

namespace {

DeviceInfo ReadDevice(WireReader& reader) {
  DeviceInfo device;
  device.name = reader.String();
  device.vendor = reader.String();
  device.model = reader.String();
  device.type = reader.String();
  return device;
}

void ReadConstraint(WireReader& reader, OptionDescriptor& option) {
  switch (option.constraintType) {
    case SANE_CONSTRAINT_NONE:
      return;
    case SANE_CONSTRAINT_RANGE:
      if (reader.Pointer()) option.range = OptionRange{reader.Word(), reader.Word(), reader.Word()};
      return;
    case SANE_CONSTRAINT_WORD_LIST: {
      std::vector<int32_t> words = reader.WordArray("a word list");
      // The first word counts the values; trust the array, which is what was sent.
      if (!words.empty()) words.erase(words.begin());
      option.wordList = std::move(words);
      return;
    }
    case SANE_CONSTRAINT_STRING_LIST:
      option.stringList = reader.StringArray("a string list");
      return;
  }
  throw SaneError("the service sent option \"" + option.name + "\" with an unknown constraint type " +
                  std::to_string(option.constraintType));
}

OptionDescriptor ReadDescriptor(WireReader& reader) {
  OptionDescriptor option;
  option.name = reader.String();
  option.title = reader.String();
  option.description = reader.String();
  option.type = reader.Word();
  option.unit = reader.Word();
  option.size = reader.Word();
  option.capabilities = reader.Word();
  option.constraintType = reader.Word();
  ReadConstraint(reader, option);
  return option;
}

}  // namespace

DevicesReply ReadDevicesReply(WireReader& reader) {
  DevicesReply reply;
  reply.status = reader.Word();
  const uint32_t count = reader.ArrayLength("the device list");
  for (uint32_t i = 0; i < count; ++i) {
    if (reader.Pointer()) reply.devices.push_back(ReadDevice(reader));  // NULL ends the C list
  }
  return reply;
}

OpenReply ReadOpenReply(WireReader& reader) {
  OpenReply reply;
  reply.status = reader.Word();
  reply.handle = reader.Word();
  reply.resource = reader.String();
  return reply;
}

std::vector<OptionDescriptor> ReadOptionDescriptors(WireReader& reader) {
  const uint32_t count = reader.ArrayLength("the option list");
  std::vector<OptionDescriptor> options;
  for (uint32_t i = 0; i < count; ++i) {
    // A NULL entry keeps its index, so that indexes stay the service's option numbers.
    options.push_back(reader.Pointer() ? ReadDescriptor(reader) : OptionDescriptor{});
  }
  return options;
}

OptionValue ReadOptionValue(WireReader& reader) {
  OptionValue value;
  value.type = reader.Word();
  value.size = reader.Word();
  if (value.type == SANE_TYPE_STRING) {
    const std::vector<uint8_t> bytes = reader.ByteArray("a text value");
    value.text.assign(bytes.begin(), bytes.end());
    value.text.resize(value.text.find('\0') == std::string::npos ? value.text.size() : value.text.find('\0'));
  } else {
    value.words = reader.WordArray("an option value");
  }
  return value;
}

ControlReply ReadControlReply(WireReader& reader) {
  ControlReply reply;
  reply.status = reader.Word();
  reply.info = reader.Word();
  reply.value = ReadOptionValue(reader);
  reply.resource = reader.String();
  return reply;
}

ParametersReply ReadParametersReply(WireReader& reader) {
  ParametersReply reply;
  reply.status = reader.Word();
  reply.format = reader.Word();
  reply.lastFrame = reader.Word() != 0;
  reply.bytesPerLine = reader.Word();
  reply.pixelsPerLine = reader.Word();
  reply.lines = reader.Word();
  reply.depth = reader.Word();
  return reply;
}

StartReply ReadStartReply(WireReader& reader) {
  StartReply reply;
  reply.status = reader.Word();
  reply.port = reader.Word();
  reply.byteOrder = reader.Word();
  reply.resource = reader.String();
  return reply;
}

std::string StatusText(int32_t status) {
  switch (status) {
    case SANE_STATUS_GOOD: return "Success";
    case SANE_STATUS_UNSUPPORTED: return "Operation not supported";
    case SANE_STATUS_CANCELLED: return "Operation was cancelled";
    case SANE_STATUS_DEVICE_BUSY: return "Device busy";
    case SANE_STATUS_INVAL: return "Invalid argument";
    case SANE_STATUS_EOF: return "End of file reached";
    case SANE_STATUS_JAMMED: return "Document feeder jammed";
    case SANE_STATUS_NO_DOCS: return "Document feeder out of documents";
    case SANE_STATUS_COVER_OPEN: return "Scanner cover is open";
    case SANE_STATUS_IO_ERROR: return "Error during device I/O";
    case SANE_STATUS_NO_MEM: return "Out of memory";
    case SANE_STATUS_ACCESS_DENIED: return "Access to resource has been denied";
    default: return "Unknown status " + std::to_string(status);
  }
}

}  // namespace sanenet
