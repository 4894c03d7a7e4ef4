#include "tools/driver/program.h"

#include <dbt.h>

#include <cstddef>
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
    for (int com = 1; com <= 6; ++com)
        if (!modems.count(com) && !modem.Detach(com))
            return error = "COM" + std::to_string(com) + " stays: " + modem.LastFailure(), false;
    if (!SetModems(modems)) return error = "the modems could not be set up: " + modem.LastFailure(), false;
    Tray();
    const Mark start;
    if (!process.Start(options, &error)) return false;
    main = process.WaitForWindow(kMainTitle, "#32770", kStepLimit);
    // The window is listed as soon as it exists, before its controls do.
    if (!WaitUntil([&] { return Item(kCountryList) != nullptr; }, kStepLimit))
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

std::string Program::Received(int com) { return modem.Received(com).value_or("(no transcript)"); }

std::string Program::Sent(int com) {
    std::string bytes;
    for (const TranscriptEntry& e : modem.Transcript(com).value_or(std::vector<TranscriptEntry>{}))
        if (!e.received) bytes += e.bulkLabel.empty() ? e.bytes : "<" + e.bulkLabel + ">";
    return bytes;
}

Mark Program::Now() const { return {Tray().Records().size(), process.Pid() ? process.Spy().Events().size() : 0}; }

std::vector<TrayRecord> Program::TrayRecords(Mark since) const {
    std::vector<TrayRecord> own;
    const std::vector<TrayRecord> all = Tray().Records();
    for (size_t i = since.tray; i < all.size(); ++i)
        if (all[i].owner == main) own.push_back(all[i]);
    return own;
}

std::vector<std::string> Program::TextsSince(Mark since, int controlId) const {
    std::vector<std::string> texts;
    const std::vector<spy::Event> events = process.Spy().Events();
    for (size_t i = since.events; i < events.size(); ++i)
        if (events[i].message == WM_SETTEXT && (controlId < 0 || events[i].controlId == controlId))
            texts.push_back(events[i].text);
    return texts;
}

std::vector<std::string> Program::ProgressTexts(Mark since) const {
    std::vector<std::string> texts;
    const std::vector<spy::Event> events = process.Spy().Events();
    for (size_t i = since.events; i < events.size(); ++i) {
        const spy::Event& e = events[i];
        // The main window's country name has the progress status's id.
        if (e.message == WM_SETTEXT && e.controlId == kProgressStatus && e.parent &&
            e.parent != HandleToULong(main))
            texts.push_back(e.text);
    }
    return texts;
}

bool Program::Sync() { return WaitForPostedMessages(Item(kCountryList), kStepLimit); }

bool Program::WaitIdle() {
    return WaitUntil([&] { return process.Spy().WaitCursorShown(main) == false; }, kStepLimit);
}

HWND Program::WaitWindow(const char* title, DWORD timeoutMs) {
    return WaitFor(
               [&] {
                   const HWND w = FindTopWindow(process.Pid(), title, "#32770");
                   return w && IsVisible(w) ? w : nullptr;
               },
               [](HWND w) { return w != nullptr; }, timeoutMs)
        .last;
}

Box Program::AnswerBox(int button) {
    Box box;
    const HWND window = WaitFor([&] { return FindMessageBox(process.Pid(), nullptr, nullptr); },
                                [](HWND w) { return w != nullptr; }, kStepLimit)
                            .last;
    if (!window) return box;
    box.shown = true;
    box.modemMs = modem.Now().value_or(0);
    box.caption = TextOf(window);
    box.text = MessageBoxText(window);
    if (HICON icon = MessageBoxIcon(window)) box.systemIcon = process.Spy().SystemIconId(main, icon);
    AnswerMessageBox(window, button);
    WaitUntil([&] { return !IsWindow(window); }, kStepLimit);
    return box;
}

bool Program::WaitRunEnd(Mark since, int pick) {
    bool picked = false;
    selectionSeen.clear();
    const bool ended = WaitUntil(
        [&] {
            const std::vector<TrayRecord> records = TrayRecords(since);
            for (size_t i = 0; i + 1 < records.size(); ++i)
                if (records[i].tip == kDetectingTip) return true;
            const HWND selection = FindTopWindow(process.Pid(), kSelectionTitle, "#32770");
            if (!picked && selection && IsVisible(selection)) {
                picked = true;
                const HWND list = GetDlgItem(selection, kModemList);
                selectionSeen = ListItems(list);
                if (pick < 0) return PressKeyOn(selection, VK_ESCAPE), false;
                SendWithTimeout(list, LB_SETCURSEL, pick, 0);
                PostMessageW(selection, WM_COMMAND, IDOK, 0);
            }
            return false;
        },
        kRunLimit);
    // The final record is sent with no message handled after it until the run has returned.
    return ended && Sync();
}

int Program::IndexOf(const std::string& country) const {
    const std::vector<std::string> names = ComboItems(Item(kCountryList));
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == country) return static_cast<int>(i);
    return -1;
}

bool Program::Choose(const std::string& country) {
    const Mark before = Now();
    ChooseComboItem(Item(kCountryList), IndexOf(country));
    // The name set by this choice, not one shown before.
    return WaitUntil(
        [&] {
            for (const std::string& text : TextsSince(before, kCountryName))
                if (text == country) return true;
            return false;
        },
        kStepLimit);
}

unsigned long long Program::ShownFlagBits() {
    const auto flag = reinterpret_cast<HBITMAP>(SendWithTimeout(Item(kFlag), STM_GETIMAGE, IMAGE_BITMAP, 0));
    return flag ? process.Spy().BitmapBitsHash(main, flag) : 0;
}

unsigned long long Program::ResourceBits(const std::string& bitmapName) const {
    HMODULE module = LoadLibraryExA(process.ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HBITMAP bitmap =
        module ? static_cast<HBITMAP>(LoadImageA(module, bitmapName.c_str(), IMAGE_BITMAP, 0, 0, 0)) : nullptr;
    unsigned long long hash = 0;
    BITMAP info = {};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
        std::vector<unsigned char> bits(static_cast<size_t>(info.bmWidthBytes * info.bmHeight * info.bmPlanes));
        const LONG got = GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data());
        hash = spy::HashBits(bits.data(), static_cast<unsigned>(got));
    }
    if (bitmap) DeleteObject(bitmap);
    if (module) FreeLibrary(module);
    return hash;
}

std::future<LRESULT> Program::DeviceChange(WPARAM event, const std::string& name, DWORD deviceType) {
    const HWND window = main;
    return std::async(std::launch::async, [=] {
        const size_t nameOffset = offsetof(DEV_BROADCAST_PORT_A, dbcp_name);
        std::vector<unsigned char> record(nameOffset + name.size() + 1, 0);
        auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(record.data());
        header->dbch_size = static_cast<DWORD>(record.size());
        header->dbch_devicetype = deviceType;
        std::memcpy(record.data() + nameOffset, name.c_str(), name.size() + 1);
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_DEVICECHANGE, event,
                            name.empty() ? 0 : reinterpret_cast<LPARAM>(record.data()), SMTO_NORMAL, 2 * kRunLimit,
                            &answer);
        return static_cast<LRESULT>(answer);
    });
}

Level Program::Measure() { return {MeasureProcess(process.Pid()), process.Spy().CountGuiObjects(main)}; }

std::string Describe(const Level& level) {
    const GuiObjects& g = level.gui;
    return Describe(level.process) + "; GDI " + std::to_string(g.gdi) + " (bitmaps " + std::to_string(g.bitmaps) +
           "), USER " + std::to_string(g.user()) + ", heap " + std::to_string(g.heapBytes) + " bytes";
}

}  // namespace drv
