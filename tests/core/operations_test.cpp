// The operations in both dialects against the virtual modem's own engine, one
// table of rows over the card and gci modems: the codes a modem does not
// support, a modem that answers ERROR to +GCI or gives its code and no OK, one
// that says OK and keeps its country, the two codes of Germany, a setting that
// finds the country there already; the states other programs leave a modem in,
// a ringing line and a modem deaf after the open; the windows as upper bounds
// of the prompt pace, at their edges, and what came before a command; the
// pauses of the program's pace; the readiness wait; and the faults of a port,
// reported, with the windows of the window's pace taken all the same. Then the
// steps the window's pace hands its caller, a quit, and a detection that
// probes its ports at once.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/dialect_operations.h"
#include "tests/core/fake_port.h"
#include "tests/support/no_pauses.h"

namespace {

using fake::Ms;
using fake::Send;
// Short names for the rows.
using D = Dialect;
using S = SetOutcome;

// Ready: the open alone, with its readiness wait. SetReadFirst: a setting that reads the country first.
enum Op { Ready, Detect, Query, Supported, Set, SetReadFirst };

// What is wrong with the port, and the call the report must name then.
struct Fault {
    fake::Faults port;
    const char* reported = "";
    bool usable = true;
};

PortStatus Failed(PortFault fault, const char* call) { return PortStatus::Failure(fault, call, 5, "why"); }

const Fault kSound = {};
const Fault kInUse = {{Failed(PortFault::InUse, "open"), {}, {}, false}, "open", false};
const Fault kNoState = {{{}, Failed(PortFault::Failed, "GetCommState"), {}, true}, "GetCommState", false};
const Fault kNoQueues = {{{}, Failed(PortFault::Failed, "SetupComm"), {}, false}, "SetupComm", true};
const Fault kReadFails = {{{}, {}, Failed(PortFault::Failed, "read"), false}, "read", true};

struct Row {
    const char* what;
    std::string knobs;  // the modem, as the virtual modem's knobs; those after "|" once it answered the sync
    Op op;
    D asked;
    int country;  // set: the line of kTable to set
    D spoken;
    // Ready: 1 when ready; detect: 1 when found; query: the table line
    // found; supported: the count of codes listed; set: the SetOutcome.
    int answer;
    int code;                      // the +GCI code reported or sent, -1: none
    std::string written;           // every byte the modem received after the sync command's tries
    int atLeast = 0, atMost = -1;  // the time taken in ms, bounds included; -1: not timed
    int settle = 0;                // the readiness wait's bound, ms
    int tries = 1;                 // the sync command's tries, and up to 1 more for a row with a settle
    const Fault* fault = &kSound;
    const ModemTiming* pace = &kPromptPace;  // kNoPauses: no pause of opening or closing, no sync command
    std::vector<Send> script{};              // bytes the modem sends besides its answers
    // How long Open takes after the device's open (a back end's look at who
    // else holds the port), and whether the port tells when that was.
    int openTakes = 0;
    bool told = false;
};

// A line's code is its country's T.35 code, which both dialects take:
// Germany's 04 has a second, 42. Narnia's code is no hex octet, so it has
// no +GCI code.
const CountryRecord kTable[] = {{"Germany", "GERMANY", "GERMANY", "04"},
                                {"United Kingdom", "UNITED KINGDOM", "UK", "B4"},
                                {"United States", "UNITED STATES", "USA", "B5"},
                                {"Narnia", "NARNIA", "NARNIA", "NX"}};
constexpr int kCount = 4;
constexpr int kGermany = 0, kUk = 1, kUs = 2, kNarnia = 3;

int ToInt(SetOutcome outcome) { return static_cast<int>(outcome); }

struct Outcome {
    D spoken = D::Auto;
    int answer = -1, code = -1;
    LinkReport report{};
    Ms took{0};
    fake::Port port{};
};

Outcome Run(const Row& row, fake::Port& port, const ModemTiming& timing) {
    if (row.op == Ready) {
        ModemLink link(port, timing);
        link.Open("COM3", LinkMode::Plain);
        const LinkReport report = link.Report();
        link.ListenFor(Ms(250));
        EXPECT_EQ(link.Answer().Final(), FinalResult::None) << row.what << ": a late answer left for the command";
        link.Release(Teardown::AfterCommand);
        return {D::Auto, report.ready, -1, report};
    }
    if (row.op == Detect) {
        const DetectResult result = DetectModem(port, "COM3", row.asked, timing);
        return {result.dialect, result.dialect != D::Auto, -1, result.report};
    }
    if (row.op == Query) {
        const CountryQuery result = QueryCountryIn(port, "COM3", row.asked, kTable, kCount, timing);
        return {result.dialect, result.country, result.gciCode, result.report};
    }
    if (row.op == Supported) {
        const SupportedQuery result = QuerySupported(port, "COM3", row.asked, timing);
        return {result.dialect, static_cast<int>(result.codes.count()), -1, result.report};
    }
    const ReadFirst readFirst = row.op == SetReadFirst ? ReadFirst{kTable, kCount} : ReadFirst{};
    const CountrySet result =
        SetCountryIn(port, "COM3", row.asked, kTable[row.country], timing, nullptr, readFirst);
    return {result.dialect, ToInt(result.outcome), result.gciCode, result.report};
}

Outcome Play(const Row& row) {
    fake::Port port;
    const std::size_t bar = row.knobs.find('|');
    EXPECT_TRUE(port.SetKnobs(row.knobs.substr(0, bar))) << row.knobs;
    if (bar != std::string::npos) port.later = row.knobs.substr(bar + 1);
    port.script = row.script;
    port.faults = row.fault->port;
    port.openTakes = Ms(row.openTakes);
    port.tellsOpenedAt = row.told;
    ModemTiming timing = *row.pace;
    timing.settle = Ms(row.settle);
    const auto start = ModemClock::now();
    Outcome out = Run(row, port, timing);
    out.took = std::chrono::duration_cast<Ms>(ModemClock::now() - start);
    EXPECT_EQ(port.later, "") << row.what << ": the knobs after the sync never took effect";
    out.port = std::move(port);
    return out;
}

const std::string g = "personality=gci ";
const std::string kSync = "atE0Q0V1\r\n", kProbe = "ati3\r\n", kAt = "at\r\n", kI9 = "ati9\r\n";
const std::string kAsk = "at+GCI?\r\n", kList = "at+GCI=?\r\n";
std::string SetGci(const char* code) { return std::string("at+GCI=") + code + "\r\n"; }
std::string SetT19(const char* code) { return std::string("at%t19,0,") + code + "\r\n"; }

const char* ReportedCall(const LinkReport& report) {
    if (!report.open.Ok()) return report.open.call;
    if (!report.configure.Ok()) return report.configure.call;
    return report.line.call;
}

// The states another program leaves a modem in, as the virtual modem's knobs.
const std::string numbers = "verbose=0 echo=0 ", quiet = "quiet=1 ", ring = "ring=30|delay=45";
const std::string deaf = "deaf=700 ", keeps = "deaf=700 deafkeep=1 ";

// The rows laid out by hand.
// clang-format off
const Row kRows[] = {
    // Which dialect a modem speaks.
    {"detect gci: the card answers AT too", "", Detect, D::Gci, 0, D::Gci, 1, -1, kAt},

    // The country: the card's name in its reply, a gci modem's code (the forms of +GCI answers are
    // GciReplies' rows).
    {"query gci: 42 is Germany", g + "gcilist=00,42,B5 country=42", Query, D::Gci, 0, D::Gci, kGermany, 0x42,
     kAsk},
    {"query gci: a code of no country in the table", g + "gcilist=00-FF country=8A", Query, D::Gci, 0, D::Gci, -1,
     0x8A, kAsk},
    {"query gci: ERROR to +GCI", g + "gcierror=1", Query, D::Gci, 0, D::Gci, -1, -1, kAsk},
    {"query gci: +GCI: B5 and no OK after it", g + "|okword=FINE", Query, D::Gci, 0, D::Gci, -1, -1, kAsk, 1000,
     1040},

    // The codes supported.
    {"supported: the card has no list", "", Supported, D::Auto, 0, D::T19, 0, -1, kProbe},

    // The setting: the list asked, the code sent, the country read back.
    {"set auto gci: the United Kingdom", g, Set, D::Auto, kUk, D::Gci, ToInt(S::Set), 0xB4,
     kProbe + kAt + kList + SetGci("B4") + kAsk},
    {"set gci: Germany as 04 where the modem lists 04", g + "gcilist=00,04,42,B5", Set, D::Gci, kGermany, D::Gci,
     ToInt(S::Set), 0x04, kList + SetGci("04") + kAsk},
    {"set gci: Germany as 42 where the modem lists 42 alone", g + "gcilist=00,42,B5", Set, D::Gci, kGermany,
     D::Gci, ToInt(S::Set), 0x42, kList + SetGci("42") + kAsk},
    {"set gci: Germany not supported, nothing sent", g + "gcilist=00,B4,B5", Set, D::Gci, kGermany, D::Gci,
     ToInt(S::Unsupported), 0x04, kList},
    {"set gci: ERROR to +GCI, nothing sent", g + "gcierror=1", Set, D::Gci, kUk, D::Gci, ToInt(S::NoList), 0xB4,
     kList},
    {"set gci: OK, but the old country kept", g + "ignoreset=1", Set, D::Gci, kUk, D::Gci, ToInt(S::NotTaken),
     0xB4, kList + SetGci("B4") + kAsk},
    {"set gci: a country with no +GCI code, nothing sent", g, Set, D::Gci, kNarnia, D::Gci, ToInt(S::NoGciCode),
     -1, ""},
    // The card is sent the table's code as written, never the second code.
    {"set card: the table's 04 for Germany", "", Set, D::T19, kGermany, D::T19, ToInt(S::Set), -1, SetT19("04")},
    {"set auto: no modem", "silent=1", Set, D::Auto, kUk, D::Auto, ToInt(S::NoModem), -1, ""},

    // Read first: nothing written where the modem has the country already.
    {"set gci, read first: B4 there already", g + "country=B4", SetReadFirst, D::Auto, kUk, D::Gci, ToInt(S::Set),
     0xB4, kProbe + kAt + kAsk},
    {"set gci, read first: Germany there as 42", g + "gcilist=00,42,B5 country=42", SetReadFirst, D::Gci,
     kGermany, D::Gci, ToInt(S::Set), 0x42, kAsk},
    {"set gci, read first: another country, written", g, SetReadFirst, D::Gci, kUk, D::Gci, ToInt(S::Set), 0xB4,
     kAsk + kList + SetGci("B4") + kAsk},
    {"set gci, read first: no answer, written", g + "gcilist=00,B4,B5 bare=1|gcierror=1", SetReadFirst, D::Gci,
     kUk, D::Gci, ToInt(S::NoList), 0xB4, kAsk + kList},
    {"set card, read first: B4 there already", "country=B4", SetReadFirst, D::Auto, kUk, D::T19, ToInt(S::Set),
     -1, kProbe + kI9},
    {"set card, read first: another country, written", "", SetReadFirst, D::T19, kUk, D::T19, ToInt(S::Set), -1,
     kI9 + SetT19("B4")},

    // The states another program leaves a modem in, a ringing line, a modem deaf after the open.
    {"numbers, echo off: card set", numbers, Set, D::Auto, kUk, D::T19, ToInt(S::Set), -1, kProbe + SetT19("B4"),
     0, -1, 1000},
    {"quiet: gci set", g + quiet, Set, D::Gci, kUk, D::Gci, ToInt(S::Set), 0xB4, kList + SetGci("B4") + kAsk},
    {"ringing: card query", ring, Query, D::Auto, 0, D::T19, kUs, -1, kProbe + kI9},
    {"deaf 700 ms: card detect", deaf, Detect, D::Auto, 0, D::T19, 1, -1, kProbe, 900, 1000, 1000, 8},
    {"deaf 700 ms, every try answered on waking: card set", keeps, Set, D::Auto, kUk, D::T19, ToInt(S::Set), -1,
     kProbe + SetT19("B4"), 950, 1080, 1000, 7},
    {"deaf past the settle: no modem", g + "deaf=1200", Query, D::Auto, 0, D::Auto, -1, -1, "", 1000, 1080, 1000,
     10},

    // The windows are upper bounds of the prompt pace: an answer just inside one is taken, one just
    // outside is not, and an answer that is complete ends the wait at once.
    {"probe: just inside", "|delay=250", Detect, D::T19, 0, D::T19, 1, -1, kProbe, 250, 290},
    {"probe: just outside", "|delay=350", Detect, D::T19, 0, D::Auto, 0, -1, kProbe, 300, 340},
    {"i9: just inside", "|delay=150", Query, D::T19, 0, D::T19, kUs, -1, kI9, 150, 190},
    {"i9: just outside", "|delay=250", Query, D::T19, 0, D::T19, -1, -1, kI9, 200, 240},
    {"+GCI?: just inside", g + "|delay=950", Query, D::Gci, 0, D::Gci, kUs, 0xB5, kAsk, 950, 990},
    {"+GCI?: just outside", g + "|delay=1050", Query, D::Gci, 0, D::Gci, -1, -1, kAsk, 1000, 1040},
    {"%t19: OK just inside", "|delay=1850", Set, D::T19, kUk, D::T19, ToInt(S::Set), -1, SetT19("B4"), 1850, 1890},
    {"%t19: OK just outside", "|delay=2150", Set, D::T19, kUk, D::T19, ToInt(S::NotAcknowledged), -1,
     SetT19("B4"), 2000, 2040},
    // The probe's identification, found in the same connection, acknowledges nothing.
    {"%t19: ERROR ends the wait, after the probe", "seterror=1", Set, D::Auto, kUk, D::T19,
     ToInt(S::NotAcknowledged), -1, kProbe + SetT19("B4"), 0, 100},
    // What came before the command takes no part: a country named before i9 is no answer to it (nor is
    // the sync's OK an acknowledgement, as the row "%t19: OK just outside" shows).
    {"i9: a country named before the command is no answer", "delay=50|delay=250", Query, D::T19, 0, D::T19, -1,
     -1, kI9, 0, -1, 0, 1, &kSound, &kPromptPace, {{Ms(20), "GERMANY\r\n"}}},

    // The program's pace: the settings 1000 ms after the open, the command 500 ms after them, the close
    // 100 ms after the stop, and no sync command.
    {"the program's pace: card set", "", Set, D::T19, kUk, D::T19, ToInt(S::Set), -1, SetT19("B4"), 1600, 1800,
     1000, 0, &kSound, &kProgramPace},

    // The readiness wait of the prompt pace: the sync command from the open on, every 100 ms, until an
    // answer ends in a final result code, in words or in numbers, bounded by the settle; whatever answers
    // the other tries drained until the line is quiet for 200 ms. (Its time is the open's, and 250 ms
    // listened to after it.)
    {"ready: RING and the echo are no answer", "silent=1", Ready, D::Auto, 0, D::Auto, 0, -1, "", 550, 610, 250,
     3, &kSound, &kPromptPace, {{Ms(30), "\r\nRING\r\n"}}},
    {"ready: each try answered 150 ms late, the second's answer drained", "delay=150", Ready, D::Auto, 0, D::Auto,
     1, -1, "", 700, 770, 1000, 2},
    // The bound counts from the device's open where the port tells it, the time Open takes after it
    // included (from Open's return where it does not, as in the deaf rows).
    {"ready: silence, the bound from the device's open", "silent=1", Ready, D::Auto, 0, D::Auto, 0, -1, "", 850,
     930, 600, 3, &kSound, &kPromptPace, {}, 300, true},

    // The faults of a port reported, and at the window's pace its windows taken all the same.
    {"probe: port in use takes its window and writes nothing", "", Detect, D::T19, 0, D::Auto, 0, -1, "", 300,
     700, 0, 0, &kInUse, &kNoPauses},
    {"query: port in use takes its window", "", Query, D::T19, 0, D::T19, -1, -1, "", 200, 600, 0, 0, &kInUse,
     &kNoPauses},
    {"set: port in use takes its window", "", Set, D::T19, kUs, D::T19, ToInt(S::NotAcknowledged), -1, "", 2000,
     2400, 0, 0, &kInUse, &kNoPauses},
    {"set: port in use, at the prompt pace nothing is waited for", "", Set, D::T19, kUs, D::Auto,
     ToInt(S::NoModem), -1, "", 0, 400, 0, 0, &kInUse},
    {"probe: settings that leave no port", "", Detect, D::T19, 0, D::Auto, 0, -1, "", 300, 700, 0, 0, &kNoState,
     &kNoPauses},
    {"probe: a failed setting reported, the port worked as before", "delay=100", Detect, D::T19, 0, D::T19, 1, -1,
     kProbe, 300, 700, 0, 0, &kNoQueues, &kNoPauses},
    {"probe: the read fails, the window is waited out", "delay=100", Detect, D::T19, 0, D::Auto, 0, -1, kProbe,
     300, 700, 0, 0, &kReadFails, &kNoPauses},
};
// clang-format on

TEST(Operations, Rows) {
    std::vector<std::future<Outcome>> played;
    for (const Row& row : kRows) played.push_back(std::async(std::launch::async, Play, std::cref(row)));
    for (std::size_t i = 0; i < played.size(); ++i) {
        const Row& row = kRows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.spoken, row.spoken);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.code, row.code);
        EXPECT_STREQ(ReportedCall(out.report), row.fault->reported);
        EXPECT_EQ(out.report.usable, row.fault->usable);
        // The tries of the sync command first; a settle leaves room for one more try.
        const std::string& written = out.port.written;
        std::size_t at = 0;
        int tries = 0;
        for (; written.compare(at, kSync.size(), kSync) == 0; at += kSync.size()) ++tries;
        EXPECT_GE(tries, row.tries);
        EXPECT_LE(tries, row.tries + (row.settle > 0 && row.pace->prompt ? 1 : 0));
        EXPECT_EQ(written.substr(at), row.written);
        if (row.atMost >= 0) {
            EXPECT_GE(out.took.count(), row.atLeast);
            EXPECT_LE(out.took.count(), row.atMost);
        }
        // Every connection ends: reception stopped, then the port closed, if it was open.
        const std::vector<std::string>& calls = out.port.calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), "open COM3");
        if (out.report.usable) {
            ASSERT_GE(calls.size(), 2u);
            EXPECT_EQ(calls[calls.size() - 2], "stop");
            EXPECT_EQ(calls.back(), "close");
        }
    }
}

// The steps of the window's pace: a probe tells the caller when its window
// starts and, once the port is released, its verdict, and hands the window
// and the pause before the next port to the caller's pause, each counted
// from its start (the write, the verdict); a query tells its answer while
// the port is still open.
std::vector<std::string>* g_log = nullptr;
std::vector<Ms> g_pauses;

void Log(const std::string& what) { g_log->push_back(what); }

TEST(Operations, TheWindowsPaceHandsItsStepsToTheCaller) {
    fake::Port probed;
    g_log = &probed.calls;
    ProbeSteps steps;
    steps.opened = [] { Log("opened"); };
    steps.probed = [](const DetectResult& result) {
        Log(result.dialect == Dialect::T19 ? "found" : "none");
        std::this_thread::sleep_for(Ms(30));  // the caller's showing of it
    };
    steps.pause = [](Ms time) {
        g_pauses.push_back(time);
        Log("pause");
        std::this_thread::sleep_for(time);
    };
    ModemTiming paced = kNoPauses;
    paced.nextProbe = Ms(300);
    DetectModem(probed, "COM3", Dialect::T19, paced, steps);
    EXPECT_EQ(probed.calls, (std::vector<std::string>{"open COM3", "configure", "write " + kProbe, "opened",
                                                      "pause", "stop", "close", "found", "pause"}));
    ASSERT_EQ(g_pauses.size(), 2u);
    EXPECT_GE(g_pauses[0].count(), 290) << "the probe window, counted from the write";
    EXPECT_LE(g_pauses[0].count(), 300);
    // Counted from the verdict: 300 ms less the caller's 30 ms of showing it, and a busy machine's lag.
    EXPECT_GE(g_pauses[1].count(), 200) << "the pause before the next port, counted from the verdict";
    EXPECT_LE(g_pauses[1].count(), 270);

    fake::Port asked;
    g_log = &asked.calls;
    QueryCountryIn(asked, "COM3", Dialect::T19, kTable, kCount, kNoPauses, nullptr,
                   [](const CountryQuery& query) { Log("answered " + std::to_string(query.country)); });
    EXPECT_EQ(asked.calls,
              (std::vector<std::string>{"open COM3", "configure", "write " + kI9, "answered 2", "stop", "close"}));
}

// A quit's pause is the caller's, taken with no port open too, and it drops the line.
TEST(Operations, AQuitPausesAndDropsTheLine) {
    fake::Port quitting;
    static Ms paused{0};
    ModemLink(quitting, kProgramPace).Release(Teardown::OnQuit, [](Ms pause) { paused = pause; });
    EXPECT_EQ(paused, Ms(100)) << "no port open: the pause all the same";
    ModemLink link(quitting, kNoPauses);
    link.Open("COM4", LinkMode::Plain);
    link.Release(Teardown::OnQuit, [](Ms) {});
    EXPECT_EQ(quitting.calls.back(), "drop and close");
}

// A prompt detection probes every port at once: the silent ones cost one
// settle for all of them; at the window's pace one port after another,
// stopping after the first modem when asked to.
TEST(PromptPace, DetectionProbesEveryPortAtOnce) {
    const fake::Rack rack = {
        {"COM3", "silent=1"}, {"COM4", ""}, {"COM2", g}, {"COM1", g + "gcierror=1"}, {"COM6", ""}};
    const std::vector<std::string> names = {"COM3", "COM4", "COM2", "COM1", "COM5", "COM6"};
    const PortMaker make = [&] { return std::make_unique<fake::Port>(rack); };
    ModemTiming timing = kPromptPace;
    timing.settle = Ms(300);
    auto start = ModemClock::now();
    const std::vector<DetectResult> found = DetectModems(make, names, D::Auto, timing, false);
    const auto took = std::chrono::duration_cast<Ms>(ModemClock::now() - start).count();
    ASSERT_EQ(found.size(), names.size());
    const D spoken[] = {D::Auto, D::T19, D::Gci, D::Gci, D::Auto, D::T19};
    for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(found[i].dialect, spoken[i]) << names[i];
    EXPECT_FALSE(found[4].report.usable);
    EXPECT_GE(took, 300);  // the silent port's settle
    EXPECT_LE(took, 400);  // not six of them, and no window after it

    start = ModemClock::now();
    const std::vector<DetectResult> first = DetectModems(make, names, D::Auto, kNoPauses, true);
    ASSERT_EQ(first.size(), 2u) << "the second port's modem ends it";
    EXPECT_EQ(first[1].dialect, D::T19);
    EXPECT_GE(std::chrono::duration_cast<Ms>(ModemClock::now() - start).count(), 600) << "each window waited out";
}

}  // namespace
