#include "link/reader_thread.h"

namespace {

constexpr DWORD kReceiveBuffer = 1024;
// How long to sleep between looks at the input queue on a port whose driver
// cannot wait for events (a pseudo-terminal under Wine).
constexpr DWORD kPollInterval = 5;

class PortReaderLoop {
public:
    explicit PortReaderLoop(ReaderRun& run) : m_run(run), m_port(run.port.Get()) {}

    void Run() {
        while (!StopRequested()) {
            if (WaitForCharacters()) ReadQueued();
        }
    }

private:
    bool StopRequested() const {
        if (m_run.stopFlag->load() != 0 || m_stopSeen) return true;
        // While polling, the timed wait of every turn already watches the stop
        // event. Looking again here would add a second call into the Wine
        // server every kPollInterval, about a third of the polling's CPU.
        return m_canWait && WaitForSingleObject(m_run.stop.Get(), 0) == WAIT_OBJECT_0;
    }

    // Returns true when characters may be waiting in the input queue.
    bool WaitForCharacters() {
        if (m_canWait) {
            OVERLAPPED wait = {};
            wait.hEvent = m_run.waitDone.Get();
            DWORD events = 0;
            if (WaitCommEvent(m_port, &events, &wait)) return (events & EV_RXCHAR) != 0;
            if (GetLastError() == ERROR_IO_PENDING) return FinishWait(wait, events);
            // The driver cannot wait for events: look at the queue now and then.
            m_canWait = false;
        }
        const DWORD waited = WaitForSingleObject(m_run.stop.Get(), kPollInterval);
        m_stopSeen = waited == WAIT_OBJECT_0;
        return waited == WAIT_TIMEOUT;
    }

    bool FinishWait(OVERLAPPED& wait, DWORD& events) {
        const HANDLE ends[] = {wait.hEvent, m_run.stop.Get()};
        DWORD done;
        if (WaitForMultipleObjects(2, ends, FALSE, INFINITE) != WAIT_OBJECT_0) {
            // Stopped while waiting: the wait must end before its record goes away.
            CancelIo(m_port);
            GetOverlappedResult(m_port, &wait, &done, TRUE);
            return false;
        }
        if (!GetOverlappedResult(m_port, &wait, &done, FALSE)) {
            // A wait that fails once started (a pty under Wine) fails every
            // time: waiting again would spin, so look at the queue instead.
            m_canWait = false;
            return false;
        }
        return (events & EV_RXCHAR) != 0;
    }

    void ReadQueued() {
        DWORD errors = 0;
        COMSTAT status = {};
        if (!ClearCommError(m_port, &errors, &status)) return Failed("ClearCommError");
        DWORD wanted = status.cbInQue < kReceiveBuffer ? status.cbInQue : kReceiveBuffer;
        // A full queue leaves the rest in the port's own until the caller takes some.
        const std::size_t room = m_run.queue->Room();
        if (wanted > room) wanted = static_cast<DWORD>(room);
        if (wanted == 0) return;
        OVERLAPPED read = {};
        read.hEvent = m_run.readDone.Get();
        DWORD got = 0;
        if (!m_run.calls.readFile(m_port, m_buffer, wanted, &got, &read)) {
            if (GetLastError() != ERROR_IO_PENDING) return Failed("ReadFile");
            // Bounded by the port's read timeout.
            if (!GetOverlappedResult(m_port, &read, &got, TRUE)) return Failed("ReadFile");
        }
        m_run.queue->Push(m_buffer, got);
    }

    // Kept for the caller; the reader goes on looking, as a port that fails
    // for a moment may work again.
    void Failed(const char* call) {
        m_run.queue->Fail(PortStatus::Failure(PortFault::Failed, call, static_cast<int>(GetLastError())));
    }

    ReaderRun& m_run;
    HANDLE m_port;
    bool m_canWait = true;
    bool m_stopSeen = false;  // the poll's wait ended on the stop event
    char m_buffer[kReceiveBuffer];
};

}  // namespace

unsigned __stdcall ReaderThreadProc(void* argument) {
    std::unique_ptr<ReaderRun> run(static_cast<ReaderRun*>(argument));
    PortReaderLoop loop(*run);
    loop.Run();
    return 0;
}
