#include "tools/driver/program.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "tools/driver/message_box.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace drv {

FakeTray& Program::Tray() {
    static FakeTray tray;
    static std::string error;
    static const bool started = tray.Start(&error) && tray.LearnIcons(KorvaneBinDir() + "korvane.exe", &error);
    if (!started) std::fprintf(stderr, "fake notification area: %s\n", error.c_str());
    return tray;
}

bool Program::Start(const Modems& modems, const StartOptions& options, bool waitForRun) {
    const auto port = VModemClient::SessionPort();
    if (!port || !modem.Connect(*port, &error)) return error = "the session has no virtual modem", false;
    Modems all = modems;  // no modem on the ports not named
    for (int com = 1; com <= 6; ++com) all.emplace(com, "none");
    if (!SetModems(all)) return error = "the modems could not be set up: " + modem.LastFailure(), false;
    Tray();
    const Mark start;
    if (!process.Start(options, &error)) return false;
    // The window is listed as soon as it exists, before its controls do.
    if (!WaitUntil(
            [&] { return (main = FindTopWindow(process.Pid(), kMainTitle, "#32770")) && Item(IDC_COUNTRY_LIST); },
            kStepLimit))
        return error = "the main window did not appear", false;
    if (waitForRun && !(WaitRunEnd(start) && WaitIdle()))
        return error = "the first detection run did not end", false;
    return true;
}

bool Program::SetModems(const Modems& modems) {
    for (const auto& [com, knobs] : modems) {
        if (knobs.find("none") != std::string::npos) {
            if (!modem.Detach(com)) return false;
            continue;
        }
        if (!modem.Attach(com)) return false;
        std::istringstream in(knobs);
        for (std::string knob; in >> knob;) {
            const size_t equals = knob.find('=');
            if (!modem.Set(com, knob.substr(0, equals), knob.substr(equals + 1))) return false;
        }
    }
    return true;
}

Mark Program::Now() const { return {Tray().Records().size(), process.Pid() ? process.Spy().Events().size() : 0}; }

std::vector<TrayRecord> Program::TrayRecords(Mark since) const {
    std::vector<TrayRecord> own;
    const std::vector<TrayRecord> all = Tray().Records();
    for (size_t i = since.tray; i < all.size(); ++i)
        if (all[i].owner == main) own.push_back(all[i]);
    return own;
}

std::vector<std::string> Program::TextsSince(Mark since, int controlId, bool inMain) const {
    std::vector<std::string> texts;
    const std::vector<spy::Event> events = process.Spy().Events();
    for (size_t i = since.events; i < events.size(); ++i) {
        const spy::Event& e = events[i];
        // The program's dialogs are top-level windows: a control's parent is never null.
        if (e.controlId == controlId && e.parent && (e.parent == HandleToULong(main)) == inMain)
            texts.push_back(e.text);
    }
    return texts;
}

bool Program::Sync() { return WaitForPostedMessages(Item(IDC_COUNTRY_LIST), kStepLimit); }

bool Program::WaitIdle() {
    return WaitUntil(
        [&] {
            const spy::Query* cursor = process.Spy().Ask(main, spy::kQueryCursor);
            return cursor && !cursor->cursorIsWait;
        },
        kStepLimit);
}

HWND Program::WaitWindow(const char* title, DWORD timeoutMs) {
    HWND w = nullptr;
    const auto shown = [&] { return (w = FindTopWindow(process.Pid(), title, "#32770")) && IsVisible(w); };
    return WaitUntil(shown, timeoutMs) ? w : nullptr;
}

Box Program::AnswerBox(int button) {
    Box box;
    HWND window = nullptr;
    if (!WaitUntil([&] { return window = FindMessageBox(process.Pid(), nullptr, nullptr); }, kStepLimit))
        return box;
    box.shown = true;
    box.caption = TextOf(window);
    box.text = MessageBoxText(window);
    AnswerMessageBox(window, button);
    WaitUntil([&] { return !IsWindow(window); }, kStepLimit);
    return box;
}

bool Program::WaitRunEnd(Mark since) {
    const bool ended = WaitUntil(
        [&] {
            const std::vector<TrayRecord> records = TrayRecords(since);
            for (size_t i = 0; i + 1 < records.size(); ++i)
                if (records[i].tip == kDetectingTip) return true;
            return false;
        },
        kRunLimit);
    // The final record is sent with no message handled after it until the run has returned.
    return ended && Sync();
}

bool Program::Choose(const std::string& country) {
    const Mark before = Now();
    const std::vector<std::string> names = ComboItems(Item(IDC_COUNTRY_LIST));
    const size_t index = std::find(names.begin(), names.end(), country) - names.begin();
    ChooseComboItem(Item(IDC_COUNTRY_LIST), index < names.size() ? static_cast<int>(index) : -1);
    // The name set by this choice, not one shown before.
    return WaitUntil(
        [&] {
            for (const std::string& text : TextsSince(before, IDC_COUNTRY_NAME))
                if (text == country) return true;
            return false;
        },
        kStepLimit);
}

bool Program::ShowsFlag(const std::string& bitmapName) {
    HMODULE module = LoadLibraryExA(process.ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HBITMAP bitmap =
        module ? static_cast<HBITMAP>(LoadImageA(module, bitmapName.c_str(), IMAGE_BITMAP, 0, 0, 0)) : nullptr;
    const unsigned long long resource = bitmap ? spy::HashBitmap(bitmap) : 0;
    if (bitmap) DeleteObject(bitmap);
    if (module) FreeLibrary(module);
    const LRESULT flag = SendWithTimeout(Item(IDC_FLAG), STM_GETIMAGE, IMAGE_BITMAP, 0);
    const spy::Query* shown =
        flag ? process.Spy().Ask(main, spy::kQueryBitmapBits, static_cast<DWORD>(flag)) : nullptr;
    // Neither picture read is no match.
    return resource && shown && shown->bitsHash == resource;
}

std::future<LRESULT> Program::DeviceChange(WPARAM event, const std::string& name) {
    const HWND window = main;
    return std::async(std::launch::async, [=] {
        const size_t nameOffset = offsetof(DEV_BROADCAST_PORT_A, dbcp_name);
        std::vector<unsigned char> record(nameOffset + name.size() + 1, 0);
        auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(record.data());
        header->dbch_size = static_cast<DWORD>(record.size());
        header->dbch_devicetype = DBT_DEVTYP_PORT;
        std::memcpy(record.data() + nameOffset, name.c_str(), name.size() + 1);
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record.data()), SMTO_NORMAL,
                            2 * kRunLimit, &answer);
        return static_cast<LRESULT>(answer);
    });
}

Level Program::Measure() { return {MeasureProcess(process.Pid()), process.Spy().CountGuiObjects(main)}; }

std::string Describe(const Level& level) {
    const ProcessFigures& f = level.process;
    const GuiObjects& g = level.gui;
    char text[200];
    std::snprintf(text, sizeof text,
                  "program threads %d, handles %d, serial %d, private %.2f MB; GDI %d (bitmaps %d), "
                  "USER %d, heap %llu bytes",
                  f.programThreads, f.handles, f.serialHandles, f.privateBytes / 1048576.0, g.gdi, g.bitmaps,
                  g.user(), g.heapBytes);
    return f.ok && g.ok ? text : "(not measured)";
}

}  // namespace drv
