// DAT_CAPABILITY: negotiation of the capabilities in the driver's map.
#include "twain/TwainDriver.h"

TW_UINT16 TwainDriver::OnCapability(const TwainTriplet&) {
  return Fail(failure_text::kCapability, TWCC_CAPUNSUPPORTED);
}
