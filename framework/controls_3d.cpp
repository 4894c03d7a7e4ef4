#include "framework/controls_3d.h"

#include <commctrl.h>

#include <cstring>

namespace {

// comctl32.dll is not one of the system's known DLLs, so a static import would
// let a comctl32.dll planted beside korvane.exe (a downloads folder, say) be
// loaded first. It is loaded from the system directory instead.
HMODULE LoadCommonControlsFromSystem() {
    HMODULE module = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;
    // Windows 7 without KB2533623 rejects the flag: name the full path instead.
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const char name[] = "\\comctl32.dll";
    if (length == 0 || length + sizeof(name) > MAX_PATH) return nullptr;
    std::memcpy(path + length, name, sizeof(name));
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

BOOL Enable3dControlsStatic() {
    // The module stays loaded for the process's life: its window classes are
    // used by every detection run.
    HMODULE module = LoadCommonControlsFromSystem();
    if (!module) return FALSE;
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControlsEx")));
    if (!init) return FALSE;
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return init(&classes);
}
