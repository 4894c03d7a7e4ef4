// The Windows back end of the modem port: one short connection to one COM
// port, with the handle, its reader thread and the write in flight. It knows
// nothing of its caller; the caller holds the pauses between the steps (see
// port_connection.cpp for how it lives and dies).
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "core/modem_commands.h"
#include "core/modem_port.h"
#include "win32/scoped_handle.h"
#include "link/link_calls.h"
#include "link/reader_thread.h"
#include "link/receive_queue.h"

class PortConnection : public ModemPort {
public:
    // stopFlag is the caller's: every stop request sets it to 1, and Configure
    // sets it to 0 before it starts a reader. It must outlive every reader.
    explicit PortConnection(std::atomic<int>& stopFlag, const LinkCalls& calls = LinkCalls());
    // Ends a connection still open as a probe's teardown does: stop, then end.
    ~PortConnection() override;
    PortConnection(const PortConnection&) = delete;
    PortConnection& operator=(const PortConnection&) = delete;

    // Opens the port for exclusive overlapped use; a connection still open
    // is ended first.
    PortStatus Open(const char* name) override;
    // Gives the open port the fixed line settings, makes the connection's
    // events and starts the reader. Every call is checked and the first
    // failure kept (ConfigureError); the steps stay as they are: only a
    // handle that is no working serial port, or an event that cannot be made,
    // closes the port, and the connection goes on as one whose port failed to open.
    PortStatus Configure() override;
    bool IsOpen() const override { return m_port.IsValid(); }
    // Copies the bytes (at most kWriteBuffer) and issues the write; a write
    // still in flight is finished first. A write that fails outright is reported.
    PortStatus Write(const char* bytes, std::size_t count) override;
    // What the reader has received, waiting for it until the deadline.
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    // The stop request: the flag, the stop event, the cleared event mask, in this order.
    void StopReceiving() override;
    // DTR dropped and the queues purged first when asked, then the end of the connection.
    void Release(PortRelease how) override;

    // Why the last Open failed, or why Configure complained (the system's
    // error codes, ERROR_SUCCESS when none).
    DWORD OpenError() const { return static_cast<DWORD>(m_openError.systemError); }
    const PortStatus& ConfigureError() const { return m_configureError; }
    HANDLE Handle() const { return m_port.Get(); }
    // The reader thread of this connection, while it has one.
    HANDLE ReaderThread() const { return m_thread.Get(); }

    static constexpr DWORD kWriteBuffer = kFramedCommandSize;

private:
    void DropDtrAndPurge();
    void End();
    void FinishWrite(bool cancel);
    bool Check(BOOL done, const char* call);
    bool StartReader();

    std::atomic<int>& m_stopFlag;
    LinkCalls m_calls;
    ScopedHandle m_port;
    PortStatus m_openError;
    PortStatus m_configureError;
    ScopedHandle m_stop;  // this connection's own stop request
    ScopedHandle m_thread;
    // What the reader received; the reader holds it too.
    std::shared_ptr<ReceiveQueue> m_queue;
    // Made by Configure for the reader, which takes them when it starts.
    ScopedHandle m_waitDone;
    ScopedHandle m_readDone;
    ScopedHandle m_arrived;

    // The write in flight: its bytes and record live as long as it may run.
    ScopedHandle m_writeDone;
    OVERLAPPED m_write = {};
    char m_writeBytes[kWriteBuffer] = {};
    bool m_writePending = false;
};
