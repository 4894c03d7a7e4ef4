// What another process holds, read from outside: its threads, its kernel
// handles by object type and name, and its memory.
//
// Under Wine 8 GetProcessHandleCount answers 0 and GetGuiResources fails
// (ERROR_CALL_NOT_IMPLEMENTED), and PrivateUsage stays 0. The handles come
// from the system's handle list (NtQuerySystemInformation), each duplicated
// to read its type and name; private memory is PagefileUsage (the commit
// charge, which Wine fills in). GDI and USER objects are counted inside the
// program by the spy (ProgramSpy::GuiObjects).
#pragma once
#include <windows.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace drv {

struct ProcessFigures {
    bool ok = false;  // every figure below could be read
    int threads = 0;
    int handles = 0;
    std::map<std::string, int> handlesByType;  // "File", "Event", "Thread"...
    // Names of the process's handles to serial devices ("\Device\Serial4").
    std::vector<std::string> serialHandles;
    std::size_t privateBytes = 0;  // PagefileUsage
    std::size_t workingSet = 0;
};

ProcessFigures MeasureProcess(DWORD pid);
// The process's threads (Toolhelp32 snapshot); -1 when the snapshot failed.
int ThreadCount(DWORD pid);
// "threads 1, handles 35 (Event 12, File 3...), serial -, private 8.1 MB, working set 26.0 MB"
std::string Describe(const ProcessFigures& figures);

}  // namespace drv
