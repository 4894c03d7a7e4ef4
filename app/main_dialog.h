// The main window: a modal dialog that holds all per-window state of the
// program and whose methods are the handlers and operations of every part.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>

#include "core/country_table.h"
#include "core/modem_link.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "link/port_connection.h"

// Tray notification message and icon identifier.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;
constexpr UINT TRAY_ICON_UID = 1008;

class CMainDlg : public CDialogImpl<CMainDlg> {
public:
    explicit CMainDlg(HWND parent = nullptr);
    ~CMainDlg() override;

    // Port connection (app/port_operations.cpp): the modem link's steps on
    // COM<port>. One at a time, on the UI thread; opening ends a connection
    // still open, and the teardowns may be called with no port open.
    void OpenPort(int port, bool probe);
    void SendAt(const char* command);
    void ClosePort();              // after a detection probe: no pause
    void ClosePortAfterCommand();  // after a query or setting: 100 ms, then a beep
    void ReleasePortOnQuit();      // when the user quits: 100 ms of messages, drop DTR, purge
    // The verdict of the probe on the port now open, read before its
    // teardown: true when its modem identified itself, which marks a modem found.
    bool CheckProbe();

    // The detection run, behind the progress dialog.
    void AutoDetect();
    // The current-country query (also the Current button's handler).
    void OnCurrent();

    // Adds, changes or removes the notification-area icon; destroys icon.
    BOOL NotifyTray(DWORD operation, UINT id, HICON icon, const char* tip);
    // Shows one of the program's icons, loaded afresh, with the tip.
    void ShowTrayIcon(int iconId, const char* tip);

    // Read by the reader thread, written by the UI thread: 1 tells the reader to end.
    std::atomic<int> m_stopReader{0};
    // UI thread only from here on.
    int m_countryCount = 0;
    int m_modemFound = 0;
    int m_busy = 0;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    friend class CDialogImpl<CMainDlg>;
    static const MessageEntry<CMainDlg> kMessageMap[];

    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    void OnSet();
    void OnSelchangeCountryList();
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcCreate(WPARAM wParam, LPARAM lParam);
    void OnOtherModem();
    void OnQuit();

    void LoadCountryTable();
    // Shows a record's name and flag; the flag the picture showed before is deleted.
    void ShowCountry(int index);
    void SetFlag(HBITMAP flag);
    void OnCardRemoved();
    void ShowModemStatus(int modemIndex);

    CMenu m_trayMenu;
    // The port connection: owns the open port's handle (none between
    // operations), its reader thread and the write in flight.
    PortConnection m_hComm{m_stopReader};
    // The modem's side of the connection: its steps, pauses and line matcher.
    ModemLink m_link{m_hComm};
    char m_appDir[MAX_PATH] = {};
    CountryRecord m_countries[kMaxCountries] = {};
    HICON m_hIcon = nullptr;

    // Set while the quit confirmation is open, so that another close request
    // does not open a second one.
    bool m_confirmingQuit = false;
};
