// Watching one detection run of the program from the moment it is started:
// the windows it shows, the texts of its progress dialog, the tray records
// it sends, and its end.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/window_log.h"

namespace drv {

// Titles of the run's dialogs.
constexpr char kProgressTitle[] = "Automatic Modem Detection";
constexpr char kSelectionTitle[] = "Modem Selection";

class RunWatch {
public:
    // Takes the baselines; create it before the action that starts the run,
    // which may be the start of the program.
    RunWatch(KorvaneProcess& program, const FakeTray& tray);

    // A visible window of the program with this title, sampling the window
    // log while it waits; null after the timeout.
    HWND WaitForWindow(const char* title, DWORD timeoutMs);
    // Waits for the run's final tray record (the one after "Detecting"),
    // then for the UI thread to be back in a message loop: the run is over.
    // combo: a combo box of the program's, for WaitForPostedMessages.
    bool WaitForEnd(HWND combo, DWORD timeoutMs);

    // Texts of the status lines of the progress dialogs seen, in order.
    std::vector<std::string> ProgressTexts() const;
    // What the watch saw, and what the program shows now: for failure messages.
    std::string Describe(HWND combo) const;
    // Tray records since the watch began.
    std::vector<TrayRecord> TrayRecords() const;
    WindowLog& Log() { return log_; }

private:
    bool Ended() const;
    // Samples the program's windows into the log.
    void Sample();

    KorvaneProcess& program_;
    const FakeTray& tray_;
    size_t spyBaseline_;
    size_t trayBaseline_;
    WindowLog log_;
};

// "Detecting COM<n>...Please wait..." and the check's verdict, for each
// port in probe order, as the progress dialog shows them; found names the
// ports that answer.
std::vector<std::string> ExpectedProbeTexts(const std::vector<int>& found);

}  // namespace drv
