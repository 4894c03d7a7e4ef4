// The country commands of the main window: a choice in the list shows the
// country, Current asks the modem for its country, Set writes the chosen one.
#include "app/main_dialog.h"
#include "framework/wait_cursor.h"
#include "res/resource.h"

void CMainDlg::OnSelchangeCountryList() {
    const int index = m_countries.Selection();
    if (index >= 0) m_countries.Show(index);  // nothing selected: show what was shown
}

void CMainDlg::OnCurrent() {
    CWaitCursor wait;
    // The window and the tray tell the answer while the port is still open.
    m_session.QueryCountry(m_countries.Records(), m_countries.Count(), [this](int country) {
        ShowTrayIcon(IDR_MAINFRAME, m_countries.ShowQueried(country));
    });
}

void CMainDlg::OnSet() {
    const int selection = m_countries.Selection();
    if (selection < 0) {
        MessageBoxA(m_hWnd, "Please select a country from the list first.", "Korvane", MB_OK | MB_ICONINFORMATION);
        return;
    }
    CWaitCursor wait;
    if (m_session.SetCountry(m_countries[selection])) {
        MessageBoxA(m_hWnd, "Congratulations, country code set successfully.", "Congratulations", MB_OK);
        // A card removed while the box was open leaves the tray telling so.
        if (m_modemFound) ShowTrayIcon(IDR_MAINFRAME, m_countries[selection].name);
    } else {
        MessageBoxA(m_hWnd, "Error!  Country code setting failed!", "", MB_ICONEXCLAMATION);
    }
}
