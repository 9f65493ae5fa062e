#pragma once

#include "twain/twain.h"

// One call of the source's entry point, exactly as the data source manager made
// it. Handlers receive it whole; the pointers belong to the caller and live only
// for the duration of the call.
struct TwainTriplet {
  TW_IDENTITY* origin = nullptr;  // the application's identity (null on the manager's identity probe)
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  TW_MEMREF data = nullptr;
};
