#include "tools/driver/process_meter.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "win32/scoped_handle.h"
#include "tools/driver/window_input.h"

namespace drv {

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kThreadWin32StartAddress = 9;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// The system's list of handles: a count, then one entry per handle. Each entry
// holds a pointer, so on x64 the entries start 8 bytes in, not 4.
struct HandleEntry {
    ULONG pid;
    UCHAR type, flags;
    USHORT value;
    void* object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

struct UnicodeText {
    USHORT length, maximumLength;
    WCHAR* buffer;
};

template <class Proc>
Proc NtProc(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The handle values the process holds, from the system's list of all handles.
bool HandleValues(DWORD pid, std::vector<USHORT>* values) {
    using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    static const Query query = NtProc<Query>("NtQuerySystemInformation");
    std::vector<unsigned char> buffer(1 << 18);
    LONG status;
    while (query &&
           (status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
               kInfoLengthMismatch &&
           buffer.size() < (1u << 26))
        buffer.resize(buffer.size() * 2);
    if (!query || status != 0) return false;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const HandleEntry* entries = list->entries;
    for (ULONG i = 0; i < list->count; ++i)
        if (entries[i].pid == pid) values->push_back(entries[i].value);
    // Every process holds some handles: none at all means the list was misread.
    return !values->empty();
}

bool IsSerialDevice(HANDLE handle) {
    using Query = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
    static const Query query = NtProc<Query>("NtQueryObject");
    alignas(8) unsigned char buffer[2048] = {};
    if (!query || query(handle, kObjectNameInformation, buffer, sizeof buffer, nullptr) != 0) return false;
    const auto* name = reinterpret_cast<const UnicodeText*>(buffer);
    if (!name->buffer) return false;
    // The 32-bit Wine names an open COM port by its device, the 64-bit one by
    // the Unix device the port is mapped to (the virtual modem's pty).
    const std::wstring text(name->buffer, name->length / sizeof(WCHAR));
    for (const wchar_t* prefix : {L"\\Device\\Serial", L"\\??\\Z:\\dev\\pts\\", L"\\??\\Z:\\dev\\tty"})
        if (text.rfind(prefix, 0) == 0) return true;
    return false;
}

// Whether the address lies in the named module of the process.
bool InModule(HANDLE process, const char* moduleName, ULONG_PTR address) {
    HMODULE modules[256];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return false;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
        char name[MAX_PATH] = {};
        MODULEINFO info = {};
        if (!GetModuleBaseNameA(process, modules[i], name, MAX_PATH) || lstrcmpiA(name, moduleName) != 0 ||
            !GetModuleInformation(process, modules[i], &info, sizeof info))
            continue;
        const auto base = reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll);
        if (address >= base && address < base + info.SizeOfImage) return true;
    }
    return false;
}

int ProgramThreads(DWORD pid, HANDLE process) {
    using Query = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
    static const Query query = NtProc<Query>("NtQueryInformationThread");
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        ScopedHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        ULONG_PTR start = 0;
        if (!thread.IsValid() || !query ||
            query(thread.Get(), kThreadWin32StartAddress, &start, sizeof start, nullptr))
            return -1;
        if (InModule(process, "korvane.exe", start) || InModule(process, "msvcrt.dll", start)) ++count;
    }
    return count;
}

}  // namespace

ProcessFigures MeasureProcess(DWORD pid) {
    ProcessFigures figures;
    ScopedHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, pid));
    std::vector<USHORT> values;
    if (!process.IsValid() || !HandleValues(pid, &values)) return figures;
    figures.handles = static_cast<int>(values.size());
    for (USHORT value : values) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process.Get(), ULongToHandle(value), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            continue;
        ScopedHandle owned(copy);
        if (IsSerialDevice(copy)) ++figures.serialHandles;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    figures.programThreads = ProgramThreads(pid, process.Get());
    figures.ok = figures.programThreads > 0 && GetProcessMemoryInfo(process.Get(), &memory, sizeof memory);
    figures.privateBytes = memory.PagefileUsage;
    return figures;
}

}  // namespace drv
