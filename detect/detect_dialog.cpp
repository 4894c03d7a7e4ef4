#include "detect/detect_dialog.h"

#include <commctrl.h>

#include "app/main_dialog.h"
#include "core/line_size.h"
#include "core/modem_timing.h"
#include "detect/detected_modems.h"
#include "detect/modem_list_dialog.h"
#include "res/resource.h"

namespace {
constexpr UINT_PTR kTimer = 0;
constexpr UINT kFirstTick = 1;  // ms
// The check comes one probe window after the command; the timer runs on at
// that period, so the next port opens one window after the check.
constexpr UINT kProbeTick = static_cast<UINT>(kProgramPace.probeWindow.count());
}  // namespace

const MessageEntry<CDetectDlg> CDetectDlg::kMessageMap[] = {
    OnMessage(WM_TIMER, &CDetectDlg::OnTimer),
    OnControl(BN_CLICKED, IDC_DETECT_OK, &CDetectDlg::OnDetectOk),
    EndOfMessages<CDetectDlg>(),
};

CDetectDlg::CDetectDlg(CMainDlg* main) : CDialogImpl<CDetectDlg>(IDD_DETECT, main->GetSafeHwnd()), m_pMain(main) {}

BOOL CDetectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_pMain->ClosePort();
    m_openPhase = 1;
    g_probeIndex = 0;
    g_modemCount = 0;
    m_progress = 8;
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
    char text[kLineSize];
    if (m_openPhase == 1 && g_probeIndex < kProbePortCount)
        OpenNextPort(text);
    else if (m_openPhase == 0)
        CheckPort(text);
    else
        Finish(text);

    m_openPhase = 1 - m_openPhase;
    SetDlgItemTextA(m_hWnd, IDC_DETECT_STATUS, text);
    SendDlgItemMessageA(m_hWnd, IDC_DETECT_PROGRESS, PBM_SETPOS, m_progress, 0);
    m_progress += 8;
    return 0;
}

void CDetectDlg::OpenNextPort(char* text) {
    // The timer stops while the port opens, so the check comes a full probe
    // window after the command was written.
    KillTimer(m_hWnd, kTimer);
    const int port = g_probePorts[g_probeIndex];
    wsprintfA(text, "Detecting COM%d...Please wait...", port);
    m_pMain->OpenPort(port, true);
    SetTimer(m_hWnd, kTimer, kProbeTick, nullptr);
}

void CDetectDlg::CheckPort(char* text) {
    const int port = g_probePorts[g_probeIndex];
    if (m_pMain->CheckProbe()) {
        wsprintfA(text, "Modem connected to COM%d", port);
        g_modemPorts[g_modemCount++] = port;
    } else {
        wsprintfA(text, "No modem on COM%d", port);
    }
    ++g_probeIndex;
    m_pMain->ClosePort();
}

void CDetectDlg::Finish(char* text) {
    m_progress = 100;
    KillTimer(m_hWnd, kTimer);
    EnableWindow(GetDlgItem(IDC_DETECT_OK), TRUE);
    Beep(0, 0);
    m_finished = true;
    // Delivered by the selection dialog's loop when there is one, so this
    // dialog vanishes while the user chooses.
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    if (g_modemCount > 1) {
        CModemListDlg list(nullptr);
        list.DoModal();
    }
    KeepSelectedModemInList();
    if (g_modemCount == 0)
        lstrcpyA(text, "No Modem in your system!");
    else
        wsprintfA(text, "Modem connected to COM%d", g_modemPorts[g_selectedModem]);
    SetDlgItemTextA(m_pMain->GetSafeHwnd(), IDC_MODEM_STATUS, text);
}
