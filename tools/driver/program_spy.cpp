#include "tools/driver/program_spy.h"

#include <cstring>

#include "tools/driver/window_input.h"

namespace drv {

namespace {

constexpr char kHookDll[] = "korvane_spy.dll";
constexpr char kHookProc[] = "SpyCallWndProc";

std::string BesideThisProgram(const char* file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (char* slash = std::strrchr(path, '\\')) slash[1] = '\0';
    return std::string(path) + file;
}

}  // namespace

ProgramSpy::~ProgramSpy() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (shared_) UnmapViewOfFile(shared_);
    if (hookModule_) FreeLibrary(hookModule_);
}

bool ProgramSpy::Attach(DWORD pid, DWORD threadId, std::string* error) {
    char name[64];
    spy::MappingName(pid, name);
    mapping_.Reset(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(spy::Shared), name));
    if (!mapping_.IsValid()) {
        *error = "CreateFileMapping failed";
        return false;
    }
    shared_ = static_cast<spy::Shared*>(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(spy::Shared)));
    const std::string dll = BesideThisProgram(kHookDll);
    hookModule_ = LoadLibraryA(dll.c_str());
    if (!shared_ || !hookModule_) {
        *error = "cannot load " + dll;
        return false;
    }
    // The exported hook procedure has HOOKPROC's signature.
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hookModule_, kHookProc)));
    hook_ = proc ? SetWindowsHookExA(WH_CALLWNDPROC, proc, hookModule_, threadId) : nullptr;
    if (!hook_) {
        *error = "SetWindowsHookEx failed: " + std::to_string(GetLastError());
        return false;
    }
    queryMessage_ = RegisterWindowMessageA(spy::kQueryMessage);
    return true;
}

std::vector<spy::Event> ProgramSpy::Events() const {
    if (!shared_) return {};
    const LONG count = InterlockedCompareExchange(const_cast<LONG*>(&shared_->eventCount), 0, 0);
    return std::vector<spy::Event>(shared_->events, shared_->events + count);
}

bool ProgramSpy::Ask(HWND window, spy::QueryKind kind, DWORD handle, const RECT& box) {
    if (!shared_ || !hook_) return false;
    spy::Query& query = shared_->query;
    std::memset(&query, 0, sizeof query);
    query.kind = kind;
    query.handle = handle;
    query.box = box;
    // The hook answers inside the program before the message returns.
    SendWithTimeout(window, queryMessage_, 0, 0);
    return InterlockedCompareExchange(&query.answered, 0, 0) == 1;
}

std::vector<MenuEntry> ProgramSpy::MenuAnswer() const {
    std::vector<MenuEntry> entries;
    const spy::Query& query = shared_->query;
    for (LONG i = 0; i < query.count && i < spy::kMaxMenuItems; ++i) {
        MenuEntry entry;
        entry.id = query.items[i].id;
        entry.separator = (query.items[i].type & MFT_SEPARATOR) != 0;
        entry.text = query.items[i].text;
        entries.push_back(entry);
    }
    return entries;
}

std::vector<MenuEntry> ProgramSpy::SystemMenu(HWND window) {
    if (!Ask(window, spy::kQuerySystemMenu, HandleToULong(window))) return {};
    return MenuAnswer();
}

std::vector<MenuEntry> ProgramSpy::Menu(HWND anyProgramWindow, HMENU menu) {
    if (!Ask(anyProgramWindow, spy::kQueryMenu, HandleToULong(menu))) return {};
    return MenuAnswer();
}

SIZE ProgramSpy::BitmapSize(HWND anyProgramWindow, HBITMAP bitmap) {
    if (!Ask(anyProgramWindow, spy::kQueryBitmapSize, HandleToULong(bitmap))) return {0, 0};
    return {shared_->query.width, shared_->query.height};
}

unsigned long long ProgramSpy::BitmapBitsHash(HWND anyProgramWindow, HBITMAP bitmap) {
    if (!Ask(anyProgramWindow, spy::kQueryBitmapSize, HandleToULong(bitmap))) return 0;
    return shared_->query.bitsHash;
}

std::optional<bool> ProgramSpy::WaitCursorShown(HWND anyProgramWindow) {
    if (!Ask(anyProgramWindow, spy::kQueryCursor, 0)) return std::nullopt;
    return shared_->query.cursorIsWait != 0;
}

int ProgramSpy::SystemIconId(HWND anyProgramWindow, HICON icon) {
    if (!Ask(anyProgramWindow, spy::kQuerySystemIcon, HandleToULong(icon))) return 0;
    return shared_->query.systemIcon;
}

GuiObjects ProgramSpy::CountGuiObjects(HWND anyProgramWindow) {
    GuiObjects objects;
    if (!Ask(anyProgramWindow, spy::kQueryGuiObjects, 0)) return objects;
    const spy::Query& query = shared_->query;
    for (LONG count : query.gdiByType) objects.gdi += count;
    objects.bitmaps = query.gdiByType[OBJ_BITMAP];
    objects.dcs = query.gdiByType[OBJ_DC] + query.gdiByType[OBJ_MEMDC];
    objects.brushes = query.gdiByType[OBJ_BRUSH];
    objects.fonts = query.gdiByType[OBJ_FONT];
    objects.windows = query.windows;
    objects.menus = query.menus;
    objects.cursors = query.cursors;
    objects.heapBytes = query.heapBytes;
    objects.ok = true;
    return objects;
}

RECT ProgramSpy::DrawnBox(HWND window, const RECT& area) {
    if (!Ask(window, spy::kQueryDrawnBox, HandleToULong(window), area)) return {};
    return shared_->query.box;
}

HWND FindPopupMenu(DWORD pid) {
    for (HWND window : TopWindowsOf(pid))
        if (ClassOf(window) == "#32768" && IsVisible(window)) return window;
    return nullptr;
}

HMENU PopupMenuHandle(HWND popup) { return reinterpret_cast<HMENU>(SendWithTimeout(popup, MN_GETHMENU, 0, 0)); }

}  // namespace drv
