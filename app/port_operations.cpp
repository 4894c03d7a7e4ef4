// The port operations of the main window. Each calls the link and holds the
// pauses of its steps, so every timing of a connection lives here.
#include "app/main_dialog.h"
#include "framework/message_wait.h"
#include "link/at_command.h"

namespace {

constexpr DWORD kSettleDelay = 1000;      // after opening, before configuring
constexpr DWORD kReaderStartDelay = 500;  // after starting the reader, before the probe
constexpr DWORD kCommandPause = 100;      // teardown after a query or setting
constexpr int kQuitPause = 100;           // teardown when quitting, messages dispatched

}  // namespace

void CMainDlg::OpenPort(int port, bool probe) {
    m_reader = nullptr;
    m_hComm.Open(port);  // ends a connection still open first
    Sleep(kSettleDelay);
    m_hComm.Configure();
    m_stopReader = 0;
    m_reader = probe ? m_hComm.StartReader(kModemId1, kModemId2) : m_hComm.StartReader("", "");
    Sleep(kReaderStartDelay);
    // Returns as soon as the write is issued: the probe window starts now,
    // also on a port that holds the write back.
    if (probe) m_hComm.Write(kProbeCommand, kProbeCommandLength);
}

void CMainDlg::SendAt(const char* command) {
    char framed[kFramedCommandSize];
    m_hComm.Write(framed, static_cast<DWORD>(FrameAtCommand(command, framed)));
}

void CMainDlg::EndConnection() {
    m_hComm.End();
    m_reader = nullptr;
}

void CMainDlg::ClosePort() {
    m_hComm.RequestStop();
    EndConnection();
}

void CMainDlg::ClosePortAfterCommand() {
    m_hComm.RequestStop();
    Sleep(kCommandPause);
    EndConnection();
    Beep(0, 0);
}

void CMainDlg::ReleasePortOnQuit() {
    m_hComm.RequestStop();
    WaitWithMessages(kQuitPause);
    m_hComm.DropDtrAndPurge();
    EndConnection();
}
