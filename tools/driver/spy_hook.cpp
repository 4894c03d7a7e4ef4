// The spy hook: a DLL that Windows loads into the program when the test
// hooks its UI thread. It logs the texts the program sets, and answers queries about the program's bitmaps, cursor, objects and
// pixels, which no other process can read.
#include <windows.h>
#include <malloc.h>

#include <algorithm>

#include "tools/driver/spy_shared.h"
#include "win32/scoped_handle.h"

namespace {

spy::Shared* g_shared = nullptr;
UINT g_queryMessage = 0;

spy::Shared* Shared() {
    if (g_shared) return g_shared;
    char name[64];
    spy::MappingName(GetCurrentProcessId(), name);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return nullptr;
    // The view stays for the life of the process; the mapping handle is not needed.
    g_shared = static_cast<spy::Shared*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(spy::Shared)));
    CloseHandle(mapping);
    return g_shared;
}

void Log(spy::Shared& shared, const CWPSTRUCT& call) {
    const LONG index = shared.eventCount;
    if (index >= spy::kMaxEvents) return;
    spy::Event& event = shared.events[index];
    event.parent = HandleToULong(GetParent(call.hwnd));
    event.controlId = GetDlgCtrlID(call.hwnd);
    event.text[0] = '\0';
    if (call.lParam) lstrcpynA(event.text, reinterpret_cast<const char*>(call.lParam), spy::kTextSize);
    // The reader sees the entry only once it is complete.
    InterlockedExchange(&shared.eventCount, index + 1);
}

// Handle values as the system hands them out: GDI objects by their index in
// the low word, USER objects from 0x20 in steps of two; a zero high word
// stands for any generation.
constexpr UINT kGdiHandleLimit = 0x10000;
constexpr UINT kFirstUserHandle = 0x20;
constexpr UINT kLastUserHandle = 0xFFEF;

using CursorFrameInfoProc = HCURSOR(WINAPI*)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<LONG*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<LONG*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

// The bytes in busy blocks of the C runtime's heap, where the program's own
// new and malloc allocate: exact to the byte, where the commit charge moves in
// steps of many pages. Wine's own allocations stay out of it (a serial wait on
// a pseudo-terminal leaves some 350 bytes in the process heap each time).
unsigned long long CrtHeapBytes() {
    const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    unsigned long long busy = 0;
    if (!heap || !HeapLock(heap)) return 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
    HeapUnlock(heap);
    return busy;
}

void CountGuiObjects(spy::Query& query) {
    for (LONG& count : query.gdiByType) count = 0;
    for (UINT index = 1; index < kGdiHandleLimit; ++index) {
        const DWORD type = GetObjectType(ULongToHandle(index));
        if (type > 0 && type < spy::kGdiTypes) ++query.gdiByType[type];
    }
    // Not in the headers: answers null for a handle that is no icon or cursor.
    static const auto frameInfo = reinterpret_cast<CursorFrameInfoProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetCursorFrameInfo")));
    query.menus = query.cursors = 0;
    for (UINT value = kFirstUserHandle; value <= kLastUserHandle; value += 2) {
        if (IsMenu(static_cast<HMENU>(ULongToHandle(value)))) ++query.menus;
        DWORD rate = 0, steps = 0;
        if (frameInfo && frameInfo(static_cast<HCURSOR>(ULongToHandle(value)), 0, 0, &rate, &steps))
            ++query.cursors;
    }
    query.windows = 0;
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&query.windows));
    query.heapBytes = CrtHeapBytes();
}

void FindDrawnBox(spy::Query& query) {
    const RECT area = query.box;
    query.box = {0, 0, 0, 0};
    const HWND target = static_cast<HWND>(ULongToHandle(query.handle));
    // The paints still pending first: a picture just set is drawn at the
    // next paint, which the query, a sent message, comes before.
    RedrawWindow(target, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const ScopedWindowDC window(target);
    const COLORREF background = GetPixel(window.Get(), area.left, area.top);
    RECT box = {area.right, area.bottom, area.left, area.top};
    for (LONG y = area.top; y < area.bottom; ++y)
        for (LONG x = area.left; x < area.right; ++x)
            if (GetPixel(window.Get(), x, y) != background)
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
    if (box.right > box.left) query.box = box;
}

void Answer(spy::Query& query) {
    switch (query.kind) {
    case spy::kQueryBitmapBits:
        query.bitsHash = spy::HashBitmap(static_cast<HBITMAP>(ULongToHandle(query.handle)));
        break;
    case spy::kQueryCursor: query.cursorIsWait = GetCursor() == LoadCursorA(nullptr, IDC_WAIT); break;
    case spy::kQueryGuiObjects: CountGuiObjects(query); break;
    case spy::kQueryDrawnBox: FindDrawnBox(query); break;
    default: break;
    }
    InterlockedExchange(&query.answered, 1);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SpyCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (!g_queryMessage) g_queryMessage = RegisterWindowMessageA(spy::kQueryMessage);
        if (call.message == WM_SETTEXT) {
            if (spy::Shared* shared = Shared()) Log(*shared, call);
        } else if (call.message == g_queryMessage) {
            if (spy::Shared* shared = Shared()) Answer(shared->query);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
