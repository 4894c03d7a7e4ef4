// The card's operations as the window runs them, against scripted ports:
// the faults of a port reported, and the windows taken all the same at the
// window's pace; the steps it hands the caller; what comes before a command;
// the readiness wait of the prompt pace; the pauses of opening and closing.
// (The replies themselves, early, late, split and noisy, are the dialects'
// rows and the window's.)
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/dialect_operations.h"
#include "core/modem_commands.h"
#include "tests/core/fake_port.h"

namespace {

using fake::Ms;
using fake::Send;

enum Op { Probe, Query, Set };

// What is wrong with the port, and the call the report must name then.
struct Fault {
    PortStatus open, configure, read;
    bool configureCloses = false;
    const char* reported = "";
    bool usable = true;
};

PortStatus Failed(PortFault fault, const char* call) { return PortStatus::Failure(fault, call, 5, "why"); }

const Fault kInUse = {Failed(PortFault::InUse, "open"), {}, {}, false, "open", false};
const Fault kNoState = {{}, Failed(PortFault::Failed, "GetCommState"), {}, true, "GetCommState", false};
const Fault kNoQueues = {{}, Failed(PortFault::Failed, "SetupComm"), {}, false, "SetupComm", true};
const Fault kReadFails = {{}, {}, Failed(PortFault::Failed, "read"), false, "read", true};

const CountryRecord kTable[] = {{"Germany", "GERMANY", "GERMANY", "04"},
                                {"United States", "UNITED STATES", "USA", "B5"}};
constexpr int kUs = 1;

const std::string kProbe = "ati3\r\n";
const std::string kAsk = "ati9\r\n";
const std::string kSetUs = "at%t19,0,B5\r\n";

Send AfterWrite(int ms, std::string bytes) { return {Send::Write, Ms(ms), std::move(bytes)}; }
Send AfterOpen(int ms, std::string bytes) { return {Send::Open, Ms(ms), std::move(bytes)}; }

// The window's pace with no pause of opening or closing: its windows alone.
constexpr ModemTiming kWindows = [] {
    ModemTiming timing;
    timing.settle = timing.readerStart = timing.nextProbe = Ms(0);
    timing.commandRelease = timing.quitRelease = Ms(0);
    return timing;
}();

struct FaultRow {
    const char* what;
    Op op;
    const Fault& fault;
    const ModemTiming& timing;
    std::vector<Send> script;
    // The modem identified, the country acknowledged, or the line found (-1: none).
    int answer;
    std::string written;
    // The operation's duration in ms: at least this, at most 400 more.
    int took;
};

struct Outcome {
    int answer = -1;
    LinkReport report;
    Ms took{0};
    fake::Port port;
};

Outcome Play(const FaultRow& row) {
    Outcome out;
    fake::Port& port = out.port;
    port.script = row.script;
    port.openStatus = row.fault.open;
    port.configureStatus = row.fault.configure;
    port.configureCloses = row.fault.configureCloses;
    port.readStatus = row.fault.read;
    const auto start = ModemClock::now();
    if (row.op == Probe) {
        const DetectResult probe = DetectModem(port, "COM3", Dialect::T19, row.timing);
        out.answer = probe.dialect == Dialect::T19;
        out.report = probe.report;
    } else if (row.op == Query) {
        const CountryQuery query = QueryCountryIn(port, "COM3", Dialect::T19, kTable, 2, row.timing);
        out.answer = query.country;
        out.report = query.report;
    } else {
        const CountrySet set = SetCountryIn(port, "COM3", Dialect::T19, kTable[kUs], row.timing);
        out.answer = set.outcome == SetOutcome::Set;
        out.report = set.report;
    }
    out.took = std::chrono::duration_cast<Ms>(ModemClock::now() - start);
    return out;
}

const char* ReportedCall(const LinkReport& report) {
    if (!report.open.Ok()) return report.open.call;
    if (!report.configure.Ok()) return report.configure.call;
    return report.line.call;
}

TEST(Operations, FaultsAreReportedAndTheWindowsPassAllTheSame) {
    const std::string id1 = std::string(kModemId1) + "\r\n";
    // clang-format off
    const FaultRow rows[] = {
        {"probe: port in use takes its window and writes nothing", Probe, kInUse, kWindows, {}, 0, "", 300},
        {"query: port in use takes its window", Query, kInUse, kWindows, {}, -1, "", 200},
        {"set: port in use takes its window", Set, kInUse, kWindows, {}, 0, "", 2000},
        {"set: port in use, at the prompt pace nothing is waited for", Set, kInUse, kPromptPace, {}, 0, "", 0},
        {"probe: settings that leave no port", Probe, kNoState, kWindows, {AfterWrite(0, id1)}, 0, "", 300},
        {"set: settings that leave no port", Set, kNoState, kWindows, {}, 0, "", 2000},
        {"probe: a failed setting reported, the port worked as before", Probe, kNoQueues, kWindows,
         {AfterWrite(100, id1)}, 1, kProbe, 300},
        {"probe: the read fails, the window is waited out", Probe, kReadFails, kWindows, {AfterWrite(100, id1)}, 0,
         kProbe, 300},
        {"query: the read fails", Query, kReadFails, kWindows, {AfterWrite(50, "UNITED STATES\r\n")}, -1, kAsk, 200},
        {"set: the read fails", Set, kReadFails, kWindows, {AfterWrite(100, "OK\r\n")}, 0, kSetUs, 2000},
    };
    // clang-format on
    std::vector<std::future<Outcome>> played;
    for (const FaultRow& row : rows) played.push_back(std::async(std::launch::async, Play, std::cref(row)));
    for (size_t i = 0; i < played.size(); ++i) {
        const FaultRow& row = rows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.port.Written(), row.written);
        EXPECT_STREQ(ReportedCall(out.report), row.fault.reported);
        EXPECT_EQ(out.report.usable, row.fault.usable);
        EXPECT_GE(out.took.count(), row.took);
        EXPECT_LE(out.took.count(), row.took + 400);
        // Every connection ends: reception stopped, then the port closed, if it was open.
        const std::vector<fake::Call>& calls = out.port.calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().what, "open COM3");
        if (row.fault.usable) {
            ASSERT_GE(calls.size(), 2u);
            EXPECT_EQ(calls[calls.size() - 2].what, "stop");
            EXPECT_EQ(calls.back().what, "close");
        }
    }
}

// The steps of the window's pace: a probe tells the caller when its window
// starts and, once the port is released, its verdict, and hands the window
// and the pause before the next port to the caller's pause, each counted
// from its start (the write, the verdict); a query tells its answer while
// the port is still open.
std::vector<fake::Call>* g_log = nullptr;
std::vector<Ms> g_pauses;

void Log(const std::string& what) { g_log->push_back({what, ModemClock::now()}); }

TEST(Operations, TheWindowsPaceHandsItsStepsToTheCaller) {
    fake::Port probed;
    probed.script = {AfterWrite(50, std::string(kModemId1) + "\r\n")};
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
    ModemTiming paced = kWindows;
    paced.nextProbe = Ms(300);
    DetectModem(probed, "COM3", Dialect::T19, paced, steps);
    std::vector<std::string> calls;
    for (const fake::Call& call : probed.calls) calls.push_back(call.what);
    EXPECT_EQ(calls, (std::vector<std::string>{"open COM3", "configure", "write " + kProbe, "opened", "pause",
                                               "stop", "close", "found", "pause"}));
    ASSERT_EQ(g_pauses.size(), 2u);
    EXPECT_GE(g_pauses[0].count(), 290) << "the probe window, counted from the write";
    EXPECT_LE(g_pauses[0].count(), 300);
    EXPECT_GE(g_pauses[1].count(), 260) << "the pause before the next port, counted from the verdict";
    EXPECT_LE(g_pauses[1].count(), 270);

    fake::Port asked;
    asked.script = {AfterWrite(20, "UNITED STATES\r\n")};
    g_log = &asked.calls;
    QueryCountryIn(asked, "COM3", Dialect::T19, kTable, 2, kWindows, nullptr,
                   [](const CountryQuery& query) { Log("answered " + std::to_string(query.country)); });
    calls.clear();
    for (const fake::Call& call : asked.calls) calls.push_back(call.what);
    EXPECT_EQ(calls, (std::vector<std::string>{"open COM3", "configure", "write " + kAsk, "answered 1", "stop",
                                               "close"}));
}

// What the modem sends between the open and the command takes no part: not
// in the query's reply, and no "OK" acknowledges a setting before it is sent.
TEST(Link, WhatArrivesBeforeTheCommandTakesNoPart) {
    for (bool query : {true, false}) {
        SCOPED_TRACE(query ? "query" : "set");
        fake::Port port;
        port.script = {AfterOpen(20, query ? "GERMANY\r\n" : "OK\r\n")};
        ModemLink link(port, kWindows);
        link.Open("COM2", LinkMode::Plain);
        std::this_thread::sleep_for(Ms(60));  // the caller's own business, after the open
        if (query)
            EXPECT_EQ(link.AskCountry(kTable, 2).country, -1);
        else
            EXPECT_FALSE(link.WriteCountryCode("04"));
        link.Release(Teardown::AfterCommand);
    }
}

// The readiness wait of the prompt pace, against scripted modems: the sync
// command from the open on, every 100 ms, until an answer ends in a final
// result code, in words or in numbers, bounded by the settle; and whatever
// answers the other tries drained until the line is quiet for 200 ms, so that
// none is left for the next command.
TEST(Readiness, Rows) {
    const std::string ok = "\r\nOK\r\n", ring = "\r\nRING\r\n";
    const struct {
        const char* what;
        std::vector<Send> script;
        int settle;
        bool ready;
        int tries;
        int atLeast, atMost;  // the time taken by the open, ms
    } rows[] = {
        // clang-format off
        {"OK at once", {AfterWrite(2, ok)}, 1000, true, 1, 0, 50},
        {"0, OK in numbers", {AfterWrite(2, "0\r")}, 1000, true, 1, 0, 50},
        {"ERROR: a modem that listens", {AfterWrite(2, "\r\nERROR\r\n")}, 1000, true, 1, 0, 50},
        {"RING and the echo are no answer", {AfterOpen(30, ring), AfterWrite(2, "atE0Q0V1\r")}, 250, false, 3,
         300, 360},
        {"silence costs the settle", {}, 1000, false, 10, 1000, 1080},
        {"settle 0: one try", {}, 0, false, 1, 100, 150},
        {"deaf 250 ms, then OK at once, and quiet", {AfterOpen(250, ok)}, 1000, true, 3, 450, 520},
        {"each try answered 150 ms late: the second's answer drained", {AfterWrite(150, ok)}, 1000, true, 2, 450,
         520},
        // clang-format on
    };
    struct Outcome {
        bool ready, stale;
        std::string written;
        long long took;
    };
    std::vector<std::future<Outcome>> played;
    for (const auto& row : rows)
        played.push_back(std::async(std::launch::async, [&row] {
            fake::Port port;
            port.script = row.script;
            ModemTiming timing = kPromptPace;
            timing.settle = Ms(row.settle);
            ModemLink link(port, timing);
            const auto start = ModemClock::now();
            link.Open("COM3", LinkMode::Plain);
            const auto took = std::chrono::duration_cast<Ms>(ModemClock::now() - start).count();
            link.ListenFor(Ms(250));
            return Outcome{link.Report().ready, link.Answer().Final() != FinalResult::None, port.Written(), took};
        }));
    for (std::size_t i = 0; i < played.size(); ++i) {
        const auto& row = rows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.ready, row.ready);
        std::string tries;
        for (int k = 0; k < row.tries; ++k) tries += "atE0Q0V1\r\n";
        EXPECT_EQ(out.written, tries);
        EXPECT_GE(out.took, row.atLeast);
        EXPECT_LE(out.took, row.atMost);
        EXPECT_FALSE(out.stale) << "a late answer left for the next command";
    }
}

// The pauses of opening and closing, at the program's pace: settings 1000 ms
// after the open, the command 500 ms after them, the close 100 ms after the
// stop; a quit's pause is the caller's, and it drops the line.
TEST(Operations, PausesOfOpeningAndClosing) {
    fake::Port port;
    port.script = {AfterWrite(10, "OK\r\n")};
    const CountrySet set = SetCountryIn(port, "COM4", Dialect::T19, kTable[0], kProgramPace);
    EXPECT_EQ(set.outcome, SetOutcome::Set);
    const auto ms = [&](const char* from, const char* to) {
        return std::chrono::duration_cast<Ms>(port.When(to) - port.When(from)).count();
    };
    EXPECT_GE(ms("open", "configure"), 1000);
    EXPECT_LT(ms("open", "configure"), 1200);
    EXPECT_GE(ms("configure", "write"), 500);
    EXPECT_LT(ms("configure", "write"), 700);
    EXPECT_GE(ms("stop", "close"), 100);
    EXPECT_LT(ms("stop", "close"), 300);

    fake::Port quitting;
    static Ms paused{0};
    ModemLink(quitting, kProgramPace).Release(Teardown::OnQuit, [](Ms pause) { paused = pause; });
    EXPECT_EQ(paused, Ms(100)) << "no port open: the pause all the same";
    ModemLink link(quitting, kWindows);
    link.Open("COM4", LinkMode::Plain);
    link.Release(Teardown::OnQuit, [](Ms) {});
    EXPECT_EQ(quitting.calls.back().what, "drop and close");
}

}  // namespace
