#include "fw_dialog.h"
#include "fw_app.h"

INT_PTR CALLBACK CDialog::DialogProc(HWND w, UINT msg, WPARAM, LPARAM) {
    // All messages reach the object through its subclassed window procedure;
    // the dialog procedure only has to exist for the dialog manager.
    if (msg == WM_INITDIALOG) return TRUE;
    return FALSE;
}

HWND CDialog::CreateFromTemplate(HWND parent) {
    HINSTANCE inst = CWinApp::ResourceHandle();
    HRSRC res = ::FindResourceW(inst, MAKEINTRESOURCEW(m_templateId), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    if (!res) return nullptr;
    HGLOBAL data = ::LoadResource(inst, res);
    auto* tmpl = data ? static_cast<LPCDLGTEMPLATEW>(::LockResource(data)) : nullptr;
    if (!tmpl) return nullptr;
    BeginCreate(this);
    HWND w = ::CreateDialogIndirectParamW(inst, tmpl, parent, &CDialog::DialogProc, 0);
    EndCreate();
    if (!w && m_hWnd) UnsubclassWindow();
    return w;
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
    m_templateId = templateId;
    m_parent = parent;
    m_modal = false;
    return CreateFromTemplate(parent ? parent->GetSafeHwnd() : nullptr) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND parent = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    // The owner of a modal dialog is its parent's top-level window.
    if (parent) parent = ::GetAncestor(parent, GA_ROOT);
    m_modal = true;
    m_done = false;
    m_result = -1;
    bool parentWasEnabled = parent && ::IsWindowEnabled(parent);
    HWND w = CreateFromTemplate(parent);
    if (!w) {
        m_modal = false;
        return -1;
    }
    if (parentWasEnabled) ::EnableWindow(parent, FALSE);
    if (!m_done) {
        if (!(::GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE)) ::ShowWindow(w, SW_SHOWNORMAL);
        CWinApp* app = CWinApp::Get();
        while (!m_done) {
            if (app) {
                if (!app->PumpMessage()) break;
            } else {
                MSG msg;
                if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
                    ::PostQuitMessage(0);
                    break;
                }
                if (!::IsDialogMessageW(w, &msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
        }
    }
    if (parentWasEnabled) {
        ::EnableWindow(parent, TRUE);
        ::SetActiveWindow(parent);
    }
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    m_modal = false;
    return m_result;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_done = true;
    if (m_modal) {
        // Wake the modal loop.
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::OnInitDialog() {
    BindControls();
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || !m_hWnd) return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
    // A child dialog leaves its keys to the filter of the top-level window,
    // which sees the whole tree (and may keep some keys from everything in it).
    if (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) return FALSE;
    // Hosted controls on the way from the key's window up to the dialog take
    // their accelerators before the dialog manager does.
    for (HWND w = msg->hwnd; w && w != m_hWnd; w = ::GetParent(w)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(w)) {
            if (wnd->TranslateHostedAccelerator(msg)) return TRUE;
        }
    }
    return ::IsDialogMessageW(m_hWnd, msg);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) return OnInitDialog();
    LRESULT result = 0;
    if (DispatchToObjects(msg, wp, lp, result)) return result;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        // Commands of the dialog manager (Enter, Escape, the close message).
        if (LOWORD(wp) == IDOK) {
            OnOK();
            return 0;
        }
        if (LOWORD(wp) == IDCANCEL) {
            OnCancel();
            return 0;
        }
    }
    return DefWindowProc(msg, wp, lp);
}
