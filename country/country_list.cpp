// Loading the country table, and showing a country's name and flag.
#include "app/main_dialog.h"
#include "core/table_choice.h"
#include "country/selected_country.h"
#include "win32/file_presence.h"
#include "win32/scoped_handle.h"
#include "framework/win_app.h"
#include "res/resource.h"

int g_selectedCountry;

namespace {

// A file in the program's directory (shorter than MAX_PATH): the directory and the name.
struct PathInFolder {
    PathInFolder(const char* dir, const char* name) {
        lstrcpynA(text, dir, MAX_PATH);
        lstrcatA(text, name);
    }
    char text[MAX_PATH + sizeof kShippedTableFile];
};

}  // namespace

void CMainDlg::LoadCountryTable() {
    const PathInFolder table(m_appDir, kCountryTableFile), shipped(m_appDir, kShippedTableFile);
    const char* path = ReadsShippedTable(!NothingAt(table.text), !NothingAt(shipped.text)) ? shipped.text : table.text;
    m_countryCount = LoadCountryFile(path, m_countries);
    if (m_countryCount < 0) {
        m_countryCount = 0;
        char message[sizeof shipped.text + 64];
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
