#include "tools/driver/program_session.h"

#include <optional>

#include "tools/driver/message_box.h"
#include "tools/driver/wait_for.h"

namespace drv {

namespace {
constexpr int kCountryListId = 1011;
}  // namespace

bool ProgramSession::Fail(const std::string& why) {
    error = why;
    return false;
}

bool ProgramSession::Start(const std::map<int, ModemKnobs>& modems, DWORD timeoutMs) {
    const std::optional<int> port = VModemClient::SessionPort();
    if (!port) return Fail("the session has no virtual modem");
    if (!modem.Connect(*port, &error)) return false;
    for (int com = 1; com <= 6; ++com) {
        const auto wanted = modems.find(com);
        if (!(wanted == modems.end() ? modem.Detach(com) : modem.Attach(com)))
            return Fail("the virtual modem did not set up COM" + std::to_string(com));
        if (wanted == modems.end()) continue;
        for (const auto& [knob, value] : wanted->second)
            if (!modem.Set(com, knob, value)) return Fail("knob " + knob + " on COM" + std::to_string(com));
    }
    if (!tray.Start(&error) || !icons.Load(KorvaneBinDir() + "korvane.exe", &error)) return false;
    startRun = std::make_unique<RunWatch>(program, tray);
    if (!program.Start({}, &error)) return false;
    main = program.WaitForWindow(kMainTitle, "#32770", timeoutMs);
    if (!main) return Fail("the main window did not appear");
    // The window is listed as soon as it exists, before its controls do.
    return WaitUntil([&] { return Combo() != nullptr; }, timeoutMs) || Fail("the main window has no controls");
}

HWND ProgramSession::Combo() const { return GetDlgItem(main, kCountryListId); }

std::string ProgramSession::Received(int com) { return modem.Received(com).value_or("(no transcript)"); }

std::unique_ptr<RunWatch> ProgramSession::Command(WPARAM id) {
    auto watch = std::make_unique<RunWatch>(program, tray);
    PostMessageW(main, WM_COMMAND, id, 0);
    return watch;
}

HWND ProgramSession::WaitForMessageBox(const char* caption, const char* textPart, DWORD timeoutMs) {
    return WaitFor([&] { return FindMessageBox(program.Pid(), caption, textPart); },
                   [](HWND w) { return w != nullptr; }, timeoutMs)
        .last;
}

}  // namespace drv
