// The application object: runs the main window as a modal dialog; when that
// ends, the process ends.
#include "app/main_dialog.h"
#include "framework/controls_3d.h"
#include "win32/dll_search.h"
#include "framework/win_app.h"

class CMainApp : public CWinApp {
public:
    BOOL InitInstance() override {
        LoadSystemDllsFromSystemFolderOnly();
        Enable3dControlsStatic();
        CMainDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

CMainApp theApp;
