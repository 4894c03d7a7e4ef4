// The main window: a modal dialog whose methods are the handlers of the
// window, its notification-area icon and the system's device events. It
// reaches the modem through its session and shows the countries through its
// country list; the detection dialogs are run from here.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "app/tray.h"
#include "country/country_list.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "session/modem_session.h"

// Tray notification message and icon identifier.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;
constexpr UINT TRAY_ICON_UID = 1008;

class CMainDlg : public CDialogImpl<CMainDlg> {
public:
    explicit CMainDlg(HWND parent = nullptr);
    ~CMainDlg() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    friend class CDialogImpl<CMainDlg>;
    static const MessageEntry<CMainDlg> kMessageMap[];

    // The detection run (app/auto_detect.cpp), behind the progress dialog.
    void AutoDetect();
    // The current-country query (also the Current button's handler) and the
    // country setting (app/country_commands.cpp).
    void OnCurrent();
    void OnSet();

    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    void OnSelchangeCountryList();
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcCreate(WPARAM wParam, LPARAM lParam);
    void OnOtherModem();
    void OnQuit();

    void OnCardRemoved();
    void ShowModemStatus(int modemIndex);
    void EnableModemButtons(bool enable);

    // Adds, changes or removes the notification-area icon; destroys icon.
    BOOL NotifyTray(DWORD operation, UINT id, HICON icon, const char* tip);
    // Shows one of the program's icons, loaded afresh, with the tip.
    void ShowTrayIcon(int iconId, const char* tip);

    // The modems, the modem in use and its one port connection.
    ModemSession m_session;
    // True when the last detection run found a modem and no card was removed since.
    bool m_modemFound = false;
    // What a left click on the tray icon does.
    TrayState m_trayState = kTrayNoModem;
    CMenu m_trayMenu;
    char m_appDir[MAX_PATH] = {};
    CountryList m_countries;
    HICON m_hIcon = nullptr;

    // Set while the quit confirmation is open, so that another close request
    // does not open a second one.
    bool m_confirmingQuit = false;
};
