#include "tools/driver/run_watch.h"

#include <algorithm>

#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"

namespace drv {

namespace {
constexpr int kProgressStatusId = 1008;
constexpr char kDetectingTip[] = "Detecting Modem ...Please wait.";
}  // namespace

RunWatch::RunWatch(KorvaneProcess& program, const FakeTray& tray)
    : program_(program),
      tray_(tray),
      spyBaseline_(program.Spy().Events().size()),
      trayBaseline_(tray.Records().size()),
      log_(program.Pid()) {}

void RunWatch::Sample() {
    // The program may have been started after the watch began.
    if (!log_.Pid()) log_ = WindowLog(program_.Pid());
    log_.Sample();
}

HWND RunWatch::WaitForWindow(const char* title, DWORD timeoutMs) {
    return WaitFor(
               [&] {
                   Sample();
                   const HWND window = FindTopWindow(program_.Pid(), title, "#32770");
                   return window && IsVisible(window) ? window : nullptr;
               },
               [](HWND w) { return w != nullptr; }, timeoutMs)
        .last;
}

bool RunWatch::Ended() const {
    const std::vector<TrayRecord> records = TrayRecords();
    const auto detecting = std::find_if(records.begin(), records.end(),
                                        [](const TrayRecord& r) { return r.tip == kDetectingTip; });
    return detecting != records.end() && detecting + 1 != records.end();
}

bool RunWatch::WaitForEnd(HWND combo, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    if (!WaitUntil(
            [&] {
                Sample();
                return Ended();
            },
            timeoutMs))
        return false;
    // The final record is sent with no message handled after it until the
    // run has returned.
    const DWORD spent = GetTickCount() - start;
    return WaitForPostedMessages(combo, timeoutMs > spent ? timeoutMs - spent : 0);
}

std::vector<std::string> RunWatch::ProgressTexts() const {
    std::vector<std::string> texts;
    const std::vector<spy::Event> events = program_.Spy().Events();
    const std::vector<HWND> dialogs = log_.Seen(kProgressTitle);
    for (size_t i = spyBaseline_; i < events.size(); ++i) {
        const spy::Event& e = events[i];
        if (e.message != WM_SETTEXT || e.controlId != kProgressStatusId) continue;
        const HWND parent = static_cast<HWND>(ULongToHandle(e.parent));
        if (std::find(dialogs.begin(), dialogs.end(), parent) != dialogs.end()) texts.push_back(e.text);
    }
    return texts;
}

std::string RunWatch::Describe(HWND combo) const {
    std::string text = "tray tips:";
    for (const TrayRecord& r : TrayRecords()) text += " \"" + r.tip + "\"";
    text += "; progress texts:";
    for (const std::string& t : ProgressTexts()) text += " \"" + t + "\"";
    text += program_.Running() ? "; program running" : "; program ended";
    text += "; visible windows:";
    for (HWND window : TopWindowsOf(program_.Pid()))
        if (IsVisible(window)) text += " \"" + TextOf(window) + "\" (" + ClassOf(window) + ")";
    const LRESULT count = SendWithTimeout(combo, CB_GETCOUNT, 0, 0, -1);
    text += "; combo " + (count < 0 ? std::string("does not answer") : "holds " + std::to_string(count) + " lines");
    return text;
}

std::vector<TrayRecord> RunWatch::TrayRecords() const {
    std::vector<TrayRecord> records = tray_.Records();
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(trayBaseline_, records.size())));
    return records;
}

std::vector<std::string> ExpectedProbeTexts(const std::vector<int>& found) {
    std::vector<std::string> texts;
    for (int port : {3, 4, 2, 1, 5, 6}) {
        const std::string com = "COM" + std::to_string(port);
        texts.push_back("Detecting " + com + "...Please wait...");
        const bool answers = std::find(found.begin(), found.end(), port) != found.end();
        texts.push_back(answers ? "Modem connected to " + com : "No modem on " + com);
    }
    return texts;
}

}  // namespace drv
