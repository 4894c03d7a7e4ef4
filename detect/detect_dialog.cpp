#include "detect/detect_dialog.h"

#include <commctrl.h>

#include "core/line_size.h"
#include "detect/modem_list_dialog.h"
#include "res/resource.h"

namespace {
constexpr UINT_PTR kTimer = 0;
constexpr UINT kFirstTick = 1;  // ms
// The bar moves on by one step at each of the twelve probe steps (8 to 96),
// and stands at the end of its default range, 100, once the run is done.
constexpr int kProgressStep = 8;
constexpr int kProgressDone = 100;
}  // namespace

const MessageEntry<CDetectDlg> CDetectDlg::kMessageMap[] = {
    OnMessage(WM_TIMER, &CDetectDlg::OnTimer),
    OnControl(BN_CLICKED, IDC_DETECT_OK, &CDetectDlg::OnDetectOk),
    EndOfMessages<CDetectDlg>(),
};

CDetectDlg::CDetectDlg(HWND main, ModemSession& session)
    : CDialogImpl<CDetectDlg>(IDD_DETECT, main), m_main(main), m_session(session) {}

BOOL CDetectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_progress = kProgressStep;
    SetTimer(m_hWnd, kTimer, kFirstTick, nullptr);
    EnableWindow(GetDlgItem(IDC_DETECT_OK), FALSE);
    // Shown and painted now: the first tick may come before the dialog loop
    // would show it, and that tick blocks for the port's opening.
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    return TRUE;
}

void CDetectDlg::OnOK() {
    if (m_finished) CDialog::OnOK();
}

void CDetectDlg::OnCancel() {
    if (m_finished) CDialog::OnCancel();
}

void CDetectDlg::OnDetectOk() {
    Beep(0, 0);
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

LRESULT CDetectDlg::OnTimer(WPARAM, LPARAM) {
    KillTimer(m_hWnd, kTimer);
    m_session.DetectModems(
        [this](int port) { ShowStep("Detecting COM%d...Please wait...", port); },
        [this](int port, bool found) { ShowStep(found ? "Modem connected to COM%d" : "No modem on COM%d", port); });
    Finish();
    return 0;
}

void CDetectDlg::ShowStep(const char* format, int port) {
    char text[kLineSize];
    wsprintfA(text, format, port);
    ShowStep(text);
}

void CDetectDlg::ShowStep(const char* text) {
    SetDlgItemTextA(m_hWnd, IDC_DETECT_STATUS, text);
    SendDlgItemMessageA(m_hWnd, IDC_DETECT_PROGRESS, PBM_SETPOS, m_progress, 0);
    m_progress += kProgressStep;
}

void CDetectDlg::Finish() {
    m_progress = kProgressDone;
    EnableWindow(GetDlgItem(IDC_DETECT_OK), TRUE);
    Beep(0, 0);
    m_finished = true;
    // Delivered by the selection dialog's loop when there is one, so this
    // dialog vanishes while the user chooses.
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    if (m_session.ModemCount() > 1) {
        CModemListDlg list(nullptr, m_session);
        list.DoModal();
    }
    m_session.KeepSelectedModemInList();
    char text[kLineSize];
    if (m_session.ModemCount() == 0)
        lstrcpyA(text, "No Modem in your system!");
    else
        wsprintfA(text, "Modem connected to COM%d", m_session.ModemPort(m_session.SelectedModem()));
    SetDlgItemTextA(m_main, IDC_MODEM_STATUS, text);
    ShowStep(text);
}
