// Tells whether the platform's web browser control can render a page, which
// decides whether the stand-in is registered (scripts/browser). It prints the
// server registered for the control's class ("server: PATH") and, unless
// --server-only is given, loads a small page into the control and waits up
// to three seconds for its document ("renders: yes" / "renders: no").
// Exit code: 0 renders, 1 does not, 2 the control cannot be created.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "fw_ole.h"
#include "web_browser.h"

namespace {

std::wstring RegisteredServer() {
    wchar_t id[64], key[128], path[MAX_PATH] = {};
    ::StringFromGUID2(CWebBrowser2::kClassId, id, 64);
    swprintf(key, 128, L"CLSID\\%ls\\InprocServer32", id);
    DWORD bytes = sizeof path;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                       path, &bytes) != ERROR_SUCCESS)
        return L"";
    return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CScopedOleInit ole;
    std::wstring server = RegisteredServer();
    std::printf("server: %ls\n", server.c_str());
    if (argc > 1 && std::wcscmp(argv[1], L"--server-only") == 0) return 0;
    if (!ole.Succeeded()) return 2;

    wchar_t temp[MAX_PATH], page[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    swprintf(page, MAX_PATH, L"%lsbrowser_probe_%lu.htm", temp, ::GetCurrentProcessId());
    HANDLE f = ::CreateFileW(page, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    const char html[] = "<html><head><title>probe</title></head><body>probe</body></html>";
    DWORD written = 0;
    ::WriteFile(f, html, sizeof html - 1, &written, nullptr);
    ::CloseHandle(f);

    int result = 2;
    {
        CWnd top;
        HWND w = ::CreateWindowExW(0, L"STATIC", L"browser probe", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        top.SubclassWindow(w);
        CWebBrowser2 browser;
        if (w && browser.Create(&top, RECT{0, 0, 320, 240}, 1)) {
            browser.Navigate(page);
            result = 1;
            const DWORD start = ::GetTickCount();
            while (::GetTickCount() - start < 3000) {
                MSG msg;
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
                if (browser.GetDocument()) {
                    result = 0;
                    break;
                }
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            }
            browser.DestroyControl();
        }
        top.UnsubclassWindow();
        if (w) ::DestroyWindow(w);
    }
    ::DeleteFileW(page);
    if (result != 2) std::printf("renders: %s\n", result == 0 ? "yes" : "no");
    return result;
}
