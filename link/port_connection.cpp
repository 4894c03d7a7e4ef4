// How a port connection lives and dies.
//
// Threads. The caller's thread (the program's UI thread) runs every method
// here. Each connection with an open port has one reader thread, which
// waits for received characters, reads them and feeds the record's line
// matcher; the caller learns of replies only by looking at the record's
// `found` flag or at the reply capture.
//
// Ownership. The connection owns the port handle, its stop event, the events
// it makes for the reader and the write in flight. The reader thread owns
// its ReaderRun: the record (held by a unique_ptr until the thread takes it),
// duplicates of the port handle and of the stop event, and its two events.
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
// progress is bounded by the read timeout), cancels and finishes a write in
// flight, and closes the port. The caller holds the pauses between the two
// (none, 100 ms asleep, 100 ms dispatching messages) and drops DTR on quit.
// A reader that has not ended by then keeps its own port handle, and closes
// it when it ends.
//
// Writes. Write copies the bytes into the connection's buffer and returns as
// soon as the write is issued: a port whose modem holds CTS or DSR low keeps
// a write for the whole write timeout (1000 ms), which the probe window must
// not wait for. A write still in flight is finished before the next, and End
// cancels it before the buffer and record can go away.
//
// Wine. A comm-event wait on a pseudo-terminal fails at once; the reader then
// polls the input queue every few milliseconds instead.
#include "link/port_connection.h"

#include <cstring>
#include <utility>

#include "framework/worker_thread.h"
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

}  // namespace

PortConnection::PortConnection(std::atomic<int>& stopFlag, const LinkCalls& calls)
    : m_stopFlag(stopFlag), m_calls(calls) {}

PortConnection::~PortConnection() {
    RequestStop();
    End();
}

bool PortConnection::Open(int port) {
    if (IsOpen() || m_thread.IsValid() || m_reader) {
        RequestStop();
        End();
    }
    char name[16];
    wsprintfA(name, "COM%d", port);
    m_port.Reset(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    m_openError = IsOpen() ? ERROR_SUCCESS : GetLastError();
    return IsOpen();
}

bool PortConnection::Configure() {
    if (!IsOpen()) return false;
    const HANDLE port = m_port.Get();
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kQueueSize, kQueueSize);
    PurgeComm(port, kPurgeAll);
    COMMTIMEOUTS timeouts = ConnectionTimeouts();
    SetCommTimeouts(port, &timeouts);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    // Wine, say, opens a COM name whose device has vanished and fails every call on it.
    bool working = GetCommState(port, &dcb);
    if (working) {
        ApplyLineSettings(dcb);
        SetCommState(port, &dcb);
        m_stop = m_calls.NewEvent();
        m_waitDone = m_calls.NewEvent();
        m_readDone = m_calls.NewEvent();
        m_writeDone = m_calls.NewEvent();
        working = m_stop.IsValid() && m_waitDone.IsValid() && m_readDone.IsValid() && m_writeDone.IsValid();
    }
    if (!working) End();
    return working;
}

CPortReader* PortConnection::StartReader(const char* firstPattern, const char* secondPattern) {
    auto run = std::make_unique<ReaderRun>();
    run->record = std::make_unique<CPortReader>();
    run->record->SetPattern(0, firstPattern);
    run->record->SetPattern(1, secondPattern);
    run->stopFlag = &m_stopFlag;
    run->calls = m_calls;
    m_reader = run->record.get();
    if (!IsOpen() || !StartThread(run)) m_idleRun = std::move(run);
    return m_reader;
}

bool PortConnection::StartThread(std::unique_ptr<ReaderRun>& run) {
    if (!DuplicateForThread(m_port.Get(), run->port) || !DuplicateForThread(m_stop.Get(), run->stop))
        return false;
    run->waitDone = std::move(m_waitDone);
    run->readDone = std::move(m_readDone);
    m_thread.Reset(StartWorkerThread(ReaderThreadProc, run.get()));
    if (!m_thread.IsValid()) return false;
    run.release();  // the thread owns it now
    return true;
}

void PortConnection::Write(const char* bytes, DWORD count) {
    if (!IsOpen()) return;
    FinishWrite(false);
    if (count > kWriteBuffer) count = kWriteBuffer;
    std::memcpy(m_writeBytes, bytes, count);
    m_write = {};
    m_write.hEvent = m_writeDone.Get();
    ResetEvent(m_write.hEvent);
    DWORD written = 0;
    m_writePending = !WriteFile(m_port.Get(), m_writeBytes, count, &written, &m_write) &&
                     GetLastError() == ERROR_IO_PENDING;
}

void PortConnection::FinishWrite(bool cancel) {
    if (!m_writePending) return;
    if (cancel) CancelIoEx(m_port.Get(), &m_write);
    DWORD written = 0;
    // Bounded by the write timeout, and at once after a cancel.
    GetOverlappedResult(m_port.Get(), &m_write, &written, TRUE);
    m_writePending = false;
}

void PortConnection::RequestStop() {
    // Once the reader sees a stop request it may free its record, so neither
    // request touches the record.
    m_stopFlag = 1;
    if (m_stop.IsValid()) SetEvent(m_stop.Get());
    // Clearing the event mask ends a pending wait of the reader.
    if (IsOpen()) SetCommMask(m_port.Get(), 0);
}

void PortConnection::DropDtrAndPurge() {
    if (!IsOpen()) return;
    EscapeCommFunction(m_port.Get(), CLRDTR);
    PurgeComm(m_port.Get(), kPurgeAll);
}

void PortConnection::End() {
    if (m_thread.IsValid()) {
        // Once ended, the reader has freed its record. One that is late keeps
        // its own port handle, so closing ours below never pulls the port from under it.
        WaitForSingleObject(m_thread.Get(), kReaderEndLimit);
        m_thread.Reset();
    }
    m_idleRun.reset();
    m_reader = nullptr;
    FinishWrite(true);
    m_port.Reset();
    m_stop.Reset();
    m_waitDone.Reset();
    m_readDone.Reset();
    m_writeDone.Reset();
}
