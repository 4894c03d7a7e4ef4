// The current-country query: asks the modem for its country information and
// shows the first country of the table that the reply names.
#include <windows.h>

#include "app/main_dialog.h"
#include "app/tray.h"
#include "country/country_match.h"
#include "detect/modem_in_use.h"
#include "framework/wait_cursor.h"
#include "link/at_command.h"
#include "link/reply_capture.h"
#include "res/resource.h"

void CMainDlg::OnCurrent() {
    CWaitCursor wait;
    OpenPort(SelectedModemPort(), false);
    ResetReply();
    SendAt(kCountryInfoCommand);
    Sleep(kCountryInfoWindow);
    // A copy: what arrives from here on takes no part in the match.
    char reply[80];
    TakeReply(reply);

    const int index = FindCountry(reply, m_countries, m_countryCount);
    const char* tip;
    if (index < 0) {
        SendDlgItemMessageA(m_hWnd, IDC_COUNTRY_LIST, CB_SETCURSEL, 0, 0);
        tip = "Unknow Country";
    } else {
        g_selectedCountry = index;
        ShowCountry(index);
        SendDlgItemMessageA(m_hWnd, IDC_COUNTRY_LIST, CB_SETCURSEL, index, 0);
        tip = m_countries[index].name;
    }
    ShowTrayIcon(IDR_MAINFRAME, tip);
    ClosePortAfterCommand();
}
