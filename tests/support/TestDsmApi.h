#pragma once

// The test data source manager's exports beyond DSM_Entry, for tests only.
// The manager itself is libtwaindsm.so.2 of the build tree: it stands in for the
// real manager, which is not packaged here, and behaves like it for everything a
// data source meets.

#include "twain/twain.h"

extern "C" {

// One DAT_NULL notification a source sent through DSM_Entry.
struct TestDsmNotification {
  TW_UINT32 sourceId;       // the origin's Id
  TW_UINT32 applicationId;  // the destination's Id
  TW_UINT16 msg;            // MSG_XFERREADY, MSG_CLOSEDSREQ, ...
  TW_UINT16 delivered;      // 1 when an application callback received it
  TW_UINT16 callbackResult; // what the callback answered (0 when not delivered)
  unsigned long long threadHash;  // std::hash of the sending thread's id
};

// The data source file the manager offers (one). nullptr falls back to the
// environment variable VELLORAN_TEST_DS. Read at MSG_OPENDSM.
void TestDsm_SetSourcePath(const char* path);

int TestDsm_NotificationCount(void);
// Copies notification `index` (oldest first); 0 when there is none.
int TestDsm_GetNotification(int index, TestDsmNotification* notification);
void TestDsm_ClearNotifications(void);

// How many times the manager has loaded a data source library (probes included).
int TestDsm_SourceLoadCount(void);
}
