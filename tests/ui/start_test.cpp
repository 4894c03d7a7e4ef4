// The program's start: with no modem on any port (the detection run, the
// window it leaves, the tray icon and its menu, the keys), beside bad country
// tables, and with another configuration tool's window open.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "tests/support/random_table.h"
#include "tools/driver/message_box.h"
#include "tests/ui/scenario.h"
#include "tools/driver/program.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace {

using namespace drv;

TEST(Start, WithNoModemTheRunEndsWithNoModemAndTheWindowWorks) {
    Program p;
    ASSERT_TRUE(p.Start({})) << p.error;
    std::vector<std::string> texts;
    for (int port : {3, 4, 2, 1, 5, 6}) {
        texts.push_back("Detecting COM" + std::to_string(port) + "...Please wait...");
        texts.push_back("No modem on COM" + std::to_string(port));
    }
    texts.push_back("No Modem in your system!");
    EXPECT_EQ(p.TextsSince({}, kProgressStatus, false), texts);
    std::vector<int> positions;
    for (const spy::Event& e : p.process.Spy().Events())
        if (e.message == PBM_SETPOS && (positions.empty() || positions.back() != static_cast<int>(e.wParam)))
            positions.push_back(static_cast<int>(e.wParam));
    EXPECT_EQ(positions, (std::vector<int>{8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 100}));
    EXPECT_EQ(p.TextsSince({}, kModemStatus), std::vector<std::string>{"No Modem in your system!"});

    // The tray: added, detecting, none found; operation, icon, tip, id, flags, message, width.
    std::vector<std::string> records;
    for (const TrayRecord& r : p.TrayRecords()) {
        char text[160];
        std::snprintf(text, sizeof text, "%lu %d \"%s\" %u %u %#x %u", r.operation, Program::Tray().IconOf(r),
                      r.tip.c_str(), r.id, r.flags, r.callbackMessage, r.width);
        records.push_back(text);
    }
    EXPECT_EQ(records, (std::vector<std::string>{"0 128 \"\" 1008 7 0x8064 16",
                                                 "1 191 \"Detecting Modem ...Please wait.\" 1008 7 0x8064 16",
                                                 "1 189 \"No Modem found\" 1008 7 0x8064 16"}));

    // The window and its controls.
    EXPECT_TRUE(IsVisible(p.main));
    const struct {
        int id;
        const char* text;
        bool enabled;
    } buttons[] = {{kSet, "&Set", false},
                   {kCurrent, "&Current", false},
                   {kOtherModem, "Other Modem", true},
                   {kQuit, "Quit", true}};
    for (const auto& b : buttons) {
        EXPECT_EQ(TextOf(p.Item(b.id)), b.text);
        EXPECT_EQ(IsEnabled(p.Item(b.id)), b.enabled) << b.text;
    }
    const std::vector<MenuEntry> system =
        p.process.Spy().Menu(p.main, spy::kQuerySystemMenu, HandleToULong(p.main));
    ASSERT_GE(system.size(), 2u);
    EXPECT_TRUE(system[system.size() - 2].separator);
    EXPECT_EQ(system.back().text, "&About KORVANE...");
    EXPECT_EQ(system.back().id, 0x10u);

    // The list: the shipped table in file order, nothing chosen; each choice shows its flag.
    std::ifstream ini(KorvaneBinDir() + "korvane.ini");
    std::vector<std::string> names, bitmaps;
    for (std::string name, id, bitmap, code; std::getline(ini, name, ',') && std::getline(ini, id, ',') &&
                                             std::getline(ini, bitmap, ',') && std::getline(ini, code);) {
        names.push_back(name);
        bitmaps.push_back(bitmap);
    }
    ASSERT_EQ(names.size(), 35u);
    EXPECT_EQ(ComboItems(p.Item(kCountryList)), names);
    EXPECT_EQ(ComboSelection(p.Item(kCountryList)), CB_ERR);
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(p.Choose(names[i])) << names[i];
        const unsigned long long bits = p.ResourceBits(bitmaps[i]);
        EXPECT_TRUE(bits && p.ShownFlagBits() == bits) << names[i] << " shows another flag than " << bitmaps[i];
    }

    // The tray menu's lines, read inside the program.
    FakeTray::Notify(p.TrayRecords().back(), WM_LBUTTONDOWN);
    const HWND popup =
        WaitFor([&] { return FindPopupMenu(p.process.Pid()); }, [](HWND w) { return w; }, kStepLimit).last;
    std::vector<std::string> items;
    const auto menu = static_cast<DWORD>(SendWithTimeout(popup, MN_GETHMENU, 0, 0));
    for (const MenuEntry& item : p.process.Spy().Menu(p.main, spy::kQueryMenu, menu)) items.push_back(item.text);
    EXPECT_EQ(items, (std::vector<std::string>{"Show Configuration Window", "Auto Detect Modem", "Quit"}));
    Play(p,
         {
             {"the tray menu is open (and closes on Escape)", "", "", "menu=open"},
             {"a left click with no modem opens the menu", "", "tray left", "menu=open; window=shown"},
             {"Other Modem with no modem known detects first and opens no selection", "", "click other|wait-run",
              "probed=3 4 2 1 5 6; found=; selection=; status=No Modem in your system!; tip=No Modem found"},
             {"Escape ends the program at once and takes its icon away", "", "key escape", "gone=yes"},
         });
}

TEST(Start, AnotherConfigurationToolsWindowEndsTheProgramAtOnce) {
    const HWND blocker = CreateWindowExW(0, L"Static", L"Vantoria Select", WS_POPUP, 0, 0, 10, 10, nullptr,
                                         nullptr, nullptr, nullptr);
    ASSERT_NE(blocker, nullptr);
    const size_t records = Program::Tray().Records().size();
    KorvaneProcess program;
    std::string error;
    ASSERT_TRUE(program.Start({}, &error)) << error;
    // It ends normally (a crash ends it too, with another code), and never reached the tray.
    EXPECT_EQ(program.WaitForExit(kStepLimit), std::optional<DWORD>(0));
    EXPECT_EQ(Program::Tray().Records().size(), records);
    DestroyWindow(blocker);
}

// Each copy of the program lists the table it should read (korvane.ini when
// it is there at all, else korvane-shipped.ini), finishes its run and still
// answers; a table that cannot be read brings one box naming it.
TEST(Start, BadCountryTablesAndShippedOnesNeverStopTheProgram) {
    const RandomTable random = MakeRandomTable(5, 400);
    const std::string edited = "Edited,EDITED,USA,98\n", shipped = "Shipped,SHIPPED,UK,97\n";
    const struct {
        const char* what;
        StartOptions options;
        std::vector<std::string> names;
        const char* boxNames;  // the table the box names, or none
    } cases[] = {{"missing", {StartOptions::kMissing, "", {}}, {}, "korvane.ini"},
                 {"a directory", {StartOptions::kDirectory, "", {}}, {}, "korvane.ini"},
                 {"400 random lines", {StartOptions::kContent, random.content, {}}, random.names, nullptr},
                 {"korvane-shipped.ini only", {StartOptions::kMissing, "", shipped}, {"Shipped"}, nullptr},
                 {"both: korvane.ini", {StartOptions::kContent, edited, shipped}, {"Edited"}, nullptr},
                 {"an empty korvane.ini beside korvane-shipped.ini", {StartOptions::kContent, "", shipped}, {}, nullptr},
                 {"a directory korvane.ini beside korvane-shipped.ini", {StartOptions::kDirectory, "", shipped}, {},
                  "korvane.ini"}};
    std::vector<std::unique_ptr<Program>> copies;
    for (const auto& c : cases) {
        copies.push_back(std::make_unique<Program>());
        EXPECT_TRUE(copies.back()->Start({}, c.options, false)) << c.what << ": " << copies.back()->error;
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        Program& p = *copies[i];
        const std::string dir = p.process.ExePath().substr(0, p.process.ExePath().rfind('\\') + 1);
        if (cases[i].boxNames) {
            EXPECT_EQ(p.AnswerBox().text, "The country table could not be read:\n" + dir + cases[i].boxNames);
        }
        ASSERT_TRUE(p.WaitRunEnd({})) << "the run did not end";
        EXPECT_EQ(p.TrayRecords().back().tip, "No Modem found");
        EXPECT_EQ(ComboItems(p.Item(kCountryList)), cases[i].names);
        EXPECT_EQ(FindMessageBox(p.process.Pid(), nullptr, nullptr), nullptr);
    }
}

// With no country to name or choose, the query says so and Set sends nothing.
TEST(Start, BadCountryTablesEmptyBesideAModem) {
    Program p;
    ASSERT_TRUE(p.Start({{4, ""}}, {StartOptions::kContent, "", {}})) << p.error;
    Play(p,
         {{"a query, then Set", "", "query|click set|answer ok",
           "tip=Unknow Country; box=Please select a country from the list first.; rx4=ati3\r\nati9\r\nati9\r\n"}});
}

}  // namespace
