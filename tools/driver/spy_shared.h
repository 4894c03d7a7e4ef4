// Memory shared between a test and the spy hook inside the program: the log
// of what the program showed, and one query slot for things only the
// program's own process can read (its menus and bitmaps).
#pragma once
#include <windows.h>

namespace spy {

constexpr int kMaxEvents = 16384;
constexpr int kTextSize = 128;
constexpr int kMaxMenuItems = 32;

// The mapping's name for the program's process.
inline void MappingName(DWORD pid, char (&name)[64]) { wsprintfA(name, "KorvaneDriverSpy.%lu", pid); }

// The registered message a test sends to a window of the program's UI
// thread to have the hook answer the query slot.
constexpr char kQueryMessage[] = "KorvaneDriverSpyQuery";

// One message the program sent to one of its own windows.
struct Event {
    DWORD parent;   // its parent, 0 for a top-level window
    int controlId;  // GetDlgCtrlID of the receiver
    UINT message;   // WM_SETTEXT or PBM_SETPOS
    DWORD wParam;
    char text[kTextSize];  // WM_SETTEXT's text
};

enum QueryKind : LONG {
    kQueryMenu = 1,
    kQuerySystemMenu = 2,
    kQueryBitmapBits = 3,  // HashBits of a bitmap's GetBitmapBits
    kQueryCursor = 4,      // the UI thread's current cursor
    kQuerySystemIcon = 5,  // which system icon (IDI_*) a handle is
    kQueryGuiObjects = 6,  // the process's GDI and USER objects and C runtime heap bytes
    kQueryDrawnBox = 7,    // where a window's pixels differ from their background
};

// GetObjectType's values run from OBJ_PEN (1) to OBJ_COLORSPACE (14).
constexpr int kGdiTypes = 15;

// FNV-1a over a byte range: the same on both sides of the mapping.
inline unsigned long long HashBits(const void* data, unsigned size) {
    unsigned long long hash = 1469598103934665603ull;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (unsigned i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

struct MenuItem {
    UINT id;
    UINT type;  // MFT_* of the item
    char text[kTextSize];
};

struct Query {
    LONG kind;
    DWORD handle;  // HMENU, HWND (system menu) or HBITMAP
    LONG answered;
    LONG count;  // menu items, or -1 when the handle was no menu
    MenuItem items[kMaxMenuItems];
    unsigned long long bitsHash;  // 0 when the handle was no bitmap
    LONG cursorIsWait;            // the cursor is the system's IDC_WAIT
    LONG systemIcon;              // 32513..32517 (IDI_HAND..IDI_WINLOGO), or 0
    // GDI objects by GetObjectType, and the process's USER objects: windows
    // (top-level and child), menus, icons and cursors.
    LONG gdiByType[kGdiTypes];
    LONG windows, menus, cursors;
    // The bytes in busy blocks of the C runtime's heap.
    unsigned long long heapBytes;
    // In: an area of the window's client (handle); out: the box of the
    // pixels in it that differ from its top-left pixel, empty when none do.
    RECT box;
};

struct Shared {
    volatile LONG eventCount;
    Event events[kMaxEvents];
    Query query;
};

}  // namespace spy
