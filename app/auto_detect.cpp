// A detection run: probes the six ports behind the progress dialog, then
// settles the buttons, the tray icon and the current country.
#include "app/main_dialog.h"
#include "detect/detect_dialog.h"
#include "detect/modem_list_dialog.h"
#include "framework/message_wait.h"
#include "res/resource.h"

namespace {
constexpr int kSettleAfterShow = 50;  // ms for the main window to paint before the query
}

void CMainDlg::EnableModemButtons(bool enable) {
    EnableWindow(GetDlgItem(IDC_SET), enable);
    EnableWindow(GetDlgItem(IDC_CURRENT), enable);
}

void CMainDlg::AutoDetect() {
    const ModemSession::Run run(m_session);
    m_modemFound = false;
    m_trayState = kTrayDetecting;
    CModemListDlg::CloseStale();
    ShowTrayIcon(IDI_DETECTING, "Detecting Modem ...Please wait.");
    {
        CDetectDlg progress(m_hWnd, m_session);
        progress.DoModal();
    }
    m_modemFound = m_session.ModemCount() > 0;
    if (m_modemFound) {
        m_trayState = kTrayModemKnown;
        EnableModemButtons(true);
        ShowWindow(m_hWnd, SW_SHOW);
        WaitWithMessages(kSettleAfterShow);
        OnCurrent();
    } else {
        m_trayState = kTrayNoModem;
        ShowTrayIcon(IDI_NO_MODEM, "No Modem found");
        EnableModemButtons(false);
    }
    ShowWindow(m_hWnd, SW_SHOW);
}
