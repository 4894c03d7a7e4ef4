// The main window: a modal dialog that holds all per-window state of the
// program and whose methods are the handlers and operations of every part.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>

#include "country/country_record.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/scoped_handle.h"
#include "link/port_reader.h"

// Tray notification message and icon identifier.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;
constexpr UINT TRAY_ICON_UID = 1008;

class CMainDlg : public CDialogImpl<CMainDlg> {
public:
    explicit CMainDlg(HWND parent = nullptr);
    ~CMainDlg() override;

    // Port connection. One at a time, on the UI thread; the teardowns may be
    // called with no port open.
    void OpenPort(int port, bool probe);
    void SendAt(const char* command);
    void ClosePort();              // after a detection probe: no pause
    void ClosePortAfterCommand();  // after a query or setting: 100 ms, then a beep
    void ReleasePortOnQuit();      // when the user quits: 100 ms, drop DTR, purge

    // The detection run, behind the progress dialog.
    void AutoDetect();
    // The current-country query (also the Current button's handler).
    void OnCurrent();

    // Adds, changes or removes the notification-area icon; destroys icon.
    BOOL NotifyTray(DWORD operation, UINT id, HICON icon, const char* tip);

    // Read by the reader thread, written by the UI thread: 1 tells the reader to end.
    std::atomic<int> m_stopReader{0};
    // UI thread only from here on.
    int m_countryCount = 0;
    int m_modemFound = 0;
    int m_busy = 0;
    // The current connection's record; the reader thread frees it when it ends.
    CPortReader* m_reader = nullptr;

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
    // Teardown steps shared by the three ways of ending a connection: the
    // stop request with the cleared event mask, then the end of the reader
    // and the closing of the port.
    void StopReader();
    void EndConnection();
    void StartReader(CPortReader* reader);
    void ShowModemStatus(int modemIndex);

    CMenu m_trayMenu;
    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    char m_appDir[MAX_PATH] = {};
    CountryRecord m_countries[kMaxCountries] = {};
    HICON m_hIcon = nullptr;

    // The reader thread of the current connection and the event that asks it
    // to stop, or none.
    ScopedHandle m_readerThread;
    ScopedHandle m_readerStop;
    // Set while a modal loop of ours runs that a detection run must not cut
    // across (the quit confirmation).
    bool m_confirmingQuit = false;
};
