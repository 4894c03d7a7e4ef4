// The operations in both dialects against the virtual modem's own engine, one
// table of rows over the card and gci modems: both forms of each +GCI
// answer, the codes a modem does not support, a modem that answers ERROR to
// +GCI, one that says OK and keeps its country, the two codes of Germany,
// and the windows as upper bounds of the prompt pace, at their edges; then a
// detection that probes its ports at once.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "core/dialect_operations.h"
#include "core/gci_reply.h"
#include "tests/core/fake_port.h"

namespace {

using fake::Ms;
// Short names for the rows.
using D = Dialect;
using S = SetOutcome;

enum Op { Detect, Query, Supported, Set };

struct Row {
    const char* what;
    std::string knobs;  // the modem, as the virtual modem's knobs
    Op op;
    D asked;
    int country;  // set: the line of kTable to set
    D spoken;
    // Detect: 1 when found; query: the table line found; supported: the
    // count of codes listed; set: the SetOutcome.
    int answer;
    int code;                      // the +GCI code reported or sent, -1: none
    std::string written;           // every byte the modem received
    int atLeast = 0, atMost = -1;  // the time taken in ms, bounds included; -1: not timed
};

// The card's codes are its own: Germany's is 42 here, which the card takes
// as it is and which never goes out as a +GCI code.
const CountryRecord kTable[] = {{"Germany", "GERMANY", "GERMANY", "42"},
                                {"United Kingdom", "UNITED KINGDOM", "UK", "B4"},
                                {"United States", "UNITED STATES", "USA", "B5"},
                                {"Narnia", "NARNIA", "NARNIA", "77"}};
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
};

Outcome Play(const Row& row) {
    engine::Port port;
    EXPECT_TRUE(port.SetKnobs(row.knobs)) << row.knobs;
    Outcome out;
    const auto start = ModemClock::now();
    if (row.op == Detect) {
        const D spoken = DetectModem(port, "COM3", row.asked, kFast).dialect;
        out = {spoken, spoken != D::Auto, -1};
    } else if (row.op == Query) {
        const CountryQuery result = QueryCountryIn(port, "COM3", row.asked, kTable, kCount, kFast);
        out = {result.dialect, result.country, result.gciCode};
    } else if (row.op == Supported) {
        const SupportedQuery result = QuerySupported(port, "COM3", row.asked, kFast);
        out = {result.dialect, static_cast<int>(result.codes.count()), -1};
    } else {
        const CountrySet result = SetCountryIn(port, "COM3", row.asked, kTable[row.country], kFast);
        out = {result.dialect, ToInt(result.outcome), result.gciCode};
    }
    out.took = std::chrono::duration_cast<Ms>(ModemClock::now() - start);
    out.written = port.Written();
    return out;
}

const std::string g = "personality=gci ";
const std::string kProbe = "ati3\r\n", kAt = "at\r\n", kI9 = "ati9\r\n";
const std::string kAsk = "at+GCI?\r\n", kList = "at+GCI=?\r\n";
std::string SetGci(const char* code) { return std::string("at+GCI=") + code + "\r\n"; }
std::string SetT19(const char* code) { return std::string("at%t19,0,") + code + "\r\n"; }

TEST(Dialects, Rows) {
    // The rows laid out by hand.
    // clang-format off
    const Row rows[] = {
        // Which dialect a modem speaks.
        {"detect auto: the card", "", Detect, D::Auto, 0, D::T19, 1, -1, kProbe},
        {"detect auto: a gci modem, asked AT after ati3", g, Detect, D::Auto, 0, D::Gci, 1, -1, kProbe + kAt},
        {"detect auto: silence is asked no more", "silent=1", Detect, D::Auto, 0, D::Auto, 0, -1, kProbe},
        {"detect t19: a gci modem is no card", g, Detect, D::T19, 0, D::Auto, 0, -1, kProbe},
        {"detect gci: the card answers AT too", "", Detect, D::Gci, 0, D::Gci, 1, -1, kAt},

        // The country: the card's name in its reply, a gci modem's code in either form.
        {"query auto: the card", "", Query, D::Auto, 0, D::T19, kUs, -1, kProbe + kI9},
        {"query auto: +GCI: B5", g, Query, D::Auto, 0, D::Gci, kUs, 0xB5, kProbe + kAt + kAsk},
        {"query gci: +GCI:B4, no space", g + "gcispace=0 country=B4", Query, D::Gci, 0, D::Gci, kUk, 0xB4, kAsk},
        {"query gci: 42 is Germany", g + "gcilist=00,42,B5 country=42", Query, D::Gci, 0, D::Gci, kGermany,
         0x42, kAsk},
        {"query gci: 04 is Germany", g + "country=04", Query, D::Gci, 0, D::Gci, kGermany, 0x04, kAsk},
        {"query gci: a code of no country in the table", g + "gcilist=00-FF country=8A", Query, D::Gci, 0,
         D::Gci, -1, 0x8A, kAsk},
        {"query gci: ERROR to +GCI", g + "gcierror=1", Query, D::Gci, 0, D::Gci, -1, -1, kAsk},
        {"query t19 asked of a gci modem: i9 names nothing", g, Query, D::T19, 0, D::T19, -1, -1, kI9},

        // The codes supported, as a list and as a range.
        {"supported: a list", g + "gcilist=00,B4,B5", Supported, D::Gci, 0, D::Gci, 3, -1, kList},
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
        // The card is sent the table's code as it is (which this card does not know), never a +GCI code.
        {"set card: the table's 42 for Germany", "", Set, D::T19, kGermany, D::T19,
         ToInt(S::NotAcknowledged), -1, SetT19("42")},
        {"set auto: no modem", "silent=1", Set, D::Auto, kUk, D::Auto, ToInt(S::NoModem), -1, kProbe},

        // The windows are upper bounds of the prompt pace: an answer just inside one is taken, one just
        // outside is not, and an answer that is complete ends the wait at once.
        {"probe: at once", "", Detect, D::T19, 0, D::T19, 1, -1, kProbe, 0, 150},
        {"probe: just inside", "delay=250", Detect, D::T19, 0, D::T19, 1, -1, kProbe, 250, 290},
        {"probe: just outside", "delay=350", Detect, D::T19, 0, D::Auto, 0, -1, kProbe, 300, 340},
        {"AT: just inside", g + "delay=250", Detect, D::Gci, 0, D::Gci, 1, -1, kAt, 250, 290},
        {"AT: just outside", g + "delay=350", Detect, D::Gci, 0, D::Auto, 0, -1, kAt, 300, 340},
        {"i9: at once", "", Query, D::T19, 0, D::T19, kUs, -1, kI9, 0, 100},
        {"i9: just inside", "delay=150", Query, D::T19, 0, D::T19, kUs, -1, kI9, 150, 190},
        {"i9: just outside", "delay=250", Query, D::T19, 0, D::T19, -1, -1, kI9, 200, 240},
        {"+GCI?: just inside", g + "delay=150", Query, D::Gci, 0, D::Gci, kUs, 0xB5, kAsk, 150, 190},
        {"+GCI?: just outside", g + "delay=250", Query, D::Gci, 0, D::Gci, -1, -1, kAsk, 200, 240},
        {"%t19: OK just inside", "delay=1850", Set, D::T19, kUk, D::T19, ToInt(S::Set), -1, SetT19("B4"), 1850,
         1890},
        {"%t19: OK just outside", "delay=2150", Set, D::T19, kUk, D::T19, ToInt(S::NotAcknowledged), -1,
         SetT19("B4"), 2000, 2040},
        {"%t19: ERROR ends the wait", "seterror=1", Set, D::T19, kUk, D::T19, ToInt(S::NotAcknowledged), -1,
         SetT19("B4"), 0, 100},
    };
    // clang-format on
    std::vector<std::future<Outcome>> played;
    for (const Row& row : rows) played.push_back(std::async(std::launch::async, Play, std::cref(row)));
    for (std::size_t i = 0; i < played.size(); ++i) {
        const Row& row = rows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.spoken, row.spoken);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.code, row.code);
        EXPECT_EQ(out.written, row.written);
        if (row.atMost >= 0) {
            EXPECT_GE(out.took.count(), row.atLeast);
            EXPECT_LE(out.took.count(), row.atMost);
        }
    }
}

// A prompt detection probes every port at once: one settling pause and one
// window for all of them; at the window's pace one port after another,
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
    EXPECT_GE(took, 600);  // the settling pause, and the silent ports' window
    EXPECT_LE(took, 900);  // not six of them

    ModemTiming paced = kProgramPace;
    paced.settle = paced.readerStart = paced.nextProbe = Ms(0);
    start = ModemClock::now();
    const std::vector<DetectResult> first = DetectModems(make, names, D::Auto, paced, true);
    ASSERT_EQ(first.size(), 2u) << "the second port's modem ends it";
    EXPECT_EQ(first[1].dialect, D::T19);
    EXPECT_GE(std::chrono::duration_cast<Ms>(ModemClock::now() - start).count(), 600) << "each window waited out";
}

// What a modem says to +GCI? and +GCI=?, in the forms modems write it (the
// plain ones are in the rows above, and the list as written in the Linux rows).
TEST(GciReplies, Rows) {
    const struct {
        std::vector<std::string> lines;
        int country;
        int listed;  // codes in the list, -1: no list
        const char* text;
    } rows[] = {
        {{"+GCI:b4"}, 0xB4, -1, ""},
        {{"+GCI:  4 "}, 0x04, -1, ""},
        {{"+GCI: B5X"}, -1, -1, ""},
        {{"+GCI: 100"}, -1, -1, ""},
        {{"GCI: B5", "+gci: B5"}, -1, -1, ""},
        {{"+GCI: (00 - 0F, b4)"}, -1, 17, "00 - 0F, b4"},
        {{"+GCI: (B5-00)", "+GCI: (00,,B4)", "+GCI: ()", "+GCI: 00,B4"}, -1, -1, ""},
        {{"+GCI: (00,B4", "+GCI: (42)"}, -1, 1, "42"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lines.back());
        EXPECT_EQ(ParseGciCountry(row.lines), row.country);
        GciCodeSet codes;
        std::string text;
        const bool listed = ParseGciList(row.lines, codes, text);
        EXPECT_EQ(listed ? static_cast<int>(codes.count()) : -1, row.listed);
        EXPECT_EQ(text, row.text);
    }
}

}  // namespace
