// The country setting: writes the selected country's code into the modem and
// waits for its "OK".
#include <windows.h>

#include "app/main_dialog.h"
#include "app/tray.h"
#include "country/selected_country.h"
#include "detect/modem_in_use.h"
#include "framework/wait_cursor.h"
#include "res/resource.h"

void CMainDlg::OnSet() {
    const LRESULT selection = SendDlgItemMessageA(m_hWnd, IDC_COUNTRY_LIST, CB_GETCURSEL, 0, 0);
    if (selection < 0 || selection >= m_countryCount) {
        MessageBoxA(m_hWnd, "Please select a country from the list first.", "Korvane", MB_OK | MB_ICONINFORMATION);
        return;
    }
    CWaitCursor wait;
    OpenPort(SelectedModemPort(), false);
    g_selectedCountry = static_cast<int>(selection);
    const bool success = m_link.WriteCountryCode(m_countries[g_selectedCountry].code);
    ClosePortAfterCommand();

    if (success) {
        MessageBoxA(m_hWnd, "Congratulations, country code set successfully.", "Congratulations", MB_OK);
        // A card removed while the box was open leaves the tray telling so.
        if (m_modemFound) ShowTrayIcon(IDR_MAINFRAME, m_countries[g_selectedCountry].name);
    } else {
        MessageBoxA(m_hWnd, "Error!  Country code setting failed!", "", MB_ICONEXCLAMATION);
    }
}
