// The port operations of the main window: the timed steps of port_steps.cpp
// on the window's one connection.
#include "app/main_dialog.h"
#include "app/port_steps.h"

void CMainDlg::OpenPort(int port, bool probe) {
    m_reader = nullptr;
    m_reader = OpenPortTimed(m_hComm, m_stopReader, port, probe);
}

void CMainDlg::SendAt(const char* command) { SendAtCommand(m_hComm, command); }

void CMainDlg::ClosePort() {
    ClosePortNow(m_hComm);
    m_reader = nullptr;
}

void CMainDlg::ClosePortAfterCommand() {
    ClosePortAfterCommandTimed(m_hComm);
    m_reader = nullptr;
}

void CMainDlg::ReleasePortOnQuit() {
    ReleasePortOnQuitTimed(m_hComm);
    m_reader = nullptr;
}
