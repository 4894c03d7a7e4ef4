// The operations in both dialects against the virtual modem's own engine, one
// table of rows over the card and gci modems: the forms of each +GCI answer,
// the codes a modem does not support, a modem that answers ERROR to +GCI or
// gives its code and no OK, one that says OK and keeps its country, the two
// codes of Germany, a setting that finds the country there already; the
// states other programs leave a modem in, a ringing line and a modem deaf
// after the open; and the windows as upper bounds of the prompt pace, at
// their edges; then a detection that probes its ports at once.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "core/dialect_operations.h"
#include "tests/core/fake_port.h"

namespace {

using fake::Ms;
// Short names for the rows.
using D = Dialect;
using S = SetOutcome;

enum Op { Detect, Query, Supported, Set };

struct Row {
    const char* what;
    std::string knobs;  // the modem, as the virtual modem's knobs; those after "|" once it answered the sync
    Op op;
    D asked;
    int country;  // set: the line of kTable to set
    D spoken;
    // Detect: 1 when found; query: the table line found; supported: the
    // count of codes listed; set: the SetOutcome.
    int answer;
    int code;                      // the +GCI code reported or sent, -1: none
    std::string written;           // every byte the modem received after the sync command's tries
    int atLeast = 0, atMost = -1;  // the time taken in ms, bounds included; -1: not timed
    int settle = 0;                // the readiness wait's bound, ms
    int tries = 1;                 // the sync command's tries, and up to 1 more for a row with a settle
    bool readFirst = false;        // set: the country read first
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

constexpr ModemTiming kFast = [] {
    ModemTiming timing = kPromptPace;
    timing.settle = Ms(0);
    return timing;
}();

int ToInt(SetOutcome outcome) { return static_cast<int>(outcome); }

struct Outcome {
    D spoken = D::Auto;
    int answer = -1, code = -1;
    std::string written{};
    Ms took{0};
    bool wrote = false;  // set: the setting command went out
};

Outcome Play(const Row& row) {
    engine::Port port;
    const std::size_t bar = row.knobs.find('|');
    EXPECT_TRUE(port.SetKnobs(row.knobs.substr(0, bar))) << row.knobs;
    if (bar != std::string::npos) port.later = row.knobs.substr(bar + 1);
    ModemTiming timing = kFast;
    timing.settle = Ms(row.settle);
    Outcome out;
    const auto start = ModemClock::now();
    if (row.op == Detect) {
        const D spoken = DetectModem(port, "COM3", row.asked, timing).dialect;
        out = {spoken, spoken != D::Auto, -1};
    } else if (row.op == Query) {
        const CountryQuery result = QueryCountryIn(port, "COM3", row.asked, kTable, kCount, timing);
        out = {result.dialect, result.country, result.gciCode};
    } else if (row.op == Supported) {
        const SupportedQuery result = QuerySupported(port, "COM3", row.asked, timing);
        out = {result.dialect, static_cast<int>(result.codes.count()), -1};
    } else {
        const ReadFirst readFirst = row.readFirst ? ReadFirst{kTable, kCount} : ReadFirst{};
        const CountrySet result =
            SetCountryIn(port, "COM3", row.asked, kTable[row.country], timing, nullptr, readFirst);
        out = {result.dialect, ToInt(result.outcome), result.gciCode};
        out.wrote = result.written;
    }
    out.took = std::chrono::duration_cast<Ms>(ModemClock::now() - start);
    out.written = port.Written();
    EXPECT_EQ(port.later, "") << row.what << ": the knobs after the sync never took effect";
    return out;
}

const std::string g = "personality=gci ";
const std::string kSync = "atE0Q0V1\r\n", kProbe = "ati3\r\n", kAt = "at\r\n", kI9 = "ati9\r\n";
const std::string kAsk = "at+GCI?\r\n", kList = "at+GCI=?\r\n";
std::string SetGci(const char* code) { return std::string("at+GCI=") + code + "\r\n"; }
std::string SetT19(const char* code) { return std::string("at%t19,0,") + code + "\r\n"; }

// Whether the bytes hold a setting command, "%t19" or "+GCI=" with a code.
bool HoldsSetting(const std::string& written) {
    if (written.find("at%t19") != std::string::npos) return true;
    for (std::size_t at = written.find("at+GCI="); at != std::string::npos; at = written.find("at+GCI=", at + 1))
        if (written.compare(at + 7, 1, "?") != 0) return true;
    return false;
}

// The states another program leaves a modem in, as the virtual modem's knobs.
const std::string numbers = "verbose=0 echo=0 ", quiet = "quiet=1 ", ring = "ring=30|delay=45";
const std::string deaf = "deaf=700 ", keeps = "deaf=700 deafkeep=1 ";

// The rows laid out by hand.
// clang-format off
const Row kRows[] = {
    // Which dialect a modem speaks.
    {"detect auto: the card", "", Detect, D::Auto, 0, D::T19, 1, -1, kProbe},
    {"detect auto: a gci modem, asked AT after ati3", g, Detect, D::Auto, 0, D::Gci, 1, -1, kProbe + kAt},
    {"detect auto: silence is asked no more", "silent=1", Detect, D::Auto, 0, D::Auto, 0, -1, ""},
    {"detect t19: a gci modem is no card", g, Detect, D::T19, 0, D::Auto, 0, -1, kProbe},
    {"detect gci: the card answers AT too", "", Detect, D::Gci, 0, D::Gci, 1, -1, kAt},

    // The country: the card's name in its reply, a gci modem's code in either form.
    {"query auto: the card", "", Query, D::Auto, 0, D::T19, kUs, -1, kProbe + kI9},
    {"query auto: +GCI: B5", g, Query, D::Auto, 0, D::Gci, kUs, 0xB5, kProbe + kAt + kAsk},
    {"query gci: +GCI:B4, no space", g + "gcispace=0 country=B4", Query, D::Gci, 0, D::Gci, kUk, 0xB4, kAsk},
    {"query gci: a bare B4", g + "bare=1 country=B4", Query, D::Gci, 0, D::Gci, kUk, 0xB4, kAsk},
    {"query gci: 42 is Germany", g + "gcilist=00,42,B5 country=42", Query, D::Gci, 0, D::Gci, kGermany,
     0x42, kAsk},
    {"query gci: 04 is Germany", g + "country=04", Query, D::Gci, 0, D::Gci, kGermany, 0x04, kAsk},
    {"query gci: a code of no country in the table", g + "gcilist=00-FF country=8A", Query, D::Gci, 0,
     D::Gci, -1, 0x8A, kAsk},
    {"query gci: ERROR to +GCI", g + "gcierror=1", Query, D::Gci, 0, D::Gci, -1, -1, kAsk},
    {"query gci: +GCI: B5 and no OK after it", g + "|okword=FINE", Query, D::Gci, 0, D::Gci, -1, -1, kAsk, 1000,
     1040},
    {"query t19 asked of a gci modem: i9 names nothing", g, Query, D::T19, 0, D::T19, -1, -1, kI9},

    // The codes supported, as a list and as a range.
    {"supported: a list", g + "gcilist=00,B4,B5", Supported, D::Gci, 0, D::Gci, 3, -1, kList},
    {"supported: a bare list with entries of no country", g + "bare=1 gcilist=00,99,B5,F6", Supported,
     D::Gci, 0, D::Gci, 4, -1, kList},
    {"supported: a range, no space", g + "gcispace=0 gcilist=00-FF", Supported, D::Auto, 0, D::Gci, 256,
     -1, kProbe + kAt + kList},
    {"supported: ERROR to +GCI", g + "gcierror=1", Supported, D::Gci, 0, D::Gci, 0, -1, kList},
    {"supported: the card has no list", "", Supported, D::Auto, 0, D::T19, 0, -1, kProbe},

    // The setting: the list asked, the code sent, the country read back.
    {"set auto gci: the United Kingdom", g, Set, D::Auto, kUk, D::Gci, ToInt(S::Set), 0xB4,
     kProbe + kAt + kList + SetGci("B4") + kAsk},
    {"set gci: Germany as 04 where the modem lists 04", g + "gcilist=00,04,42,B5", Set, D::Gci, kGermany,
     D::Gci, ToInt(S::Set), 0x04, kList + SetGci("04") + kAsk},
    {"set gci: Germany as 42 where the modem lists 42 alone", g + "gcilist=00,42,B5", Set, D::Gci,
     kGermany, D::Gci, ToInt(S::Set), 0x42, kList + SetGci("42") + kAsk},
    {"set gci: Germany not supported, nothing sent", g + "gcilist=00,B4,B5", Set, D::Gci, kGermany, D::Gci,
     ToInt(S::Unsupported), 0x04, kList},
    {"set gci: ERROR to +GCI, nothing sent", g + "gcierror=1", Set, D::Gci, kUk, D::Gci, ToInt(S::NoList),
     0xB4, kList},
    {"set gci: OK, but the old country kept", g + "ignoreset=1", Set, D::Gci, kUk, D::Gci,
     ToInt(S::NotTaken), 0xB4, kList + SetGci("B4") + kAsk},
    {"set gci: a modem that resets on the change, echo and all", g + "echo=0 gcireset=1", Set, D::Gci, kUk,
     D::Gci, ToInt(S::Set), 0xB4, kList + SetGci("B4") + kAsk},
    {"set gci: a country with no +GCI code, nothing sent", g, Set, D::Gci, kNarnia, D::Gci,
     ToInt(S::NoGciCode), -1, ""},
    {"set auto card: the United Kingdom", "", Set, D::Auto, kUk, D::T19, ToInt(S::Set), -1,
     kProbe + SetT19("B4")},
    // The card is sent the table's code as written, never the second code.
    {"set card: the table's 04 for Germany", "", Set, D::T19, kGermany, D::T19, ToInt(S::Set), -1,
     SetT19("04")},
    {"set auto: no modem", "silent=1", Set, D::Auto, kUk, D::Auto, ToInt(S::NoModem), -1, ""},

    // Read first: nothing written where the modem has the country already.
    {"set gci, read first: B4 there already", g + "country=B4", Set, D::Auto, kUk, D::Gci, ToInt(S::Set),
     0xB4, kProbe + kAt + kAsk, 0, -1, 0, 1, true},
    {"set gci, read first: Germany there as 42", g + "gcilist=00,42,B5 country=42", Set, D::Gci, kGermany,
     D::Gci, ToInt(S::Set), 0x42, kAsk, 0, -1, 0, 1, true},
    {"set gci, read first: another country, written", g, Set, D::Gci, kUk, D::Gci, ToInt(S::Set), 0xB4,
     kAsk + kList + SetGci("B4") + kAsk, 0, -1, 0, 1, true},
    {"set gci, read first: no answer, written", g + "gcilist=00,B4,B5 bare=1|gcierror=1", Set, D::Gci, kUk,
     D::Gci, ToInt(S::NoList), 0xB4, kAsk + kList, 0, -1, 0, 1, true},
    {"set card, read first: B4 there already", "country=B4", Set, D::Auto, kUk, D::T19, ToInt(S::Set), -1,
     kProbe + kI9, 0, -1, 0, 1, true},
    {"set card, read first: another country, written", "", Set, D::T19, kUk, D::T19, ToInt(S::Set), -1,
     kI9 + SetT19("B4"), 0, -1, 0, 1, true},

    // The states another program leaves a modem in, a ringing line, a modem deaf after the open.
    {"numbers, echo off: gci query", g + numbers, Query, D::Auto, 0, D::Gci, kUs, 0xB5, kProbe + kAt + kAsk},
    {"numbers, echo off: card set", numbers, Set, D::Auto, kUk, D::T19, ToInt(S::Set), -1,
     kProbe + SetT19("B4")},
    {"quiet: gci set", g + quiet, Set, D::Gci, kUk, D::Gci, ToInt(S::Set), 0xB4,
     kList + SetGci("B4") + kAsk},
    {"quiet: card query", quiet, Query, D::Auto, 0, D::T19, kUs, -1, kProbe + kI9},
    {"ringing: gci query", g + ring, Query, D::Auto, 0, D::Gci, kUs, 0xB5, kProbe + kAt + kAsk},
    {"ringing: card query", ring, Query, D::Auto, 0, D::T19, kUs, -1, kProbe + kI9},
    {"ringing: gci set", g + ring, Set, D::Gci, kUk, D::Gci, ToInt(S::Set), 0xB4, kList + SetGci("B4") + kAsk},
    {"deaf 700 ms: gci query", g + deaf, Query, D::Auto, 0, D::Gci, kUs, 0xB5, kProbe + kAt + kAsk, 900,
     1000, 1000, 8},
    {"deaf 700 ms: card detect", deaf, Detect, D::Auto, 0, D::T19, 1, -1, kProbe, 900, 1000, 1000, 8},
    {"deaf 700 ms, every try answered on waking: gci query", g + keeps, Query, D::Auto, 0, D::Gci, kUs, 0xB5,
     kProbe + kAt + kAsk, 950, 1080, 1000, 7},
    {"deaf 700 ms, every try answered on waking: card set", keeps, Set, D::Auto, kUk, D::T19, ToInt(S::Set),
     -1, kProbe + SetT19("B4"), 950, 1080, 1000, 7},
    {"deaf past the settle: no modem", g + "deaf=1200", Query, D::Auto, 0, D::Auto, -1, -1, "", 1000, 1080,
     1000, 10},

    // The windows are upper bounds of the prompt pace: an answer just inside one is taken, one just
    // outside is not, and an answer that is complete ends the wait at once.
    {"probe: at once", "", Detect, D::T19, 0, D::T19, 1, -1, kProbe, 0, 150},
    {"probe: just inside", "|delay=250", Detect, D::T19, 0, D::T19, 1, -1, kProbe, 250, 290},
    {"probe: just outside", "|delay=350", Detect, D::T19, 0, D::Auto, 0, -1, kProbe, 300, 340},
    {"AT: just inside", g + "|delay=250", Detect, D::Gci, 0, D::Gci, 1, -1, kAt, 250, 290},
    {"AT: just outside", g + "|delay=350", Detect, D::Gci, 0, D::Auto, 0, -1, kAt, 300, 340},
    {"i9: at once", "", Query, D::T19, 0, D::T19, kUs, -1, kI9, 0, 100},
    {"i9: just inside", "|delay=150", Query, D::T19, 0, D::T19, kUs, -1, kI9, 150, 190},
    {"i9: just outside", "|delay=250", Query, D::T19, 0, D::T19, -1, -1, kI9, 200, 240},
    {"+GCI?: just inside", g + "|delay=950", Query, D::Gci, 0, D::Gci, kUs, 0xB5, kAsk, 950, 990},
    {"+GCI?: just outside", g + "|delay=1050", Query, D::Gci, 0, D::Gci, -1, -1, kAsk, 1000, 1040},
    {"%t19: OK just inside", "|delay=1850", Set, D::T19, kUk, D::T19, ToInt(S::Set), -1, SetT19("B4"), 1850,
     1890},
    {"%t19: OK just outside", "|delay=2150", Set, D::T19, kUk, D::T19, ToInt(S::NotAcknowledged), -1,
     SetT19("B4"), 2000, 2040},
    {"%t19: ERROR ends the wait", "seterror=1", Set, D::T19, kUk, D::T19, ToInt(S::NotAcknowledged), -1,
     SetT19("B4"), 0, 100},
};
// clang-format on

TEST(Dialects, Rows) {
    std::vector<std::future<Outcome>> played;
    for (const Row& row : kRows) played.push_back(std::async(std::launch::async, Play, std::cref(row)));
    for (std::size_t i = 0; i < played.size(); ++i) {
        const Row& row = kRows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.spoken, row.spoken);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.code, row.code);
        // The tries of the sync command first; a settle leaves room for one more try.
        std::size_t at = 0;
        int tries = 0;
        for (; out.written.compare(at, kSync.size(), kSync) == 0; at += kSync.size()) ++tries;
        EXPECT_GE(tries, row.tries);
        EXPECT_LE(tries, row.tries + (row.settle > 0 ? 1 : 0));
        EXPECT_EQ(out.written.substr(at), row.written);
        if (row.op == Set) {
            EXPECT_EQ(out.wrote, HoldsSetting(row.written));
        }
        if (row.atMost >= 0) {
            EXPECT_GE(out.took.count(), row.atLeast);
            EXPECT_LE(out.took.count(), row.atMost);
        }
    }
}

// The readiness wait is bounded from the device's open when the port tells
// it, so the time Open takes after it (a back end's look at who else holds
// the port) counts; otherwise from Open's return.
TEST(PromptPace, TheReadinessBoundCountsFromTheDevicesOpen) {
    const struct {
        bool told;
        int atLeast, atMost;  // ms from the call
    } rows[] = {{true, 600, 680}, {false, 900, 980}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.told ? "told" : "not told");
        engine::Port port;
        ASSERT_TRUE(port.SetKnobs("silent=1"));
        port.openTakes = Ms(300);
        port.tellsOpenedAt = row.told;
        ModemTiming timing = kPromptPace;
        timing.settle = Ms(600);
        const auto start = ModemClock::now();
        const CountryQuery result = QueryCountryIn(port, "COM3", D::Gci, kTable, kCount, timing);
        const auto took = std::chrono::duration_cast<Ms>(ModemClock::now() - start).count();
        EXPECT_FALSE(result.report.ready);
        EXPECT_GE(took, row.atLeast);
        EXPECT_LE(took, row.atMost);
    }
}

// A prompt detection probes every port at once: the silent ones cost one
// settle for all of them; at the window's pace one port after another,
// stopping after the first modem when asked to.
TEST(PromptPace, DetectionProbesEveryPortAtOnce) {
    const engine::Rack rack = {
        {"COM3", "silent=1"}, {"COM4", ""}, {"COM2", g}, {"COM1", g + "gcierror=1"}, {"COM6", ""}};
    const std::vector<std::string> names = {"COM3", "COM4", "COM2", "COM1", "COM5", "COM6"};
    const PortMaker make = [&] { return std::make_unique<engine::Port>(rack); };
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

    ModemTiming paced = kProgramPace;
    paced.settle = paced.readerStart = paced.nextProbe = Ms(0);
    start = ModemClock::now();
    const std::vector<DetectResult> first = DetectModems(make, names, D::Auto, paced, true);
    ASSERT_EQ(first.size(), 2u) << "the second port's modem ends it";
    EXPECT_EQ(first[1].dialect, D::T19);
    EXPECT_GE(std::chrono::duration_cast<Ms>(ModemClock::now() - start).count(), 600) << "each window waited out";
}

}  // namespace
