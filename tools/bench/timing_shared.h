// Memory shared between the benchmark and its timing hook inside korvane.exe:
// the messages the program's UI thread handled, stamped with the
// performance counter, and one query that is answered when the thread next
// handles sent messages.
#pragma once
#include <windows.h>

namespace timing {

constexpr int kMaxEvents = 4096;
constexpr int kTextSize = 64;

inline void MappingName(DWORD pid, char (&name)[64]) { wsprintfA(name, "KorvaneBenchTiming.%lu", pid); }

// Registered message the benchmark sends to a window of the UI thread.
constexpr char kQueryMessage[] = "KorvaneBenchTimingQuery";

struct Event {
    LONGLONG qpc;   // QueryPerformanceCounter when the window procedure was called
    DWORD hwnd;     // receiving window
    DWORD parent;   // its parent (owner for a top-level window), or 0
    int controlId;  // GetDlgCtrlID of the receiver
    UINT message;   // WM_INITDIALOG, WM_SHOWWINDOW, WM_COMMAND or WM_SETTEXT
    DWORD wParam;
    char text[kTextSize];  // WM_SETTEXT's text; the window's title otherwise
    char className[32];
};

struct Shared {
    volatile LONG eventCount;
    Event events[kMaxEvents];
    // The query: answered with the time and whether the wait cursor shows.
    volatile LONG answered;
    LONG cursorIsWait;
    LONGLONG answerQpc;
};

}  // namespace timing
