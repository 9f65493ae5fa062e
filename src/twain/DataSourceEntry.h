#pragma once

#include "twain/TwainTriplet.h"

// Everything the exported DS_Entry does: hands the call to the module's driver
// (TWRC_SUCCESS without doing anything while there is none). No exception leaves
// it: one that escapes a handler is answered TWRC_FAILURE with TWCC_BUMMER and logged.
TW_UINT16 EnterDataSource(const TwainTriplet& triplet) noexcept;
