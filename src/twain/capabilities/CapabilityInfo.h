#pragma once

#include "twain/twain.h"

// The fixed description of one capability: what its items are, which container each message
// answers with, and which messages an application may send for it.
struct CapabilityInfo {
  TW_UINT16 id = 0;                // CAP_... / ICAP_...
  TW_UINT16 itemType = 0;          // TWTY_...
  TW_UINT16 getContainer = 0;      // TWON_ONEVALUE, TWON_ENUMERATION or TWON_ARRAY for MSG_GET
  TW_UINT16 currentContainer = 0;  // the same for MSG_GETCURRENT, MSG_GETDEFAULT and MSG_RESET
  TW_UINT32 supportedMessages = 0; // TWQC_ bits

  static constexpr TW_UINT32 kReadWrite = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
  static constexpr TW_UINT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;
};
