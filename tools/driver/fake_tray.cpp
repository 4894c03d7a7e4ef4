#include "tools/driver/fake_tray.h"

#include <cstring>

#include "tools/driver/spy_shared.h"
#include "win32/scoped_handle.h"
#include "tools/driver/window_input.h"

namespace drv {

namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";

// What Wine's shell32 sends: this record, then the icon's mask and colour bits.
struct NotifyData {
    LONG hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    UINT uTimeoutOrVersion;
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    UINT width;
    UINT height;
    UINT planes;
    UINT bpp;
};

constexpr int kTrayIconIds[] = {128, 189, 191};

// Bytes GetBitmapBits yields for a bitmap, rounded to whole words.
LONG BitsSize(const BITMAP& bitmap) {
    return (bitmap.bmPlanes * bitmap.bmWidth * bitmap.bmHeight * bitmap.bmBitsPixel + 15) / 16 * 2;
}

// The mask bits followed by the colour bits, extracted as shell32's
// Shell_NotifyIcon does (GetIconInfo + GetBitmapBits).
std::vector<unsigned char> IconBits(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return {};
    std::vector<unsigned char> bits;
    BITMAP mask = {}, colour = {};
    if (GetObjectW(info.hbmMask, sizeof mask, &mask) && info.hbmColor &&
        GetObjectW(info.hbmColor, sizeof colour, &colour)) {
        const LONG maskSize = BitsSize(mask), colourSize = BitsSize(colour);
        bits.resize(static_cast<size_t>(maskSize + colourSize));
        GetBitmapBits(info.hbmMask, maskSize, bits.data());
        GetBitmapBits(info.hbmColor, colourSize, bits.data() + maskSize);
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return bits;
}

}  // namespace

bool FakeTray::LearnIcons(const std::string& exePath, std::string* error) {
    HMODULE module = LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (int id : kTrayIconIds) {
        HICON icon =
            module ? static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)) : nullptr;
        const std::vector<unsigned char> bits = IconBits(icon);
        if (icon) DestroyIcon(icon);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!bits.empty()) icons_[spy::HashBits(bits.data(), static_cast<unsigned>(bits.size()))] = id;
    }
    if (module) FreeLibrary(module);
    if (icons_.size() == std::size(kTrayIconIds)) return true;
    *error = "the tray icons of " + exePath + " could not all be loaded";
    return false;
}

int FakeTray::IconOf(const TrayRecord& record) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto known = icons_.find(record.iconHash);
    return known == icons_.end() ? 0 : known->second;
}

FakeTray::~FakeTray() {
    if (thread_.joinable()) {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
}

bool FakeTray::Start(std::string* error) {
    ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread(&FakeTray::Run, this, ready.Get());
    if (WaitForSingleObject(ready.Get(), 5000) == WAIT_OBJECT_0 && window_) return true;
    *error = "the fake notification area window could not be created";
    return false;
}

void FakeTray::Run(HANDLE ready) {
    threadId_ = GetCurrentThreadId();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &FakeTray::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTrayClass;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTrayClass, L"", WS_POPUP | WS_VISIBLE, 0, 740,
                              200, 28, nullptr, nullptr, windowClass.hInstance, this);
    if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready);
    if (!window_) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(window_);
    UnregisterClassW(kTrayClass, windowClass.hInstance);
}

LRESULT CALLBACK FakeTray::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        auto* self = reinterpret_cast<FakeTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) self->Receive(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void FakeTray::Receive(HWND owner, const COPYDATASTRUCT& data) {
    if (data.cbData < sizeof(NotifyData)) return;
    NotifyData notify;
    std::memcpy(&notify, data.lpData, sizeof notify);
    TrayRecord record;
    record.operation = static_cast<DWORD>(data.dwData);
    record.owner = owner;
    record.id = notify.uID;
    record.callbackMessage = notify.uCallbackMessage;
    notify.szTip[127] = L'\0';
    record.tip = Narrow(notify.szTip);
    const DWORD iconBytes = data.cbData - static_cast<DWORD>(sizeof notify);
    if (iconBytes > 0)
        record.iconHash = spy::HashBits(static_cast<const unsigned char*>(data.lpData) + sizeof notify, iconBytes);
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
}

std::vector<TrayRecord> FakeTray::Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

void FakeTray::Notify(const TrayRecord& icon, UINT mouseMessage) {
    SendNotifyMessageW(icon.owner, icon.callbackMessage, icon.id, mouseMessage);
}

}  // namespace drv
