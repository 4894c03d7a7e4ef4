#include "framework/dialog.h"

#include "framework/dpi_pictures.h"
#include "framework/win_app.h"

namespace {

// The dialog whose window this thread is about to create, and the hook that
// catches that creation. Only the creating thread touches them.
thread_local CDialog* t_creating = nullptr;
thread_local HHOOK t_hook = nullptr;

CDialog* FromWindow(HWND hwnd) { return reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

bool IsPicture(HWND control) {
    char className[16];
    return GetClassNameA(control, className, sizeof className) && lstrcmpiA(className, "Static") == 0 &&
           (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

// Hands each picture control of the dialog the bitmap that change makes of
// the one it shows (none: it keeps it), and deletes the one it showed: a
// picture control never deletes its bitmap, not even one it loaded from the
// template.
template <class Change>
void ReplacePictures(HWND dialog, Change change) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsPicture(child)) continue;
        const auto shown = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        if (!shown) continue;
        HBITMAP next = change(shown);
        if (next == shown) continue;
        SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(next));
        DeleteObject(shown);
    }
}

}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

BOOL CDialog::OnInitDialog() {
    ReplacePictures(m_hWnd, [](HBITMAP shown) {
        HBITMAP scaled = DpiCopy(shown);
        return scaled ? scaled : shown;
    });
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent;
    if (!owner) {
        // Like any dialog without a parent, it is owned by the main window.
        CWinApp* app = CWinApp::Get();
        CDialog* main = app ? app->m_pMainWnd : nullptr;
        if (main && main != this) owner = main->GetSafeHwnd();
    }
    t_creating = this;
    t_hook = SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
    INT_PTR result = DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(m_templateId), owner, DialogProc, 0);
    if (t_hook) {  // creation never got as far as the hook
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    t_creating = nullptr;
    m_hWnd = nullptr;
    return result;
}

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_creating) {
        CDialog* dialog = t_creating;
        t_creating = nullptr;
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
        dialog->Subclass(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CDialog::Subclass(HWND hwnd) {
    m_hWnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_defaultProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
}

LRESULT CALLBACK CDialog::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = FromWindow(hwnd);
    return dialog->WindowProc(message, wParam, lParam);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) result = Default();
    } else if (!RouteMessage(message, wParam, lParam, result)) {
        result = Default();
    }
    m_current = outer;
    // Taken out while the controls still exist, or every showing of a dialog
    // would leave its pictures behind.
    if (message == WM_DESTROY) ReplacePictures(m_hWnd, [](HBITMAP) -> HBITMAP { return nullptr; });
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_defaultProc));
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
    }
    return result;
}

LRESULT CDialog::Default() {
    return CallWindowProcA(m_defaultProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    LRESULT ignored;
    if (RouteMessage(WM_COMMAND, wParam, lParam, ignored)) return TRUE;
    if (HIWORD(wParam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
    // Everything but the initialisation reaches the object through the subclass.
    if (message != WM_INITDIALOG) return FALSE;
    CDialog* dialog = FromWindow(hwnd);
    return dialog ? dialog->OnInitDialog() : TRUE;
}
