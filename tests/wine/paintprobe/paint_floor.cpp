// paint_floor: what a full repaint costs the window system alone, for
// comparison with the main window's figure: a 1090 x 720 window with N plain
// child windows (each paint one solid fill), repainted whole (invalidate,
// erase, paint now) from an idle display, RUNS times.
//   paint_floor N RUNS   prints the median in ms
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
LRESULT CALLBACK PlainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(w, &ps);
        ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
        ::EndPaint(w, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;
    return ::DefWindowProcW(w, msg, wp, lp);
}

double NowMs() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Runs the message loop for ms, so that each repaint starts from an idle display.
void Idle(double ms) {
    const double end = NowMs() + ms;
    MSG msg;
    while (NowMs() < end) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(5);
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int children = argc > 1 ? std::atoi(argv[1]) : 45;
    const int runs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 30);
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"PaintFloorPlain";
    ::RegisterClassW(&wc);
    HWND top = ::CreateWindowExW(0, wc.lpszClassName, L"paint floor", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                                 1090, 720, nullptr, nullptr, nullptr, nullptr);
    if (!top) return 1;
    for (int i = 0; i < children; ++i)
        ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 20 + (i % 9) * 115,
                          20 + (i / 9) * 70, 100, 50, top, nullptr, nullptr, nullptr);
    Idle(1000);
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const double start = NowMs();
        ::RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        times.push_back(NowMs() - start);
        Idle(60);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.2f\n", times[times.size() / 2]);
    ::DestroyWindow(top);
    return 0;
}
