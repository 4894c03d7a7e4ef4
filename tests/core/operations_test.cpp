// The three operations against a scripted modem, one table of rows run side
// by side: replies early, late, split, noisy and never; a port in use, a port
// whose settings fail, a port whose reading fails. The windows are the
// program's own; the pauses of opening and closing have a test of their own.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/modem_commands.h"
#include "core/modem_operations.h"
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

const Fault kSound;
const Fault kInUse = {Failed(PortFault::InUse, "open"), {}, {}, false, "open", false};
const Fault kNoState = {{}, Failed(PortFault::Failed, "GetCommState"), {}, true, "GetCommState", false};
const Fault kNoQueues = {{}, Failed(PortFault::Failed, "SetupComm"), {}, false, "SetupComm", true};
const Fault kReadFails = {{}, {}, Failed(PortFault::Failed, "read"), false, "read", true};

struct Row {
    const char* what;
    Op op;
    std::vector<Send> script;
    // What the operation must give: the modem identified, the country
    // acknowledged, or the index of the country named (-1: none).
    int answer;
    // The bytes written, exactly.
    std::string written;
    // The operation's duration in ms: at least this, at most 400 more.
    int took;
    const Fault& fault = kSound;
    // Query only: the capture, exactly.
    const char* reply = nullptr;
    const char* code = "B5";
};

const CountryRecord kTable[] = {{"Germany", "GERMANY", "GERMANY", "04"},
                                {"United States", "UNITED STATES", "USA", "B5"}};

const std::string kId1 = kModemId1;
const std::string kProbe = "ati3\r\n";
const std::string kAsk = "ati9\r\n";
const std::string kSetUs = "at%t19,0,B5\r\n";

Send AfterWrite(int ms, std::string bytes) { return {Send::Write, Ms(ms), std::move(bytes)}; }
Send AfterOpen(int ms, std::string bytes) { return {Send::Open, Ms(ms), std::move(bytes)}; }

// The reply in single bytes, one every gap milliseconds from the write on.
std::vector<Send> Trickle(const std::string& bytes, int gap) {
    std::vector<Send> sends;
    for (size_t i = 0; i < bytes.size(); ++i)
        sends.push_back(AfterWrite(static_cast<int>(i) * gap, bytes.substr(i, 1)));
    return sends;
}

constexpr ModemTiming kPrompt = [] {
    ModemTiming timing;
    timing.settle = timing.readerStart = timing.nextProbe = Ms(0);
    timing.commandRelease = timing.quitRelease = Ms(0);
    return timing;
}();

struct Outcome {
    int answer = -1;
    std::string reply;
    LinkReport report;
    Ms took{0};
    fake::Port port;
};

Outcome Play(const Row& row) {
    Outcome out;
    fake::Port& port = out.port;
    port.script = row.script;
    port.openStatus = row.fault.open;
    port.configureStatus = row.fault.configure;
    port.configureCloses = row.fault.configureCloses;
    port.readStatus = row.fault.read;
    const auto start = ModemClock::now();
    if (row.op == Probe) {
        const ProbeResult probe = ProbePort(port, "COM3", kPrompt);
        out.answer = probe.identified;
        out.report = probe.report;
    } else if (row.op == Query) {
        const QueryResult query = QueryCountry(port, "COM3", kTable, 2, kPrompt);
        out.answer = query.answer.country;
        out.reply = query.answer.reply;
        out.report = query.report;
    } else {
        const SetResult set = SetCountry(port, "COM3", row.code, kPrompt);
        out.answer = set.acknowledged;
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

TEST(Operations, Rows) {
    const std::string usReply = "ati9\r\r\nUNITED STATES\r\n\r\nOK\r\n", dots(70, '.'), cut = dots + "UNITED S";
    const std::string id1 = kId1 + "\r\n", noise = std::string("\0\xff\x7f#", 4) + "qtrxfm330hwnf1*gen\r\n";
    // The rows laid out by hand.
    // clang-format off
    const Row rows[] = {
        // The probe: a line holding an identification string within 300 ms of "ati3".
        {"probe: answered early", Probe, {AfterWrite(150, "ati3\r\r\n" + id1 + "\r\nOK\r\n")}, 1, kProbe, 300},
        {"probe: the second string, in single bytes", Probe, Trickle("\r\nQTRXPM330HWTF1*GEN\r", 5), 1, kProbe,
         300},
        {"probe: answered late", Probe, {AfterWrite(450, id1)}, 0, kProbe, 300},
        {"probe: noise, the string in lower case, no line end", Probe,
         {AfterWrite(50, noise), AfterWrite(100, kId1)}, 0, kProbe, 300},
        {"probe: never", Probe, {}, 0, kProbe, 300},
        {"probe: port in use takes its window and writes nothing", Probe, {}, 0, "", 300, kInUse},
        {"probe: settings that leave no port", Probe, {AfterWrite(0, id1)}, 0, "", 300, kNoState},
        {"probe: a failed setting reported, the port worked as before", Probe, {AfterWrite(100, id1)}, 1,
         kProbe, 300, kNoQueues},
        {"probe: the read fails, the window is waited out", Probe, {AfterWrite(100, id1)}, 0, kProbe, 300,
         kReadFails},

        // The query: the reply taken 200 ms after "ati9", line ends left out.
        {"query: answered early", Query, {AfterWrite(50, usReply)}, 1, kAsk, 200, kSound, "ati9UNITED STATESOK"},
        {"query: answered in pieces", Query,
         {AfterWrite(20, "ati9\r\r\nUNI"), AfterWrite(60, "TED ST"), AfterWrite(120, "ATES\r\n")}, 1, kAsk, 200,
         kSound, "ati9UNITED STATES"},
        {"query: answered late", Query, {AfterWrite(250, usReply)}, -1, kAsk, 200, kSound, ""},
        {"query: what came before the command takes no part", Query, {AfterOpen(0, "GERMANY\r\n")}, -1, kAsk,
         200, kSound, ""},
        {"query: the first 78 characters only", Query, {AfterWrite(10, dots + "UNITED STATES\r\n")}, -1, kAsk,
         200, kSound, cut.c_str()},
        {"query: letter case ignored, first in the table wins", Query,
         {AfterWrite(10, "germany, united states\r\n")}, 0, kAsk, 200, kSound, "germany, united states"},
        {"query: never", Query, {}, -1, kAsk, 200, kSound, ""},
        {"query: port in use", Query, {}, -1, "", 0, kInUse, ""},

        // The setting: a line that is exactly "OK" within 2000 ms of the command.
        {"set: acknowledged early", Set, {AfterWrite(100, "at%t19,0,B5\r\r\nOK\r\n")}, 1, kSetUs, 100},
        {"set: OK in two pieces", Set, {AfterWrite(100, "\r\nO"), AfterWrite(200, "K\r\n")}, 1, kSetUs, 200},
        {"set: acknowledged near the end of the window", Set, {AfterWrite(1850, "OK\r\n")}, 1, kSetUs, 1850},
        {"set: acknowledged late", Set, {AfterWrite(2150, "OK\r\n")}, 0, kSetUs, 2000},
        {"set: ERROR", Set, {AfterWrite(100, "\r\nERROR\r\n")}, 0, kSetUs, 2000},
        {"set: noise holding OK, ok, OK with no line end", Set,
         {AfterWrite(50, "BROKEN\r\nok\r\nOK \r\n\x01OK\x02\r\n"), AfterWrite(100, "OK")}, 0, kSetUs, 2000},
        {"set: an OK before the command acknowledges nothing", Set, {AfterOpen(0, "\r\nOK\r\n")}, 0, kSetUs, 2000},
        {"set: a one-character code", Set, {AfterWrite(100, "OK\r")}, 1, "at%t19,0,4\r\n", 100, kSound,
         nullptr, "4"},
        {"set: settings that leave no port", Set, {}, 0, "", 0, kNoState},
        {"set: port in use", Set, {}, 0, "", 0, kInUse},
        {"set: the read fails", Set, {AfterWrite(100, "OK\r\n")}, 0, kSetUs, 2000, kReadFails},
    };
    // clang-format on
    std::vector<std::future<Outcome>> played;
    for (const Row& row : rows) played.push_back(std::async(std::launch::async, Play, std::cref(row)));
    for (size_t i = 0; i < played.size(); ++i) {
        const Row& row = rows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.port.Written(), row.written);
        if (row.reply) {
            EXPECT_EQ(out.reply, row.reply);
        }
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

// What the modem sends between the open and the command takes no part: not
// in the query's reply, and no "OK" acknowledges a setting before it is sent.
TEST(Link, WhatArrivesBeforeTheCommandTakesNoPart) {
    for (bool query : {true, false}) {
        SCOPED_TRACE(query ? "query" : "set");
        fake::Port port;
        port.script = {AfterOpen(20, query ? "GERMANY\r\n" : "OK\r\n")};
        ModemLink link(port, kPrompt);
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
    const SetResult set = SetCountry(port, "COM4", "04", kProgramPace);
    EXPECT_TRUE(set.acknowledged);
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
    ModemLink link(quitting, kPrompt);
    link.Open("COM4", LinkMode::Plain);
    link.Release(Teardown::OnQuit, [](Ms) {});
    EXPECT_EQ(quitting.calls.back().what, "drop and close");
}

}  // namespace
