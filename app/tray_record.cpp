#include "app/tray_record.h"

#include "app/main_dialog.h"

void FillTrayRecord(NOTIFYICONDATAA& record, HWND owner, UINT id, HICON icon, const char* tip) {
    record = {};
    record.cbSize = kTrayRecordSize;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    lstrcpynA(record.szTip, tip ? tip : "", kTrayTipSize);
}
