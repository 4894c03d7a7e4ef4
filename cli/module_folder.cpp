#include "cli/module_folder.h"

#include <windows.h>

std::wstring ModuleFolder() {
    // A path may exceed MAX_PATH; the longest one Windows knows is 32767 characters.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        // A name that filled the buffer may have been cut short.
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() > 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::string PathForMessage(const std::wstring& path) {
    // The console shows bytes in its own code page; without a console, the system's.
    const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : CP_ACP;
    const int size = WideCharToMultiByte(codePage, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, path.c_str(), -1, &text[0], size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}
