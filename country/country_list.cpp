#include "country/country_list.h"

#include "core/table_choice.h"
#include "framework/dpi_pictures.h"
#include "res/resource.h"
#include "win32/file_presence.h"
#include "win32/scoped_handle.h"

namespace {

const char kUnreadableTable[] = "The country table could not be read:\n";

// A file in the program's directory (shorter than MAX_PATH): the directory and the name.
struct PathInFolder {
    PathInFolder(const char* dir, const char* name) {
        lstrcpynA(text, dir, MAX_PATH);
        lstrcatA(text, name);
    }
    char text[MAX_PATH + sizeof kShippedTableFile];
};

}  // namespace

void CountryList::Load(HWND dialog, const char* dir) {
    m_dialog = dialog;
    const PathInFolder table(dir, kCountryTableFile), shipped(dir, kShippedTableFile);
    const char* path = ReadsShippedTable(!NothingAt(table.text), !NothingAt(shipped.text)) ? shipped.text : table.text;
    m_countryCount = LoadCountryFile(path, m_countries);
    if (m_countryCount < 0) {
        m_countryCount = 0;
        char message[sizeof kUnreadableTable + sizeof shipped.text];
        wsprintfA(message, "%s%s", kUnreadableTable, path);
        MessageBoxA(dialog, message, "Korvane", MB_OK | MB_ICONWARNING);
    }
    for (int i = 0; i < m_countryCount; ++i) Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_countries[i].name));
}

LRESULT CountryList::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendDlgItemMessageA(m_dialog, IDC_COUNTRY_LIST, message, wParam, lParam);
}

int CountryList::Selection() const {
    const LRESULT index = Send(CB_GETCURSEL, 0, 0);
    return index >= 0 && index < m_countryCount ? static_cast<int>(index) : -1;
}

void CountryList::SetFlag(HBITMAP flag) {
    const LRESULT previous =
        SendDlgItemMessageA(m_dialog, IDC_FLAG, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(flag));
    HGDIOBJ replaced = reinterpret_cast<HGDIOBJ>(previous);
    const ScopedGdiObject gone(replaced != flag ? replaced : nullptr);
}

void CountryList::Show(int index) {
    const CountryRecord& country = m_countries[index];
    SetDlgItemTextA(m_dialog, IDC_COUNTRY_NAME, country.name);
    SetFlag(LoadDpiBitmap(country.bitmap));
}

const char* CountryList::ShowQueried(int index) {
    if (index < 0) {
        Send(CB_SETCURSEL, 0, 0);
        return "Unknow Country";
    }
    Show(index);
    Send(CB_SETCURSEL, index, 0);
    return m_countries[index].name;
}
