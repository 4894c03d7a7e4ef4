// The command-line companion's modem operations: each one port connection
// with the program's own steps, pauses and reply windows.
#pragma once
#include "country/country_record.h"

enum class PortState {
    Answered,    // the port opened and was worked (a probe: the modem identified itself)
    Silent,      // the port opened, but no supported modem answered
    CannotOpen,  // no such port, or a handle that is no working serial port
    InUse,       // another program holds the port
};

// The identification probe of a detection run on one port.
PortState ProbePort(int port);

// The country information, matched against the table: country is its index,
// or -1 when the reply names none. Silent when nothing but the echo of the
// command came back.
PortState QueryCountry(int port, const CountryRecord* table, int count, int& country);

// Writes "%t19,0," and the code; acknowledged when a line that is exactly
// "OK" ends within the setting's window.
PortState SetCountry(int port, const char* code, bool& acknowledged);
