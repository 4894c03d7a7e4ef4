// The program's start: with no modem on any port (the detection run, the
// window it leaves, the tray icon and its menu, the keys), beside bad country
// tables, and with another configuration tool's window open.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "tests/support/random_table.h"
#include "tools/driver/message_box.h"
#include "tests/ui/scenario.h"
#include "tools/driver/program.h"
#include "tools/driver/window_input.h"

namespace {

using namespace drv;

TEST(Start, WithNoModemTheRunEndsWithNoModemAndTheWindowWorks) {
    Program p;
    ASSERT_TRUE(p.Start({})) << p.error;
    std::string progress;
    for (const std::string port : {"3", "4", "2", "1", "5", "6"})
        progress += "Detecting COM" + port + "...Please wait... / No modem on COM" + port + " / ";
    // Each country of the shipped table shows its flag when chosen.
    std::ifstream ini(KorvaneBinDir() + "korvane.ini");
    std::vector<Scenario> choices;
    for (std::string name, id, bitmap, code; std::getline(ini, name, ',') && std::getline(ini, id, ',') &&
                                             std::getline(ini, bitmap, ',') && std::getline(ini, code);)
        choices.push_back({"choosing " + name + " shows its flag", "", "choose " + name, "flag=" + bitmap});
    ASSERT_EQ(choices.size(), 35u);
    Play(p,
         {
             {"the first run probes every port and finds none; the tray added, detecting, none found", "",
              "since-start",
              "progress=" + progress +
                  "No Modem in your system!; status=No Modem in your system!; "
                  "records=0 128 \"\" / 1 191 \"Detecting Modem ...Please wait.\" / 1 189 \"No Modem found\""},
             {"the window: Set and Current off, nothing chosen", "", "", "window=shown; buttons=off; list=(none)"},
         });
    Play(p, choices);
    Play(p,
         {
             {"a left click with no modem opens the tray menu (Escape closes it)", "", "tray left",
              "menu=open; window=shown"},
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
    const std::string shipped = "Shipped,SHIPPED,UK,97\n";
    const struct {
        const char* what;
        StartOptions options;
        std::vector<std::string> names;
        bool box;  // a box names korvane.ini, which cannot be read
    } cases[] = {
        {"400 random lines beside korvane-shipped.ini", {StartOptions::kContent, random.content, shipped}, random.names,
         false},
        {"korvane-shipped.ini only", {StartOptions::kMissing, "", shipped}, {"Shipped"}, false},
        {"a directory korvane.ini beside korvane-shipped.ini", {StartOptions::kDirectory, "", shipped}, {}, true}};
    std::vector<std::unique_ptr<Program>> copies;
    for (const auto& c : cases) {
        copies.push_back(std::make_unique<Program>());
        EXPECT_TRUE(copies.back()->Start({}, c.options, false)) << c.what << ": " << copies.back()->error;
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        Program& p = *copies[i];
        const std::string dir = p.process.ExePath().substr(0, p.process.ExePath().rfind('\\') + 1);
        if (cases[i].box) {
            EXPECT_EQ(p.AnswerBox().text, "The country table could not be read:\n" + dir + "korvane.ini");
        }
        ASSERT_TRUE(p.WaitRunEnd({})) << "the run did not end";
        EXPECT_EQ(p.TrayRecords().back().tip, "No Modem found");
        EXPECT_EQ(ComboItems(p.Item(IDC_COUNTRY_LIST)), cases[i].names);
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
