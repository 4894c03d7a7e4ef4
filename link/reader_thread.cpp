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
        return m_run.stopFlag->load() != 0 || WaitForSingleObject(m_run.stop.Get(), 0) == WAIT_OBJECT_0;
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
        return WaitForSingleObject(m_run.stop.Get(), kPollInterval) == WAIT_TIMEOUT;
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
        if (!ClearCommError(m_port, &errors, &status)) return;
        const DWORD wanted = status.cbInQue < kReceiveBuffer ? status.cbInQue : kReceiveBuffer;
        if (wanted == 0) return;
        OVERLAPPED read = {};
        read.hEvent = m_run.readDone.Get();
        DWORD got = 0;
        if (!m_run.calls.readFile(m_port, m_buffer, wanted, &got, &read)) {
            if (GetLastError() != ERROR_IO_PENDING) return;
            // Bounded by the port's read timeout.
            if (!GetOverlappedResult(m_port, &read, &got, TRUE)) return;
        }
        m_run.record->Feed(m_buffer, static_cast<int>(got));
    }

    ReaderRun& m_run;
    HANDLE m_port;
    bool m_canWait = true;
    char m_buffer[kReceiveBuffer];
};

}  // namespace

unsigned __stdcall ReaderThreadProc(void* argument) {
    std::unique_ptr<ReaderRun> run(static_cast<ReaderRun*>(argument));
    PortReaderLoop loop(*run);
    loop.Run();
    return 0;
}
