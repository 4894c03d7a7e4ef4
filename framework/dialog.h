// Modal dialogs built from a template, with a typed message table.
//
// The dialog window is subclassed from the moment it is created (through a
// CBT hook), so the object sees every message, WM_NCCREATE included, and a
// handler can refuse creation. Messages that no table entry takes, and
// handlers that ask for it with Default(), get the dialog manager's default
// processing.
#pragma once
#include <windows.h>

class CDialog {
public:
    CDialog(UINT templateId, HWND parent);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog and runs its modal loop. Returns the value given to
    // EndDialog, or -1 when the window was not created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    // The framework's initialisation: the pictures of the template are
    // enlarged for the system's DPI. Returns TRUE: the default focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Every WM_COMMAND comes here first. Routes it through the message table;
    // IDOK and IDCANCEL without a table entry go to OnOK and OnCancel.
    // Returns TRUE when the command was handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Looks the message up in the derived class's table; true when a handler took it.
    virtual bool RouteMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

    // The default processing of the message now being handled.
    LRESULT Default();

    HWND m_hWnd = nullptr;

private:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Subclass(HWND hwnd);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    UINT m_templateId;
    HWND m_parent;
    WNDPROC m_defaultProc = nullptr;
    CurrentMessage m_current = {};
};

// One entry of a message table: a window message with its handler, or a
// WM_COMMAND notification code from one control (or a command id) with its handler.
template <class T>
struct MessageEntry {
    UINT message;
    UINT code;  // notification code, WM_COMMAND entries only
    UINT id;    // control or command id, WM_COMMAND entries only
    void (T::*command)();
    LRESULT (T::*handler)(WPARAM, LPARAM);
};

template <class T>
constexpr MessageEntry<T> OnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return {message, 0, 0, nullptr, handler};
}

template <class T>
constexpr MessageEntry<T> OnControl(UINT code, UINT id, void (T::*handler)()) {
    return {WM_COMMAND, code, id, handler, nullptr};
}

// Closes every table.
template <class T>
constexpr MessageEntry<T> EndOfMessages() {
    return {0, 0, 0, nullptr, nullptr};
}

// Base of a dialog class T with a table `static const MessageEntry<T> kMessageMap[]`
// that ends with EndOfMessages<T>().
template <class T>
class CDialogImpl : public CDialog {
public:
    using CDialog::CDialog;

protected:
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        T* self = static_cast<T*>(this);
        for (const MessageEntry<T>* next = T::kMessageMap; next->message; ++next) {
            const MessageEntry<T>& entry = *next;
            if (entry.message != message) continue;
            if (message == WM_COMMAND) {
                if (entry.code != HIWORD(wParam) || entry.id != LOWORD(wParam)) continue;
                (self->*entry.command)();
                result = 0;
                return true;
            }
            result = (self->*entry.handler)(wParam, lParam);
            return true;
        }
        return false;
    }
};
