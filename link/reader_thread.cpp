#include "link/reader_thread.h"

#include <windows.h>

#include "app/main_dialog.h"
#include "framework/scoped_handle.h"
#include "link/port_reader.h"

namespace {

constexpr DWORD kReceiveBuffer = 1024;
// How long to sleep between looks at the input queue on a port whose driver
// cannot wait for events (a pseudo-terminal under Wine).
constexpr DWORD kPollInterval = 5;

class PortReaderLoop {
public:
    explicit PortReaderLoop(CPortReader& reader)
        : m_reader(reader), m_port(reader.hComm),
          m_waitDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    void Run() {
        while (!StopRequested()) {
            if (WaitForCharacters()) ReadQueued();
        }
    }

private:
    bool StopRequested() const {
        return m_reader.owner->m_stopReader.load() != 0 ||
               WaitForSingleObject(m_reader.stopEvent, 0) == WAIT_OBJECT_0;
    }

    // Returns true when characters may be waiting in the input queue.
    bool WaitForCharacters() {
        if (m_canWait) {
            OVERLAPPED wait = {};
            wait.hEvent = m_waitDone.Get();
            DWORD events = 0;
            if (WaitCommEvent(m_port, &events, &wait)) return (events & EV_RXCHAR) != 0;
            if (GetLastError() == ERROR_IO_PENDING) return FinishWait(wait, events);
            // The driver cannot wait for events: look at the queue now and then.
            m_canWait = false;
        }
        return WaitForSingleObject(m_reader.stopEvent, kPollInterval) == WAIT_TIMEOUT;
    }

    bool FinishWait(OVERLAPPED& wait, DWORD& events) {
        const HANDLE ends[] = {wait.hEvent, m_reader.stopEvent};
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
        read.hEvent = m_readDone.Get();
        DWORD got = 0;
        if (!ReadFile(m_port, m_buffer, wanted, &got, &read)) {
            if (GetLastError() != ERROR_IO_PENDING) return;
            // Bounded by the port's read timeout.
            if (!GetOverlappedResult(m_port, &read, &got, TRUE)) return;
        }
        m_reader.Feed(m_buffer, static_cast<int>(got));
    }

    CPortReader& m_reader;
    HANDLE m_port;
    ScopedHandle m_waitDone;
    ScopedHandle m_readDone;
    bool m_canWait = true;
    char m_buffer[kReceiveBuffer];
};

}  // namespace

unsigned __stdcall ReaderThreadProc(void* record) {
    CPortReader* reader = static_cast<CPortReader*>(record);
    {
        PortReaderLoop loop(*reader);
        loop.Run();
    }
    CloseHandle(reader->stopEvent);
    delete reader;
    return 0;
}
