// The country setting: writes the selected country's code into the modem and
// waits for its "OK".
#include <windows.h>

#include <ctime>

#include "app/main_dialog.h"
#include "app/tray.h"
#include "country/country_match.h"
#include "detect/modem_in_use.h"
#include "framework/wait_cursor.h"
#include "link/at_command.h"
#include "res/resource.h"

namespace {

bool Acknowledged(const CPortReader* reader) { return reader && reader->found.load() != 0; }

}  // namespace

void CMainDlg::OnSet() {
    const LRESULT selection = SendDlgItemMessageA(m_hWnd, IDC_COUNTRY_LIST, CB_GETCURSEL, 0, 0);
    if (selection < 0 || selection >= m_countryCount) {
        MessageBoxA(m_hWnd, "Please select a country from the list first.", "Korvane",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    CWaitCursor wait;
    OpenPort(SelectedModemPort(), false);
    g_selectedCountry = static_cast<int>(selection);
    char command[80];
    wsprintfA(command, "%s%s", kSetCountryCommand, m_countries[g_selectedCountry].code);
    if (m_reader) {
        m_reader->found = 0;
        // The modem's acknowledgement is a line of its own: noise holding "OK" is none.
        m_reader->SetPattern(0, "OK", true);
    }
    SendAt(command);

    // Busy-waits on the process clock; equal to the deadline is not yet late.
    const long deadline = static_cast<long>(std::clock()) + kSetCountryWindow;
    bool success = Acknowledged(m_reader);
    while (!success && static_cast<long>(std::clock()) <= deadline)
        success = Acknowledged(m_reader);
    ClosePortAfterCommand();

    if (success) {
        MessageBoxA(m_hWnd, "Congratulations, country code set successfully.", "Congratulations",
                    MB_OK);
        // A card removed while the box was open leaves the tray telling so.
        if (m_modemFound)
            ShowTrayIcon(IDR_MAINFRAME, m_countries[g_selectedCountry].name);
    } else {
        MessageBoxA(m_hWnd, "Error!  Country code setting failed!", "", MB_ICONEXCLAMATION);
    }
}
