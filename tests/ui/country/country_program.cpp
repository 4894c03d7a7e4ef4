#include "tests/ui/country/country_program.h"

#include "tests/ui/country/country_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "tools/driver/icon_bits.h"
#include "tools/driver/message_box.h"
#include "tools/driver/resource_bitmap.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"

namespace country {

std::unique_ptr<CountryProgram> ProgramTest::program_;
std::string ProgramTest::error_;

namespace {

constexpr char kMainTitle[] = "Korvane 2.6";
constexpr DWORD kStartLimit = 60000;      // ms: a detection run and a query take about 17 s
constexpr DWORD kOperationLimit = 20000;  // ms: a query or setting takes at most about 4 s

drv::ProgramIcons& Icons() {
    static drv::ProgramIcons icons;
    return icons;
}

}  // namespace

std::vector<Row> BuiltTable() {
    std::ifstream file(drv::KorvaneBinDir() + "korvane.ini");
    std::vector<Row> rows;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::string fields[4];
        size_t at = 0;
        for (std::string& field : fields) {
            const size_t comma = line.find(',', at);
            field = line.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            at = comma == std::string::npos ? line.size() : comma + 1;
        }
        rows.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return rows;
}

std::string TableText(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& r : rows) text += r.name + "," + r.modemId + "," + r.bitmap + "," + r.code + "\n";
    return text;
}

drv::FakeTray& Tray() {
    static std::unique_ptr<drv::FakeTray> tray = [] {
        auto started = std::make_unique<drv::FakeTray>();
        std::string error;
        if (!started->Start(&error)) ADD_FAILURE() << error;
        return started;
    }();
    return *tray;
}

void ReportFigure(const std::string& what, DWORD ms) {
    std::printf("[ figure   ] %s: %lu ms\n", what.c_str(), static_cast<unsigned long>(ms));
    std::fflush(stdout);
    ::testing::Test::RecordProperty(what, static_cast<int>(ms));
}

CountryProgram::~CountryProgram() { program_.Kill(); }

bool CountryProgram::Start(const std::optional<std::string>& table, std::string* error) {
    Tray();
    const std::optional<int> control = drv::VModemClient::SessionPort();
    if (!control) {
        *error = "the session has no virtual modem";
        return false;
    }
    if (!modem_.Connected() && !modem_.Connect(*control, error)) return false;
    for (int com = 1; com <= 6; ++com) {
        if (com != kModemCom && !modem_.Detach(com)) {
            *error = "the virtual modem did not detach COM" + std::to_string(com);
            return false;
        }
    }
    if (!ResetModem()) {
        *error = "the virtual modem did not attach COM4";
        return false;
    }
    if (!Icons().Load(drv::KorvaneBinDir() + "korvane.exe", error)) return false;
    drv::StartOptions options;
    if (table) {
        options.copyToTempDir = true;
        options.iniContent = *table;
    }
    if (!program_.Start(options, error)) return false;
    main_ = program_.WaitForWindow(kMainTitle, "#32770", 10000);
    if (!main_) {
        *error = "the main window did not appear";
        return false;
    }
    // Start, detecting, then the query that follows a run that found the modem.
    const auto records = drv::WaitFor([&] { return TrayRecords(); },
                                      [](const std::vector<drv::TrayRecord>& r) { return r.size() >= 3; },
                                      kStartLimit);
    if (!records || IconOf(records.last[2]) != kMainIcon) {
        *error = "the detection run did not end with the modem found and queried";
        return false;
    }
    if (!WaitIdle(kOperationLimit)) {
        *error = "the program did not become idle after its first query";
        return false;
    }
    atStart_ = Now();
    return true;
}

std::vector<drv::TrayRecord> CountryProgram::TrayRecords() const {
    std::vector<drv::TrayRecord> own;
    for (const drv::TrayRecord& r : Tray().Records())
        if (main_ && r.owner == main_) own.push_back(r);
    return own;
}

int CountryProgram::IconOf(const drv::TrayRecord& record) const { return Icons().Identify(record.iconHash); }

std::optional<drv::TrayRecord> CountryProgram::WaitTrayRecord(size_t before) {
    const auto records = drv::WaitFor([&] { return TrayRecords(); },
                                      [&](const std::vector<drv::TrayRecord>& r) { return r.size() > before; },
                                      kOperationLimit);
    if (!records) return std::nullopt;
    return records.last[before];
}

bool CountryProgram::ResetModem() { return modem_.Attach(kModemCom); }

namespace {

std::string Concatenated(const std::optional<std::vector<drv::TranscriptEntry>>& entries, bool received) {
    if (!entries) return "<no transcript>";
    std::string bytes;
    for (const drv::TranscriptEntry& e : *entries)
        if (e.received == received) bytes += e.bulkLabel.empty() ? e.bytes : "<" + e.bulkLabel + ">";
    return bytes;
}

}  // namespace

std::string CountryProgram::Received() { return Concatenated(modem_.Transcript(kModemCom), true); }
std::string CountryProgram::Sent() { return Concatenated(modem_.Transcript(kModemCom), false); }

bool CountryProgram::Choose(int index, const std::string& name) {
    const size_t before = program_.Spy().Events().size();
    drv::ChooseComboItem(Item(kCountryList), index);
    // The name set by this choice, not one shown before.
    return drv::WaitUntil(
        [&] {
            const std::vector<spy::Event> events = program_.Spy().Events();
            for (size_t i = before; i < events.size(); ++i) {
                const spy::Event& e = events[i];
                if (e.message == WM_SETTEXT && e.controlId == kCountryName && e.parent == HandleToULong(main_) &&
                    name == e.text)
                    return true;
            }
            return false;
        },
        5000);
}

int CountryProgram::Selection() const { return drv::ComboSelection(Item(kCountryList)); }

HBITMAP CountryProgram::Flag() const { return drv::PictureBitmap(Item(kFlag)); }

Shown CountryProgram::Now() {
    Shown shown;
    shown.selection = Selection();
    shown.name = drv::ControlText(main_, kCountryName);
    if (HBITMAP flag = Flag()) {
        shown.flagSize = program_.Spy().BitmapSize(main_, flag);
        shown.flagBits = program_.Spy().BitmapBitsHash(main_, flag);
    }
    return shown;
}

unsigned long long CountryProgram::ResourceBits(const std::string& bitmapName) const {
    return drv::ResourceBitmapBitsHash(program_.ExePath(), bitmapName);
}

bool CountryProgram::FlagIs(const std::string& bitmapName) {
    const Shown shown = Now();
    return shown.flagSize.cx == 150 && shown.flagSize.cy == 100 && shown.flagBits != 0 &&
           shown.flagBits == ResourceBits(bitmapName);
}

bool CountryProgram::WaitIdle(DWORD timeoutMs, std::vector<bool>* seen, DWORD* at) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        // Answered only where the UI thread handles sent messages: between
        // operations, or inside one while it waits on another thread.
        const std::optional<bool> wait = program_.Spy().WaitCursorShown(main_);
        if (wait && seen && (seen->empty() || seen->back() != *wait)) seen->push_back(*wait);
        if (wait == false) {
            if (at) *at = GetTickCount();
            return true;
        }
        Sleep(drv::kPollInterval);
    }
    return false;
}

Query CountryProgram::PressCurrent() {
    Query query;
    const size_t before = TrayRecords().size();
    const DWORD start = GetTickCount();
    drv::Click(Item(kCurrent));
    while (GetTickCount() - start < kOperationLimit) {
        // The records first: a cursor answer that follows the record is one
        // from inside or after the query, never from before it.
        const std::vector<drv::TrayRecord> records = TrayRecords();
        const std::optional<bool> wait = program_.Spy().WaitCursorShown(main_);
        if (wait && (query.waitCursor.empty() || query.waitCursor.back() != *wait))
            query.waitCursor.push_back(*wait);
        if (records.size() > before && wait == false) {
            query.done = true;
            query.record = records[before];
            query.icon = IconOf(query.record);
            query.toTrayMs = query.record.ms - start;
            query.toIdleMs = GetTickCount() - start;
            break;
        }
        if (wait == false) Sleep(drv::kPollInterval);
    }
    return query;
}

SetBox CountryProgram::PressSet() {
    SetBox result;
    const DWORD start = GetTickCount();
    drv::Click(Item(kSet));
    result.box = drv::WaitFor([&] { return drv::FindMessageBox(Pid(), nullptr, nullptr); },
                              [](HWND w) { return w != nullptr; }, kOperationLimit)
                     .last;
    if (!result.box) return result;
    result.toBoxMs = GetTickCount() - start;
    result.modemMsAtBox = modem_.Now().value_or(0);
    result.caption = drv::TextOf(result.box);
    result.text = drv::MessageBoxText(result.box);
    if (HICON icon = drv::MessageBoxIcon(result.box)) result.systemIcon = program_.Spy().SystemIconId(main_, icon);
    return result;
}

bool CountryProgram::AnswerOk(HWND box) {
    drv::AnswerMessageBox(box, IDOK);
    return drv::WaitUntil([&] { return !IsWindow(box); }, 5000);
}

}  // namespace country
