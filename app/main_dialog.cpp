// The main window: construction, message table, creation check and initialisation.
#include "app/main_dialog.h"

#include "app/app_dir.h"
#include "core/line_size.h"
#include "framework/win_app.h"
#include "res/resource.h"

namespace {
// A window with this title means another configuration tool owns the modem.
const char kBlockingWindowTitle[] = "Vantoria Select";
}  // namespace

const MessageEntry<CMainDlg> CMainDlg::kMessageMap[] = {
    OnMessage(WM_SYSCOMMAND, &CMainDlg::OnSysCommand),
    OnControl(BN_CLICKED, IDC_SET, &CMainDlg::OnSet),
    OnControl(CBN_SELCHANGE, IDC_COUNTRY_LIST, &CMainDlg::OnSelchangeCountryList),
    OnMessage(WM_DESTROY, &CMainDlg::OnDestroy),
    OnControl(BN_CLICKED, IDC_CURRENT, &CMainDlg::OnCurrent),
    OnMessage(WM_DEVICECHANGE, &CMainDlg::OnDeviceChange),
    OnMessage(WM_TRAYNOTIFY, &CMainDlg::OnTrayNotify),
    OnMessage(WM_CLOSE, &CMainDlg::OnClose),
    OnMessage(WM_NCCREATE, &CMainDlg::OnNcCreate),
    OnControl(BN_CLICKED, IDC_OTHER_MODEM, &CMainDlg::OnOtherModem),
    OnControl(BN_CLICKED, IDC_QUIT, &CMainDlg::OnQuit),
    EndOfMessages<CMainDlg>(),
};

CMainDlg::CMainDlg(HWND parent)
    : CDialogImpl<CMainDlg>(IDD_MAIN, parent),
      m_hIcon(LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

// m_trayMenu destroys its menu if it still holds one; m_hIcon is shared.
CMainDlg::~CMainDlg() = default;

LRESULT CMainDlg::OnNcCreate(WPARAM, LPARAM) {
    ExeDirFromCommandLine(GetCommandLineA(), m_appDir, sizeof m_appDir);
    if (FindWindowA(nullptr, kBlockingWindowTitle)) return FALSE;
    return Default();
}

BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    char about[kLineSize];
    if (systemMenu && LoadStringA(AppInstance(), IDS_ABOUTBOX, about, sizeof about) > 0) {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_trayMenu.CreatePopupMenu();
    m_trayMenu.AppendMenu(MF_STRING, ID_TRAY_SHOW, "Show Configuration Window");
    m_trayMenu.AppendMenu(MF_STRING, ID_TRAY_AUTODETECT, "Auto Detect Modem");
    m_trayMenu.AppendMenu(MF_STRING, ID_TRAY_QUIT, "Quit");

    m_countries.Load(m_hWnd, m_appDir);
    NotifyTray(NIM_ADD, TRAY_ICON_UID, LoadTrayIcon(IDR_MAINFRAME), "");
    AutoDetect();
    return TRUE;
}
