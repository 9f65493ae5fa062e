// The replies of the scanner service come straight from the network: the first byte picks the
// reply decoder, the rest is the reply. Every input must decode or fail with SaneError, within
// the reader's limits; nothing else may happen.

#include <cstdint>
#include <span>

#include "PageImage.h"
#include "SaneReplies.h"
#include "SaneWire.h"

namespace {

void Decode(uint8_t which, sanenet::WireReader& reader) {
  using namespace sanenet;
  switch (which % 8) {
    case 0: ReadInitReply(reader); return;
    case 1: ReadDevicesReply(reader); return;
    case 2: ReadOpenReply(reader); return;
    case 3: ReadOptionDescriptors(reader); return;
    case 4: ReadControlReply(reader); return;
    case 5: ReadParametersReply(reader); return;
    case 6: ReadStartReply(reader); return;
    case 7: {
      // Parameters then image bytes, made into a page as the scan does.
      Frame frame;
      frame.parameters = ReadParametersReply(reader);
      frame.bytes = reader.ByteArray("image");
      AssemblePage({frame});
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  sanenet::MemorySource source(std::span(data + 1, size - 1));
  sanenet::WireReader reader(source, sanenet::WireLimits{4096, 4096, 1 << 20});
  try {
    Decode(data[0], reader);
  } catch (const sanenet::SaneError&) {
  }
  return 0;
}
