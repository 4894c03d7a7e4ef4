// Memory shared between a test and the spy hook inside the program: the log
// of what the program showed, and one query slot for things only the
// program's own process can read (its bitmaps, cursor, objects and pixels).
#pragma once
#include <windows.h>

namespace spy {

constexpr int kMaxEvents = 16384;
constexpr int kTextSize = 128;

// The mapping's name for the program's process.
inline void MappingName(DWORD pid, char (&name)[64]) { wsprintfA(name, "KorvaneDriverSpy.%lu", pid); }

// The registered message a test sends to a window of the program's UI
// thread to have the hook answer the query slot.
constexpr char kQueryMessage[] = "KorvaneDriverSpyQuery";

// One text the program set in one of its own windows (WM_SETTEXT).
struct Event {
    DWORD parent;   // its parent, 0 for a top-level window
    int controlId;  // GetDlgCtrlID of the receiver
    char text[kTextSize];
};

enum QueryKind : LONG {
    kQueryBitmapBits = 1,  // HashBits of a bitmap's GetBitmapBits
    kQueryCursor = 2,      // the UI thread's current cursor
    kQueryGuiObjects = 3,  // the process's GDI and USER objects and C runtime heap bytes
    kQueryDrawnBox = 4,    // where a window's pixels differ from their background
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

// HashBits of a bitmap's GetBitmapBits, 0 when the handle is no bitmap. The
// bits go to the process heap: inside the program the C runtime's heap is
// what its busy bytes are measured by.
inline unsigned long long HashBitmap(HBITMAP bitmap) {
    BITMAP info = {};
    if (GetObjectA(bitmap, sizeof info, &info) != sizeof info || info.bmWidthBytes <= 0 || info.bmHeight <= 0)
        return 0;
    const LONG size = info.bmWidthBytes * info.bmHeight * info.bmPlanes;
    void* bits = HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(size));
    if (!bits) return 0;
    const unsigned long long hash = HashBits(bits, static_cast<unsigned>(GetBitmapBits(bitmap, size, bits)));
    HeapFree(GetProcessHeap(), 0, bits);
    return hash;
}

struct Query {
    LONG kind;
    DWORD handle;  // HBITMAP, or HWND (the drawn box)
    LONG answered;
    unsigned long long bitsHash;  // 0 when the handle was no bitmap
    LONG cursorIsWait;            // the cursor is the system's IDC_WAIT
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
