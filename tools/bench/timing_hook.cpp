// The benchmark's hook, loaded into korvane.exe on its UI thread: stamps the
// messages that mark the start and end of each measured step.
#include <windows.h>

#include "tools/bench/timing_shared.h"

namespace {

timing::Shared* g_shared = nullptr;
UINT g_queryMessage = 0;

timing::Shared* Shared() {
    if (g_shared) return g_shared;
    char name[64];
    timing::MappingName(GetCurrentProcessId(), name);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return nullptr;
    g_shared = static_cast<timing::Shared*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(timing::Shared)));
    CloseHandle(mapping);
    return g_shared;
}

void Log(timing::Shared& shared, const CWPSTRUCT& call, LONGLONG qpc) {
    const LONG index = shared.eventCount;
    if (index >= timing::kMaxEvents) return;
    timing::Event& event = shared.events[index];
    event.qpc = qpc;
    event.hwnd = HandleToULong(call.hwnd);
    HWND parent = GetParent(call.hwnd);
    event.parent = HandleToULong(parent);
    event.controlId = GetDlgCtrlID(call.hwnd);
    event.message = call.message;
    event.wParam = static_cast<DWORD>(call.wParam);
    event.text[0] = '\0';
    if (call.message == WM_SETTEXT) {
        if (call.lParam) lstrcpynA(event.text, reinterpret_cast<const char*>(call.lParam), timing::kTextSize);
    } else {
        // Read from the window manager: no message goes to the window.
        WCHAR title[timing::kTextSize];
        if (!InternalGetWindowText(call.hwnd, title, timing::kTextSize)) title[0] = L'\0';
        WideCharToMultiByte(CP_ACP, 0, title, -1, event.text, timing::kTextSize, nullptr, nullptr);
        event.text[timing::kTextSize - 1] = '\0';
    }
    GetClassNameA(call.hwnd, event.className, sizeof event.className);
    InterlockedExchange(&shared.eventCount, index + 1);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TimingCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const CWPSTRUCT& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (!g_queryMessage) g_queryMessage = RegisterWindowMessageA(timing::kQueryMessage);
        switch (call.message) {
        case WM_CREATE: {
            // A dialog's start (a message box's: the program's part of a setting ends there).
            char windowClass[8];
            if (GetClassNameA(call.hwnd, windowClass, sizeof windowClass) && !lstrcmpA(windowClass, "#32770"))
                if (timing::Shared* shared = Shared()) Log(*shared, call, now.QuadPart);
            break;
        }
        case WM_INITDIALOG:
        case WM_SHOWWINDOW:
        case WM_COMMAND:
        case WM_SETTEXT:
            if (timing::Shared* shared = Shared()) Log(*shared, call, now.QuadPart);
            break;
        default:
            if (call.message == g_queryMessage) {
                if (timing::Shared* shared = Shared()) {
                    HCURSOR cursor = GetCursor();
                    shared->cursorIsWait = cursor && cursor == LoadCursorA(nullptr, IDC_WAIT);
                    shared->answerQpc = now.QuadPart;
                    InterlockedExchange(&shared->answered, 1);
                }
            }
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
