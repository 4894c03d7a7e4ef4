// One short port connection: open and configure a COM port, start its reader,
// write AT commands, and the three ways of ending the connection.
#include <windows.h>

#include <new>

#include "app/main_dialog.h"
#include "framework/worker_thread.h"
#include "link/line_settings.h"
#include "link/message_wait.h"
#include "link/reader_thread.h"

namespace {

const char kProbeCommand[] = "ati3\r\n";
constexpr DWORD kSettleDelay = 1000;     // after opening, before configuring
constexpr DWORD kReaderStartDelay = 500;  // after starting the reader
constexpr DWORD kCommandPause = 100;      // teardown after a query or setting
constexpr int kQuitPause = 100;           // teardown when quitting
// A reader ends within a few milliseconds of its stop request; this only
// bounds the wait should it not.
constexpr DWORD kReaderEndLimit = 1000;

// Returns false when the handle is no working serial port (Wine, say, opens a
// COM name whose device has vanished and fails every call on it).
bool ConfigurePort(HANDLE port) {
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kQueueSize, kQueueSize);
    PurgeComm(port, kPurgeAll);
    COMMTIMEOUTS timeouts = ConnectionTimeouts();
    SetCommTimeouts(port, &timeouts);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return false;
    ApplyLineSettings(dcb);
    SetCommState(port, &dcb);
    return true;
}

// Writes the bytes and waits until the line has taken them (bounded by the
// write timeout), so the caller's buffer is never used after it returns.
void WriteToPort(HANDLE port, const char* bytes, DWORD count) {
    ScopedHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.IsValid()) return;
    OVERLAPPED write = {};
    write.hEvent = done.Get();
    DWORD written = 0;
    if (!WriteFile(port, bytes, count, &written, &write) && GetLastError() == ERROR_IO_PENDING)
        GetOverlappedResult(port, &write, &written, TRUE);
}

}  // namespace

void CMainDlg::OpenPort(int port, bool probe) {
    char name[16];
    wsprintfA(name, "COM%d", port);
    m_hComm = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    Sleep(kSettleDelay);
    if (m_hComm != INVALID_HANDLE_VALUE && !ConfigurePort(m_hComm)) {
        // Not a port after all: the connection goes on as one that failed to open.
        CloseHandle(m_hComm);
        m_hComm = INVALID_HANDLE_VALUE;
    }
    const bool open = m_hComm != INVALID_HANDLE_VALUE;

    m_stopReader = 0;
    CPortReader* reader = new (std::nothrow) CPortReader;
    if (reader) {
        reader->owner = this;
        reader->hComm = m_hComm;
        if (probe) {
            reader->SetPattern(0, kModemId1);
            reader->SetPattern(1, kModemId2);
        }
        if (open) StartReader(reader);
    }
    m_reader = reader;
    Sleep(kReaderStartDelay);
    if (probe && open) WriteToPort(m_hComm, kProbeCommand, sizeof kProbeCommand - 1);
}

void CMainDlg::StartReader(CPortReader* reader) {
    m_readerStop.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const HANDLE self = GetCurrentProcess();
    if (!m_readerStop.IsValid() ||
        !DuplicateHandle(self, m_readerStop.Get(), self, &reader->stopEvent, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return;
    m_readerThread.Reset(StartWorkerThread(ReaderThreadProc, reader));
    if (!m_readerThread.IsValid()) {
        CloseHandle(reader->stopEvent);
        reader->stopEvent = nullptr;
    }
}

void CMainDlg::SendAt(const char* command) {
    if (m_hComm == INVALID_HANDLE_VALUE) return;
    char framed[256];
    // The command is an argument, never a format: "%t19,0," goes out unchanged.
    const int length = wsprintfA(framed, "at%s\r\n", command);
    WriteToPort(m_hComm, framed, static_cast<DWORD>(length));
}

void CMainDlg::StopReader() {
    // Once the reader sees a stop request it may free its record, so neither
    // request touches the record.
    if (m_readerStop.IsValid()) SetEvent(m_readerStop.Get());
    m_stopReader = 1;
    // Clearing the event mask ends a pending wait of the reader.
    if (m_hComm != INVALID_HANDLE_VALUE) SetCommMask(m_hComm, 0);
}

void CMainDlg::EndConnection() {
    if (m_readerThread.IsValid()) {
        // The reader frees its record; waiting for it means it never touches
        // the port handle after it is closed, nor a later connection's port.
        WaitForSingleObject(m_readerThread.Get(), kReaderEndLimit);
        m_readerThread.Reset();
    } else {
        delete m_reader;  // never got a reader thread
    }
    m_readerStop.Reset();
    m_reader = nullptr;
    if (m_hComm != INVALID_HANDLE_VALUE) CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
}

void CMainDlg::ClosePort() {
    StopReader();
    EndConnection();
}

void CMainDlg::ClosePortAfterCommand() {
    StopReader();
    Sleep(kCommandPause);
    EndConnection();
    Beep(0, 0);
}

void CMainDlg::ReleasePortOnQuit() {
    StopReader();
    WaitWithMessages(kQuitPause);
    if (m_hComm != INVALID_HANDLE_VALUE) {
        EscapeCommFunction(m_hComm, CLRDTR);
        PurgeComm(m_hComm, kPurgeAll);
    }
    EndConnection();
}
