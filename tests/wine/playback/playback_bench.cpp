// Timing program of bench/playback: gives the viewer real input and times
// what appears on the screen, reading the frame code burnt into the picture
// of the viewer's channel surfaces (two screen rows per look, so that a look
// costs little next to the frame interval).
//
//   playback_bench first-frame SURFACES MAXFRAME (dblclick|click) X Y [TIMEOUT_MS]
//       SURFACES: window handles, comma separated (0x hex or decimal). Gives
//       a double click (the second press is time 0) or a click at screen
//       point X,Y, then waits until one of the surfaces is visible and shows
//       a frame code whose frame is at most MAXFRAME; prints the time in ms.
//   playback_bench advance SURFACES LASTFRAME [TIMEOUT_MS]
//       Watches the surfaces while a recording plays to its end: from the
//       moment the highest frame (at least LASTFRAME) first shows, to the
//       first frame of the next recording (a frame code at most 30 after
//       it); prints that time in ms and the highest frame seen.
// Exit status 0 with the figure, 1 on time-out, 2 on bad arguments.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "framecode.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::vector<HWND> ParseHandles(const wchar_t* text) {
    std::vector<HWND> out;
    std::wstring s(text);
    size_t at = 0;
    while (at <= s.size()) {
        size_t comma = s.find(L',', at);
        std::wstring one = s.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        if (!one.empty())
            out.push_back(reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoull(one.c_str(), nullptr, 0))));
        if (comma == std::wstring::npos) break;
        at = comma + 1;
    }
    return out;
}

// The frame code a surface shows on the screen: its two strip rows only.
class SurfaceReader {
public:
    SurfaceReader() : m_screen(GetDC(nullptr)), m_mem(CreateCompatibleDC(m_screen)) {}
    ~SurfaceReader() {
        if (m_dib) DeleteObject(m_dib);
        DeleteDC(m_mem);
        ReleaseDC(nullptr, m_screen);
    }

    bool Read(HWND h, krv::FrameCode& code) {
        if (!IsWindowVisible(h)) return false;
        RECT r;
        if (!GetClientRect(h, &r)) return false;
        POINT origin{0, 0};
        ClientToScreen(h, &origin);
        const int w = r.right, ht = r.bottom;
        if (w < krv::kCodeCells || ht < 12) return false;
        if (!Fit(w, ht)) return false;
        const int strip = ht / 12 > 0 ? ht / 12 : 1;
        for (int y : {strip / 2, ht - 1 - strip / 2})
            BitBlt(m_mem, 0, y, w, 1, m_screen, origin.x, origin.y + y, SRCCOPY);
        GdiFlush();
        return krv::readFrameCode(static_cast<const uint8_t*>(m_bits), w, ht, w * 4, 4, code);
    }

private:
    bool Fit(int w, int h) {
        if (m_dib && w == m_w && h == m_h) return true;
        if (m_dib) {
            SelectObject(m_mem, m_old);
            DeleteObject(m_dib);
            m_dib = nullptr;
        }
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dib = CreateDIBSection(m_screen, &bi, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (!m_dib) return false;
        m_old = SelectObject(m_mem, m_dib);
        m_w = w;
        m_h = h;
        return true;
    }

    HDC m_screen, m_mem;
    HBITMAP m_dib = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
    int m_w = 0, m_h = 0;
};

void Press(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
}

// Waits between looks: short enough for a frame of 33 ms, long enough to
// leave the viewer the processor.
constexpr DWORD kLookMs = 4;

int FirstFrame(const std::vector<HWND>& surfaces, uint32_t maxFrame, bool dbl, int x, int y, double timeoutMs) {
    SurfaceReader reader;
    SetCursorPos(x, y);
    Sleep(50);
    if (dbl) {
        Press(true);
        Press(false);
        Sleep(40);
    }
    const Clock::time_point t0 = Clock::now();
    Press(true);
    Press(false);
    while (MsSince(t0) < timeoutMs) {
        for (HWND h : surfaces) {
            krv::FrameCode code;
            if (reader.Read(h, code) && code.frame <= maxFrame) {
                std::printf("%.1f\n", MsSince(t0));
                return 0;
            }
        }
        Sleep(kLookMs);
    }
    std::fprintf(stderr, "playback_bench: no frame at or below %u within %.0f ms\n", maxFrame, timeoutMs);
    return 1;
}

int Advance(const std::vector<HWND>& surfaces, uint32_t lastFrame, double timeoutMs) {
    SurfaceReader reader;
    const Clock::time_point t0 = Clock::now();
    uint32_t highest = 0;
    Clock::time_point highestAt = t0;
    while (MsSince(t0) < timeoutMs) {
        for (HWND h : surfaces) {
            krv::FrameCode code;
            if (!reader.Read(h, code)) continue;
            if (code.frame > highest) {
                highest = code.frame;
                highestAt = Clock::now();
            } else if (highest >= lastFrame && code.frame <= 30) {
                const double gap = std::chrono::duration<double, std::milli>(Clock::now() - highestAt).count();
                std::printf("%.1f %u\n", gap, highest);
                return 0;
            }
        }
        Sleep(kLookMs);
    }
    std::fprintf(stderr, "playback_bench: no advance seen (highest frame %u) within %.0f ms\n", highest, timeoutMs);
    return 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: playback_bench first-frame SURFACES MAXFRAME dblclick|click X Y [TIMEOUT_MS]\n"
                 "       playback_bench advance SURFACES LASTFRAME [TIMEOUT_MS]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 7 && !wcscmp(argv[1], L"first-frame")) {
        const bool dbl = !wcscmp(argv[4], L"dblclick");
        if (!dbl && wcscmp(argv[4], L"click")) return Usage();
        const double timeout = argc >= 8 ? _wtof(argv[7]) : 10000;
        return FirstFrame(ParseHandles(argv[2]), static_cast<uint32_t>(_wtoi(argv[3])), dbl, _wtoi(argv[5]),
                          _wtoi(argv[6]), timeout);
    }
    if (argc >= 4 && !wcscmp(argv[1], L"advance")) {
        const double timeout = argc >= 5 ? _wtof(argv[4]) : 90000;
        return Advance(ParseHandles(argv[2]), static_cast<uint32_t>(_wtoi(argv[3])), timeout);
    }
    return Usage();
}
