// Loading the country table, and showing a country's name and flag.
#include "app/main_dialog.h"
#include "country/selected_country.h"
#include "framework/scoped_handle.h"
#include "framework/win_app.h"
#include "res/resource.h"

int g_selectedCountry;

void CMainDlg::LoadCountryTable() {
    char path[MAX_PATH + sizeof kCountryTableFile];
    lstrcpynA(path, m_appDir, sizeof path);
    lstrcatA(path, kCountryTableFile);
    m_countryCount = LoadCountryFile(path, m_countries);
    if (m_countryCount < 0) {
        m_countryCount = 0;
        char message[sizeof path + 64];
        wsprintfA(message, "The country table could not be read:\n%s", path);
        MessageBoxA(m_hWnd, message, "Korvane", MB_OK | MB_ICONWARNING);
    }
}

void CMainDlg::SetFlag(HBITMAP flag) {
    const LRESULT previous =
        SendDlgItemMessageA(m_hWnd, IDC_FLAG, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(flag));
    HGDIOBJ replaced = reinterpret_cast<HGDIOBJ>(previous);
    const ScopedGdiObject gone(replaced != flag ? replaced : nullptr);
}

void CMainDlg::ShowCountry(int index) {
    const CountryRecord& country = m_countries[index];
    SetDlgItemTextA(m_hWnd, IDC_COUNTRY_NAME, country.name);
    SetFlag(LoadBitmapA(AppInstance(), country.bitmap));
}

void CMainDlg::OnSelchangeCountryList() {
    const LRESULT index = SendDlgItemMessageA(m_hWnd, IDC_COUNTRY_LIST, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= m_countryCount) return;  // nothing selected: show what was shown
    ShowCountry(static_cast<int>(index));
}
