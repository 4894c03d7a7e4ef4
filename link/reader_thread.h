// The reader thread of a port connection.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "win32/scoped_handle.h"
#include "link/link_calls.h"
#include "link/receive_queue.h"

// Everything a reader thread uses. The connection fills it completely, the
// thread takes it at its start and frees it when it ends; it shares with the
// connection only the caller's stop flag and the receive queue.
struct ReaderRun {
    std::shared_ptr<ReceiveQueue> queue;
    // The caller's flag, read afresh at each check: not 0 asks the reader to end.
    const std::atomic<int>* stopFlag = nullptr;
    // The reader's own duplicates of the connection's port handle and stop
    // event: the connection may close its handles while the reader still runs.
    ScopedHandle port;
    ScopedHandle stop;
    // The events of the reader's overlapped wait and read.
    ScopedHandle waitDone;
    ScopedHandle readDone;
    LinkCalls calls;
};

// Waits for received characters, reads them into the queue, and keeps the
// first failure of a reading there, until the connection asks it to stop;
// then frees its ReaderRun.
unsigned __stdcall ReaderThreadProc(void* run);
