// Owning wrappers for kernel handles, GDI objects, device contexts, icons and registry keys.
#pragma once
#include <windows.h>

#include <utility>

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE h) : m_h(h) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_h, nullptr));
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    void Reset(HANDLE h = nullptr) {
        if (IsValid()) CloseHandle(m_h);
        m_h = h;
    }
    HANDLE Get() const { return m_h; }
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h = nullptr;
};

// Deletes a GDI object (a bitmap handed back by a control, say) when it goes out of scope.
class ScopedGdiObject {
public:
    explicit ScopedGdiObject(HGDIOBJ obj) : m_obj(obj) {}
    ~ScopedGdiObject() {
        if (m_obj) DeleteObject(m_obj);
    }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

private:
    HGDIOBJ m_obj;
};

// A window's device context (the screen's for no window), released when it goes out of scope.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (m_dc) ReleaseDC(m_window, m_dc);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Destroys an icon when it goes out of scope.
class ScopedIcon {
public:
    explicit ScopedIcon(HICON icon) : m_icon(icon) {}
    ~ScopedIcon() {
        if (m_icon) DestroyIcon(m_icon);
    }
    ScopedIcon(const ScopedIcon&) = delete;
    ScopedIcon& operator=(const ScopedIcon&) = delete;
    HICON Get() const { return m_icon; }

private:
    HICON m_icon;
};

// Closes a registry key when it goes out of scope.
class ScopedRegistryKey {
public:
    explicit ScopedRegistryKey(HKEY key) : m_key(key) {}
    ~ScopedRegistryKey() {
        if (m_key) RegCloseKey(m_key);
    }
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key;
};
