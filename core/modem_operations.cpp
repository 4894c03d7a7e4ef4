#include "core/modem_operations.h"

#include <thread>

ProbeResult ProbePort(ModemPort& port, const char* name, const ModemTiming& timing) {
    ModemLink link(port, timing);
    link.Open(name, LinkMode::Probe);
    // A port that did not open is given its windows too, as a detection run does.
    link.ListenFor(timing.probeWindow);
    ProbeResult result;
    result.identified = link.Identified();
    link.Release(Teardown::AfterProbe);
    std::this_thread::sleep_for(timing.nextProbe);
    result.report = link.Report();
    return result;
}

QueryResult QueryCountry(ModemPort& port, const char* name, const CountryRecord* table, int count,
                         const ModemTiming& timing) {
    ModemLink link(port, timing);
    link.Open(name, LinkMode::Plain);
    QueryResult result;
    if (link.IsOpen()) result.answer = link.AskCountry(table, count);
    link.Release(Teardown::AfterCommand);
    result.report = link.Report();
    return result;
}

SetResult SetCountry(ModemPort& port, const char* name, const char* code, const ModemTiming& timing) {
    ModemLink link(port, timing);
    link.Open(name, LinkMode::Plain);
    SetResult result;
    if (link.IsOpen()) result.acknowledged = link.WriteCountryCode(code);
    link.Release(Teardown::AfterCommand);
    result.report = link.Report();
    return result;
}
