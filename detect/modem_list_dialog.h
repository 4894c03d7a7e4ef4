// The modem selection dialog: one line per detected modem; Continue stores
// the chosen line in g_selectedModem.
#pragma once
#include "framework/dialog.h"

class CModemListDlg : public CDialog {
public:
    explicit CModemListDlg(HWND parent);
    ~CModemListDlg() override;

    // Ends the open selection dialog, if any: its lines name an older list.
    static void CloseStale();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    // Ends the dialog with IDCANCEL, the modem in use as it was before.
    void OnCancel() override;

private:
    HWND m_list = nullptr;
    unsigned m_listVersion = 0;   // the list its lines were built from
    int m_previousSelection = 0;  // g_selectedModem when the dialog opened
    CModemListDlg* m_outer = nullptr;
    static CModemListDlg* s_open;
};
