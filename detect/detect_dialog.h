// The progress dialog of a detection run. Its first timer tick runs the
// run: each port is opened in probe mode and, one probe window later,
// checked; the windows pass with the thread's messages dispatched, so the
// dialog stays alive between the ports' blocking opens.
#pragma once
#include "framework/dialog.h"
#include "session/modem_session.h"

class CDetectDlg : public CDialogImpl<CDetectDlg> {
public:
    // main: the main window, its owner, whose status line the run's end writes.
    CDetectDlg(HWND main, ModemSession& session);

protected:
    BOOL OnInitDialog() override;
    // Enter, Escape and the close box are refused until the run has finished,
    // so a run never ends with a port left open.
    void OnOK() override;
    void OnCancel() override;

private:
    friend class CDialogImpl<CDetectDlg>;
    static const MessageEntry<CDetectDlg> kMessageMap[];

    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    void OnDetectOk();
    // Shows a step's text, formatted with the port, and moves the bar on.
    void ShowStep(const char* format, int port);
    void ShowStep(const char* text);
    void Finish();

    HWND m_main;
    ModemSession& m_session;
    int m_progress = 0;  // the position the next step shows
    bool m_finished = false;
};
