// How a port connection lives and dies.
//
// Threads. The caller's thread (the program's UI thread) runs every method
// here. Each connection with an open port has one reader thread, which
// waits for received characters and reads them into the connection's
// receive queue; the caller takes them from there in Read.
//
// Ownership. The connection owns the port handle, its stop event, the events
// it makes for the reader and the write in flight. The reader thread owns
// its ReaderRun: a hold on the receive queue, duplicates of the port handle
// and of the stop event, and its two events.
// So the connection may close its own handles whenever it likes: the port
// object stays open under a reader until that reader has ended.
//
// Stop handshake. A stop request sets the caller's flag to 1, signals this
// connection's stop event, then clears the port's event mask, which ends the
// reader's pending wait. The reader checks the flag and the event at every
// turn; the event is per connection, so a reader that is late to end is not
// started again when the caller clears the flag for the next connection.
//
// Teardowns. All three make the stop request, then End: End waits for the
// reader for at most kReaderEndLimit (it ends within milliseconds; a read in
// progress is bounded by the read timeout), lets go of the queue, cancels and
// finishes a write in flight, and closes the port. The caller holds the
// pauses between the two (none, 100 ms asleep, 100 ms dispatching messages)
// and has DTR dropped on quit.
// A reader that has not ended by then keeps its own port handle, and closes
// it when it ends.
//
// Writes. Write copies the bytes into the connection's buffer and returns as
// soon as the write is issued: a port whose modem holds CTS or DSR low keeps
// a write for the whole write timeout (1000 ms), which the probe window must
// not wait for. A write still in flight is finished before the next, and End
// cancels it before the buffer and record can go away.
//
// Failures. Every call of Configure, the reader's readings and each write are
// checked and reported to the caller; none of them changes the steps.
//
// Wine: a comm-event wait on a pseudo-terminal fails at once; the reader then
// polls the input queue every few milliseconds instead.
#include "link/port_connection.h"

#include <cstring>
#include <utility>

#include "win32/worker_thread.h"
#include "link/line_settings.h"

namespace {

constexpr DWORD kReaderEndLimit = 1000;

bool DuplicateForThread(HANDLE source, ScopedHandle& target) {
    const HANDLE self = GetCurrentProcess();
    HANDLE copy = nullptr;
    if (!DuplicateHandle(self, source, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
    target.Reset(copy);
    return true;
}

PortStatus LastError(const char* call) {
    const DWORD error = GetLastError();
    PortFault fault = PortFault::Failed;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) fault = PortFault::NoSuchPort;
    // A COM port is opened for exclusive use: a port held by another program is refused.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) fault = PortFault::InUse;
    return PortStatus::Failure(fault, call, static_cast<int>(error));
}

}  // namespace

PortConnection::PortConnection(std::atomic<int>& stopFlag, const LinkCalls& calls)
    : m_stopFlag(stopFlag), m_calls(calls) {}

PortConnection::~PortConnection() {
    StopReceiving();
    End();
}

PortStatus PortConnection::Open(const char* name) {
    if (IsOpen() || m_thread.IsValid() || m_queue) {
        StopReceiving();
        End();
    }
    m_configureError = {};
    m_port.Reset(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    m_openError = IsOpen() ? PortStatus() : LastError("CreateFileA");
    return m_openError;
}

bool PortConnection::Check(BOOL done, const char* call) {
    if (!done && m_configureError.Ok()) m_configureError = LastError(call);
    return done != FALSE;
}

PortStatus PortConnection::Configure() {
    m_configureError = {};
    if (!IsOpen()) return PortStatus::Failure(PortFault::NoSuchPort, "Configure", ERROR_INVALID_HANDLE);
    const HANDLE port = m_port.Get();
    Check(SetCommMask(port, EV_RXCHAR), "SetCommMask");
    Check(SetupComm(port, kQueueSize, kQueueSize), "SetupComm");
    Check(PurgeComm(port, kPurgeAll), "PurgeComm");
    COMMTIMEOUTS timeouts = ConnectionTimeouts();
    Check(SetCommTimeouts(port, &timeouts), "SetCommTimeouts");
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    // Wine, say, opens a COM name whose device has vanished and fails every call on it.
    bool working = Check(GetCommState(port, &dcb), "GetCommState");
    if (working) {
        ApplyLineSettings(dcb);
        Check(SetCommState(port, &dcb), "SetCommState");
        for (ScopedHandle* event : {&m_stop, &m_waitDone, &m_readDone, &m_writeDone, &m_arrived}) {
            *event = m_calls.NewEvent();
            if (!Check(event->IsValid(), "CreateEventA")) {
                working = false;
                break;
            }
        }
    }
    if (!working) {
        End();
        return m_configureError;
    }
    m_stopFlag = 0;
    // Without a reader the port is worked all the same: nothing is received.
    Check(StartReader(), "_beginthreadex");
    return m_configureError;
}

bool PortConnection::StartReader() {
    auto run = std::make_unique<ReaderRun>();
    m_queue = std::make_shared<ReceiveQueue>(std::move(m_arrived));
    run->queue = m_queue;
    run->stopFlag = &m_stopFlag;
    run->calls = m_calls;
    if (!DuplicateForThread(m_port.Get(), run->port) || !DuplicateForThread(m_stop.Get(), run->stop)) return false;
    run->waitDone = std::move(m_waitDone);
    run->readDone = std::move(m_readDone);
    m_thread.Reset(StartWorkerThread(ReaderThreadProc, run.get()));
    if (!m_thread.IsValid()) return false;
    run.release();  // the thread owns it now
    return true;
}

PortStatus PortConnection::Write(const char* bytes, std::size_t count) {
    if (!IsOpen()) return PortStatus::Failure(PortFault::NoSuchPort, "WriteFile", ERROR_INVALID_HANDLE);
    FinishWrite(false);
    if (count > kWriteBuffer) count = kWriteBuffer;
    std::memcpy(m_writeBytes, bytes, count);
    m_write = {};
    m_write.hEvent = m_writeDone.Get();
    ResetEvent(m_write.hEvent);
    DWORD written = 0;
    if (m_calls.writeFile(m_port.Get(), m_writeBytes, static_cast<DWORD>(count), &written, &m_write)) return {};
    if (GetLastError() != ERROR_IO_PENDING) return LastError("WriteFile");
    m_writePending = true;
    return {};
}

PortRead PortConnection::Read(char* buffer, std::size_t room, Deadline deadline) {
    if (!IsOpen() || !m_queue) return {};
    return m_queue->Take(buffer, room, deadline);
}

void PortConnection::FinishWrite(bool cancel) {
    if (!m_writePending) return;
    if (cancel) CancelIoEx(m_port.Get(), &m_write);
    DWORD written = 0;
    // Bounded by the write timeout, and at once after a cancel.
    GetOverlappedResult(m_port.Get(), &m_write, &written, TRUE);
    m_writePending = false;
}

void PortConnection::StopReceiving() {
    // Once the reader sees a stop request it may end at any time, so neither
    // request touches what it holds.
    m_stopFlag = 1;
    if (m_stop.IsValid()) SetEvent(m_stop.Get());
    // Clearing the event mask ends a pending wait of the reader.
    if (IsOpen()) SetCommMask(m_port.Get(), 0);
}

void PortConnection::Release(PortRelease how) {
    if (how == PortRelease::DropLineAndClose) DropDtrAndPurge();
    End();
}

void PortConnection::DropDtrAndPurge() {
    if (!IsOpen()) return;
    EscapeCommFunction(m_port.Get(), CLRDTR);
    PurgeComm(m_port.Get(), kPurgeAll);
}

void PortConnection::End() {
    if (m_thread.IsValid()) {
        // A reader that is late keeps its own port handle and its hold on the
        // queue, so closing ours below never pulls anything from under it.
        WaitForSingleObject(m_thread.Get(), kReaderEndLimit);
        m_thread.Reset();
    }
    m_queue.reset();
    FinishWrite(true);
    m_port.Reset();
    m_stop.Reset();
    m_waitDone.Reset();
    m_readDone.Reset();
    m_writeDone.Reset();
    m_arrived.Reset();
}
