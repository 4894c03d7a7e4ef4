// What another process holds, read from outside: its threads, its kernel
// handles and its memory.
//
// Under Wine 8 GetProcessHandleCount answers 0, GetGuiResources fails and
// PrivateUsage stays 0. Handles come from the system's handle list
// (NtQuerySystemInformation), each duplicated to read its name; private
// memory is PagefileUsage (the commit charge, which Wine fills in). GDI and
// USER objects are counted inside the program by the spy.
#pragma once
#include <windows.h>

#include <cstddef>

namespace drv {

struct ProcessFigures {
    bool ok = false;  // every figure below could be read
    // Threads the program started itself (its main thread and those of its C
    // runtime's _beginthreadex); Wine's own helper threads, which start in
    // its system DLLs and come and go as Wine pleases, are not counted.
    int programThreads = 0;
    int handles = 0;
    // Open COM ports: "\Device\Serial3" is COM4 under 32-bit Wine,
    // "\??\Z:\dev\pts\N" (the port's pty) under 64-bit Wine.
    int serialHandles = 0;
    std::size_t privateBytes = 0;
};

ProcessFigures MeasureProcess(DWORD pid);

}  // namespace drv
