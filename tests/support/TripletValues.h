#pragma once

// Data groups and data argument types that tests combine into triplets: every one the source
// supports and a few it does not.

#include "twain/twain.h"

namespace test_support {

inline constexpr TW_UINT32 kTripletGroups[] = {DG_CONTROL, DG_IMAGE, DG_AUDIO};

inline constexpr TW_UINT16 kTripletTypes[] = {
    DAT_NULL,          DAT_CAPABILITY,      DAT_EVENT,         DAT_IDENTITY,   DAT_PARENT,
    DAT_PENDINGXFERS,  DAT_SETUPMEMXFER,    DAT_SETUPFILEXFER, DAT_STATUS,     DAT_USERINTERFACE,
    DAT_XFERGROUP,     DAT_CUSTOMDSDATA,    DAT_CALLBACK,      DAT_IMAGEINFO,  DAT_IMAGELAYOUT,
    DAT_IMAGEMEMXFER,  DAT_IMAGENATIVEXFER, DAT_IMAGEFILEXFER, DAT_PALETTE8,   DAT_EXTIMAGEINFO,
    DAT_AUDIOINFO,     DAT_ENTRYPOINT};

}  // namespace test_support
