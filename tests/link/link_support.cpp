#include "tests/link/link_support.h"

#include <tlhelp32.h>

namespace lnk {

namespace {

constexpr ULONG kObjectNameInformation = 1;
using NtQueryObjectProc = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

struct ObjectNameBuffer {
    USHORT length;
    USHORT maximumLength;
    WCHAR* buffer;
    WCHAR text[512];
};

}  // namespace

std::set<DWORD> ThreadIds() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == self) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

bool ThreadEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

HANDLE CopyHandle(HANDLE handle) {
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, handle, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

std::wstring ObjectName(HANDLE handle) {
    static const auto query = reinterpret_cast<NtQueryObjectProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    DWORD flags;
    if (!query || !GetHandleInformation(handle, &flags)) return {};
    ObjectNameBuffer name = {};
    if (query(handle, kObjectNameInformation, &name, sizeof name, nullptr) != 0 || !name.buffer) return {};
    return std::wstring(name.buffer, name.length / sizeof(WCHAR));
}

HANDLE OpenComPort(int port) {
    const std::string name = "COM" + std::to_string(port);
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool HoldLine(int port) {
    // Wine stops the tty's output for XOFF; the stop outlives our handle and
    // the program's own settings, until the modem's pty is made afresh.
    const HANDLE line = OpenComPort(port);
    if (line == INVALID_HANDLE_VALUE) return false;
    const bool held = EscapeCommFunction(line, SETXOFF);
    CloseHandle(line);
    return held;
}

std::vector<HANDLE> TakeHandleValue(HANDLE value, HANDLE first) {
    std::vector<HANDLE> taken{first};
    while (taken.back() != value && taken.size() < 256) {
        HANDLE next = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!next) break;
        taken.push_back(next);
    }
    if (taken.back() == value) return taken;
    for (HANDLE h : taken)
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return {};
}

std::string Received(const std::vector<drv::TranscriptEntry>& entries) {
    std::string bytes;
    for (const drv::TranscriptEntry& e : entries)
        if (e.received) bytes += e.bytes;
    return bytes;
}

}  // namespace lnk
