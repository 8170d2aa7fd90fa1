// Figures of the map window with the stand-in browser control (bench/browser):
//   page load to its first frame in the window      (bound <= 500 ms)
//   CallDrawCurrent, synchronous into the page      (bound <= 10 ms, median)
//   a position change visible in the window         (bound <= 100 ms)
// and the time of a page request that loads nothing (the connection check).
// The map window loads the pages beside this program, as the viewer does.
//   browser_bench [--label TEXT] [--calls N] [--loads N] [--shot FILE.png]
#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "fw_ole.h"
#include "map_dlg.h"

using Microsoft::WRL::ComPtr;

namespace {

double NowMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

void PumpOnce() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Pumps messages until done() or ms have passed.
bool PumpUntil(const std::function<bool()>& done, double ms) {
    const double end = NowMs() + ms;
    for (;;) {
        PumpOnce();
        if (done()) return true;
        if (NowMs() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

// The pixels the window shows (its client area, top-down BGRA).
std::vector<uint32_t> Capture(HWND w, int& width, int& height) {
    RECT r;
    ::GetClientRect(w, &r);
    width = r.right;
    height = r.bottom;
    std::vector<uint32_t> px(size_t(width) * height);
    HDC dc = ::GetDC(w);
    HDC mem = ::CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp) {
        HGDIOBJ old = ::SelectObject(mem, bmp);
        ::BitBlt(mem, 0, 0, width, height, dc, 0, 0, SRCCOPY);
        ::GdiFlush();
        std::copy_n(static_cast<uint32_t*>(bits), px.size(), px.data());
        ::SelectObject(mem, old);
        ::DeleteObject(bmp);
    }
    ::DeleteDC(mem);
    ::ReleaseDC(w, dc);
    for (auto& p : px) p &= 0x00FFFFFF;
    return px;
}

std::vector<uint32_t> Capture(HWND w) {
    int width, height;
    return Capture(w, width, height);
}

bool SavePng(HWND w, const wchar_t* path) {
    int width, height;
    std::vector<uint32_t> px = Capture(w, width, height);
    for (auto& p : px) p |= 0xFF000000;
    ComPtr<IWICImagingFactory> wic;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic))))
        return false;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    return SUCCEEDED(wic->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path, GENERIC_WRITE)) &&
           SUCCEEDED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WritePixels(height, width * 4, UINT(px.size() * 4), reinterpret_cast<BYTE*>(px.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

long ReadyState(BBMapDlg& map) {
    IDispatch* d = map.m_Browser.GetControlDispatch();
    if (!d) return -1;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"ReadyState")};
    DISPID id;
    if (FAILED(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return -1;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    CVariant v;
    d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
    return v.vt == VT_I4 ? v.lVal : -1;
}

struct Stats {
    std::vector<double> v;
    void Add(double x) { v.push_back(x); }
    double At(double q) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
    }
};

const wchar_t* Verdict(double value, double bound) { return value <= bound ? L"ok" : L"OVER"; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CScopedOleInit ole;
    std::wstring label = L"pages beside the program", shot;
    int calls = 200, loads = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::wcscmp(argv[i], L"--label")) label = argv[i + 1];
        else if (!std::wcscmp(argv[i], L"--calls")) calls = std::max(1, _wtoi(argv[i + 1]));
        else if (!std::wcscmp(argv[i], L"--loads")) loads = std::max(1, _wtoi(argv[i + 1]));
        else if (!std::wcscmp(argv[i], L"--shot")) shot = argv[i + 1];
    }
    std::printf("map pages: %ls\n", label.c_str());

    CWnd top;
    HWND frame = ::CreateWindowExW(0, L"STATIC", L"browser bench", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 340,
                                   290, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    top.SubclassWindow(frame);

    // Creation (a new page in the browser) to the map page's first frame.
    double t0 = NowMs();
    BBMapDlg map;
    if (!map.Create(&top) || !map.m_Browser.HasControl()) {
        std::printf("no browser control\n");
        return 1;
    }
    map.MoveWindow(10, 10, 305, 253);
    map.ShowWindow(SW_SHOW);
    map.FitBrowser();
    HWND view = map.m_Browser.GetControlWindow();
    const std::vector<uint32_t> empty = Capture(view);
    if (!PumpUntil([&] { return ReadyState(map) == READYSTATE_COMPLETE && Capture(view) != empty; }, 10000)) {
        std::printf("the map page did not show within 10 s (is Chromium running?)\n");
        return 1;
    }
    std::printf("creation to the first frame of the map page: %.0f ms\n", NowMs() - t0);

    // Page load: from the request for the map page (the no-GPS page shown)
    // to the first frame of the loaded map page in the window.
    Stats load;
    int loadMisses = 0;
    for (int i = 0; i < loads; ++i) {
        map.LoadMapPage(BBMapDlg::kPageNoGpsData);
        PumpUntil([&] { return ReadyState(map) == READYSTATE_COMPLETE; }, 5000);
        PumpUntil([] { return false; }, 150);  // its frames shown
        const std::vector<uint32_t> before = Capture(view);
        const double start = NowMs();
        map.LoadMapPage(BBMapDlg::kPageMap);
        if (PumpUntil([&] { return ReadyState(map) == READYSTATE_COMPLETE && Capture(view) != before; }, 5000))
            load.Add(NowMs() - start);
        else ++loadMisses;
    }
    PumpUntil([] { return false; }, 300);
    const double loadMedian = load.At(0.5);
    std::printf("page load to first frame: median %.0f ms, max %.0f ms over %zu loads%s  (bound 500 ms: %ls)\n",
                loadMedian, load.At(1), load.v.size(), loadMisses ? " (some never showed)" : "",
                Verdict(loadMedian, 500));

    // The request every playback tick makes for the page already shown: the
    // connection check and nothing more.
    Stats again;
    for (int i = 0; i < 50; ++i) {
        const double start = NowMs();
        map.LoadMapPage(BBMapDlg::kPageMap);
        again.Add(NowMs() - start);
        PumpOnce();
    }
    std::printf("LoadMapPage of the page shown (the connection check): median %.2f ms, max %.2f ms\n", again.At(0.5),
                again.At(1));

    // The synchronous call into the page.
    Stats call;
    wchar_t lat[32], lng[32];
    for (int i = 0; i < calls; ++i) {
        swprintf(lat, 32, L"%f", 37.5665 + 0.0004 * (i % 50));
        swprintf(lng, 32, L"%f", 126.9780 + 0.0004 * (i % 50));
        const double start = NowMs();
        map.CallDrawCurrent(lat, lng);
        call.Add(NowMs() - start);
        PumpOnce();
    }
    const double callMedian = call.At(0.5);
    std::printf("CallDrawCurrent: median %.2f ms, 90%% %.2f ms, max %.2f ms over %d calls  (bound 10 ms: %ls)\n",
                callMedian, call.At(0.9), call.At(1), calls, Verdict(callMedian, 10));

    // A position change: from the call to the first frame in the window that
    // differs from the one shown before.
    Stats visible;
    int unseen = 0;
    for (int i = 0; i < 30; ++i) {
        PumpUntil([] { return false; }, 100);
        const std::vector<uint32_t> before = Capture(view);
        swprintf(lat, 32, L"%f", 37.5665 + 0.002 * (i % 2 ? 1 : -1));
        swprintf(lng, 32, L"%f", 126.9780 + 0.002 * (i % 2 ? 1 : -1));
        const double start = NowMs();
        map.CallDrawCurrent(lat, lng);
        if (PumpUntil([&] { return Capture(view) != before; }, 1000)) visible.Add(NowMs() - start);
        else ++unseen;
    }
    if (visible.v.empty()) {
        std::printf("position change visible: no change seen in the window (the page draws nothing for it)\n");
    } else {
        const double visibleMedian = visible.At(0.5);
        std::printf("position change visible: median %.0f ms, max %.0f ms over %zu calls%s  (bound 100 ms: %ls)\n",
                    visibleMedian, visible.At(1), visible.v.size(), unseen ? " (some changes not seen)" : "",
                    Verdict(visibleMedian, 100));
    }

    if (!shot.empty()) {
        PumpUntil([] { return false; }, 300);
        std::printf("window saved to %ls: %s\n", shot.c_str(), SavePng(view, shot.c_str()) ? "yes" : "failed");
    }
    map.DestroyWindow();
    top.UnsubclassWindow();
    ::DestroyWindow(frame);
    return 0;
}
