// One start of the program for a group of tests: the fake notification
// area, the program with its icons, the virtual modem set up beforehand,
// and a watch on the program's first detection run.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/driver/fake_tray.h"
#include "tools/driver/icon_bits.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/run_watch.h"
#include "tools/driver/vmodem_client.h"

namespace drv {

constexpr char kMainTitle[] = "Korvane 2.6";

// Knob names and values of one virtual modem.
using ModemKnobs = std::map<std::string, std::string>;

struct ProgramSession {
    FakeTray tray;
    KorvaneProcess program;
    ProgramIcons icons;
    VModemClient modem;
    HWND main = nullptr;
    std::unique_ptr<RunWatch> startRun;  // the run the program starts with
    std::string error;                   // why Start failed

    // Leaves fresh modems with these knobs on the given COM ports and none
    // on the others, then starts the program and waits for its main window
    // and the window's controls.
    bool Start(const std::map<int, ModemKnobs>& modems, DWORD timeoutMs);

    // The main window's country list, for WaitForPostedMessages.
    HWND Combo() const;
    // The bytes the modem on COMn received since its transcript began.
    std::string Received(int com);
    // Posts a WM_COMMAND to the main window (a tray menu command) with a
    // watch begun before it.
    std::unique_ptr<RunWatch> Command(WPARAM id);
    // The program's visible message box with this caption, waited for.
    HWND WaitForMessageBox(const char* caption, const char* textPart, DWORD timeoutMs);
    // The icon id (128, 189, 191) of a tray record.
    int IconOf(const TrayRecord& record) const { return icons.Identify(record.iconHash); }

private:
    bool Fail(const std::string& why);
};

}  // namespace drv
