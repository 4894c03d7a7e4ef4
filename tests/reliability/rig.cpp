#include "tests/reliability/rig.h"

#include <cstdio>

#include "tools/driver/message_box.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"

namespace rel {

std::string Describe(const Level& level) {
    std::string text = drv::Describe(level.process);
    const drv::GuiObjects& g = level.gui;
    if (!g.ok) return text + "; GUI objects not counted";
    return text + "; GDI " + std::to_string(g.gdi) + " (bitmaps " + std::to_string(g.bitmaps) + ", DCs " +
           std::to_string(g.dcs) + ", brushes " + std::to_string(g.brushes) + ", fonts " + std::to_string(g.fonts) +
           "), USER " + std::to_string(g.user()) + " (windows " + std::to_string(g.windows) + ", menus " +
           std::to_string(g.menus) + ", icons/cursors " + std::to_string(g.cursors) + ")";
}

void Figure(const std::string& what, const std::string& value) {
    std::printf("[ figure   ] %s: %s\n", what.c_str(), value.c_str());
    std::fflush(stdout);
}

bool Rig::Start(const std::map<int, drv::ModemKnobs>& modems) {
    if (!s_->Start(modems, kStepLimit)) return false;
    if (!s_->startRun->WaitForEnd(s_->Combo(), kRunLimit)) {
        s_->error = "the first detection run did not end; tray tips:";
        for (const drv::TrayRecord& r : TrayRecords()) s_->error += " \"" + r.tip + "\"";
        s_->error += "; windows:";
        for (HWND window : drv::TopWindowsOf(Pid()))
            if (drv::IsVisible(window)) s_->error += " \"" + drv::TextOf(window) + "\"";
        return false;
    }
    if (!WaitIdle(kStepLimit)) {
        s_->error = "the program did not become idle after its first run";
        return false;
    }
    return true;
}

std::vector<drv::TrayRecord> Rig::TrayRecords() const {
    std::vector<drv::TrayRecord> own;
    for (const drv::TrayRecord& r : s_->tray.Records())
        if (r.owner == s_->main) own.push_back(r);
    return own;
}

bool Rig::WaitIdle(DWORD timeoutMs) {
    return drv::WaitUntil([&] { return s_->program.Spy().WaitCursorShown(s_->main) == false; }, timeoutMs);
}

bool Rig::Responsive() {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(s_->main, WM_NULL, 0, 0, SMTO_NORMAL, drv::kSendTimeout, &result) != 0;
}

void Rig::BeginQuery() {
    queryRecords_ = TrayRecords().size();
    drv::Click(Item(kCurrent));
}

QueryOutcome Rig::FinishQuery() {
    QueryOutcome outcome;
    // The record first: an idle answer that follows it comes from after the query.
    const auto records = drv::WaitFor([&] { return TrayRecords(); },
                                      [&](const std::vector<drv::TrayRecord>& r) { return r.size() > queryRecords_; },
                                      kStepLimit);
    if (!records || !WaitIdle(kStepLimit)) return outcome;
    outcome.done = true;
    outcome.tip = records.last[queryRecords_].tip;
    outcome.icon = IconOf(records.last[queryRecords_]);
    outcome.ms = records.last[queryRecords_].ms;
    return outcome;
}

QueryOutcome Rig::Query() {
    BeginQuery();
    return FinishQuery();
}

bool Rig::Choose(int index) {
    const std::vector<std::string> names = Countries();
    if (index < 0 || index >= static_cast<int>(names.size())) return false;
    const size_t before = s_->program.Spy().Events().size();
    drv::ChooseComboItem(Item(kCountryList), index);
    return drv::WaitUntil(
        [&] {
            const std::vector<spy::Event> events = s_->program.Spy().Events();
            for (size_t i = before; i < events.size(); ++i) {
                const spy::Event& e = events[i];
                if (e.message == WM_SETTEXT && e.controlId == kCountryName &&
                    e.parent == HandleToULong(s_->main) && names[static_cast<size_t>(index)] == e.text)
                    return true;
            }
            // The spy's log may be full: what the window shows then decides.
            return events.size() >= static_cast<size_t>(spy::kMaxEvents) &&
                   drv::ComboSelection(Item(kCountryList)) == index &&
                   drv::ControlText(s_->main, kCountryName) == names[static_cast<size_t>(index)];
        },
        kStepLimit);
}

bool Rig::BeginSet(int index) {
    if (!Choose(index)) return false;
    setRecords_ = TrayRecords().size();
    drv::Click(Item(kSet));
    return true;
}

SetOutcome Rig::FinishSet() {
    SetOutcome outcome;
    const HWND box = s_->WaitForMessageBox(nullptr, nullptr, kStepLimit);
    if (!box) return outcome;
    outcome.caption = drv::TextOf(box);
    outcome.text = drv::MessageBoxText(box);
    drv::AnswerMessageBox(box, IDOK);
    if (!drv::WaitUntil([&] { return !IsWindow(box); }, kStepLimit)) return outcome;
    if (outcome.success()) {
        // The tip follows the box.
        const auto records = drv::WaitFor([&] { return TrayRecords(); },
                                          [&](const std::vector<drv::TrayRecord>& r) { return r.size() > setRecords_; },
                                          kStepLimit);
        if (records) outcome.tip = records.last[setRecords_].tip;
    }
    if (!WaitIdle(kStepLimit)) return outcome;
    if (!outcome.tip) {
        const std::vector<drv::TrayRecord> records = TrayRecords();
        if (records.size() > setRecords_) outcome.tip = records[setRecords_].tip;
    }
    outcome.done = true;
    return outcome;
}

SetOutcome Rig::Set(int index) {
    if (!BeginSet(index)) return {};
    return FinishSet();
}

void Rig::BeginRun() { run_ = s_->Command(kAutoDetectCommand); }

HWND Rig::WaitForRunWindow(const char* title) { return run_ ? run_->WaitForWindow(title, kRunLimit) : nullptr; }

RunOutcome Rig::FinishRun() {
    RunOutcome outcome;
    if (!run_ || !run_->WaitForEnd(s_->Combo(), kRunLimit) || !WaitIdle(kStepLimit)) return outcome;
    outcome.done = true;
    outcome.texts = run_->ProgressTexts();
    outcome.status = drv::ControlText(s_->main, kModemStatus);
    const std::vector<drv::TrayRecord> records = run_->TrayRecords();
    if (!records.empty()) {
        outcome.tip = records.back().tip;
        outcome.icon = IconOf(records.back());
    }
    return outcome;
}

RunOutcome Rig::Run() {
    BeginRun();
    return FinishRun();
}

std::vector<std::string> Rig::Countries() const { return drv::ComboItems(Item(kCountryList)); }

int Rig::IndexOf(const std::string& name) const {
    const std::vector<std::string> names = Countries();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

Level Rig::Measure() {
    Level level;
    level.process = drv::MeasureProcess(Pid());
    level.gui = s_->program.Spy().CountGuiObjects(s_->main);
    return level;
}

bool Rig::FreshModem(int com, const drv::ModemKnobs& knobs) { return Modem().Attach(com) && SetKnobs(com, knobs); }

bool Rig::SetKnobs(int com, const drv::ModemKnobs& knobs) {
    for (const auto& [knob, value] : knobs)
        if (!Modem().Set(com, knob, value)) return false;
    return true;
}

bool Rig::WaitReceived(int com, const std::string& text, DWORD timeoutMs) {
    return drv::WaitUntil([&] { return Modem().Received(com).value_or("").find(text) != std::string::npos; },
                          timeoutMs);
}

std::uint64_t Rig::BulkSent(int com) {
    std::uint64_t bytes = 0;
    if (auto entries = Modem().Transcript(com))
        for (const drv::TranscriptEntry& e : *entries)
            if (!e.received) bytes += e.bulkCount;
    return bytes;
}

}  // namespace rel
