// The three modem operations, each one whole connection from open to close:
// for a caller with nothing to show meanwhile (the command line).
#pragma once
#include "core/country_table.h"
#include "core/modem_link.h"
#include "core/modem_port.h"
#include "core/modem_timing.h"

// The identification probe of one port, paced as a detection run paces it:
// the verdict probeWindow after "ati3", the next port's turn nextProbe later.
struct ProbeResult {
    LinkReport report;
    bool identified = false;
};
ProbeResult ProbePort(ModemPort& port, const char* name, const ModemTiming& timing = kProgramPace);

// The country information, looked up in the table.
struct QueryResult {
    LinkReport report;
    CountryAnswer answer;
};
QueryResult QueryCountry(ModemPort& port, const char* name, const CountryRecord* table, int count,
                         const ModemTiming& timing = kProgramPace);

// Writes the country code; acknowledged when the modem's "OK" line ended in time.
struct SetResult {
    LinkReport report;
    bool acknowledged = false;
};
SetResult SetCountry(ModemPort& port, const char* name, const char* code,
                     const ModemTiming& timing = kProgramPace);
