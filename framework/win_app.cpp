#include "framework/win_app.h"

#include <commctrl.h>

CWinApp* CWinApp::s_app = nullptr;

CWinApp::CWinApp() { s_app = this; }

CWinApp::~CWinApp() {
    if (s_app == this) s_app = nullptr;
}

HINSTANCE AppInstance() { return GetModuleHandleA(nullptr); }

int RunApplication() {
    CWinApp* app = CWinApp::Get();
    if (!app) return 1;
    app->InitInstance();
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(); }
