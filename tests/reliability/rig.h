// The program as the reliability tests drive it: one start with its virtual
// modems, the three operations (query, setting, detection run) each begun and
// finished apart so a fault can be made while one goes on, and what the
// process holds between operations.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/driver/process_meter.h"
#include "tools/driver/program_session.h"

namespace rel {

constexpr int kModemCom = 4;
constexpr DWORD kRunLimit = 60000;   // ms; a detection run takes about 13 s
constexpr DWORD kStepLimit = 20000;  // ms; a query or setting takes at most about 4 s
constexpr WPARAM kAutoDetectCommand = 1124;

constexpr char kUnknownTip[] = "Unknow Country";
constexpr char kSuccessText[] = "Congratulations, country code set successfully.";
constexpr char kFailureText[] = "Error!  Country code setting failed!";
constexpr char kNoModemFoundTip[] = "No Modem found";
constexpr char kRemovedTip[] = "Modem Removed";
constexpr int kMainIcon = 128, kNoModemIcon = 189, kDetectingIcon = 191;

enum Control { kSet = 1005, kOtherModem = 1007, kCountryName = 1008, kCountryList = 1011, kCurrent = 1023, kModemStatus = 1024 };

struct QueryOutcome {
    bool done = false;  // a tray record came and the program was idle again
    std::string tip;
    int icon = 0;
    DWORD ms = 0;  // when the tray record arrived (GetTickCount)
};

struct SetOutcome {
    bool done = false;  // a box came, was answered, and the program was idle again
    std::string caption, text;
    bool success() const { return text == kSuccessText; }
    std::optional<std::string> tip;  // the tray record that followed the box, if any
};

struct RunOutcome {
    bool done = false;
    std::vector<std::string> texts;  // the progress dialog's status lines
    std::string status;              // the main window's modem status afterwards
    std::string tip;                 // the run's last tray record
    int icon = 0;
};

// What the process holds, read between operations.
struct Level {
    drv::ProcessFigures process;
    drv::GuiObjects gui;
};
std::string Describe(const Level& level);

class Rig {
public:
    // Fresh modems with these knobs on these ports, none on the others; starts
    // the program and waits for the end of its first detection run.
    bool Start(const std::map<int, drv::ModemKnobs>& modems);
    const std::string& Error() const { return s_->error; }

    drv::ProgramSession& S() { return *s_; }
    drv::VModemClient& Modem() { return s_->modem; }
    HWND Main() const { return s_->main; }
    HWND Item(int id) const { return GetDlgItem(s_->main, id); }
    DWORD Pid() { return s_->program.Pid(); }

    // The main window's tray records, oldest first.
    std::vector<drv::TrayRecord> TrayRecords() const;
    int IconOf(const drv::TrayRecord& record) const { return s_->IconOf(record); }

    void BeginQuery();
    QueryOutcome FinishQuery();
    QueryOutcome Query();

    // Chooses the list entry as the mouse does, then presses Set.
    bool BeginSet(int index);
    SetOutcome FinishSet();
    SetOutcome Set(int index);

    void BeginRun();
    // A visible dialog of the run with this title, watched like the run's other windows.
    HWND WaitForRunWindow(const char* title);
    RunOutcome FinishRun();
    RunOutcome Run();

    // Chooses a list entry and waits until the program shows its name.
    bool Choose(int index);
    std::vector<std::string> Countries() const;
    int IndexOf(const std::string& name) const;

    // The UI thread answers with its normal cursor: no operation goes on.
    bool WaitIdle(DWORD timeoutMs);
    // The UI thread answers a sent message (bounded by drv::kSendTimeout).
    bool Responsive();
    Level Measure();

    // A fresh modem on COMn with these knobs.
    bool FreshModem(int com, const drv::ModemKnobs& knobs = {});
    bool SetKnobs(int com, const drv::ModemKnobs& knobs);
    // Waits until the modem on COMn has received text since its transcript began.
    bool WaitReceived(int com, const std::string& text, DWORD timeoutMs);
    // Bytes the modem sent as flood or endless-line writes since its transcript began.
    std::uint64_t BulkSent(int com);

private:
    std::unique_ptr<drv::ProgramSession> s_ = std::make_unique<drv::ProgramSession>();
    size_t queryRecords_ = 0, setRecords_ = 0;
    std::unique_ptr<drv::RunWatch> run_;
};

// A figure measured by a test, printed with its output.
void Figure(const std::string& what, const std::string& value);

}  // namespace rel
