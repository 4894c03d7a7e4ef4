// Scenario tables: one row per case, played against one running program by
// one engine. A row names the modems it needs, what the user or the system
// does, and the facts expected afterwards:
//
//   {"OK 300 ms after the command", "4: delay=300", "set Italy",
//    "box=Congratulations, country code set successfully.; tip=Italy; rx4=at%t19,0,59\r\n"}
//
// Modems: "COM: knobs; COM: knobs" makes a fresh modem on each port named,
// knobs as the virtual modem takes them (delay=150 split=1 ...); "COM: none" takes it away.
// Steps, separated by '|':
//   query | set COUNTRY | set-none | choose COUNTRY | run [LINE] | arrive NAME | remove NAME |
//   query-remove NAME | click set|current|other|quit | post close|sysclose|quit|show|autodetect |
//   answer ok|yes|no | key escape|enter | tray left|right | hide |
//   about (the system menu's About, then OK) | progress-keys (Escape, Enter and both closes
//   sent to the progress dialog) | wait-box | wait-progress | wait-run | burst N (an arrival, then N
//   removals and arrivals during its run, half of them once the run has found COM4) |
//   pick N (line N of the selection dialog once it shows, then Continue; "run N" picks so during the run) |
//   since-start (the facts speak of everything since the program started) |
//   do REQUEST (a virtual modem request, now) |
//   when COM got TEXT do REQUEST (a virtual modem request made as soon as the modem on COM
//   receives TEXT, while the next steps go on; the row fails if it never is made)
// Facts, separated by "; ", each "key=value" or "key=low..high":
//   tip, icon, tips (every tray tip since the row began, joined by " / "), records (every tray record:
//   operation, icon, "tip"), box, caption,
//   closed (ms from the modem's last receipt to the port's close), lead
//   (ms from the row's last click on Current or Set to the modem's first receipt on COM4 after it),
//   status (the status line's text), progress (the texts the progress dialog's status was given
//   since the row began), buttons (on|off|mixed), window (shown|hidden), list
//   (selected line or "(none)"), name, flag (a bitmap resource), rxN (bytes the modem on COMn received
//   since it was made fresh), probed, found (ports in probe order, and those whose probe found a
//   modem), runs, menu (open|closed; closes it), alive (yes|no), level (same: threads, handles and
//   serial handles as when the program first came home), selection (the lines of the selection dialog
//   the row saw), boxes (0 when no message box is open now), gone (yes when the program has ended and its last
//   tray record removed the icon)
#pragma once
#include <string>
#include <vector>

#include "tools/driver/program.h"

struct Scenario {
    std::string what, modems, steps, expect;
    bool quick = false;  // part of the everyday subset
};

// The program of this test run at home: started if it is not running, one
// modem found on COM4 (a run makes it so when it is not), window shown.
drv::Program& Home();

// Plays the rows in order, each as a SCOPED_TRACE'd gtest check of its facts:
// all of them, or only those marked quick (KORVANE_ROWS=quick) or the others
// (KORVANE_ROWS=rest).
void Play(drv::Program& program, const std::vector<Scenario>& table);
