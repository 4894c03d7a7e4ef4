// Insertion and removal of a supported modem card.
#include "app/main_dialog.h"
#include "app/supported_modems.h"
#include "app/tray.h"
#include "res/resource.h"

LRESULT CMainDlg::OnDeviceChange(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return TRUE;
    if (!IsSupportedModemPort(reinterpret_cast<const DEV_BROADCAST_HDR*>(data))) return TRUE;
    if (event == DBT_DEVICEARRIVAL) {
        if (!m_session.Busy()) AutoDetect();
    } else {
        // Like an arrival, a removal never cuts across a run: its verdict decides the state.
        if (!m_session.Busy()) OnCardRemoved();
    }
    return TRUE;  // never deny a request
}

void CMainDlg::OnCardRemoved() {
    ShowTrayIcon(IDI_NO_MODEM, "Modem Removed");
    EnableModemButtons(false);
    m_modemFound = false;
    ShowWindow(m_hWnd, SW_HIDE);
    m_trayState = kTrayNoModem;
}
