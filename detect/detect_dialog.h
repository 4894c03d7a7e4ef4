// The progress dialog of a detection run. Its timer drives the run: each
// port is opened in probe mode on one tick and checked on the next.
#pragma once
#include "framework/dialog.h"

class CMainDlg;

class CDetectDlg : public CDialogImpl<CDetectDlg> {
public:
    explicit CDetectDlg(CMainDlg* main);

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

    CMainDlg* m_pMain;
    int m_openPhase = 1;  // 1: the next tick opens a port; 0: it checks the one opened
    int m_progress = 8;   // the position the next tick shows
    bool m_finished = false;
};
