// Test host of the export subsystem: runs Print, Save, the folder chooser and
// the information dialog without the main window, under a plain owner window,
// and records what the dialogs do (from a message hook on its own thread) so
// that the test scripts, which drive the dialogs with real messages, can check
// it.
//
//   export_host print CHANNELS NAME SPEED LAT LNG [--grab fake|none] [--repeat N]
//   export_host choose TITLE
//   export_host save LIBDIR LETTER [NAME...]     (no NAME: nothing ticked)
//   export_host info DRIVEPATH                    ("" for no drive)
//   export_host shell VERB PATH                   ShellExecuteW, prints its result
//   export_host idle-ping SECONDS                 the --ping probe on the idle owner window
// Options (before the command):
//   --log FILE  event lines "MS EVENT ARGS" (ms since start): desktop PATH,
//               dialog KIND HWND (progress, notify, info, other), tree-select
//               TEXT (the chooser's selection), range ID LO HI, pos ID N,
//               label TEXT, draw ID TEXT, slow-answer MS
//   --ping      (save) how quickly the progress dialog answers and repaints
//               while the worker converts
// Results on stdout: "result 0|1", "folder PATH" (choose), "shell-result N",
// "convert ms MS" (save: first to last progress update), "ping max MS" and
// "erase-gap max MS" (--ping: the longest answer and the longest time between
// paints in that interval).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "control_ids.h"
#include "drive_probe.h"
#include "folder_chooser.h"
#include "form_progress.h"
#include "fw_app.h"
#include "image.h"
#include "information.h"
#include "krv_library.h"
#include "print_report.h"

namespace {

class HostApp : public CWinApp {};
HostApp g_app;

std::FILE* g_log = nullptr;
LARGE_INTEGER g_freq, g_start;
HHOOK g_hook = nullptr;

double NowMs() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart - g_start.QuadPart) * 1000.0 / double(g_freq.QuadPart);
}

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string Escape(const std::wstring& w) {
    std::string s, u = Utf8(w);
    for (char c : u) {
        if (c == '\n') s += "\\n";
        else if (c == '\r') s += "\\r";
        else if (c == '\\') s += "\\\\";
        else s += c;
    }
    return s;
}

// Lines are written by a thread of their own: a window thread that wrote to
// a file itself could be held up by the disk (the kernel pauses writers while
// an export fills the page cache), which the measurements would then count.
std::mutex g_logLock;
std::condition_variable g_logReady;
std::deque<std::string> g_logLines;
bool g_logEnd = false;
std::thread g_logWriter;

void StartLog() {
    g_logWriter = std::thread([] {
        std::unique_lock<std::mutex> lock(g_logLock);
        for (;;) {
            g_logReady.wait(lock, [] { return g_logEnd || !g_logLines.empty(); });
            while (!g_logLines.empty()) {
                std::string line = std::move(g_logLines.front());
                g_logLines.pop_front();
                lock.unlock();
                std::fputs(line.c_str(), g_log);
                std::fflush(g_log);
                lock.lock();
            }
            if (g_logEnd) return;
        }
    });
}

void EndLog() {
    if (!g_logWriter.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        g_logEnd = true;
    }
    g_logReady.notify_all();
    g_logWriter.join();
}

void Log(const char* fmt, ...) {
    if (!g_log) return;
    char line[2048];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    char stamped[2100];
    std::snprintf(stamped, sizeof stamped, "%.1f %s\n", NowMs(), line);
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        g_logLines.emplace_back(stamped);
    }
    g_logReady.notify_one();
}

std::wstring TextOf(HWND w) {
    wchar_t buf[512] = L"";
    ::GetWindowTextW(w, buf, 512);
    return buf;
}

// The progress dialog, once it exists, and the times its background was
// erased (window thread only).
std::atomic<HWND> g_progress{nullptr};
std::vector<double> g_erases;
double g_firstPos = -1, g_lastPos = -1;

LRESULT CALLBACK CallWndProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        const int id = ::GetDlgCtrlID(m->hwnd);
        switch (m->message) {
            case WM_INITDIALOG: {
                const char* kind = "other";
                if (::GetDlgItem(m->hwnd, IDC_PROGRESS_STEP) && ::GetDlgItem(m->hwnd, IDC_PROGRESS_LABEL)) {
                    kind = "progress";
                    g_progress = m->hwnd;
                } else if (::GetDlgItem(m->hwnd, IDC_NOTIFY_MESSAGE)) {
                    kind = "notify";
                } else if (::GetDlgItem(m->hwnd, IDC_INFO_FIRMWARE)) {
                    kind = "info";
                }
                Log("dialog %s 0x%llx", kind, static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m->hwnd)));
                break;
            }
            case PBM_SETPOS:
                Log("pos %d %d", id, int(m->wParam));
                if (id == IDC_PROGRESS_ALL) {
                    if (g_firstPos < 0) g_firstPos = NowMs();
                    g_lastPos = NowMs();
                }
                break;
            case PBM_SETRANGE32: Log("range %d %d %d", id, int(m->wParam), int(m->lParam)); break;
            case WM_SETTEXT:
                if (id == IDC_PROGRESS_LABEL)
                    Log("label %s", Escape(reinterpret_cast<const wchar_t*>(m->lParam)).c_str());
                break;
            case WM_DRAWITEM: {
                const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(m->lParam);
                if (di && di->CtlType == ODT_STATIC)
                    Log("draw %d %s", int(di->CtlID), Escape(TextOf(di->hwndItem)).c_str());
                break;
            }
            case WM_SIZE:
                if (!(::GetWindowLongW(m->hwnd, GWL_STYLE) & WS_CHILD))
                    Log("size %d %d", int(LOWORD(m->lParam)), int(HIWORD(m->lParam)));
                break;
            case WM_NOTIFY: {
                const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(m->lParam);
                if (nm && nm->hdr.code == TVN_SELCHANGEDW) {
                    wchar_t text[MAX_PATH] = L"";
                    TVITEMW item{};
                    item.mask = TVIF_TEXT;
                    item.hItem = nm->itemNew.hItem;
                    item.pszText = text;
                    item.cchTextMax = MAX_PATH;
                    ::SendMessageW(nm->hdr.hwndFrom, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                    Log("tree-select %s", Escape(text).c_str());
                }
                break;
            }
            case WM_ERASEBKGND:
                if (m->hwnd == g_progress.load()) g_erases.push_back(NowMs());
                break;
        }
    }
    return ::CallNextHookEx(g_hook, code, wp, lp);
}

class Owner : public CWnd {
public:
    bool Create() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"TessaroExportHost";
        ::RegisterClassW(&wc);
        BeginCreate(this);
        HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"export host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640,
                                   480, nullptr, nullptr, wc.hInstance, nullptr);
        EndCreate();
        return w != nullptr;
    }
};

// A picture of known colours for channel k: a solid field with a white bar
// across the middle (so that a scaled copy can be found and measured).
const COLORREF kChannelColour[2] = {RGB(220, 40, 40), RGB(40, 70, 220)};

bool FakeGrab(int channel, CImage& image) {
    if (channel < 0 || channel > 1 || !image.Create(640, 360, 32)) return false;
    HDC dc = image.GetDC();
    RECT all{0, 0, 640, 360}, bar{0, 170, 640, 190};
    HBRUSH fill = ::CreateSolidBrush(kChannelColour[channel]), white = ::CreateSolidBrush(RGB(255, 255, 255));
    ::FillRect(dc, &all, fill);
    ::FillRect(dc, &bar, white);
    ::DeleteObject(fill);
    ::DeleteObject(white);
    image.ReleaseDC();
    return true;
}

int Print(Owner& owner, const std::vector<std::wstring>& a) {
    if (a.size() < 5) return 2;
    PrintRequest r;
    r.owner = owner;
    r.videoStreamCount = _wtoi(a[0].c_str());
    r.fileName = a[1].c_str();
    r.speed = _wtof(a[2].c_str());
    r.lat = _wtof(a[3].c_str());
    r.lng = _wtof(a[4].c_str());
    int repeat = 1;
    r.grab = FakeGrab;
    for (size_t i = 5; i + 1 < a.size(); i += 2) {
        if (a[i] == L"--grab" && a[i + 1] == L"none") r.grab = [](int, CImage&) { return false; };
        if (a[i] == L"--repeat") repeat = _wtoi(a[i + 1].c_str());
    }
    for (int i = 0; i < repeat; ++i) {
        bool ok = PrintReport(r);
        std::printf("result %d\n", ok ? 1 : 0);
        std::fflush(stdout);
    }
    return 0;
}

int Choose(Owner& owner, const std::vector<std::wstring>& a) {
    CString folder;
    bool ok = ChooseFolder(owner, a.empty() ? L"Select folder" : a[0].c_str(), folder);
    std::printf("result %d\n", ok ? 1 : 0);
    if (ok) std::printf("folder %s\n", Utf8(folder).c_str());
    return 0;
}

// While the progress dialog is up: one thread asks it every 10 ms whether it
// answers (the longest answer time is kept), another has it repaint every
// 20 ms (the window thread's paints are timed by the message hook).
struct Pinger {
    std::atomic<bool> stop{false};
    std::atomic<int> maxMs{0};
    std::vector<std::pair<double, int>> answers;  // (time answered, ms), the asker's own until joined
    std::thread asker, painter;
    HWND fixed = nullptr;  // a window of its own instead of the progress dialog
    HWND Target() const { return fixed ? fixed : g_progress.load(); }
    void Start() {
        asker = std::thread([this] {
            while (!stop) {
                HWND dlg = Target();
                if (dlg && ::IsWindow(dlg)) {
                    double t0 = NowMs();
                    DWORD_PTR r = 0;
                    ::SendMessageTimeoutW(dlg, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
                    int ms = int(NowMs() - t0 + 0.5);
                    answers.emplace_back(t0 + ms, ms);
                    if (ms > maxMs) maxMs = ms;
                    if (ms > 50) Log("slow-answer %d", ms);
                }
                ::Sleep(10);
            }
        });
        painter = std::thread([this] {
            while (!stop) {
                HWND dlg = Target();
                if (dlg && ::IsWindow(dlg)) ::InvalidateRect(dlg, nullptr, TRUE);
                ::Sleep(20);
            }
        });
    }
    void Stop() {
        stop = true;
        if (asker.joinable()) asker.join();
        if (painter.joinable()) painter.join();
    }
    // The longest answer whose wait overlapped [from, to].
    int LongestWithin(double from, double to) const {
        int longest = 0;
        for (const auto& a : answers)
            if (a.first >= from && a.first - a.second <= to) longest = std::max(longest, a.second);
        return longest;
    }
};

int Save(Owner& owner, const std::vector<std::wstring>& a, bool ping) {
    if (a.size() < 2) return 2;
    KrvLibrary krv;
    if (!krv.Load(a[0].c_str())) {
        std::printf("library not loaded\n");
        return 1;
    }
    unsigned char zero = '0';
    krv.SetDevice(&zero);
    int disk = ProbeDiskNumber(a[1][0]);
    if (disk > 0) {
        unsigned char d = static_cast<unsigned char>(disk);
        krv.SetDevice(&d);
    }
    std::vector<CString> names;
    for (size_t i = 2; i < a.size(); ++i) names.emplace_back(a[i].c_str());
    Pinger pinger;
    if (ping) pinger.Start();
    bool ok = SaveChecked(&owner, names, &krv);
    if (ping) pinger.Stop();
    std::printf("result %d\n", ok ? 1 : 0);
    std::printf("convert ms %.0f\n", g_lastPos - g_firstPos);
    if (ping) {
        double gap = 0;
        double prev = g_firstPos;
        for (double t : g_erases) {
            if (t < g_firstPos || t > g_lastPos) continue;
            gap = std::max(gap, t - prev);
            prev = t;
        }
        if (g_lastPos > prev) gap = std::max(gap, g_lastPos - prev);
        std::printf("ping max %d\nerase-gap max %.0f\n", pinger.LongestWithin(g_firstPos, g_lastPos), gap);
    }
    return 0;
}

int RunVerb(const std::vector<std::wstring>& a) {
    if (a.size() < 2) return 2;
    auto r = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, a[0].c_str(), a[1].c_str(), nullptr, nullptr, SW_SHOW));
    std::printf("shell-result %d\n", int(r));
    return r > 32 ? 0 : 1;
}

// The same probing of the idle owner window for some seconds: what this
// machine's load alone costs a window thread.
int IdlePing(Owner& owner, const std::vector<std::wstring>& a) {
    const double seconds = a.empty() ? 5.0 : _wtof(a[0].c_str());
    Pinger pinger;
    pinger.fixed = owner;
    pinger.Start();
    const double end = NowMs() + seconds * 1000.0;
    auto pump = [](double until) {
        MSG msg;
        while (NowMs() < until) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    };
    pump(end);
    // The probe's last message is answered before its thread is joined.
    pinger.stop = true;
    pump(NowMs() + 200);
    pinger.Stop();
    std::printf("ping max %d\n", pinger.maxMs.load());
    return 0;
}

int Info(Owner& owner, const std::vector<std::wstring>& a) {
    ShowInformation(&owner, a.empty() ? L"" : a[0].c_str());
    std::printf("result 1\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::QueryPerformanceFrequency(&g_freq);
    ::QueryPerformanceCounter(&g_start);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    bool ping = false;
    while (!args.empty() && args[0].rfind(L"--", 0) == 0) {
        if (args[0] == L"--log" && args.size() > 1) {
            g_log = ::_wfopen(args[1].c_str(), L"ab");
            if (g_log) StartLog();
            args.erase(args.begin(), args.begin() + 2);
        } else if (args[0] == L"--ping") {
            ping = true;
            args.erase(args.begin());
        } else {
            break;
        }
    }
    if (args.empty()) return 2;
    g_hook = ::SetWindowsHookExW(WH_CALLWNDPROC, CallWndProc, nullptr, ::GetCurrentThreadId());
    Owner owner;
    if (!owner.Create()) return 1;
    wchar_t desktop[MAX_PATH] = L"";
    ::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE);
    Log("desktop %s", Escape(desktop).c_str());
    const std::wstring cmd = args[0];
    args.erase(args.begin());
    int rc = 2;
    if (cmd == L"print") rc = Print(owner, args);
    else if (cmd == L"choose") rc = Choose(owner, args);
    else if (cmd == L"save") rc = Save(owner, args, ping);
    else if (cmd == L"info") rc = Info(owner, args);
    else if (cmd == L"shell") rc = RunVerb(args);
    else if (cmd == L"idle-ping") rc = IdlePing(owner, args);
    std::fflush(stdout);
    if (g_hook) ::UnhookWindowsHookEx(g_hook);
    EndLog();
    if (g_log) std::fclose(g_log);
    return rc;
}
