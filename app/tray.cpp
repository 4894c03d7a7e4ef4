// The notification-area icon: the one call that changes it, and its clicks.
#include "app/tray.h"

#include "app/main_dialog.h"
#include "app/tray_record.h"
#include "framework/win_app.h"
#include "win32/scoped_handle.h"

HICON LoadTrayIcon(int id) {
    return static_cast<HICON>(
        LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

BOOL CMainDlg::NotifyTray(DWORD operation, UINT id, HICON icon, const char* tip) {
    // The shell copies the icon it is given; ours goes when the call is done.
    const ScopedIcon owned(icon);
    NOTIFYICONDATAA record;
    FillTrayRecord(record, m_hWnd, id, owned.Get(), tip);
    return Shell_NotifyIconA(operation, &record);
}

void CMainDlg::ShowTrayIcon(int iconId, const char* tip) {
    NotifyTray(NIM_MODIFY, TRAY_ICON_UID, LoadTrayIcon(iconId), tip);
}

LRESULT CMainDlg::OnTrayNotify(WPARAM, LPARAM mouseMessage) {
    if (mouseMessage != WM_LBUTTONDOWN) return 0;
    POINT cursor;
    GetCursorPos(&cursor);
    switch (m_trayState) {
    case kTrayNoModem:
        SetForegroundWindow(m_hWnd);
        m_trayMenu.TrackPopupMenu(TPM_RIGHTBUTTON, cursor.x, cursor.y, m_hWnd);
        PostMessageA(m_hWnd, WM_USER, 0, 0);
        break;
    case kTrayModemKnown:
        ShowWindow(m_hWnd, SW_SHOW);
        SetForegroundWindow(m_hWnd);
        break;
    default:  // detecting: clicks wait for the run to end
        break;
    }
    return 0;
}
