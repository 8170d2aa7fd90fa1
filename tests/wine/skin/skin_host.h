// A plain top-level window for the toolkit tests and the gallery: filled with
// a known colour, hands owner-draw and notification messages to its controls
// (through the framework), and records the private messages posted to it.
#pragma once
#include <windows.h>
#include <vector>
#include "fw_app.h"
#include "fw_wnd.h"

struct Posted {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

class SkinHost : public CWnd {
public:
    static constexpr COLORREF kBack = RGB(0, 128, 0);

    bool CreateHost(int x, int y, int w, int h, const wchar_t* title = L"skin host") {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ::DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = L"TessaroSkinHost";
            wc.style = CS_DBLCLKS;
            registered = ::RegisterClassW(&wc) != 0;
        }
        BeginCreate(this);
        HWND wnd = ::CreateWindowExW(0, L"TessaroSkinHost", title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, h,
                                     nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        EndCreate();
        return wnd != nullptr;
    }

    std::vector<Posted> posted;
    int clicks = 0;
    UINT lastClickId = 0;

    // Messages of the given number recorded so far.
    std::vector<Posted> Of(UINT msg) const {
        std::vector<Posted> r;
        for (const Posted& p : posted)
            if (p.msg == msg) r.push_back(p);
        return r;
    }

protected:
    void DeclareMessageMap(MessageMap& map) override {
        map.On(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) -> LRESULT {
            RECT r = GetClientRect();
            HBRUSH b = ::CreateSolidBrush(kBack);
            ::FillRect(reinterpret_cast<HDC>(wp), &r, b);
            ::DeleteObject(b);
            return TRUE;
        });
        for (UINT m : {0x28D1u, 0x28D2u, 0x0401u})
            map.On(m, [this, m](WPARAM wp, LPARAM lp) -> LRESULT {
                posted.push_back({m, wp, lp});
                return 0;
            });
        map.On(WM_COMMAND, [this](WPARAM wp, LPARAM) -> LRESULT {
            if (HIWORD(wp) == BN_CLICKED) {
                ++clicks;
                lastClickId = LOWORD(wp);
            }
            return 0;
        });
    }
};

// Runs the message loop for ms milliseconds.
inline void Pump(DWORD ms = 0) {
    DWORD end = ::GetTickCount() + ms;
    do {
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
        if (ms) ::Sleep(5);
    } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

// A child control window of a given class, created at a place.
inline HWND MakeChild(HWND parent, const wchar_t* cls, DWORD style, int x, int y, int w, int h, UINT id) {
    return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

// Pixel of a window's client area as the screen shows it.
inline COLORREF PixelOf(HWND w, int x, int y) {
    HDC dc = ::GetDC(w);
    COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(w, dc);
    return c;
}

// Pixels of a bitmap resource, top-down, as COLORREF values.
inline std::vector<COLORREF> ResourcePixels(UINT id, int& w, int& h) {
    std::vector<COLORREF> out;
    HBITMAP b = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    w = h = 0;
    if (!b) return out;
    BITMAP bm{};
    ::GetObjectW(b, sizeof bm, &bm);
    w = bm.bmWidth;
    h = bm.bmHeight;
    HDC mem = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(mem, b);
    out.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out[static_cast<size_t>(y) * w + x] = ::GetPixel(mem, x, y);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(b);
    return out;
}
