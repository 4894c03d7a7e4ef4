#include "detect/detect_dialog.h"

#include <commctrl.h>

#include "core/line_size.h"
#include "core/modem_timing.h"
#include "detect/modem_list_dialog.h"
#include "res/resource.h"

namespace {
constexpr UINT_PTR kTimer = 0;
constexpr UINT kFirstTick = 1;  // ms
// The check comes one probe window after the command; the timer runs on at
// that period, so the next port opens one window after the check.
constexpr UINT kProbeTick = static_cast<UINT>(kProgramPace.probeWindow.count());
// The bar moves on by one step at each of the twelve probe ticks (8 to 96),
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
    m_session.ClosePort();
    m_openPhase = true;
    m_probeIndex = 0;
    m_session.ClearModems();
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
    char text[kLineSize];
    if (m_openPhase && m_probeIndex < kProbePortCount)
        OpenNextPort(text);
    else if (!m_openPhase)
        CheckPort(text);
    else
        Finish(text);

    m_openPhase = !m_openPhase;
    SetDlgItemTextA(m_hWnd, IDC_DETECT_STATUS, text);
    SendDlgItemMessageA(m_hWnd, IDC_DETECT_PROGRESS, PBM_SETPOS, m_progress, 0);
    m_progress += kProgressStep;
    return 0;
}

void CDetectDlg::OpenNextPort(char* text) {
    // The timer stops while the port opens, so the check comes a full probe
    // window after the command was written.
    KillTimer(m_hWnd, kTimer);
    const int port = kProbeOrder[m_probeIndex];
    wsprintfA(text, "Detecting COM%d...Please wait...", port);
    m_session.OpenProbe(port);
    SetTimer(m_hWnd, kTimer, kProbeTick, nullptr);
}

void CDetectDlg::CheckPort(char* text) {
    const int port = kProbeOrder[m_probeIndex];
    // The verdict is read before the port is released.
    if (m_session.CloseProbe(port))
        wsprintfA(text, "Modem connected to COM%d", port);
    else
        wsprintfA(text, "No modem on COM%d", port);
    ++m_probeIndex;
}

void CDetectDlg::Finish(char* text) {
    m_progress = kProgressDone;
    KillTimer(m_hWnd, kTimer);
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
    if (m_session.ModemCount() == 0)
        lstrcpyA(text, "No Modem in your system!");
    else
        wsprintfA(text, "Modem connected to COM%d", m_session.ModemPort(m_session.SelectedModem()));
    SetDlgItemTextA(m_main, IDC_MODEM_STATUS, text);
}
