// The system calls through which a connection makes its events, writes and
// its reader reads. A test replaces them to make event creation, a write or a
// read fail, or to hold the reader inside a read; the program uses the
// system's own.
#pragma once
#include <windows.h>

#include "win32/scoped_handle.h"

struct LinkCalls {
    HANDLE(WINAPI* createEvent)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) = &CreateEventA;
    BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = &ReadFile;
    BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = &WriteFile;

    // A manual-reset event, not signalled; not valid when none could be made.
    ScopedHandle NewEvent() const { return ScopedHandle(createEvent(nullptr, TRUE, FALSE, nullptr)); }
};
