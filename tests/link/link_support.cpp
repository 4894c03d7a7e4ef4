#include "tests/link/link_support.h"

#include <tlhelp32.h>

#include "link/reply_capture.h"

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

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

double SystemMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return FileTimeMs(now);
}

bool ModemClock::Align(drv::VModemClient& modem) {
    const double before = SystemMs();
    const std::optional<std::int64_t> modemNow = modem.Now();
    const double after = SystemMs();
    if (!modemNow) return false;
    // The modem's clock counts whole milliseconds: its reading lies up to 1 ms
    // behind the moment it was taken.
    offset_ = static_cast<double>(*modemNow) + 0.5 - (before + after) / 2;
    return true;
}

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

HANDLE OpenNewThread(const std::set<DWORD>& before) {
    HANDLE found = nullptr;
    for (DWORD id : ThreadIds()) {
        if (before.count(id)) continue;
        HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, id);
        if (!thread) continue;  // gone already
        if (ThreadEnded(thread)) {
            CloseHandle(thread);
            continue;
        }
        if (found) {
            CloseHandle(found);
            CloseHandle(thread);
            return nullptr;
        }
        found = thread;
    }
    return found;
}

double ThreadCreatedMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    return FileTimeMs(created);
}

bool ThreadEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

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

namespace {
std::string Direction(const std::vector<drv::TranscriptEntry>& entries, bool received) {
    std::string bytes;
    for (const drv::TranscriptEntry& e : entries)
        if (e.received == received) bytes += e.bytes;
    return bytes;
}
}  // namespace

std::string Received(const std::vector<drv::TranscriptEntry>& entries) { return Direction(entries, true); }
std::string Sent(const std::vector<drv::TranscriptEntry>& entries) { return Direction(entries, false); }

std::string Capture() {
    char text[80];
    TakeReply(text);
    return text;
}

}  // namespace lnk
