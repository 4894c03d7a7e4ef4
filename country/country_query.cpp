// The current-country query: asks the modem for its country information and
// shows the first country of the table that the reply names.
#include <windows.h>

#include "app/main_dialog.h"
#include "app/tray.h"
#include "country/selected_country.h"
#include "detect/modem_in_use.h"
#include "framework/wait_cursor.h"
#include "res/resource.h"

void CMainDlg::OnCurrent() {
    CWaitCursor wait;
    OpenPort(SelectedModemPort(), false);
    const int index = m_link.AskCountry(m_countries, m_countryCount).country;
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
