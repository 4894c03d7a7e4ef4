// The operations in both dialects against the virtual modem's own engine:
// one table of rows over the card and gci modems, both forms of each +GCI
// answer, the codes a modem does not support, a modem that answers ERROR to
// +GCI, one that says OK and keeps its country, and the two codes of
// Germany, each chosen and read back; then the windows as upper bounds of
// the prompt pace, at their edges, and a detection that probes its ports at
// once.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "core/dialect_operations.h"
#include "core/gci_reply.h"
#include "tests/core/fake_port.h"

namespace {

using Ms = std::chrono::milliseconds;

enum class Op { Detect, Query, Supported, Set };

struct Row {
    const char* what;
    const char* knobs;  // the modem, as the virtual modem's knobs
    Op op;
    Dialect asked;
    int country;  // set: the line of kTable to set
    Dialect spoken;
    // Detect: 1 when found; query: the table line found; supported: the
    // count of codes listed; set: the SetOutcome.
    int answer;
    int code;             // the +GCI code reported or sent, -1: none
    std::string written;  // every byte the modem received
};

// The card's codes are its own: Germany's is 42 here, which the card takes
// as it is and which never goes out as a +GCI code.
const CountryRecord kTable[] = {{"Germany", "GERMANY", "GERMANY", "42"},
                                {"United Kingdom", "UNITED KINGDOM", "UK", "B4"},
                                {"United States", "UNITED STATES", "USA", "B5"},
                                {"Narnia", "NARNIA", "NARNIA", "77"}};
constexpr int kCount = 4;
constexpr int kGermany = 0, kUk = 1, kUs = 2, kNarnia = 3;

const char kGci[] = "personality=gci ";
constexpr ModemTiming kFast = [] {
    ModemTiming timing = kPromptPace;
    timing.settle = Ms(0);
    return timing;
}();

int ToInt(SetOutcome outcome) { return static_cast<int>(outcome); }

struct Outcome {
    Dialect spoken = Dialect::Auto;
    int answer = -1, code = -1;
    std::string written;
};

Outcome Play(const Row& row, const ModemTiming& timing) {
    engine::Port port;
    EXPECT_TRUE(port.SetKnobs(row.knobs)) << row.knobs;
    Outcome out;
    switch (row.op) {
    case Op::Detect: {
        const DetectResult result = DetectModem(port, "COM3", row.asked, timing);
        out.spoken = result.dialect;
        out.answer = result.dialect != Dialect::Auto;
        break;
    }
    case Op::Query: {
        const CountryQuery result = QueryCountryIn(port, "COM3", row.asked, kTable, kCount, timing);
        out = {result.dialect, result.country, result.gciCode, ""};
        break;
    }
    case Op::Supported: {
        const SupportedQuery result = QuerySupported(port, "COM3", row.asked, timing);
        out = {result.dialect, static_cast<int>(result.codes.count()), -1, ""};
        break;
    }
    case Op::Set: {
        const CountrySet result = SetCountryIn(port, "COM3", row.asked, kTable[row.country], timing);
        out = {result.dialect, ToInt(result.outcome), result.gciCode, ""};
        break;
    }
    }
    out.written = port.Written();
    return out;
}

const std::string kProbe = "ati3\r\n", kAt = "at\r\n", kAsk = "at+GCI?\r\n", kList = "at+GCI=?\r\n";
std::string SetGci(const char* code) { return std::string("at+GCI=") + code + "\r\n"; }

TEST(Dialects, Rows) {
    const Row rows[] = {
        // Which dialect a modem speaks.
        {"detect auto: the card", "", Op::Detect, Dialect::Auto, 0, Dialect::T19, 1, -1, kProbe},
        {"detect auto: a gci modem, asked AT after ati3", kGci, Op::Detect, Dialect::Auto, 0, Dialect::Gci, 1, -1,
         kProbe + kAt},
        {"detect auto: silence is asked nothing more", "silent=1", Op::Detect, Dialect::Auto, 0, Dialect::Auto, 0,
         -1, kProbe},
        {"detect t19: a gci modem is no card", kGci, Op::Detect, Dialect::T19, 0, Dialect::Auto, 0, -1, kProbe},
        {"detect gci: the card answers AT too", "", Op::Detect, Dialect::Gci, 0, Dialect::Gci, 1, -1, kAt},

        // The country: the card's name in its reply, a gci modem's code in either form.
        {"query auto: the card", "", Op::Query, Dialect::Auto, 0, Dialect::T19, kUs, -1, kProbe + "ati9\r\n"},
        {"query auto: +GCI: B5", kGci, Op::Query, Dialect::Auto, 0, Dialect::Gci, kUs, 0xB5, kProbe + kAt + kAsk},
        {"query gci: +GCI:B4, no space", "personality=gci gcispace=0 country=B4", Op::Query, Dialect::Gci, 0,
         Dialect::Gci, kUk, 0xB4, kAsk},
        {"query gci: 42 is Germany", "personality=gci gcilist=00,42,B5 country=42", Op::Query, Dialect::Gci, 0,
         Dialect::Gci, kGermany, 0x42, kAsk},
        {"query gci: 04 is Germany", "personality=gci country=04", Op::Query, Dialect::Gci, 0, Dialect::Gci,
         kGermany, 0x04, kAsk},
        {"query gci: a code of no country in the table", "personality=gci gcilist=00-FF country=8A", Op::Query,
         Dialect::Gci, 0, Dialect::Gci, -1, 0x8A, kAsk},
        {"query gci: ERROR to +GCI", "personality=gci gcierror=1", Op::Query, Dialect::Gci, 0, Dialect::Gci, -1,
         -1, kAsk},
        {"query t19 asked of a gci modem: i9 names nothing", kGci, Op::Query, Dialect::T19, 0, Dialect::T19, -1,
         -1, "ati9\r\n"},

        // The codes supported, as a list and as a range.
        {"supported: a list", "personality=gci gcilist=00,B4,B5", Op::Supported, Dialect::Gci, 0, Dialect::Gci, 3,
         -1, kList},
        {"supported: a range, no space", "personality=gci gcispace=0 gcilist=00-FF", Op::Supported, Dialect::Auto,
         0, Dialect::Gci, 256, -1, kProbe + kAt + kList},
        {"supported: ERROR to +GCI", "personality=gci gcierror=1", Op::Supported, Dialect::Gci, 0, Dialect::Gci, 0,
         -1, kList},
        {"supported: the card has no list", "", Op::Supported, Dialect::Auto, 0, Dialect::T19, 0, -1, kProbe},

        // The setting: the list asked, the code sent, the country read back.
        {"set auto gci: the United Kingdom", kGci, Op::Set, Dialect::Auto, kUk, Dialect::Gci,
         ToInt(SetOutcome::Set), 0xB4, kProbe + kAt + kList + SetGci("B4") + kAsk},
        {"set gci: Germany as 04 where the modem lists 04", "personality=gci gcilist=00,04,42,B5", Op::Set,
         Dialect::Gci, kGermany, Dialect::Gci, ToInt(SetOutcome::Set), 0x04, kList + SetGci("04") + kAsk},
        {"set gci: Germany as 42 where the modem lists 42 alone", "personality=gci gcilist=00,42,B5", Op::Set,
         Dialect::Gci, kGermany, Dialect::Gci, ToInt(SetOutcome::Set), 0x42, kList + SetGci("42") + kAsk},
        {"set gci: Germany not supported, nothing sent", "personality=gci gcilist=00,B4,B5", Op::Set, Dialect::Gci,
         kGermany, Dialect::Gci, ToInt(SetOutcome::Unsupported), 0x04, kList},
        {"set gci: ERROR to +GCI, nothing sent", "personality=gci gcierror=1", Op::Set, Dialect::Gci, kUk,
         Dialect::Gci, ToInt(SetOutcome::NoList), 0xB4, kList},
        {"set gci: OK, but the old country kept", "personality=gci ignoreset=1", Op::Set, Dialect::Gci, kUk,
         Dialect::Gci, ToInt(SetOutcome::NotTaken), 0xB4, kList + SetGci("B4") + kAsk},
        {"set gci: a modem that resets on the change, echo and all", "personality=gci echo=0 gcireset=1", Op::Set,
         Dialect::Gci, kUk, Dialect::Gci, ToInt(SetOutcome::Set), 0xB4, kList + SetGci("B4") + kAsk},
        {"set gci: a country with no +GCI code, nothing sent", kGci, Op::Set, Dialect::Gci, kNarnia, Dialect::Gci,
         ToInt(SetOutcome::NoGciCode), -1, ""},
        {"set auto card: the United Kingdom", "", Op::Set, Dialect::Auto, kUk, Dialect::T19,
         ToInt(SetOutcome::Set), -1, kProbe + "at%t19,0,B4\r\n"},
        // The card is sent the table's code as it is (which this card does not know), never a +GCI code.
        {"set card: the table's 42 for Germany", "", Op::Set, Dialect::T19, kGermany, Dialect::T19,
         ToInt(SetOutcome::NotAcknowledged), -1, "at%t19,0,42\r\n"},
        {"set auto: no modem", "silent=1", Op::Set, Dialect::Auto, kUk, Dialect::Auto, ToInt(SetOutcome::NoModem),
         -1, kProbe},
    };
    std::vector<std::future<Outcome>> played;
    for (const Row& row : rows)
        played.push_back(std::async(std::launch::async, Play, std::cref(row), std::cref(kFast)));
    for (std::size_t i = 0; i < played.size(); ++i) {
        const Row& row = rows[i];
        const Outcome out = played[i].get();
        SCOPED_TRACE(row.what);
        EXPECT_EQ(out.spoken, row.spoken);
        EXPECT_EQ(out.answer, row.answer);
        EXPECT_EQ(out.code, row.code);
        EXPECT_EQ(out.written, row.written);
    }
}

// The windows are the upper bounds of the prompt pace: an answer just inside
// one is taken, one just outside is not, and an answer that is complete ends
// the wait at once.
TEST(PromptPace, WindowsAreUpperBounds) {
    struct Edge {
        const char* what;
        const char* knobs;
        Op op;
        Dialect asked;
        int answer;
        Ms atLeast, atMost;
    };
    const Edge edges[] = {
        {"probe: at once", "", Op::Detect, Dialect::T19, 1, Ms(0), Ms(150)},
        {"probe: just inside", "delay=250", Op::Detect, Dialect::T19, 1, Ms(250), Ms(290)},
        {"probe: just outside", "delay=350", Op::Detect, Dialect::T19, 0, Ms(300), Ms(340)},
        {"AT: just inside", "personality=gci delay=250", Op::Detect, Dialect::Gci, 1, Ms(250), Ms(290)},
        {"AT: just outside", "personality=gci delay=350", Op::Detect, Dialect::Gci, 0, Ms(300), Ms(340)},
        {"i9: at once", "", Op::Query, Dialect::T19, kUs, Ms(0), Ms(100)},
        {"i9: just inside", "delay=150", Op::Query, Dialect::T19, kUs, Ms(150), Ms(190)},
        {"i9: just outside", "delay=250", Op::Query, Dialect::T19, -1, Ms(200), Ms(240)},
        {"+GCI?: just inside", "personality=gci delay=150", Op::Query, Dialect::Gci, kUs, Ms(150), Ms(190)},
        {"+GCI?: just outside", "personality=gci delay=250", Op::Query, Dialect::Gci, -1, Ms(200), Ms(240)},
        {"%t19: OK just inside", "delay=1850", Op::Set, Dialect::T19, ToInt(SetOutcome::Set), Ms(1850), Ms(1890)},
        {"%t19: OK just outside", "delay=2150", Op::Set, Dialect::T19, ToInt(SetOutcome::NotAcknowledged),
         Ms(2000), Ms(2040)},
        {"%t19: ERROR ends the wait", "seterror=1", Op::Set, Dialect::T19, ToInt(SetOutcome::NotAcknowledged),
         Ms(0), Ms(100)},
    };
    std::vector<std::future<std::pair<int, Ms>>> played;
    for (const Edge& edge : edges)
        played.push_back(std::async(std::launch::async, [&edge] {
            const Row row{edge.what, edge.knobs, edge.op, edge.asked, kUk, Dialect::Auto, 0, -1, ""};
            const auto start = ModemClock::now();
            const Outcome out = Play(row, kFast);
            return std::make_pair(out.answer, std::chrono::duration_cast<Ms>(ModemClock::now() - start));
        }));
    for (std::size_t i = 0; i < played.size(); ++i) {
        SCOPED_TRACE(edges[i].what);
        const auto [answer, took] = played[i].get();
        EXPECT_EQ(answer, edges[i].answer);
        EXPECT_GE(took.count(), edges[i].atLeast.count());
        EXPECT_LE(took.count(), edges[i].atMost.count());
    }
}

// A prompt detection probes every port at once: one settling pause and one
// window for all of them; at the window's pace one port after another,
// stopping after the first modem when asked to.
TEST(PromptPace, DetectionProbesEveryPortAtOnce) {
    const engine::Rack rack = {
        {"COM3", "silent=1"}, {"COM4", ""}, {"COM2", kGci}, {"COM1", "personality=gci gcierror=1"}, {"COM6", ""}};
    const std::vector<std::string> names = {"COM3", "COM4", "COM2", "COM1", "COM5", "COM6"};
    const PortMaker make = [&] { return std::make_unique<engine::Port>(rack); };
    ModemTiming timing = kPromptPace;
    timing.settle = Ms(300);
    auto start = ModemClock::now();
    const std::vector<DetectResult> found = DetectModems(make, names, Dialect::Auto, timing, false);
    const auto took = std::chrono::duration_cast<Ms>(ModemClock::now() - start).count();
    ASSERT_EQ(found.size(), names.size());
    const Dialect spoken[] = {Dialect::Auto, Dialect::T19,  Dialect::Gci,
                              Dialect::Gci,  Dialect::Auto, Dialect::T19};
    for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(found[i].dialect, spoken[i]) << names[i];
    EXPECT_FALSE(found[4].report.usable);
    EXPECT_GE(took, 600);  // the settling pause, and the silent ports' window
    EXPECT_LE(took, 900);  // not six of them

    ModemTiming paced = kProgramPace;
    paced.settle = paced.readerStart = paced.nextProbe = Ms(0);
    start = ModemClock::now();
    const std::vector<DetectResult> first = DetectModems(make, names, Dialect::Auto, paced, true);
    ASSERT_EQ(first.size(), 2u) << "the second port's modem ends it";
    EXPECT_EQ(first[1].dialect, Dialect::T19);
    EXPECT_GE(std::chrono::duration_cast<Ms>(ModemClock::now() - start).count(), 600) << "each window waited out";
}

// What a modem says to +GCI? and +GCI=?, in the forms modems write it.
TEST(GciReplies, Rows) {
    const struct {
        std::vector<std::string> lines;
        int country;
        int listed;  // codes in the list, -1: no list
        const char* text;
    } rows[] = {
        {{"at+GCI?", "+GCI: B5"}, 0xB5, -1, ""},
        {{"+GCI:b4"}, 0xB4, -1, ""},
        {{"+GCI:  4 "}, 0x04, -1, ""},
        {{"+GCI: B5X"}, -1, -1, ""},
        {{"+GCI: 100"}, -1, -1, ""},
        {{"GCI: B5", "+gci: B5"}, -1, -1, ""},
        {{"+GCI: (00,B4,B5)"}, -1, 3, "00,B4,B5"},
        {{"+GCI:(00-FF)"}, -1, 256, "00-FF"},
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
