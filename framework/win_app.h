// The application object: one global instance whose InitInstance runs the program.
#pragma once
#include <windows.h>

class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; when it returns the process ends. FALSE means
    // "no message loop of the application's own".
    virtual BOOL InitInstance() = 0;

    static CWinApp* Get() { return s_app; }

    CDialog* m_pMainWnd = nullptr;

private:
    static CWinApp* s_app;
};

// Entry of the program: runs the application object's InitInstance.
int RunApplication();

// The module that holds the program's resources.
HINSTANCE AppInstance();
