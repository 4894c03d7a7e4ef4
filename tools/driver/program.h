// The program driver: korvane.exe started against the virtual modem and the
// fake notification area, watched through its spy, and operated as a user
// and the system would: a query, a setting, a detection run, a device event.
#pragma once
#include <windows.h>

#include <cstdint>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/process_meter.h"
#include "tools/driver/vmodem_client.h"

namespace drv {

constexpr char kMainTitle[] = MAIN_WINDOW_TITLE;
constexpr char kProgressTitle[] = "Automatic Modem Detection";
constexpr char kSelectionTitle[] = "Modem Selection";
constexpr char kDetectingTip[] = "Detecting Modem ...Please wait.";
constexpr DWORD kRunLimit = 60000;   // ms; a detection run takes about 13 s
constexpr DWORD kStepLimit = 20000;  // ms; anything else takes a few seconds


// COM number -> the knobs of a fresh modem there ("delay=150 country=3D").
using Modems = std::map<int, std::string>;

// A point in the program's history: what came after it is the action's doing.
struct Mark {
    size_t tray = 0, events = 0;
};

// A message box as the test read it before answering it.
struct Box {
    bool shown = false;
    std::string caption, text;
};

// What the process holds between operations.
struct Level {
    ProcessFigures process;
    GuiObjects gui;
};

class Program {
public:
    // Fresh modems with these knobs on these ports and none on the others;
    // then the program starts and, with waitForRun, its first detection run
    // (and the query that may follow) is waited for.
    bool Start(const Modems& modems, const StartOptions& options = {}, bool waitForRun = true);
    std::string error;  // why Start failed

    static FakeTray& Tray();  // one for every program a test starts
    KorvaneProcess process;
    VModemClient modem;
    HWND main = nullptr;
    HWND Item(int id) const { return GetDlgItem(main, id); }

    // Fresh modems with these knobs on these ports ("none": no modem there);
    // other ports keep theirs.
    bool SetModems(const Modems& modems);

    Mark Now() const;
    std::vector<TrayRecord> TrayRecords(Mark since = {}) const;  // of this program's icon
    // Texts the program set since the mark in controls with this id, of the
    // main window or (inMain false) of its other dialogs: the progress
    // dialog's status lines have the id of the main window's country name.
    std::vector<std::string> TextsSince(Mark since, int controlId, bool inMain = true) const;

    // Returns once the UI thread has taken every message posted before.
    bool Sync();
    // The UI thread answers with its normal cursor: no operation goes on.
    bool WaitIdle();
    // Waits for a visible top-level window of the program with this title.
    HWND WaitWindow(const char* title, DWORD timeoutMs = kStepLimit);
    // Waits for any visible message box, reads it and presses a button.
    Box AnswerBox(int button = IDOK);
    // Waits for the end of a run begun after the mark: its final tray record,
    // then the UI thread back in its loop.
    bool WaitRunEnd(Mark since);

    // Chooses a country as the mouse does and waits until its name shows.
    bool Choose(const std::string& country);
    // The flag shown has the bits of this bitmap resource of the program.
    bool ShowsFlag(const std::string& bitmapName);

    // A WM_DEVICECHANGE for a port of this name, sent from a thread of its
    // own: an arrival answers only after its whole run.
    std::future<LRESULT> DeviceChange(WPARAM event, const std::string& name);

    Level Measure();
    // What the program held when it first came home, for leaks of every row since.
    Level homeLevel;
};

// "program threads 1, handles 38, serial 0, private 8.10 MB; GDI 150 (bitmaps 40), USER 60, heap 1000 bytes"
std::string Describe(const Level& level);

}  // namespace drv
