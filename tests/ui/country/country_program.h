// The program started with one virtual modem on COM4, and the country
// operations as a user performs them: choosing a country, pressing Current
// and Set, answering the box. Shared by the country UI tests.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/vmodem_client.h"

namespace country {

constexpr int kModemCom = 4;
constexpr char kUnknownTip[] = "Unknow Country";
constexpr int kMainIcon = 128;

enum Control { kSet = 1005, kCountryName = 1008, kFlag = 1009, kCountryList = 1011, kCurrent = 1023 };

// One line of a country table file.
struct Row {
    std::string name, modemId, bitmap, code;
};
// The built korvane.ini, in file order.
std::vector<Row> BuiltTable();
// Table lines for a private korvane.ini.
std::string TableText(const std::vector<Row>& rows);

// What a press of Current led to.
struct Query {
    bool done = false;  // the tray record came and the program was idle again
    drv::TrayRecord record;
    int icon = 0;  // resource id of the record's icon
    DWORD toTrayMs = 0, toIdleMs = 0;
    // The cursor the program's UI thread showed whenever it answered during
    // the query: the distinct values, oldest first.
    std::vector<bool> waitCursor;
};

// The box a press of Set led to.
struct SetBox {
    HWND box = nullptr;
    std::string caption, text;
    int systemIcon = 0;  // IDI_* of the box's icon, 0 for none
    DWORD toBoxMs = 0;
    std::int64_t modemMsAtBox = 0;  // the modem's clock when the box was seen
};

// What the main window shows of the country.
struct Shown {
    int selection = CB_ERR;
    std::string name;
    unsigned long long flagBits = 0;  // spy::HashBits of the flag's bits, 0 for none
    SIZE flagSize = {0, 0};
};

class CountryProgram {
public:
    ~CountryProgram();

    // Attaches a fresh modem on COM4 only, starts the program (with this
    // table, or the built one) and waits for the query after its detection run.
    bool Start(const std::optional<std::string>& table, std::string* error);

    HWND Main() const { return main_; }
    // What the window showed once the first query had ended.
    const Shown& AtStart() const { return atStart_; }
    HWND Item(int id) const { return GetDlgItem(main_, id); }
    DWORD Pid() const { return program_.Pid(); }
    drv::VModemClient& Modem() { return modem_; }
    std::vector<drv::TrayRecord> TrayRecords() const;
    int IconOf(const drv::TrayRecord& record) const;
    // The first tray record after the first `before`, waited for.
    std::optional<drv::TrayRecord> WaitTrayRecord(size_t before);

    // A fresh modem on COM4 with default knobs and an empty transcript.
    bool ResetModem();
    bool SetKnob(const std::string& knob, const std::string& value) { return modem_.Set(kModemCom, knob, value); }
    // Everything the modem received since its transcript was last cleared.
    std::string Received();
    // Everything it sent.
    std::string Sent();

    // Chooses an entry as the mouse does and waits until the program shows its name.
    bool Choose(int index, const std::string& name);
    int Selection() const;
    HBITMAP Flag() const;
    Shown Now();
    // The bits of the program's bitmap resource of this name.
    unsigned long long ResourceBits(const std::string& bitmapName) const;
    // The shown flag is 150 x 100 with the bits of this bitmap resource.
    bool FlagIs(const std::string& bitmapName);

    Query PressCurrent();
    // Presses Set and waits for the box it shows.
    SetBox PressSet();
    // Presses OK on the box and waits until it is gone.
    bool AnswerOk(HWND box);
    // Waits until the program's UI thread answers with its cursor restored.
    bool WaitIdle(DWORD timeoutMs, std::vector<bool>* seen = nullptr, DWORD* at = nullptr);

private:
    drv::KorvaneProcess program_;
    drv::VModemClient modem_;
    HWND main_ = nullptr;
    Shown atStart_;
};

// The fake notification area of this test program: one for all starts.
drv::FakeTray& Tray();

// A measured duration, printed with the test's output.
void ReportFigure(const std::string& what, DWORD ms);

}  // namespace country
