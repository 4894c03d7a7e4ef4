// The modem selection dialog: one line per detected modem; Continue makes
// the chosen line the session's modem in use.
#pragma once
#include "framework/dialog.h"
#include "session/modem_session.h"

class CModemListDlg : public CDialog {
public:
    CModemListDlg(HWND parent, ModemSession& session);
    ~CModemListDlg() override;

    // Ends the open selection dialog, if any: its lines name an older list.
    static void CloseStale();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    // Ends the dialog with IDCANCEL, the modem in use as it was before.
    void OnCancel() override;

private:
    ModemSession& m_session;
    HWND m_list = nullptr;
    unsigned m_listVersion = 0;   // the list its lines were built from
    int m_previousSelection = 0;  // the modem in use when the dialog opened
    CModemListDlg* m_outer = nullptr;
    static CModemListDlg* s_open;
};
