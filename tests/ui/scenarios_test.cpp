// The program with its modem on COM4, driven through scenario tables: the
// current-country query, the country setting, detection runs, device events
// and the window's commands. Every table starts and ends with the modem on
// COM4 found and the window shown.
#include <gtest/gtest.h>

#include "tests/ui/scenario.h"

namespace {

const std::string kSuccess = "box=Congratulations, country code set successfully.; caption=Congratulations";
const std::string kFailure = "box=Error!  Country code setting failed!; caption=; tips=";
const std::string kCard = "56K PC Card Fax Modem";

TEST(Scenarios, CurrentCountryQuery) {
    Play(Home(),
         {
             {"a recognised country is selected, shown with its flag and tipped", "4: country=3D",
              "choose Japan|query",
              "tip=France; icon=128; list=France; name=France; flag=FRANCE; rx4=ati9\r\n; lead=1480..1800", true},
             {"a silent modem: the echo alone names no country; entry 0 selected, name and flag kept",
              "4: silent=1", "choose France|query",
              "tip=Unknow Country; icon=128; list=Australia; name=France; flag=FRANCE; rx4=ati9\r\n", true},
         });
}

TEST(Scenarios, CountrySetting) {
    Play(
        Home(),
        {
            {"OK at once; the command goes out once the port's pauses of 1000 and 500 ms are over", "4:",
             "set Germany", kSuccess + "; tips=Germany; icon=128; rx4=at%t19,0,04\r\n; lead=1480..1800", true},
            {"ERROR ends no wait: the port closes once the 2000 ms and the closing pause have passed",
             "4: seterror=1", "set Greece", kFailure + "; closed=2050..2240; rx4=at%t19,0,46\r\n", true},
            {"BROKEN: a line holding OK is no acknowledgement", "4: okword=BROKEN", "set Ireland", kFailure, true},
            {"no selection: nothing goes out", "4:", "set-none",
             "box=Please select a country from the list first.; caption=Korvane; rx4=; tips=", true},
        });
}

TEST(Scenarios, DetectionRuns) {
    Play(Home(),
         {
             {"the progress dialog refuses Escape, Enter and close while it runs; one modem needs no choice",
              "1: none; 2: none; 3: none; 5: none; 6: none; 4:", "post autodetect|progress-keys|wait-run",
              "probed=3 4 2 1 5 6; found=4; selection=; status=Modem connected to COM4; buttons=on; window=shown; "
              "tips=Detecting Modem ...Please wait. / United States; icon=128; rx4=ati3\r\nati9\r\n",
              true},
             {"probe replies inside the 300 ms window are found, late ones not; the choice among several",
              "3: delay=380; 4: delay=220; 2:; 1: split=1 gap=20; 5: cronly=1; 6: id=2",
              "run 0",
              "probed=3 4 2 1 5 6; found=4 2 5 6; status=Modem connected to COM4; "
              "selection=Modem connected to COM4 / Modem connected to COM2 / Modem connected to COM5 / Modem "
              "connected to COM6; "
              "tip=Unknow Country"},
             {"an arrival while the selection is open ends that dialog, whose lines name an older list",
              "1: none; 2: none; 3: none; 5: none; 6: none", "click other|arrive " + kCard,
              "selection=Modem connected to COM4 / Modem connected to COM2 / Modem connected to COM5 / Modem "
              "connected to COM6; "
              "runs=1; found=4; boxes=0; status=Modem connected to COM4"},
             {"Other Modem, the second line, Continue: that modem is in use, queried and set; then Continue with "
              "no "
              "line and a dismissal keep it in use",
              "1: none; 3: none; 5: none; 6: none; 4:; 2: country=3D",
              "run 0|click other|pick 1|set Germany|click other|key enter|answer ok|key escape|click current",
              "status=Modem connected to COM2; tips=Detecting Modem ...Please wait. / United States / France / "
              "Germany / Germany; "
              "rx2=ati3\r\nati9\r\nat%t19,0,04\r\nati9\r\n; rx4=ati3\r\nati9\r\n"},
         });
}

TEST(Scenarios, DeviceEvents) {
    Play(
        Home(),
        {
            {"a removal tells the tray, hides the window, and a left click then opens the menu",
             "4:", "remove " + kCard + "|tray left",
             "tips=Modem Removed; icon=189; buttons=off; window=hidden; status=Modem connected to COM4; menu=open",
             true},
            {"an arrival under another supported name detects the card and shows the window",
             "4:", "remove " + kCard + "|arrive Brimoth Portaline 56K PC Card Fax Modem",
             "runs=1; found=4; window=shown; buttons=on; tip=United States; icon=128; rx4=ati3\r\nati9\r\n"},
            {"a query to remove the card changes nothing", "4:", "query-remove " + kCard,
             "runs=0; tips=; rx4=; window=shown; buttons=on"},
            {"during a run, commands, tray clicks, close and arrivals are ignored", "4:",
             "post autodetect|wait-progress|hide|post autodetect|post quit|post close|tray left|arrive " + kCard +
                 "|wait-run",
             "runs=1; boxes=0; menu=closed; window=shown; rx4=ati3\r\nati9\r\n; tip=United States"},
            {"a burst of removals and arrivals during a run: one run, and window, tray and buttons agree",
             "4:", "burst 40",
             "runs=1; found=4; status=Modem connected to COM4; buttons=on; window=shown; tips=Detecting Modem ...Please wait. / United States; "
             "rx4=ati3\r\nati9\r\n",
             true},
            {"a removal while a setting's success box is open ends in the removed state",
             "4:", "choose Germany|click set|wait-box|remove " + kCard + "|answer ok",
             "box=Congratulations, country code set successfully.; tip=Modem Removed; icon=189; buttons=off; "
             "window=hidden"},
        });
}

TEST(Scenarios, Commands) {
    Play(Home(),
         {
             {"Quit asks; No keeps the program", "", "click quit|answer no",
              "box=Are you sure you want to quit?; caption=Quit; alive=yes; window=shown; tips=", true},
             {"WM_CLOSE asks once, even asked again while it asks", "", "post close|post close|answer no",
              "boxes=0; alive=yes"},
             {"the close box asks", "", "post sysclose|answer no",
              "box=Are you sure you want to quit?; boxes=0; alive=yes"},
             {"the tray menu's Quit asks", "", "post quit|answer no",
              "box=Are you sure you want to quit?; boxes=0; alive=yes"},
             {"Enter keeps the window", "", "key enter", "boxes=0; alive=yes; window=shown"},
             {"a right click on the tray does nothing", "", "hide|tray right", "window=hidden; menu=closed"},
             {"a left click with a modem known shows the window", "", "hide|tray left",
              "window=shown; menu=closed"},
             {"Show Configuration Window shows the hidden window", "", "hide|post show", "window=shown"},
             {"the system menu's About opens the About box, which OK closes", "", "about", "alive=yes"},
         });
}

// Last, as it ends the program (a later test would start it again).
TEST(Scenarios, QuitAndYesEndTheProgramAndTakeItsIconAway) {
    Play(Home(), {{"Quit, Yes", "", "click quit|answer yes", "gone=yes", true}});
}

}  // namespace
