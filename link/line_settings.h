// The fixed line settings of every port connection.
#pragma once
#include <windows.h>

// 19200 bit/s, 8 data bits, no parity bit, one stop bit; binary mode, parity
// checking, CTS and DSR output flow control, DTR and RTS handshake, XON/XOFF
// off both ways. Every other flag and character is carried over.
void ApplyLineSettings(DCB& dcb);

// Queue sizes, purge and timeouts of a connection.
constexpr DWORD kQueueSize = 4096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
COMMTIMEOUTS ConnectionTimeouts();
