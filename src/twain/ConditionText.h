#pragma once

#include "twain/twain.h"

// The diagnostic text of a TWAIN condition code, appended to every failure line
// of the log. Never null.
const char* ConditionText(TW_UINT16 conditionCode);
