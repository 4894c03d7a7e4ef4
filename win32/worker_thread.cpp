#include "win32/worker_thread.h"

#include <process.h>

HANDLE StartWorkerThread(WorkerProc proc, void* argument) {
    // _beginthreadex rather than CreateThread, so the C runtime is set up for the thread.
    uintptr_t thread = _beginthreadex(nullptr, 0, proc, argument, 0, nullptr);
    return reinterpret_cast<HANDLE>(thread);
}
