// Detection runs with modems on the virtual modem's ports. Each suite
// starts the program once and its tests run in the order written, each
// going on from where the one before left the program.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <memory>

#include "tools/driver/message_box.h"
#include "tools/driver/program_session.h"
#include "tools/driver/run_watch.h"
#include "tools/driver/serial_port.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"

namespace {

constexpr DWORD kRunLimit = 60000;  // ms; a run takes about 13 s, longer on a loaded machine
constexpr DWORD kStepLimit = 10000;  // ms for anything else
constexpr char kProbe[] = "ati3\r\n";
constexpr char kQuery[] = "ati9\r\n";

enum Control {
    kSet = 1005,
    kCurrent = 1023,
    kModemStatus = 1024,
    kQuit = 1027,
    kOtherModem = 1007,
    kModemList = 1030,
};
constexpr WPARAM kAutoDetectCommand = 1124;

using Session = drv::ProgramSession;

// The last record's icon and tip.
void ExpectTray(const Session& s, const std::vector<drv::TrayRecord>& records, int icon, const std::string& tip) {
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(s.IconOf(records.back()), icon);
    EXPECT_EQ(records.back().tip, tip);
}

// ---------------------------------------------------------------------------
// Four modems of which two are found: COM3 answers after 150 ms, COM1 with
// the second identification; COM4 gives its identification in lower case
// and COM2 answers only after 600 ms, both too late or wrong.

class SeveralModems : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_ = std::make_unique<Session>();
        if (!s_->Start({{3, {{"delay", "150"}}},
                        {1, {{"id", "2"}}},
                        {4, {{"idtext", "qtrxfm330hwnf1*gen"}}},
                        {2, {{"delay", "600"}}}},
                       kStepLimit))
            return;
        selection_ = s_->startRun->WaitForWindow(drv::kSelectionTitle, kRunLimit);
        if (!selection_) s_->error = "the selection dialog did not appear";
    }
    static void TearDownTestSuite() { s_.reset(); }
    void SetUp() override { ASSERT_TRUE(s_->error.empty()) << s_->error; }

    static std::unique_ptr<Session> s_;
    static HWND selection_;
};

std::unique_ptr<Session> SeveralModems::s_;
HWND SeveralModems::selection_ = nullptr;

TEST_F(SeveralModems, OnlyModemsThatIdentifyThemselvesWithinTheWindowAreFound) {
    EXPECT_EQ(s_->startRun->ProgressTexts(), drv::ExpectedProbeTexts({3, 1}));
    // Every port with a modem was probed once; the query waits for the choice.
    for (int com : {1, 2, 3, 4}) EXPECT_EQ(s_->Received(com), kProbe) << "COM" << com;
    EXPECT_EQ(s_->startRun->Log().Seen(drv::kProgressTitle).size(), 1u);
}

TEST_F(SeveralModems, SelectionListsTheModemsInProbeOrderAndInsistsOnAChoice) {
    const HWND progress = s_->program.WaitForWindow(drv::kProgressTitle, "#32770", 0);
    EXPECT_TRUE(!progress || !drv::IsVisible(progress)) << "the progress dialog stays on screen";
    const HWND list = GetDlgItem(selection_, kModemList);
    EXPECT_EQ(drv::ListItems(list), (std::vector<std::string>{"Modem connected to COM3", "Modem connected to COM1"}));
    EXPECT_EQ(drv::ListSelection(list), LB_ERR);

    drv::Click(GetDlgItem(selection_, IDOK));
    const HWND box = s_->WaitForMessageBox("Modem Selection", "Click", kStepLimit);
    ASSERT_NE(box, nullptr) << "Continue with no line chosen showed no box";
    EXPECT_EQ(drv::MessageBoxText(box), "Click to select the modem to be configured.");
    drv::AnswerMessageBox(box, IDOK);
    ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(box); }, kStepLimit));
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_TRUE(drv::IsVisible(selection_)) << "the selection dialog ended without a choice";

    drv::DoubleClickListItem(list, 0);
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_EQ(drv::ListSelection(list), 0);
    EXPECT_TRUE(drv::IsVisible(selection_)) << "a double click ended the selection dialog";
}

TEST_F(SeveralModems, ChoosingTheSecondLineConfiguresTheModemOnCom1) {
    const HWND list = GetDlgItem(selection_, kModemList);
    drv::ClickListItem(list, 1);
    ASSERT_TRUE(drv::WaitUntil([&] { return drv::ListSelection(list) == 1; }, kStepLimit));
    drv::Click(GetDlgItem(selection_, IDOK));
    ASSERT_TRUE(s_->startRun->WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end after the choice";

    EXPECT_FALSE(IsWindow(selection_));
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM1");
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kSet)));
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kCurrent)));
    EXPECT_TRUE(drv::IsVisible(s_->main));
    EXPECT_EQ(s_->Received(1), std::string(kProbe) + kQuery);
    EXPECT_EQ(s_->Received(3), kProbe);
    ExpectTray(*s_, s_->startRun->TrayRecords(), 128, "United States");
}

TEST_F(SeveralModems, EscapeEndsTheProgramAndTakesItsIconAway) {
    drv::PressKey(s_->main, VK_ESCAPE);
    EXPECT_TRUE(s_->program.WaitForExit(kStepLimit).has_value()) << "the program still runs";
    const std::vector<drv::TrayRecord> records = s_->tray.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operation, static_cast<DWORD>(NIM_DELETE));
}

// ---------------------------------------------------------------------------
// One modem, on COM4, found again and again.

class OneModem : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_ = std::make_unique<Session>();
        if (s_->Start({{4, {}}}, kStepLimit) && !s_->startRun->WaitForEnd(s_->Combo(), kRunLimit))
            s_->error = "the first run did not end: " + s_->startRun->Describe(s_->Combo());
    }
    static void TearDownTestSuite() { s_.reset(); }
    void SetUp() override { ASSERT_TRUE(s_->error.empty()) << s_->error; }

    static std::unique_ptr<Session> s_;
};

std::unique_ptr<Session> OneModem::s_;

TEST_F(OneModem, IsFoundWithoutASelectionAndQueried) {
    drv::RunWatch& run = *s_->startRun;
    std::vector<std::string> texts = drv::ExpectedProbeTexts({4});
    texts.push_back("Modem connected to COM4");
    EXPECT_EQ(run.ProgressTexts(), texts);
    EXPECT_TRUE(run.Log().Seen(drv::kSelectionTitle).empty()) << "a selection dialog appeared for one modem";
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM4");
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kSet)));
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kCurrent)));
    EXPECT_TRUE(drv::IsVisible(s_->main));
    EXPECT_EQ(s_->Received(4), std::string(kProbe) + kQuery);

    const std::vector<drv::TrayRecord> records = run.TrayRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(s_->IconOf(records[1]), 191);
    EXPECT_EQ(records[1].tip, "Detecting Modem ...Please wait.");
    ExpectTray(*s_, records, 128, "United States");
}

TEST_F(OneModem, PortThatCannotBeOpenedCountsAsNoModemAndTheRunGoesOn) {
    // Wine lets a second handle open a COM port that one already holds, so
    // the port is made unopenable by taking its device away instead.
    ASSERT_TRUE(s_->modem.Set(4, "present", "0"));
    ASSERT_TRUE(s_->modem.Attach(6));
    auto run = s_->Command(kAutoDetectCommand);
    const bool ended = run->WaitForEnd(s_->Combo(), kRunLimit);
    const bool restored = s_->modem.Set(4, "present", "1") && s_->modem.Detach(6) && s_->modem.Clear(4);
    ASSERT_TRUE(ended) << "the run did not end";
    ASSERT_TRUE(restored);

    std::vector<std::string> texts = drv::ExpectedProbeTexts({6});
    texts.push_back("Modem connected to COM6");
    EXPECT_EQ(run->ProgressTexts(), texts);
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM6");
}

TEST_F(OneModem, ProgressDialogRefusesEscapeEnterAndCloseWhileItRuns) {
    auto run = s_->Command(kAutoDetectCommand);
    const HWND progress = run->WaitForWindow(drv::kProgressTitle, kStepLimit);
    ASSERT_NE(progress, nullptr);
    drv::PressKeyOn(progress, VK_ESCAPE);
    drv::PressKeyOn(progress, VK_RETURN);
    PostMessageW(progress, WM_CLOSE, 0, 0);
    PostMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_TRUE(drv::IsVisible(progress)) << "the progress dialog closed during the run";
    ASSERT_TRUE(run->WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end";

    std::vector<std::string> texts = drv::ExpectedProbeTexts({4});
    texts.push_back("Modem connected to COM4");
    EXPECT_EQ(run->ProgressTexts(), texts);
    EXPECT_EQ(s_->Received(4), std::string(kProbe) + kQuery);

    // No connection of the program is left: the port opens for another
    // program, and bytes the modem sends wait there for it.
    ASSERT_TRUE(s_->modem.Send(4, "\\x01idle\\r\\n"));
    drv::TestSerialPort port;
    std::string error;
    ASSERT_TRUE(port.Open(4, &error)) << error;
    EXPECT_NE(port.ReadUntil("idle", kStepLimit).find("idle"), std::string::npos)
        << "something else read the port";
}

TEST_F(OneModem, NextRunFindsItAgainAndTheListKeepsOneLine) {
    ASSERT_TRUE(s_->modem.Clear(4));
    auto run = s_->Command(kAutoDetectCommand);
    ASSERT_TRUE(run->WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end";
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM4");
    EXPECT_EQ(s_->Received(4), std::string(kProbe) + kQuery);

    drv::Click(GetDlgItem(s_->main, kOtherModem));
    const HWND selection = s_->program.WaitForWindow(drv::kSelectionTitle, "#32770", kStepLimit);
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(drv::ListItems(GetDlgItem(selection, kModemList)),
              (std::vector<std::string>{"Modem connected to COM4"}));
    drv::PressKeyOn(selection, VK_ESCAPE);
    EXPECT_TRUE(drv::WaitUntil([&] { return !IsWindow(selection); }, kStepLimit));
}

TEST_F(OneModem, QuitButtonAndYesEndTheProgramAndTakeItsIconAway) {
    drv::Click(GetDlgItem(s_->main, kQuit));
    const HWND box = s_->WaitForMessageBox("Quit", nullptr, kStepLimit);
    ASSERT_NE(box, nullptr) << "no confirmation appeared";
    drv::AnswerMessageBox(box, IDYES);
    EXPECT_TRUE(s_->program.WaitForExit(kStepLimit).has_value()) << "the program still runs";
    const std::vector<drv::TrayRecord> records = s_->tray.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operation, static_cast<DWORD>(NIM_DELETE));
}

}  // namespace
