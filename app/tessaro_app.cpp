#include "tessaro_app.h"
#include <commctrl.h>
#include <ole2.h>
#include "app_messages.h"
#include "resource.h"
#include "tessaro_dlg.h"

// The one application object of the process.
CTessaroApp theApp;

BOOL CTessaroApp::InitInstance() {
    // 1. The main window's class: the standard dialog class under our own name,
    //    so that a second instance can find the running window.
    WNDCLASSW wc{};
    if (!::GetClassInfoW(nullptr, MAKEINTRESOURCEW(0x8002) /* dialog class */, &wc)) return FALSE;
    wc.lpszClassName = kInstanceName;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    if (!::RegisterClassW(&wc)) return FALSE;

    // 2. Single-instance lock.
    m_instanceMutex = ::CreateMutexW(nullptr, FALSE, kInstanceName);
    if (!m_instanceMutex) return FALSE;

    // 3. Another viewer runs: bring it forward and end quietly.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND other = ::FindWindowW(kInstanceName, nullptr)) ::SetForegroundWindow(other);
        ::CloseHandle(m_instanceMutex);
        m_instanceMutex = nullptr;
        return TRUE;
    }

    // 4. Common controls, every class group.
    INITCOMMONCONTROLSEX icc{8, 0xFF};
    ::InitCommonControlsEx(&icc);

    // 5-7. Base initialisation, sockets, and the control container (COM in a
    //      single-threaded apartment) for the map's browser control.
    if (!CWinApp::InitInstance()) return FALSE;
    if (!AfxSocketInit()) {
        wchar_t text[256] = {};
        ::LoadStringW(ResourceHandle(), IDS_SOCKETS_FAILED, text, 256);
        ::MessageBoxW(nullptr, text, L"Tessaro", MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    m_ole = std::make_unique<CScopedOleInit>();

    // 8. A sibling viewer leaves its section behind.
    m_siblingSection =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024, kSiblingSectionName);
    if (m_siblingSection && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::MessageBoxW(nullptr, L"ORVEN 전용 Viewer 가 실행중입니다.", L"ORVEN", MB_OK);
        ::CloseHandle(m_siblingSection);
        m_siblingSection = nullptr;
        return FALSE;
    }

    // 9. The main window, run modally.
    {
        CTessaroDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

BOOL CTessaroApp::PreTranslateMessage(MSG* msg) {
    // Only keyboard messages carry a key code and a key-state word.
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return CWinApp::PreTranslateMessage(msg);
    const unsigned key = LOWORD(msg->wParam);
    const unsigned state = HIWORD(msg->lParam);
    if ((state & 0x2000) && key == VK_F4) return TRUE;  // Alt+F4 never closes the viewer
    if (state & 0x8000) {                               // key released
        HWND main = m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr;
        if (main && key == VK_ESCAPE) ::PostMessageW(main, WM_ESCAPE_RELEASED, 0, 0);
        else if (main && key == VK_SPACE) ::PostMessageW(main, WM_SPACE_RELEASED, 0, 0);
    }
    return CWinApp::PreTranslateMessage(msg);
}
