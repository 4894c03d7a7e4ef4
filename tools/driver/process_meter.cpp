#include "tools/driver/process_meter.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "tools/driver/text.h"
#include "tools/driver/unique_handle.h"

namespace drv {

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypeInformation = 2;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
    ULONG pid;
    UCHAR type;
    UCHAR flags;
    USHORT value;
    void* object;
    ULONG access;
};

struct UnicodeText {
    USHORT length;
    USHORT maximumLength;
    WCHAR* buffer;
};

using QuerySystem = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <class Proc>
Proc NtProc(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The handle values the process holds, from the system's list of all handles.
bool HandleValues(DWORD pid, std::vector<USHORT>* values) {
    static const QuerySystem query = NtProc<QuerySystem>("NtQuerySystemInformation");
    if (!query) return false;
    std::vector<unsigned char> buffer(1 << 18);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch && buffer.size() < (1u << 26)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return false;
        break;
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG));
    for (ULONG i = 0; i < count; ++i)
        if (entries[i].pid == pid) values->push_back(entries[i].value);
    return true;
}

// The object's type name or name, read through a duplicate of the handle.
std::string ObjectText(HANDLE handle, ULONG what) {
    static const QueryObject query = NtProc<QueryObject>("NtQueryObject");
    alignas(8) unsigned char buffer[2048] = {};
    if (!query || query(handle, what, buffer, sizeof buffer, nullptr) != 0) return {};
    const auto* text = reinterpret_cast<const UnicodeText*>(buffer);
    if (!text->buffer) return {};
    return Narrow(std::wstring(text->buffer, text->length / sizeof(WCHAR)));
}

std::string Megabytes(std::size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace

int ThreadCount(DWORD pid) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.Valid()) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    return count;
}

ProcessFigures MeasureProcess(DWORD pid) {
    ProcessFigures figures;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, pid));
    std::vector<USHORT> values;
    if (!process.Valid() || !HandleValues(pid, &values)) return figures;
    figures.threads = ThreadCount(pid);
    figures.handles = static_cast<int>(values.size());
    for (USHORT value : values) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process.Get(), ULongToHandle(value), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            ++figures.handlesByType["?"];
            continue;
        }
        UniqueHandle owned(copy);
        const std::string type = ObjectText(copy, kObjectTypeInformation);
        ++figures.handlesByType[type.empty() ? "?" : type];
        if (type == "File") {
            const std::string name = ObjectText(copy, kObjectNameInformation);
            if (name.find("\\Device\\Serial") == 0) figures.serialHandles.push_back(name);
        }
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process.Get(), &memory, sizeof memory)) return figures;
    figures.privateBytes = memory.PagefileUsage;
    figures.workingSet = memory.WorkingSetSize;
    figures.ok = figures.threads >= 0;
    return figures;
}

std::string Describe(const ProcessFigures& f) {
    if (!f.ok) return "(not measured)";
    std::string text = "threads " + std::to_string(f.threads) + ", handles " + std::to_string(f.handles) + " (";
    bool first = true;
    for (const auto& [type, count] : f.handlesByType) {
        text += (first ? "" : ", ") + type + " " + std::to_string(count);
        first = false;
    }
    text += "), serial ";
    if (f.serialHandles.empty()) text += "-";
    for (const std::string& name : f.serialHandles) text += name + " ";
    text += ", private " + Megabytes(f.privateBytes) + ", working set " + Megabytes(f.workingSet);
    return text;
}

}  // namespace drv
