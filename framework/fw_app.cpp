#include "fw_app.h"
#include <winsock2.h>

CWinApp* CWinApp::s_app = nullptr;

CWinApp::CWinApp() { s_app = this; }
CWinApp::~CWinApp() {
    if (s_app == this) s_app = nullptr;
}

HINSTANCE CWinApp::ResourceHandle() { return ::GetModuleHandleW(nullptr); }

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
    for (HWND w = msg->hwnd; w;) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(w)) {
            if (wnd->PreTranslateMessage(msg)) return TRUE;
        }
        if (!(::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD)) break;
        w = ::GetParent(w);
    }
    return FALSE;
}

bool CWinApp::PumpMessage() {
    MSG msg;
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
        // Leave WM_QUIT in the queue for any outer loop.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (!PreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

int CWinApp::Run() {
    if (!m_pMainWnd) return 0;
    MSG msg;
    while (m_pMainWnd && m_pMainWnd->GetSafeHwnd()) {
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) return static_cast<int>(msg.wParam);
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return 0;
}

bool AfxSocketInit() {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    static struct Cleanup {
        ~Cleanup() { ::WSACleanup(); }
    } cleanup;
    return true;
}

// The process entry of every program built on the framework.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CWinApp* app = CWinApp::Get();
    if (!app) return 1;
    if (!app->InitInstance()) return 0;
    return app->Run();
}
