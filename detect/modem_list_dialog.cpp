#include "detect/modem_list_dialog.h"

#include "core/line_size.h"
#include "detect/detected_modems.h"
#include "res/resource.h"

CModemListDlg* CModemListDlg::s_open = nullptr;

// No message table of its own: OK and Cancel are overridden.
CModemListDlg::CModemListDlg(HWND parent) : CDialog(IDD_MODEM_LIST, parent) {}

CModemListDlg::~CModemListDlg() {
    if (s_open == this) s_open = m_outer;
}

void CModemListDlg::CloseStale() {
    if (s_open && s_open->GetSafeHwnd()) s_open->OnCancel();
}

void CModemListDlg::OnCancel() {
    // Continue without a line stored -1; a dismissal keeps the modem in use
    // before, so the status line and the port the country operations open agree.
    g_selectedModem = m_previousSelection;
    CDialog::OnCancel();
}

BOOL CModemListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_outer = s_open;
    s_open = this;
    m_listVersion = g_modemListVersion;
    m_previousSelection = g_selectedModem;
    m_list = GetDlgItem(IDC_MODEM_LIST);
    for (int i = 0; i < g_modemCount; ++i) {
        char line[kLineSize];
        wsprintfA(line, "Modem connected to COM%d", g_modemPorts[i]);
        SendMessageA(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    return TRUE;
}

void CModemListDlg::OnOK() {
    if (m_listVersion != g_modemListVersion) {  // a run replaced the list meanwhile
        OnCancel();
        return;
    }
    g_selectedModem = static_cast<int>(SendMessageA(m_list, LB_GETCURSEL, 0, 0));
    if (g_selectedModem == LB_ERR) {
        MessageBoxA(m_hWnd, "Click to select the modem to be configured.", "Modem Selection", MB_OK);
        return;
    }
    CDialog::OnOK();
}
