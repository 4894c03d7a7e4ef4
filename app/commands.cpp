// The main window's commands: the tray menu, Enter and Escape, the system
// menu's About item, Other Modem, and quitting.
#include "app/about_dialog.h"
#include "app/main_dialog.h"
#include "app/tray.h"
#include "core/line_size.h"
#include "detect/modem_list_dialog.h"
#include "res/resource.h"

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    // The dialog manager's OK for the Enter key: the main window has no OK button.
    if (wParam == IDOK && !lParam) return FALSE;
    switch (wParam) {
    case ID_TRAY_AUTODETECT:
        if (!m_session.Busy()) AutoDetect();
        break;
    case ID_TRAY_SHOW:
        ShowWindow(m_hWnd, SW_SHOW);
        SetForegroundWindow(m_hWnd);
        break;
    case ID_TRAY_QUIT:  // refused during a run, as every close request is
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        break;
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CMainDlg::OnSysCommand(WPARAM command, LPARAM) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return 0;
    }
    return Default();
}

void CMainDlg::ShowModemStatus(int modemIndex) {
    char text[kLineSize];
    wsprintfA(text, "Modem connected to COM%d", m_session.ModemPort(modemIndex));
    SetDlgItemTextA(m_hWnd, IDC_MODEM_STATUS, text);
}

void CMainDlg::OnOtherModem() {
    if (m_session.ModemCount() == 0) {
        AutoDetect();
        if (m_session.ModemCount() == 0) return;
    }
    CModemListDlg list(nullptr, m_session);
    if (list.DoModal() != IDOK) return;
    m_session.KeepSelectedModemInList();
    ShowModemStatus(m_session.SelectedModem());
    OnCurrent();
}

void CMainDlg::OnQuit() { PostMessageA(m_hWnd, WM_CLOSE, 0, 0); }

LRESULT CMainDlg::OnClose(WPARAM, LPARAM) {
    // One confirmation at a time, and none while a run holds a port.
    if (m_confirmingQuit || m_session.Busy()) return 0;
    m_confirmingQuit = true;
    const int answer = MessageBoxA(m_hWnd, "Are you sure you want to quit?", "Quit", MB_YESNO);
    m_confirmingQuit = false;
    if (answer != IDYES) return 0;
    m_session.ReleasePortOnQuit();
    return Default();  // ends the modal run as Cancel does
}

LRESULT CMainDlg::OnDestroy(WPARAM, LPARAM) {
    const LRESULT result = Default();
    m_trayMenu.DestroyMenu();
    NotifyTray(NIM_DELETE, TRAY_ICON_UID, nullptr, nullptr);
    return result;  // the dialog deletes the flag and the logo with its other pictures
}
