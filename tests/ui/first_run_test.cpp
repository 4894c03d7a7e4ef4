// One start of the program with no modem on any port: the detection run,
// the main window it leaves, the tray icon and its menu, the keys. The
// tests share that one start (a detection run takes about 13 s) and run in
// the order written; the last one ends the program.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "tools/driver/fake_tray.h"
#include "tools/driver/icon_bits.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/message_box.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"
#include "tests/ui/country_table_file.h"

namespace {

constexpr char kMainTitle[] = "Korvane 2.6";
constexpr char kDetectTitle[] = "Automatic Modem Detection";
constexpr char kNoModem[] = "No Modem in your system!";
constexpr UINT kTrayNotify = WM_APP + 100;
constexpr UINT kTrayIconId = 1008;
constexpr DWORD kDetectionLimit = 40000;  // ms; a run takes about 13 s

enum Control {
    kSet = 1005,
    kOtherModem = 1007,
    kCountryName = 1008,
    kFlag = 1009,
    kCountryList = 1011,
    kCurrent = 1023,
    kModemStatus = 1024,
    kQuit = 1027,
    kDetectStatus = 1008,
    kDetectProgress = 1000,
};

class FirstRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tray_ = std::make_unique<drv::FakeTray>();
        program_ = std::make_unique<drv::KorvaneProcess>();
        std::string error;
        if (!DetachAllModems(&error) || !tray_->Start(&error) || !icons_.Load(drv::KorvaneBinDir() + "korvane.exe", &error) ||
            !program_->Start({}, &error)) {
            setupError_ = error;
            return;
        }
        main_ = program_->WaitForWindow(kMainTitle, "#32770", 10000);
        detect_ = program_->WaitForWindow(kDetectTitle, "#32770", 10000);
        if (!main_ || !detect_) {
            setupError_ = "the main window or the progress dialog did not appear";
            return;
        }
        // The main window's status while the run goes on, until the run ends.
        statusDuringRun_ = drv::RecordDistinct([] { return drv::ControlText(main_, kModemStatus); },
                                               [](const std::string& s) { return s == kNoModem; }, kDetectionLimit);
        if (!statusDuringRun_.met ||
            !drv::WaitUntil([] { return drv::IsVisible(main_) && !IsWindow(detect_); }, 5000))
            setupError_ = "the detection run did not end";
    }

    // No port may lead to a modem, whatever an earlier test left attached.
    static bool DetachAllModems(std::string* error) {
        const std::optional<int> port = drv::VModemClient::SessionPort();
        if (!port) return true;  // the session has no virtual modem: no port leads anywhere
        drv::VModemClient modem;
        if (!modem.Connect(*port, error)) return false;
        for (int com = 1; com <= 6; ++com) {
            if (!modem.Detach(com)) {
                *error = "the virtual modem did not detach COM" + std::to_string(com);
                return false;
            }
        }
        return true;
    }

    static void TearDownTestSuite() {
        program_.reset();
        tray_.reset();
    }

    void SetUp() override { ASSERT_TRUE(setupError_.empty()) << setupError_; }

    // Texts and positions the program set in the progress dialog's controls.
    static std::vector<spy::Event> DetectEvents(int controlId, UINT message) {
        std::vector<spy::Event> found;
        for (const spy::Event& e : program_->Spy().Events())
            if (e.parent == HandleToULong(detect_) && e.controlId == controlId && e.message == message)
                found.push_back(e);
        return found;
    }

    // Returns once the program's UI thread has handled every message sent
    // to it before.
    static void SyncWithProgram() { drv::SendWithTimeout(main_, WM_NULL, 0, 0); }

    static std::unique_ptr<drv::FakeTray> tray_;
    static std::unique_ptr<drv::KorvaneProcess> program_;
    static drv::ProgramIcons icons_;
    static HWND main_, detect_;
    static drv::Recording<std::string> statusDuringRun_;
    static std::string setupError_;
};

std::unique_ptr<drv::FakeTray> FirstRun::tray_;
std::unique_ptr<drv::KorvaneProcess> FirstRun::program_;
drv::ProgramIcons FirstRun::icons_;
HWND FirstRun::main_ = nullptr;
HWND FirstRun::detect_ = nullptr;
drv::Recording<std::string> FirstRun::statusDuringRun_;
std::string FirstRun::setupError_;

TEST_F(FirstRun, ProgressDialogProbesEachPortInOrderAndEndsWithNoModem) {
    std::vector<std::string> texts;
    for (const spy::Event& e : DetectEvents(kDetectStatus, WM_SETTEXT)) texts.push_back(e.text);
    std::vector<std::string> expected;
    for (int port : {3, 4, 2, 1, 5, 6}) {
        expected.push_back("Detecting COM" + std::to_string(port) + "...Please wait...");
        expected.push_back("No modem on COM" + std::to_string(port));
    }
    expected.push_back(kNoModem);
    EXPECT_EQ(texts, expected);

    std::vector<int> positions;
    for (const spy::Event& e : DetectEvents(kDetectProgress, PBM_SETPOS))
        if (positions.empty() || positions.back() != static_cast<int>(e.wParam))
            positions.push_back(static_cast<int>(e.wParam));
    EXPECT_EQ(positions, (std::vector<int>{8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 100}));

    EXPECT_EQ(statusDuringRun_.values, (std::vector<std::string>{"No modem", kNoModem}));
}

TEST_F(FirstRun, TrayIconShowsStartThenDetectingThenNoModem) {
    const std::vector<drv::TrayRecord> records = tray_->Records();
    ASSERT_GE(records.size(), 3u) << "the program's icon did not reach the fake notification area";
    const DWORD operations[] = {NIM_ADD, NIM_MODIFY, NIM_MODIFY};
    const int icons[] = {128, 191, 189};
    const char* tips[] = {"", "Detecting Modem ...Please wait.", "No Modem found"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const drv::TrayRecord& r = records[i];
        EXPECT_EQ(r.operation, operations[i]);
        EXPECT_EQ(r.owner, main_);
        EXPECT_EQ(r.id, kTrayIconId);
        EXPECT_EQ(r.flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(r.callbackMessage, kTrayNotify);
        EXPECT_EQ(r.tip, tips[i]);
        EXPECT_EQ(r.width, 16u);
        EXPECT_EQ(icons_.Identify(r.iconHash), icons[i]);
    }
    EXPECT_EQ(records.size(), 3u);
}

TEST_F(FirstRun, MainWindowShowsItsControlsWithButtonsForAModemDisabled) {
    EXPECT_TRUE(drv::IsVisible(main_));
    const struct {
        int id;
        const char* text;
        bool enabled;
    } buttons[] = {{kSet, "&Set", false},
                   {kCurrent, "&Current", false},
                   {kOtherModem, "Other Modem", true},
                   {kQuit, "Quit", true}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.text);
        HWND button = GetDlgItem(main_, b.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(drv::ClassOf(button), "Button");
        EXPECT_EQ(drv::TextOf(button), b.text);
        EXPECT_EQ(drv::IsEnabled(button), b.enabled);
    }
    EXPECT_EQ(drv::ControlText(main_, kModemStatus), kNoModem);
    EXPECT_EQ(drv::ControlText(main_, kCountryName), "");
    EXPECT_EQ(drv::ClassOf(GetDlgItem(main_, kCountryList)), "ComboBox");
    EXPECT_EQ(drv::ClassOf(GetDlgItem(main_, kFlag)), "Static");
}

TEST_F(FirstRun, CountryListHoldsTheTableInFileOrderWithNothingSelected) {
    const std::vector<std::string> names = CountryNamesOfBuiltTable();
    ASSERT_EQ(names.size(), 35u);
    HWND list = GetDlgItem(main_, kCountryList);
    EXPECT_EQ(drv::ComboItems(list), names);
    EXPECT_EQ(drv::ComboSelection(list), CB_ERR);
}

TEST_F(FirstRun, ChoosingACountryShowsItsNameAndFlag) {
    HWND list = GetDlgItem(main_, kCountryList);
    HWND flag = GetDlgItem(main_, kFlag);
    const std::vector<std::string> names = drv::ComboItems(list);
    HBITMAP previous = nullptr;
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        SCOPED_TRACE(names[i]);
        drv::ChooseComboItem(list, i);
        const auto shown = drv::WaitFor([&] { return drv::ControlText(main_, kCountryName); },
                                        [&](const std::string& s) { return s == names[i]; }, 5000);
        ASSERT_TRUE(shown) << "the name shows \"" << shown.last << "\"";
        HBITMAP bitmap = drv::PictureBitmap(flag);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_NE(bitmap, previous);
        const SIZE size = program_->Spy().BitmapSize(main_, bitmap);
        EXPECT_EQ(size.cx, 150);
        EXPECT_EQ(size.cy, 100);
        previous = bitmap;
    }
    const SIZE control = drv::ClientSize(flag);
    EXPECT_EQ(control.cx, 150);
    EXPECT_EQ(control.cy, 100);
}

TEST_F(FirstRun, SystemMenuEndsWithSeparatorAndAbout) {
    const std::vector<drv::MenuEntry> items = program_->Spy().SystemMenu(main_);
    ASSERT_GE(items.size(), 2u);
    EXPECT_TRUE(items[items.size() - 2].separator);
    EXPECT_EQ(items.back().text, "&About KORVANE...");
    EXPECT_EQ(items.back().id, 0x10u);
}

TEST_F(FirstRun, TrayRightClickDoesNothingLeftClickOpensTheTrayMenu) {
    const std::vector<drv::TrayRecord> records = tray_->Records();
    ASSERT_FALSE(records.empty());
    const drv::TrayRecord icon = records.back();

    drv::FakeTray::Notify(icon, WM_RBUTTONDOWN);
    SyncWithProgram();
    EXPECT_EQ(drv::FindPopupMenu(program_->Pid()), nullptr);

    drv::FakeTray::Notify(icon, WM_LBUTTONDOWN);
    const HWND popup =
        drv::WaitFor([&] { return drv::FindPopupMenu(program_->Pid()); }, [](HWND w) { return w; }, 5000).last;
    ASSERT_NE(popup, nullptr) << "no popup menu appeared";
    std::vector<std::string> texts;
    for (const drv::MenuEntry& item : program_->Spy().Menu(main_, drv::PopupMenuHandle(popup)))
        texts.push_back(item.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Show Configuration Window", "Auto Detect Modem", "Quit"}));

    drv::PressKey(popup, VK_ESCAPE);
    EXPECT_TRUE(drv::WaitUntil([&] { return !drv::FindPopupMenu(program_->Pid()); }, 5000))
        << "the tray menu did not close";
}

TEST_F(FirstRun, QuitAsksAndNoKeepsTheProgram) {
    drv::Click(GetDlgItem(main_, kQuit));
    const HWND box = drv::WaitFor([&] { return drv::FindMessageBox(program_->Pid(), "Quit", nullptr); },
                                  [](HWND w) { return w; }, 5000)
                         .last;
    ASSERT_NE(box, nullptr) << "no confirmation appeared";
    EXPECT_EQ(drv::MessageBoxText(box), "Are you sure you want to quit?");
    drv::AnswerMessageBox(box, IDNO);
    EXPECT_TRUE(drv::WaitUntil([&] { return !IsWindow(box); }, 5000));
    SyncWithProgram();
    EXPECT_TRUE(program_->Running());
    EXPECT_TRUE(drv::IsVisible(main_));
}

TEST_F(FirstRun, EnterKeepsTheWindowEscapeEndsTheProgram) {
    HWND list = GetDlgItem(main_, kCountryList);
    const int next = (drv::ComboSelection(list) + 1) % 35;
    drv::PressKey(main_, VK_RETURN);
    // Posted after the key, so handled after it: once the selection moves,
    // the key has been handled.
    PostMessageW(list, CB_SETCURSEL, next, 0);
    ASSERT_TRUE(drv::WaitUntil([&] { return drv::ComboSelection(list) == next; }, 5000))
        << "the program stopped handling messages after Enter";
    EXPECT_TRUE(program_->Running());
    EXPECT_TRUE(drv::IsVisible(main_));
    EXPECT_EQ(drv::FindMessageBox(program_->Pid(), nullptr, nullptr), nullptr);

    drv::PressKey(main_, VK_ESCAPE);
    EXPECT_TRUE(program_->WaitForExit(10000).has_value()) << "Escape did not end the program";
    const std::vector<drv::TrayRecord> records = tray_->Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operation, static_cast<DWORD>(NIM_DELETE)) << "the tray icon stayed";
}

}  // namespace
