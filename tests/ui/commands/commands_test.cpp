// The main window's commands, the tray icon's clicks, the card's insertion
// and removal, and the ways to quit. Each suite starts the program once and
// its tests run in the order written, each going on from where the one
// before left the program.
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <memory>

#include "tools/driver/device_change.h"
#include "tools/driver/message_box.h"
#include "tools/driver/program_session.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/run_watch.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_log.h"
#include "tools/driver/window_query.h"

namespace {

constexpr DWORD kRunLimit = 60000;   // ms; a run takes about 13 s, longer on a loaded machine
constexpr DWORD kStepLimit = 10000;  // ms for anything else
constexpr char kProbe[] = "ati3\r\n";
constexpr char kQuery[] = "ati9\r\n";
constexpr char kCardName[] = "56K PC Card Fax Modem";
constexpr char kAboutTitle[] = "About Korvane";
constexpr char kQuitText[] = "Are you sure you want to quit?";
constexpr UINT kTrayNotify = WM_APP + 100;

enum Control {
    kSet = 1005,
    kOtherModem = 1007,
    kCurrent = 1023,
    kModemStatus = 1024,
    kModemList = 1030,
};
enum Command : WPARAM { kAutoDetect = 1124, kShowWindow = 1125, kTrayQuit = 1126, kAbout = 0x10 };

using Session = drv::ProgramSession;

std::unique_ptr<drv::DeviceChangeSend> SendDeviceChange(HWND main, WPARAM event, const char* name,
                                                        DWORD type = DBT_DEVTYP_PORT) {
    return std::make_unique<drv::DeviceChangeSend>(main, event, name ? drv::PortRecord(name, type)
                                                                     : std::vector<unsigned char>{});
}

// The program's visible quit confirmations.
size_t CountQuitBoxes(DWORD pid) {
    size_t count = 0;
    for (HWND window : drv::TopWindowsOf(pid))
        if (drv::ClassOf(window) == "#32770" && drv::IsVisible(window) && drv::TextOf(window) == "Quit" &&
            drv::MessageBoxText(window) == kQuitText)
            ++count;
    return count;
}

bool Hide(HWND window) {
    ShowWindow(window, SW_HIDE);
    return drv::WaitUntil([&] { return !drv::IsVisible(window); }, kStepLimit);
}

// ---------------------------------------------------------------------------
// Two modems, on COM1 and COM3; the first run's choice is COM3.

class TwoModems : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_ = std::make_unique<Session>();
        if (!s_->Start({{1, {}}, {3, {}}}, kStepLimit)) return;
        const HWND selection = s_->startRun->WaitForWindow(drv::kSelectionTitle, kRunLimit);
        if (!selection) {
            s_->error = "the selection dialog did not appear";
            return;
        }
        const HWND list = GetDlgItem(selection, kModemList);
        drv::ClickListItem(list, 0);
        if (!drv::WaitUntil([&] { return drv::ListSelection(list) == 0; }, kStepLimit)) {
            s_->error = "the first line could not be chosen";
            return;
        }
        drv::Click(GetDlgItem(selection, IDOK));
        if (!s_->startRun->WaitForEnd(s_->Combo(), kRunLimit))
            s_->error = "the first run did not end: " + s_->startRun->Describe(s_->Combo());
    }
    static void TearDownTestSuite() { s_.reset(); }
    void SetUp() override { ASSERT_TRUE(s_->error.empty()) << s_->error; }

    // Clicks Other Modem and waits for the selection dialog.
    static HWND OpenSelection(drv::RunWatch& watch) {
        drv::Click(GetDlgItem(s_->main, kOtherModem));
        return watch.WaitForWindow(drv::kSelectionTitle, kStepLimit);
    }

    static std::unique_ptr<Session> s_;
};

std::unique_ptr<Session> TwoModems::s_;

TEST_F(TwoModems, OtherModemOpensTheSelectionAtOnceAndEscapeOrCloseChangeNothing) {
    ASSERT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM3");
    ASSERT_TRUE(s_->modem.Clear(1) && s_->modem.Clear(3));
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Escape" : "close box");
        drv::RunWatch watch(s_->program, s_->tray);
        const HWND selection = OpenSelection(watch);
        ASSERT_NE(selection, nullptr) << "Other Modem opened no selection dialog";
        EXPECT_EQ(drv::ListItems(GetDlgItem(selection, kModemList)),
                  (std::vector<std::string>{"Modem connected to COM3", "Modem connected to COM1"}));
        if (byEscape)
            drv::PressKeyOn(selection, VK_ESCAPE);
        else
            PostMessageW(selection, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(selection); }, kStepLimit));
        ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));

        EXPECT_TRUE(watch.Log().Seen(drv::kProgressTitle).empty()) << "a detection run came first";
        EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM3");
        EXPECT_TRUE(watch.TrayRecords().empty());
        EXPECT_EQ(s_->Received(1), "");
        EXPECT_EQ(s_->Received(3), "");
    }
}

TEST_F(TwoModems, ChoosingTheOtherModemShowsItAndQueriesIt) {
    ASSERT_TRUE(s_->modem.Clear(1) && s_->modem.Clear(3));
    drv::RunWatch watch(s_->program, s_->tray);
    const HWND selection = OpenSelection(watch);
    ASSERT_NE(selection, nullptr);
    const HWND list = GetDlgItem(selection, kModemList);
    drv::ClickListItem(list, 1);
    ASSERT_TRUE(drv::WaitUntil([&] { return drv::ListSelection(list) == 1; }, kStepLimit));
    drv::Click(GetDlgItem(selection, IDOK));
    // The query ends with the tray's tip, and no message is handled before it returns.
    ASSERT_TRUE(drv::WaitUntil([&] { return !watch.TrayRecords().empty(); }, kStepLimit)) << "no query ran";
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));

    EXPECT_FALSE(IsWindow(selection));
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM1");
    EXPECT_EQ(s_->Received(1), kQuery);
    EXPECT_EQ(s_->Received(3), "");
    EXPECT_EQ(watch.TrayRecords().back().tip, "United States");
    EXPECT_TRUE(watch.Log().Seen(drv::kProgressTitle).empty());
}

TEST_F(TwoModems, ArrivalWhileTheSelectionIsOpenReplacesItsStaleList) {
    // The open dialog lists COM3 and COM1; the run the arrival starts finds COM3
    // only, so a line of the old list must never be applied to the new one.
    drv::RunWatch watch(s_->program, s_->tray);
    const HWND stale = OpenSelection(watch);
    ASSERT_NE(stale, nullptr);
    drv::ClickListItem(GetDlgItem(stale, kModemList), 1);
    ASSERT_TRUE(s_->modem.Detach(1));
    auto arrival = SendDeviceChange(s_->main, DBT_DEVICEARRIVAL, kCardName);
    ASSERT_NE(watch.WaitForWindow(drv::kProgressTitle, kStepLimit), nullptr) << "no detection run started";
    ASSERT_TRUE(arrival->WaitDone(kRunLimit)) << "the run did not end";
    ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(stale); }, kStepLimit)) << "the stale dialog stayed";
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM3");

    const HWND fresh = OpenSelection(watch);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(drv::ListItems(GetDlgItem(fresh, kModemList)),
              (std::vector<std::string>{"Modem connected to COM3"}));
    drv::PressKeyOn(fresh, VK_ESCAPE);
    ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(fresh); }, kStepLimit));
}

TEST_F(TwoModems, TrayMenuQuitAndYesEndTheProgramAndTakeItsIconAway) {
    s_->Command(kTrayQuit);
    const HWND box = s_->WaitForMessageBox("Quit", kQuitText, kStepLimit);
    ASSERT_NE(box, nullptr) << "the tray menu's Quit asked nothing";
    drv::AnswerMessageBox(box, IDYES);
    EXPECT_TRUE(s_->program.WaitForExit(kStepLimit).has_value()) << "the program still runs";
    const std::vector<drv::TrayRecord> records = s_->tray.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operation, static_cast<DWORD>(NIM_DELETE));
}

// ---------------------------------------------------------------------------
// No modem at first; then a card on COM4 arrives, and goes.

class CardComesAndGoes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_ = std::make_unique<Session>();
        if (s_->Start({}, kStepLimit) && !s_->startRun->WaitForEnd(s_->Combo(), kRunLimit))
            s_->error = "the first run did not end: " + s_->startRun->Describe(s_->Combo());
    }
    static void TearDownTestSuite() { s_.reset(); }
    void SetUp() override { ASSERT_TRUE(s_->error.empty()) << s_->error; }

    static drv::TrayRecord Icon() { return s_->tray.Records().back(); }
    static bool MenuOpen() { return drv::FindPopupMenu(s_->program.Pid()) != nullptr; }

    static std::unique_ptr<Session> s_;
};

std::unique_ptr<Session> CardComesAndGoes::s_;

TEST_F(CardComesAndGoes, OtherModemWithNoModemKnownDetectsFirstAndOpensNoSelection) {
    drv::RunWatch run(s_->program, s_->tray);
    drv::Click(GetDlgItem(s_->main, kOtherModem));
    ASSERT_NE(run.WaitForWindow(drv::kProgressTitle, kStepLimit), nullptr) << "no detection run started";
    ASSERT_TRUE(run.WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end";
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "No Modem in your system!");
    EXPECT_TRUE(run.Log().Seen(drv::kSelectionTitle).empty()) << "a selection dialog opened with no modem";
    EXPECT_EQ(run.TrayRecords().back().tip, "No Modem found");
}

TEST_F(CardComesAndGoes, ArrivalOfTheCardDetectsItAndShowsTheHiddenWindow) {
    ASSERT_TRUE(s_->modem.Attach(4));
    ASSERT_TRUE(Hide(s_->main));
    drv::RunWatch run(s_->program, s_->tray);
    auto arrival = SendDeviceChange(s_->main, DBT_DEVICEARRIVAL, kCardName);
    ASSERT_NE(run.WaitForWindow(drv::kProgressTitle, kStepLimit), nullptr) << "no detection run started";
    ASSERT_TRUE(run.WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end";
    ASSERT_TRUE(arrival->WaitDone(kStepLimit));
    EXPECT_EQ(arrival->Result(), TRUE);

    EXPECT_TRUE(drv::IsVisible(s_->main));
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM4");
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kSet)));
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kCurrent)));
    EXPECT_EQ(s_->Received(4), std::string(kProbe) + kQuery);
    EXPECT_EQ(s_->IconOf(run.TrayRecords().back()), 128);
    EXPECT_EQ(run.TrayRecords().back().tip, "United States");
}

TEST_F(CardComesAndGoes, DuringARunCommandsClicksCloseAndArrivalsAreIgnored) {
    ASSERT_TRUE(s_->modem.Clear(4));
    const drv::TrayRecord icon = Icon();
    auto run = s_->Command(kAutoDetect);
    const HWND progress = run->WaitForWindow(drv::kProgressTitle, kStepLimit);
    ASSERT_NE(progress, nullptr) << "no detection run started";
    ASSERT_TRUE(Hide(s_->main));

    PostMessageW(s_->main, WM_COMMAND, kAutoDetect, 0);
    PostMessageW(s_->main, WM_COMMAND, kTrayQuit, 0);
    PostMessageW(s_->main, WM_CLOSE, 0, 0);
    drv::FakeTray::Notify(icon, WM_LBUTTONDOWN);
    auto arrival = SendDeviceChange(s_->main, DBT_DEVICEARRIVAL, kCardName);
    ASSERT_TRUE(arrival->WaitDone(kStepLimit)) << "the arrival was not answered at once";
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    // All of it was handled while the run went on, and none of it showed anything.
    EXPECT_TRUE(drv::IsVisible(progress)) << "the run ended before the test could check it";
    EXPECT_FALSE(drv::IsVisible(s_->main));
    EXPECT_FALSE(MenuOpen());
    EXPECT_EQ(drv::FindMessageBox(s_->program.Pid(), "Quit", kQuitText), nullptr);

    ASSERT_TRUE(run->WaitForEnd(s_->Combo(), kRunLimit)) << "the run did not end";
    EXPECT_EQ(run->Log().Seen(drv::kProgressTitle).size(), 1u);
    EXPECT_TRUE(run->Log().Seen("Quit").empty());
    EXPECT_TRUE(run->Log().SeenOfClass("#32768").empty());
    EXPECT_EQ(s_->Received(4), std::string(kProbe) + kQuery);
    EXPECT_TRUE(drv::IsVisible(s_->main));
    EXPECT_TRUE(s_->program.Running());
}

TEST_F(CardComesAndGoes, TrayClicksWithAModemKnownShowTheWindowAndOpenNoMenu) {
    const drv::TrayRecord icon = Icon();
    ASSERT_TRUE(Hide(s_->main));
    drv::FakeTray::Notify(icon, WM_RBUTTONDOWN);
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_FALSE(drv::IsVisible(s_->main)) << "a right click showed the window";
    EXPECT_FALSE(MenuOpen()) << "a right click opened the menu";

    for (const bool hidden : {true, false}) {
        SCOPED_TRACE(hidden ? "window hidden" : "window shown");
        drv::FakeTray::Notify(icon, WM_LBUTTONDOWN);
        ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
        EXPECT_TRUE(drv::IsVisible(s_->main));
        EXPECT_FALSE(MenuOpen());
    }
}

TEST_F(CardComesAndGoes, ShowConfigurationWindowShowsItInFront) {
    const HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(Hide(s_->main));
    SetForegroundWindow(other);
    ASSERT_TRUE(drv::WaitUntil([&] { return GetForegroundWindow() == other; }, kStepLimit));
    s_->Command(kShowWindow);
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::IsVisible(s_->main) && GetForegroundWindow() == s_->main; },
                               kStepLimit))
        << "visible " << drv::IsVisible(s_->main) << ", foreground " << GetForegroundWindow();
    DestroyWindow(other);
}

TEST_F(CardComesAndGoes, AboutBoxClosesByOkEscapeAndItsCloseBox) {
    for (const char* way : {"OK", "Escape", "close box"}) {
        SCOPED_TRACE(way);
        PostMessageW(s_->main, WM_SYSCOMMAND, kAbout, 0);
        const HWND about = s_->program.WaitForWindow(kAboutTitle, "#32770", kStepLimit);
        ASSERT_NE(about, nullptr) << "the system menu's About opened nothing";
        if (way[0] == 'O')
            drv::Click(GetDlgItem(about, IDOK));
        else if (way[0] == 'E') {
            // The key goes where the focus is, which the box takes once it has started.
            ASSERT_TRUE(drv::WaitUntil(
                [&] {
                    const HWND focus = drv::FocusedWindowOf(about);
                    return focus == about || IsChild(about, focus);
                },
                kStepLimit));
            drv::PressKey(about, VK_ESCAPE);
        }
        else
            PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(drv::WaitUntil([&] { return !IsWindow(about); }, kStepLimit)) << "the About box stayed";
    }
    EXPECT_TRUE(s_->program.Running());
}

TEST_F(CardComesAndGoes, EveryWayToQuitAsksOnceAndNoKeepsTheProgram) {
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
    } ways[] = {{"WM_CLOSE", WM_CLOSE, 0}, {"close box", WM_SYSCOMMAND, SC_CLOSE}, {"tray menu", WM_COMMAND, kTrayQuit}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        const size_t trayRecords = s_->tray.Records().size();
        PostMessageW(s_->main, way.message, way.wParam, 0);
        const HWND box = s_->WaitForMessageBox("Quit", kQuitText, kStepLimit);
        ASSERT_NE(box, nullptr) << "no confirmation appeared";
        EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
        EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
        // Asked again while the box is open: still one box.
        PostMessageW(s_->main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
        EXPECT_EQ(CountQuitBoxes(s_->program.Pid()), 1u);

        drv::AnswerMessageBox(box, IDNO);
        ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(box); }, kStepLimit));
        ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
        EXPECT_TRUE(s_->program.Running());
        EXPECT_TRUE(drv::IsVisible(s_->main));
        EXPECT_EQ(s_->tray.Records().size(), trayRecords);
        EXPECT_EQ(drv::FindMessageBox(s_->program.Pid(), "Quit", nullptr), nullptr);
    }
}

TEST_F(CardComesAndGoes, OtherDevicesAndOtherNamesChangeNothing) {
    ASSERT_TRUE(s_->modem.Clear(4));
    const size_t trayRecords = s_->tray.Records().size();
    drv::WindowLog log(s_->program.Pid());
    const struct {
        const char* what;
        WPARAM event;
        const char* name;
        DWORD type;
    } cases[] = {
        {"arrival, name in lower case", DBT_DEVICEARRIVAL, "56k pc card fax modem", DBT_DEVTYP_PORT},
        {"removal, name in upper case", DBT_DEVICEREMOVECOMPLETE, "56K PC CARD FAX MODEM", DBT_DEVTYP_PORT},
        {"arrival of a volume", DBT_DEVICEARRIVAL, kCardName, DBT_DEVTYP_VOLUME},
        {"removal of a volume", DBT_DEVICEREMOVECOMPLETE, kCardName, DBT_DEVTYP_VOLUME},
        {"arrival without a record", DBT_DEVICEARRIVAL, nullptr, DBT_DEVTYP_PORT},
        {"removal without a record", DBT_DEVICEREMOVECOMPLETE, nullptr, DBT_DEVTYP_PORT},
        {"query before removal", DBT_DEVICEQUERYREMOVE, kCardName, DBT_DEVTYP_PORT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto send = SendDeviceChange(s_->main, c.event, c.name, c.type);
        EXPECT_TRUE(drv::WaitUntil(
            [&] {
                log.Sample();
                return send->Done();
            },
            kStepLimit));
        EXPECT_EQ(send->Result(), TRUE);
    }
    ASSERT_TRUE(drv::WaitForPostedMessages(s_->Combo(), kStepLimit));
    EXPECT_TRUE(log.Seen(drv::kProgressTitle).empty()) << "a detection run started";
    EXPECT_EQ(s_->tray.Records().size(), trayRecords);
    EXPECT_EQ(s_->Received(4), "");
    EXPECT_TRUE(drv::IsVisible(s_->main));
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kSet)));
    EXPECT_TRUE(drv::IsEnabled(GetDlgItem(s_->main, kCurrent)));
}

TEST_F(CardComesAndGoes, RemovalTellsTheTrayHidesTheWindowAndLeftClickOpensTheMenu) {
    auto removal = SendDeviceChange(s_->main, DBT_DEVICEREMOVECOMPLETE, kCardName);
    ASSERT_TRUE(removal->WaitDone(kStepLimit));
    EXPECT_EQ(removal->Result(), TRUE);
    const drv::TrayRecord icon = Icon();
    EXPECT_EQ(icon.operation, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(s_->IconOf(icon), 189);
    EXPECT_EQ(icon.tip, "Modem Removed");
    EXPECT_FALSE(drv::IsEnabled(GetDlgItem(s_->main, kSet)));
    EXPECT_FALSE(drv::IsEnabled(GetDlgItem(s_->main, kCurrent)));
    EXPECT_FALSE(drv::IsVisible(s_->main));
    EXPECT_EQ(drv::ControlText(s_->main, kModemStatus), "Modem connected to COM4");

    drv::FakeTray::Notify(icon, WM_LBUTTONDOWN);
    const HWND popup = drv::WaitFor([] { return drv::FindPopupMenu(s_->program.Pid()); },
                                    [](HWND w) { return w != nullptr; }, kStepLimit)
                           .last;
    ASSERT_NE(popup, nullptr) << "a left click after the removal opened no menu";
    drv::PressKey(popup, VK_ESCAPE);
    EXPECT_TRUE(drv::WaitUntil([] { return !MenuOpen(); }, kStepLimit));
}

TEST_F(CardComesAndGoes, CloseBoxAndYesEndTheProgramAndTakeItsIconAway) {
    PostMessageW(s_->main, WM_SYSCOMMAND, SC_CLOSE, 0);
    const HWND box = s_->WaitForMessageBox("Quit", kQuitText, kStepLimit);
    ASSERT_NE(box, nullptr) << "no confirmation appeared";
    drv::AnswerMessageBox(box, IDYES);
    EXPECT_TRUE(s_->program.WaitForExit(kStepLimit).has_value()) << "the program still runs";
    const std::vector<drv::TrayRecord> records = s_->tray.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operation, static_cast<DWORD>(NIM_DELETE));
}

}  // namespace
