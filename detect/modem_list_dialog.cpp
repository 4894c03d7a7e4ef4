#include "detect/modem_list_dialog.h"

#include "core/line_size.h"
#include "res/resource.h"

CModemListDlg* CModemListDlg::s_open = nullptr;

// No message table of its own: OK and Cancel are overridden.
CModemListDlg::CModemListDlg(HWND parent, ModemSession& session)
    : CDialog(IDD_MODEM_LIST, parent), m_session(session) {}

CModemListDlg::~CModemListDlg() {
    if (s_open == this) s_open = m_outer;
}

void CModemListDlg::CloseStale() {
    if (s_open && s_open->GetSafeHwnd()) s_open->OnCancel();
}

void CModemListDlg::OnCancel() {
    // Continue without a line stored -1; a dismissal keeps the modem in use
    // before, so the status line and the port the country operations open agree.
    m_session.SelectModem(m_previousSelection);
    CDialog::OnCancel();
}

BOOL CModemListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_outer = s_open;
    s_open = this;
    m_listVersion = m_session.ModemListVersion();
    m_previousSelection = m_session.SelectedModem();
    m_list = GetDlgItem(IDC_MODEM_LIST);
    for (int i = 0; i < m_session.ModemCount(); ++i) {
        char line[kLineSize];
        wsprintfA(line, "Modem connected to COM%d", m_session.ModemPort(i));
        SendMessageA(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    return TRUE;
}

void CModemListDlg::OnOK() {
    if (m_listVersion != m_session.ModemListVersion()) {  // a run replaced the list meanwhile
        OnCancel();
        return;
    }
    const int line = static_cast<int>(SendMessageA(m_list, LB_GETCURSEL, 0, 0));
    m_session.SelectModem(line);
    if (line == LB_ERR) {
        MessageBoxA(m_hWnd, "Click to select the modem to be configured.", "Modem Selection", MB_OK);
        return;
    }
    CDialog::OnOK();
}
