// The record handed to the shell for the notification-area icon.
#pragma once
#include <windows.h>
#include <shellapi.h>

// The record's size in its original form, which every shell understands: 88
// bytes on 32-bit Windows, 104 on 64-bit.
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V1_SIZE;
// The tip field of that form, its terminating zero included: the shell reads
// no more of the record's longer field.
constexpr int kTrayTipSize = 64;

// Fills the record for window owner, icon id and icon; the tip (none: empty)
// is cut to 63 characters.
void FillTrayRecord(NOTIFYICONDATAA& record, HWND owner, UINT id, HICON icon, const char* tip);
