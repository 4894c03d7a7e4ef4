// Recognising the insertion and removal of a supported modem card.
#pragma once
#include <windows.h>
#include <dbt.h>

// True when the record announces a port whose name is exactly (letter case
// included) one of the supported modems' names. Reads the name only within the
// record's stated size; a missing record, another device type, a short record
// or a name without its terminator count as no match.
bool IsSupportedModemPort(const DEV_BROADCAST_HDR* record);
