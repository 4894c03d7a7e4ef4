// Faults on the line, with one start of the program and its modem on COM4:
// the modem vanishing in the middle of each operation, floods and an endless
// line, slow, byte-by-byte and CR-only replies, and a port the test itself
// holds open. Every test ends with a fresh modem on COM4 and the program idle.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "tools/driver/serial_port.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_query.h"
#include "tests/reliability/rig.h"

namespace rel {
namespace {

constexpr char kHome[] = "United States";  // the modem's country until a setting changes it
constexpr char kProbe[] = "ati3\r";
constexpr char kQuery[] = "ati9\r";
constexpr std::uint64_t kFlood = 1 << 20;

std::string SetCommand(const std::string& code) { return "at%t19,0," + code + "\r"; }

class LineFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rig_ = std::make_unique<Rig>();
        if (!rig_->Start({{kModemCom, {}}})) return;
        names_ = rig_->Countries();
        germany_ = rig_->IndexOf("Germany");
        if (names_.empty() || germany_ < 0) rig_->S().error = "the country list is not the built table";
    }
    static void TearDownTestSuite() { rig_.reset(); }
    void SetUp() override { ASSERT_TRUE(R().Error().empty()) << R().Error(); }
    void TearDown() override {
        // Whatever a test left on COM4 (a flood, a held port), the next one
        // starts with a fresh modem, the list intact and the program idle.
        EXPECT_TRUE(R().FreshModem(kModemCom));
        EXPECT_TRUE(R().WaitIdle(kStepLimit));
        EXPECT_EQ(R().Countries(), names_) << "the country list changed";
    }

    static Rig& R() { return *rig_; }
    static drv::VModemClient& M() { return rig_->Modem(); }
    // Sent bytes of the modem on COM4 since its transcript began (bulk writes as <label>).
    static std::string Sent() {
        std::string bytes;
        if (auto entries = M().Transcript(kModemCom))
            for (const drv::TranscriptEntry& e : *entries)
                if (!e.received) bytes += e.bulkLabel.empty() ? e.bytes : "<" + e.bulkLabel + ">";
        return bytes;
    }
    // The query after a fault recognises the modem's country again.
    static void ExpectQueryWorks(const std::string& country = kHome) {
        const QueryOutcome query = R().Query();
        ASSERT_TRUE(query.done) << "the query after the fault did not end";
        EXPECT_EQ(query.tip, country);
    }

    static std::unique_ptr<Rig> rig_;
    static std::vector<std::string> names_;
    static int germany_;
};

std::unique_ptr<Rig> LineFaults::rig_;
std::vector<std::string> LineFaults::names_;
int LineFaults::germany_ = -1;

// Nothing of the connection is left: the reader thread has ended, no handle
// to a serial port is open, and the handles are back to their count.
void ExpectBackToLevel(const Level& before, const Level& after) {
    ASSERT_TRUE(before.process.ok && after.process.ok);
    EXPECT_EQ(after.process.threads, before.process.threads) << "a thread was left behind";
    EXPECT_TRUE(after.process.serialHandles.empty()) << "a port was left open: " << drv::Describe(after.process);
    EXPECT_EQ(after.process.handles, before.process.handles)
        << "before: " << drv::Describe(before.process) << "\nafter:  " << drv::Describe(after.process);
}

// ---------------------------------------------------------------------------
// The modem vanishes (its pty closed, its link removed) while an operation
// waits for its reply; the reply would have come inside the window.

TEST_F(LineFaults, ModemVanishingDuringAQueryGivesUnknownCountryAndLeavesNothing) {
    ExpectQueryWorks();
    const Level before = R().Measure();
    ASSERT_TRUE(R().FreshModem(kModemCom, {{"delay", "150"}}));
    R().BeginQuery();
    ASSERT_TRUE(R().WaitReceived(kModemCom, kQuery, kStepLimit)) << "the query never reached the modem";
    ASSERT_TRUE(M().Set(kModemCom, "present", "0"));
    const DWORD vanished = GetTickCount();
    ASSERT_EQ(Sent().find("UNITED"), std::string::npos) << "the reply went out before the modem vanished";

    const QueryOutcome query = R().FinishQuery();
    ASSERT_TRUE(query.done) << "the query never ended";
    EXPECT_EQ(query.tip, kUnknownTip);
    EXPECT_GE(static_cast<LONG>(query.ms - vanished), 0) << "the query had ended before the modem vanished";
    EXPECT_TRUE(R().Responsive());
    const Level after = R().Measure();
    ExpectBackToLevel(before, after);
    Figure("query, modem vanished", drv::Describe(after.process));

    ASSERT_TRUE(M().Set(kModemCom, "present", "1") && M().Set(kModemCom, "delay", "0"));
    ExpectQueryWorks();
}

TEST_F(LineFaults, ModemVanishingDuringTheWaitOfASettingFailsAndLeavesNothing) {
    ASSERT_TRUE(R().Set(germany_).success());
    const Level before = R().Measure();
    ASSERT_TRUE(R().FreshModem(kModemCom, {{"delay", "1500"}}));
    ASSERT_TRUE(R().BeginSet(germany_));
    ASSERT_TRUE(R().WaitReceived(kModemCom, SetCommand("04"), kStepLimit)) << "the setting never reached the modem";
    ASSERT_TRUE(M().Set(kModemCom, "present", "0"));
    ASSERT_EQ(Sent().find("OK"), std::string::npos) << "the OK went out before the modem vanished";

    const SetOutcome set = R().FinishSet();
    ASSERT_TRUE(set.done) << "the setting never ended";
    EXPECT_EQ(set.text, kFailureText);
    EXPECT_EQ(set.caption, "");
    EXPECT_FALSE(set.tip.has_value()) << "a failed setting changed the tray tip";
    const Level after = R().Measure();
    ExpectBackToLevel(before, after);
    Figure("setting, modem vanished", drv::Describe(after.process));

    ASSERT_TRUE(M().Set(kModemCom, "present", "1") && M().Set(kModemCom, "delay", "0"));
    const SetOutcome again = R().Set(germany_);
    EXPECT_TRUE(again.success()) << again.text;
    EXPECT_EQ(again.tip.value_or(""), "Germany");
}

TEST_F(LineFaults, ModemVanishingDuringAProbeReportsNoModemThereAndTheNextRunFindsIt) {
    const Level before = R().Measure();
    ASSERT_TRUE(R().FreshModem(kModemCom, {{"delay", "250"}}));
    R().BeginRun();
    ASSERT_TRUE(R().WaitReceived(kModemCom, kProbe, kRunLimit)) << "the probe never reached the modem";
    ASSERT_TRUE(M().Set(kModemCom, "present", "0"));
    ASSERT_EQ(Sent().find("QTRX"), std::string::npos) << "the identification went out before the modem vanished";

    const RunOutcome run = R().FinishRun();
    ASSERT_TRUE(run.done) << "the run never ended";
    std::vector<std::string> texts = drv::ExpectedProbeTexts({});
    texts.push_back("No Modem in your system!");
    EXPECT_EQ(run.texts, texts);
    EXPECT_EQ(run.tip, kNoModemFoundTip);
    EXPECT_EQ(run.icon, kNoModemIcon);
    EXPECT_FALSE(drv::IsEnabled(R().Item(kSet)));
    EXPECT_FALSE(drv::IsEnabled(R().Item(kCurrent)));
    const Level after = R().Measure();
    EXPECT_EQ(after.process.threads, before.process.threads);
    EXPECT_TRUE(after.process.serialHandles.empty()) << drv::Describe(after.process);
    Figure("probe, modem vanished", drv::Describe(after.process));

    ASSERT_TRUE(M().Set(kModemCom, "present", "1") && M().Set(kModemCom, "delay", "0"));
    const RunOutcome next = R().Run();
    ASSERT_TRUE(next.done);
    EXPECT_EQ(next.status, "Modem connected to COM4");
    EXPECT_EQ(next.tip, kHome);
    ExpectBackToLevel(before, R().Measure());
}

// ---------------------------------------------------------------------------
// Floods and an endless line: the operation ends in one of its outcomes, the
// program answers afterwards, and what it recognises later is unchanged.

TEST_F(LineFaults, FloodDuringAQueryEndsItWithAnOutcomeAndTheProgramAnswers) {
    ASSERT_TRUE(R().FreshModem(kModemCom, {{"delay", "150"}}));
    R().BeginQuery();
    ASSERT_TRUE(R().WaitReceived(kModemCom, kQuery, kStepLimit));
    ASSERT_TRUE(M().Request("flood 4 " + std::to_string(kFlood)).ok);
    const QueryOutcome query = R().FinishQuery();
    ASSERT_TRUE(query.done) << "the query never ended";
    // The flood comes before the reply, so the capture is full of it.
    EXPECT_EQ(query.tip, kUnknownTip);
    Figure("flood during a query: bytes the modem wrote by the end", std::to_string(R().BulkSent(kModemCom)));
    EXPECT_TRUE(R().Responsive());
    EXPECT_TRUE(R().Choose(germany_)) << "a choice in the list was not shown";

    ASSERT_TRUE(R().FreshModem(kModemCom));  // ends the flood
    ExpectQueryWorks();
}

TEST_F(LineFaults, FloodDuringAProbeLeavesTheIdentificationFoundAndTheRunEnds) {
    const Level before = R().Measure();
    ASSERT_TRUE(R().FreshModem(kModemCom));
    R().BeginRun();
    ASSERT_TRUE(R().WaitReceived(kModemCom, kProbe, kRunLimit));
    ASSERT_TRUE(M().Request("flood 4 " + std::to_string(kFlood)).ok);
    const RunOutcome run = R().FinishRun();
    ASSERT_TRUE(run.done) << "the run never ended";
    EXPECT_EQ(run.status, "Modem connected to COM4");
    // The query at the end of the run meets the rest of the flood.
    EXPECT_TRUE(run.tip == kUnknownTip || run.tip == kHome) << run.tip;
    Figure("flood during a probe: bytes the modem wrote by the end of the run",
           std::to_string(R().BulkSent(kModemCom)));
    EXPECT_TRUE(R().Responsive());
    EXPECT_EQ(R().Measure().process.threads, before.process.threads);

    ASSERT_TRUE(R().FreshModem(kModemCom));
    ExpectQueryWorks();
}

TEST_F(LineFaults, EndlessLineDuringAQueryAndASetting) {
    ASSERT_TRUE(R().FreshModem(kModemCom, {{"delay", "150"}}));
    R().BeginQuery();
    ASSERT_TRUE(R().WaitReceived(kModemCom, kQuery, kStepLimit));
    ASSERT_TRUE(M().Request("endless 4 1").ok);
    const QueryOutcome query = R().FinishQuery();
    ASSERT_TRUE(query.done) << "the query never ended";
    EXPECT_EQ(query.tip, kUnknownTip);
    EXPECT_TRUE(R().Responsive());

    // The line runs on while the setting opens the port; the OK comes on a
    // line of its own within it.
    ASSERT_TRUE(M().Set(kModemCom, "delay", "0"));
    const SetOutcome set = R().Set(germany_);
    ASSERT_TRUE(set.done);
    EXPECT_TRUE(set.success()) << set.text;
    Figure("endless line during a query and a setting: bytes written", std::to_string(R().BulkSent(kModemCom)));
    ASSERT_TRUE(M().Request("endless 4 0").ok);
    ASSERT_TRUE(R().FreshModem(kModemCom));
    ExpectQueryWorks();
}

// ---------------------------------------------------------------------------
// Nothing lost: an OK that never came is no success, junk after a real OK is
// no failure.

TEST_F(LineFaults, SettingWithoutAnOkIsNeverASuccessWhateverElseArrives) {
    const struct {
        const char* what;
        drv::ModemKnobs knobs;
        bool flood;
    } cases[] = {
        {"ERROR, then 1 MiB of random bytes", {{"seterror", "1"}}, true},
        {"ERROR after a noise line holding OK", {{"seterror", "1"}, {"junk", "\\x7f#TOKEN\\x01"}}, false},
        {"no answer, a noise line holding OK", {{"okword", "BROKEN"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(R().FreshModem(kModemCom, c.knobs));
        ASSERT_TRUE(R().BeginSet(germany_));
        if (c.flood) {
            ASSERT_TRUE(R().WaitReceived(kModemCom, SetCommand("04"), kStepLimit));
            ASSERT_TRUE(M().Request("flood 4 " + std::to_string(kFlood)).ok);
        }
        const SetOutcome set = R().FinishSet();
        ASSERT_TRUE(set.done) << "the setting never ended";
        EXPECT_EQ(set.text, kFailureText);
        EXPECT_FALSE(set.tip.has_value());
        if (c.flood) Figure("flood during a setting: bytes written", std::to_string(R().BulkSent(kModemCom)));
    }
}

TEST_F(LineFaults, SettingWhoseOkCameIsASuccessWhateverFollows) {
    const struct {
        const char* what;
        drv::ModemKnobs knobs;
        bool flood;
    } cases[] = {
        {"OK, then 1 MiB of random bytes", {}, true},
        {"OK, then junk without a line end", {{"okword", "OK\\r\\n\\x01\\xfe#garbage"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(R().FreshModem(kModemCom, c.knobs));
        ASSERT_TRUE(R().BeginSet(germany_));
        if (c.flood) {
            ASSERT_TRUE(R().WaitReceived(kModemCom, SetCommand("04"), kStepLimit));
            ASSERT_TRUE(M().Request("flood 4 " + std::to_string(kFlood)).ok);
        }
        const SetOutcome set = R().FinishSet();
        ASSERT_TRUE(set.done) << "the setting never ended";
        EXPECT_TRUE(set.success()) << set.text;
        EXPECT_EQ(set.tip.value_or(""), "Germany");
    }
}

// ---------------------------------------------------------------------------
// Slow, byte-by-byte and CR-only replies to each command: inside its window a
// reply is recognised, beyond it the reply counts as missing, never as success.

TEST_F(LineFaults, ProbeRepliesInsideTheWindowAreFoundAndLateOnesAreNot) {
    // One run probes all six ports (3, 4, 2, 1, 5, 6), each with its own reply.
    const std::map<int, drv::ModemKnobs> modems = {
        {3, {{"delay", "400"}}},                                  // beyond the 300 ms window
        {4, {{"delay", "250"}}},                                  // inside it
        {2, {{"split", "1"}, {"gap", "10"}}},                     // identification line ends at ~210 ms
        {1, {{"split", "1"}, {"gap", "20"}}},                     // ... at ~420 ms
        {5, {{"cronly", "1"}}},                                   // CR-only line ends
        {6, {{"cronly", "1"}, {"split", "1"}, {"gap", "10"}}},
    };
    for (const auto& [com, knobs] : modems) ASSERT_TRUE(R().FreshModem(com, knobs)) << "COM" << com;
    R().BeginRun();
    const HWND selection = R().WaitForRunWindow(drv::kSelectionTitle);
    ASSERT_NE(selection, nullptr) << "no selection of the modems found";
    const HWND list = GetDlgItem(selection, 1030);
    EXPECT_EQ(drv::ListItems(list), (std::vector<std::string>{"Modem connected to COM4", "Modem connected to COM2",
                                                              "Modem connected to COM5", "Modem connected to COM6"}));
    drv::SendWithTimeout(list, LB_SETCURSEL, 0, 0);
    PostMessageW(selection, WM_COMMAND, IDOK, 0);
    const RunOutcome run = R().FinishRun();
    for (int com : {1, 2, 3, 5, 6}) EXPECT_TRUE(M().Detach(com));
    ASSERT_TRUE(run.done);
    std::vector<std::string> texts = drv::ExpectedProbeTexts({4, 2, 5, 6});
    texts.push_back("Modem connected to COM4");
    EXPECT_EQ(run.texts, texts);
    EXPECT_EQ(run.status, "Modem connected to COM4");
    // The query that ends the run goes to COM4, whose reply (250 ms) misses its 200 ms window.
    EXPECT_EQ(run.tip, kUnknownTip);
}

TEST_F(LineFaults, QueryRepliesInsideTheWindowAreRecognisedAndLateOnesAreNot) {
    const struct {
        const char* what;
        drv::ModemKnobs knobs;
        const char* tip;
    } cases[] = {
        {"reply after 150 ms", {{"delay", "150"}}, kHome},
        {"reply after 300 ms", {{"delay", "300"}}, kUnknownTip},
        {"single bytes 10 ms apart: name complete at ~150 ms", {{"split", "1"}, {"gap", "10"}}, kHome},
        {"single bytes 20 ms apart: name complete at ~300 ms", {{"split", "1"}, {"gap", "20"}}, kUnknownTip},
        {"CR-only line ends", {{"cronly", "1"}}, kHome},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(R().FreshModem(kModemCom, c.knobs));
        const QueryOutcome query = R().Query();
        ASSERT_TRUE(query.done);
        EXPECT_EQ(query.tip, c.tip);
    }
}

TEST_F(LineFaults, SettingRepliesInsideTheWindowSucceedAndLateOnesFail) {
    const struct {
        const char* what;
        drv::ModemKnobs knobs;
        bool success;
    } cases[] = {
        {"OK after 1500 ms", {{"delay", "1500"}}, true},
        {"OK after 2600 ms", {{"delay", "2600"}}, false},
        {"single bytes 100 ms apart: OK line ends at ~400 ms", {{"split", "1"}, {"gap", "100"}}, true},
        {"single bytes 600 ms apart: OK line ends at ~2400 ms", {{"split", "1"}, {"gap", "600"}}, false},
        {"CR-only line ends", {{"cronly", "1"}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(R().FreshModem(kModemCom, c.knobs));
        const SetOutcome set = R().Set(germany_);
        ASSERT_TRUE(set.done);
        EXPECT_EQ(set.success(), c.success) << set.text;
        EXPECT_EQ(set.tip.has_value(), c.success);
    }
}

// ---------------------------------------------------------------------------
// A port the test holds open, as another program would. Wine lets the
// program open it too, so both handles read the same line.

TEST_F(LineFaults, PortHeldOpenButNotReadByAnotherProgramWorksAsUsual) {
    drv::TestSerialPort held;
    std::string error;
    ASSERT_TRUE(held.Open(kModemCom, &error)) << error;
    const QueryOutcome query = R().Query();
    ASSERT_TRUE(query.done);
    EXPECT_EQ(query.tip, kHome);
    const SetOutcome set = R().Set(germany_);
    ASSERT_TRUE(set.done);
    EXPECT_TRUE(set.success()) << set.text;
    const RunOutcome run = R().Run();
    ASSERT_TRUE(run.done);
    EXPECT_EQ(run.status, "Modem connected to COM4");
    EXPECT_EQ(run.tip, "Germany");
    EXPECT_TRUE(R().Measure().process.serialHandles.empty());
    held.Close();
    ExpectQueryWorks("Germany");
}

TEST_F(LineFaults, PortReadByAnotherProgramGivesAnOutcomeButNeverASuccessWithoutTheOk) {
    drv::TestSerialPort held;
    std::string error;
    ASSERT_TRUE(held.Open(kModemCom, &error)) << error;
    // The other program reads everything it can during one operation, up to
    // a mark the modem sends once the operation is over.
    auto during = [&](const auto& operation, const std::string& mark) {
        std::string taken;
        std::thread reader([&] { taken = held.ReadUntil(mark, kRunLimit); });
        operation();
        EXPECT_TRUE(M().Send(kModemCom, mark));
        reader.join();
        return taken;
    };
    QueryOutcome query;
    SetOutcome set;
    const std::string takenFromQuery = during([&] { query = R().Query(); }, "END1");
    const std::string takenFromSetting = during([&] { set = R().Set(germany_); }, "END2");
    ASSERT_TRUE(query.done && set.done);
    // Each byte goes to one reader: what the other took, the program never saw.
    EXPECT_TRUE(query.tip == kHome || query.tip == kUnknownTip) << query.tip;
    if (query.tip == kHome) {
        EXPECT_EQ(takenFromQuery.find("UNITED STATES"), std::string::npos) << "recognised without the name";
    }
    if (set.success()) {
        EXPECT_EQ(takenFromSetting.find("OK"), std::string::npos) << "a success without the OK";
    }
    Figure("port read by another program: query", query.tip + ", the other took " +
                                                      std::to_string(takenFromQuery.size()) + " bytes");
    Figure("port read by another program: setting", set.text + ", the other took " +
                                                        std::to_string(takenFromSetting.size()) + " bytes");
    held.Close();
    ExpectQueryWorks(M().Get(kModemCom, "country").value_or("") == "04" ? "Germany" : kHome);
}

}  // namespace
}  // namespace rel
