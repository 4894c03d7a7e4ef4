// One short connection to one COM port: the handle, its reader thread and the
// write in flight. It knows nothing of its caller; the caller holds the
// pauses between the steps (see port_connection.cpp for how it lives and dies).
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "framework/scoped_handle.h"
#include "link/at_command.h"
#include "link/link_calls.h"
#include "link/port_reader.h"
#include "link/reader_thread.h"

class PortConnection {
public:
    // stopFlag is the caller's: every stop request sets it to 1; the caller
    // sets it to 0 before it starts a reader. It must outlive every reader.
    explicit PortConnection(std::atomic<int>& stopFlag, const LinkCalls& calls = LinkCalls());
    // Ends a connection still open as ClosePort does: stop, then end.
    ~PortConnection();
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;

    // Opens "COM<port>" for exclusive overlapped use; a connection still open
    // is ended first. False when the port cannot be opened.
    bool Open(int port);
    // Gives the open port the fixed line settings and makes the events of the
    // connection. False, with the port closed, when the handle is no working
    // serial port or an event cannot be made: the connection then goes on as
    // one whose port failed to open.
    bool Configure();
    // Makes the record with its two patterns (empty: inactive) and, when the
    // port is open, starts the reader on it. The record stays valid until End.
    CPortReader* StartReader(const char* firstPattern, const char* secondPattern);
    // Hands the bytes (at most kWriteBuffer) to the port and returns at once;
    // a write still in flight is finished first. Writes nothing while no port is open.
    void Write(const char* bytes, DWORD count);

    // Teardown: the stop request (flag, stop event, cleared event mask, in
    // this order), the quit's line calls, and the end of the connection.
    void RequestStop();
    void DropDtrAndPurge();
    void End();

    bool IsOpen() const { return m_port.IsValid(); }
    // Why the last Open failed (the system's error code), or ERROR_SUCCESS.
    DWORD OpenError() const { return m_openError; }
    HANDLE Handle() const { return m_port.Get(); }
    CPortReader* Reader() const { return m_reader; }
    // The reader thread of this connection, while it has one.
    HANDLE ReaderThread() const { return m_thread.Get(); }

    static constexpr DWORD kWriteBuffer = kFramedCommandSize;

private:
    void FinishWrite(bool cancel);
    bool StartThread(std::unique_ptr<ReaderRun>& run);

    std::atomic<int>& m_stopFlag;
    LinkCalls m_calls;
    ScopedHandle m_port;
    DWORD m_openError = ERROR_SUCCESS;
    ScopedHandle m_stop;  // this connection's own stop request
    ScopedHandle m_thread;
    // Made by Configure for the reader, which takes them when it starts.
    ScopedHandle m_waitDone;
    ScopedHandle m_readDone;
    // A record that got no reader thread: the connection frees it at End.
    std::unique_ptr<ReaderRun> m_idleRun;
    CPortReader* m_reader = nullptr;

    // The write in flight: its bytes and record live as long as it may run.
    ScopedHandle m_writeDone;
    OVERLAPPED m_write = {};
    char m_writeBytes[kWriteBuffer] = {};
    bool m_writePending = false;
};
