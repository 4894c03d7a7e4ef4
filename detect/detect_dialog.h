// The progress dialog of a detection run. Its timer drives the run: each
// port is opened in probe mode on one tick and checked on the next.
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
    void OpenNextPort(char* text);
    void CheckPort(char* text);
    void Finish(char* text);

    HWND m_main;
    ModemSession& m_session;
    int m_probeIndex = 0;     // the port of kProbeOrder that the run works on
    bool m_openPhase = true;  // the next tick opens a port; false: it checks the one opened
    int m_progress = 0;       // the position the next tick shows
    bool m_finished = false;
};
