// The modem operations in either dialect, each one whole connection from
// open to close: the command line's at the prompt pace, the window's at its
// own, in the card's dialect. Given Dialect::Auto, a connection first asks
// the modem which one it speaks: a supported card identifies itself to
// "ati3", any other modem answers "AT" with OK. A dialect given is taken as
// it is, but for a detection, which checks it; at the window's pace it is
// taken for a port that did not open too, which so takes its operation's
// windows all the same.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/country_table.h"
#include "core/dialect.h"
#include "core/gci_codes.h"
#include "core/modem_link.h"
#include "core/modem_port.h"
#include "core/modem_timing.h"

// Told the dialect as soon as it is settled, before the command goes out.
using DialectSettled = std::function<void(Dialect)>;

// One port probed in the dialect wanted: t19 the identification of a
// supported card within probeWindow of "ati3", gci a final OK within
// probeWindow of "AT", auto the one and then, if something answered but no
// card, the other. The next port's turn comes nextProbe after the verdict.
struct DetectResult {
    LinkReport report;
    Dialect dialect = Dialect::Auto;  // the dialect it speaks; Auto: no modem answered
};
// A probe's steps, for a caller that shows them as they come (the window's
// progress dialog); each may be left out.
struct ProbeSteps {
    // The port was opened and, if it opened, the probe written: the probe window starts.
    std::function<void()> opened;
    // The verdict, the port released; the pause before the next port follows.
    std::function<void(const DetectResult& result)> probed;
    // At the window's pace, how the probe window and the pause before the
    // next port pass (the window dispatches its messages meanwhile); the
    // verdict is taken from what has come by the window's end. nullptr: asleep.
    PauseFn pause = nullptr;
};
DetectResult DetectModem(ModemPort& port, const char* name, Dialect wanted, const ModemTiming& timing,
                         const ProbeSteps& steps = {});

// A fresh port for each of the ports a detection probes at once.
using PortMaker = std::function<std::unique_ptr<ModemPort>()>;
// Told of each port just before it is probed.
using ProbeStart = std::function<void(const std::string& name)>;
// Every port, in order: at the prompt pace all at once, each on a port of
// its own, so the whole costs one settling pause and one window; otherwise
// one after another on one port, as the window probes, stopping after the
// first modem when firstOnly. One result for each port probed.
std::vector<DetectResult> DetectModems(const PortMaker& makePort, const std::vector<std::string>& names,
                                       Dialect wanted, const ModemTiming& timing, bool firstOnly,
                                       const ProbeStart& probing = nullptr);

// The modem's country. t19: the reply to "i9" looked up in the table by its
// identification text; gci: the code of "+GCI?" looked up by the countries'
// +GCI codes.
// The country is the table line found, -1 for none; the reply as captured
// and whether anything came back but the echo are t19's.
struct CountryQuery : CountryAnswer {
    LinkReport report;
    Dialect dialect = Dialect::Auto;        // Auto: no modem answered
    FinalResult final = FinalResult::None;  // gci: how "+GCI?" ended
    int gciCode = -1;                       // gci: the code reported, -1: none
};
// Told the query's result while its port is still open (the window shows it
// then); its report follows.
using QueryAnswered = std::function<void(const CountryQuery&)>;
CountryQuery QueryCountryIn(ModemPort& port, const char* name, Dialect dialect, const CountryRecord* table,
                            int count, const ModemTiming& timing, const DialectSettled& settled = nullptr,
                            const QueryAnswered& answered = nullptr);
// Whether the modem that a query read has the country: the card's answer
// names a table line with the country's code, or a gci modem reports one of
// the country's +GCI codes. A setting that reads first goes by this rule.
bool HasCountry(const CountryQuery& query, const CountryRecord* table, const CountryRecord& country);

// The codes a gci modem supports ("+GCI=?"). A card has no such list.
struct SupportedQuery {
    LinkReport report;
    Dialect dialect = Dialect::Auto;
    FinalResult final = FinalResult::None;
    bool listed = false;  // the answer held a list
    GciCodeSet codes;
    std::string text;  // the list as the modem wrote it
};
SupportedQuery QuerySupported(ModemPort& port, const char* name, Dialect dialect, const ModemTiming& timing,
                              const DialectSettled& settled = nullptr);

// A country written into the modem. t19: "%t19,0," and the table's code,
// acknowledged by OK. gci: the list asked first, a code of the country's
// that the modem supports sent with "+GCI=", and after its OK the country
// read back. Told to read first, it asks the modem's country before
// anything else ("i9" looked up in the table, "+GCI?"), and writes nothing
// when the modem has that country already.
enum class SetOutcome {
    Set,              // acknowledged (gci: and read back), or the modem had the country already
    NotAcknowledged,  // no OK in time (an ERROR among them)
    NotTaken,         // gci: OK, but the modem still reports another code
    Unsupported,      // gci: none of the country's codes is in the modem's list; nothing sent
    NoGciCode,        // gci: the country has no +GCI code; nothing sent
    NoList,           // gci: "+GCI=?" answered ERROR, or no list in time; nothing sent
    NoModem,          // auto: no modem answered
};
struct CountrySet {
    LinkReport report;
    Dialect dialect = Dialect::Auto;
    SetOutcome outcome = SetOutcome::NoModem;
    bool written = false;  // the setting command went out
    int gciCode = -1;      // gci: the code sent (or that would have been)
    GciCodeSet supported;  // gci: the modem's list
    std::string listed;    // gci: the list as the modem wrote it
    FinalResult listFinal = FinalResult::None;
    int readBack = -1;  // gci: the code the modem reported after the setting
};
// The table the card's answer is looked up in, for a setting that reads
// first; no table: the country is written at once.
struct ReadFirst {
    const CountryRecord* table = nullptr;
    int count = 0;
};
CountrySet SetCountryIn(ModemPort& port, const char* name, Dialect dialect, const CountryRecord& country,
                        const ModemTiming& timing, const DialectSettled& settled = nullptr,
                        const ReadFirst& readFirst = {});
