// Starts a worker thread that runs at once with normal priority and the default stack.
#pragma once
#include <windows.h>

using WorkerProc = unsigned(__stdcall*)(void* argument);

// Returns the thread's handle, which the caller owns, or nullptr when no
// thread could be started.
HANDLE StartWorkerThread(WorkerProc proc, void* argument);
