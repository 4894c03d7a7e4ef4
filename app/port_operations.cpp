// The port operations of the main window: the modem link's steps on the
// window's one connection. What is the window's own stays here: the beep
// after a command, and the messages dispatched while quitting.
#include <windows.h>

#include "app/main_dialog.h"
#include "core/probe_order.h"
#include "framework/message_wait.h"

void CMainDlg::OpenPort(int port, bool probe) {
    m_link.Open(ComPortName(port).c_str(), probe ? LinkMode::Probe : LinkMode::Plain);
}

void CMainDlg::SendAt(const char* command) { m_link.SendAt(command); }

bool CMainDlg::CheckProbe() {
    if (!m_link.Identified()) return false;
    m_modemFound = 1;
    return true;
}

void CMainDlg::ClosePort() { m_link.Release(Teardown::AfterProbe); }

void CMainDlg::ClosePortAfterCommand() {
    m_link.Release(Teardown::AfterCommand);
    Beep(0, 0);
}

void CMainDlg::ReleasePortOnQuit() {
    m_link.Release(Teardown::OnQuit,
                   [](std::chrono::milliseconds pause) { WaitWithMessages(static_cast<int>(pause.count())); });
}
