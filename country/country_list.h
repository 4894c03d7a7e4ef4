// The country table as the main window holds it, and the controls that show
// it: the list of names, the name text and the flag. List index i is table
// record i everywhere. UI thread only.
#pragma once
#include <windows.h>

#include "core/country_table.h"

class CountryList {
public:
    // Reads the table from dir (korvane.ini, else korvane-shipped.ini); a
    // table that cannot be read is told in a box owned by dialog, and leaves
    // the table empty. Then lists the names in dialog's country list.
    void Load(HWND dialog, const char* dir);

    const CountryRecord* Records() const { return m_countries; }
    int Count() const { return m_countryCount; }
    const CountryRecord& operator[](int index) const { return m_countries[index]; }

    // The list's selection: -1 when none, or none within the table.
    int Selection() const;
    // Shows a record's name and flag; the flag shown before is deleted.
    void Show(int index);
    // Shows what the current-country query recognised (-1: nothing) and
    // returns the tip that tells it: the country selected and shown, or the
    // first entry selected with the name and flag kept, and "Unknow Country".
    const char* ShowQueried(int index);

private:
    void SetFlag(HBITMAP flag);
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND m_dialog = nullptr;
    CountryRecord m_countries[kMaxCountries] = {};
    int m_countryCount = 0;
};
