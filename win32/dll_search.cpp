#include "win32/dll_search.h"

#include <windows.h>

void LoadSystemDllsFromSystemFolderOnly() {
    // Looked up at run time: Windows 7 without KB2533623 lacks it.
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // There, at least the current directory leaves the search.
    SetDllDirectoryA("");
}
