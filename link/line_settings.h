// The fixed line settings of every port connection.
#pragma once
#include <windows.h>

// Flag-word bits of a DCB that a connection clears, then sets: binary mode,
// parity checking, CTS and DSR output flow control, DTR and RTS handshake,
// XON/XOFF off both ways. All other flags are carried over.
constexpr DWORD kDcbFlagsCleared = 0x1310;
constexpr DWORD kDcbFlagsSet = 0x202F;

// 19200 bit/s, 8 data bits, no parity bit, one stop bit, and the flags above.
void ApplyLineSettings(DCB& dcb);

// Queue sizes, purge and timeouts of a connection.
constexpr DWORD kQueueSize = 4096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
COMMTIMEOUTS ConnectionTimeouts();
