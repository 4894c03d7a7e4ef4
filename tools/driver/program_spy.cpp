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

const spy::Query* ProgramSpy::Ask(HWND window, spy::QueryKind kind, DWORD handle, const RECT& box) {
    if (!shared_ || !hook_) return nullptr;
    spy::Query& query = shared_->query;
    std::memset(&query, 0, sizeof query);
    query.kind = kind;
    query.handle = handle;
    query.box = box;
    // The hook answers inside the program before the message returns.
    SendWithTimeout(window, queryMessage_, 0, 0);
    return InterlockedCompareExchange(&query.answered, 0, 0) == 1 ? &query : nullptr;
}

GuiObjects ProgramSpy::CountGuiObjects(HWND anyProgramWindow) {
    GuiObjects objects;
    const spy::Query* query = Ask(anyProgramWindow, spy::kQueryGuiObjects);
    if (!query) return objects;
    for (LONG count : query->gdiByType) objects.gdi += count;
    objects.bitmaps = query->gdiByType[OBJ_BITMAP];
    objects.windows = query->windows;
    objects.menus = query->menus;
    objects.cursors = query->cursors;
    objects.heapBytes = query->heapBytes;
    objects.ok = true;
    return objects;
}

HWND FindPopupMenu(DWORD pid) {
    for (HWND window : TopWindowsOf(pid))
        if (ClassOf(window) == "#32768" && IsVisible(window)) return window;
    return nullptr;
}

}  // namespace drv
