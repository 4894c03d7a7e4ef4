// A detection run: probes the six ports behind the progress dialog, then
// settles the buttons, the tray icon and the current country.
#include "app/main_dialog.h"
#include "app/tray.h"
#include "detect/detect_dialog.h"
#include "detect/detected_modems.h"
#include "detect/modem_list_dialog.h"
#include "framework/message_wait.h"
#include "res/resource.h"

namespace {
constexpr int kSettleAfterShow = 50;  // ms for the main window to paint before the query
}

void CMainDlg::AutoDetect() {
    m_busy = 1;
    m_modemFound = 0;
    g_trayState = kTrayDetecting;
    ++g_modemListVersion;
    CModemListDlg::CloseStale();
    ShowTrayIcon(IDI_DETECTING, "Detecting Modem ...Please wait.");
    {
        CDetectDlg progress(this);
        progress.DoModal();
    }
    if (m_modemFound == 1) {
        g_trayState = kTrayModemKnown;
        EnableWindow(GetDlgItem(IDC_SET), TRUE);
        EnableWindow(GetDlgItem(IDC_CURRENT), TRUE);
        ShowWindow(m_hWnd, SW_SHOW);
        WaitWithMessages(kSettleAfterShow);
        OnCurrent();
    } else {
        g_trayState = kTrayNoModem;
        ShowTrayIcon(IDI_NO_MODEM, "No Modem found");
        EnableWindow(GetDlgItem(IDC_SET), FALSE);
        EnableWindow(GetDlgItem(IDC_CURRENT), FALSE);
    }
    ShowWindow(m_hWnd, SW_SHOW);
    m_busy = 0;
}
