#include "twain/capabilities/CapabilityValues.h"

#include "twain/capabilities/CapabilityStorage.h"

TW_INT16 CapabilityValues::XferCount() { return LiveCapabilityStorage().xferCount.current[0]; }

void CapabilityValues::SetXferCount(TW_INT16 count) { LiveCapabilityStorage().xferCount.current[0] = count; }

TW_UINT16 CapabilityValues::PixelType() { return LiveCapabilityStorage().pixelType.current[0]; }

TW_UINT16 CapabilityValues::BitDepth() { return LiveCapabilityStorage().bitDepth.current[0]; }

TW_UINT16 CapabilityValues::PixelFlavor() { return LiveCapabilityStorage().pixelFlavor.current[0]; }

double CapabilityValues::XResolution() { return LiveCapabilityStorage().xResolution.current[0]; }

double CapabilityValues::YResolution() { return LiveCapabilityStorage().yResolution.current[0]; }
