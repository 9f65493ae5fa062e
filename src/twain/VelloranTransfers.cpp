// The image description answers and the three transfer mechanisms.
#include "twain/Velloran.h"

TW_UINT16 Velloran::GetImageInfo(TW_IMAGEINFO&) { return Fail(failure_text::kTransfer, TWCC_BADPROTOCOL); }

TW_UINT16 Velloran::GetPalette8(TW_PALETTE8&) { return Fail(failure_text::kPalette8, TWCC_BADPROTOCOL); }

TW_UINT16 Velloran::NativeXfer(const TwainTriplet& triplet) {
  return RefuseUnavailable(triplet.dg, triplet.dat, triplet.msg);
}

TW_UINT16 Velloran::SetupMemXfer(const TwainTriplet& triplet) {
  return RefuseUnavailable(triplet.dg, triplet.dat, triplet.msg);
}

TW_UINT16 Velloran::MemXfer(const TwainTriplet& triplet) {
  return RefuseUnavailable(triplet.dg, triplet.dat, triplet.msg);
}

TW_UINT16 Velloran::SetupFileXfer(const TwainTriplet& triplet) {
  return RefuseUnavailable(triplet.dg, triplet.dat, triplet.msg);
}

TW_UINT16 Velloran::FileXfer(const TwainTriplet& triplet) {
  return RefuseUnavailable(triplet.dg, triplet.dat, triplet.msg);
}
