// Hook module of the paint probe, loaded into the probed process: on the
// probe's request message it times, on the window's own thread, a full
// repaint of the window with everything in it, or a command and every paint
// that follows it.
#include <algorithm>
#include "probe_shared.h"

namespace {

// The section of the probe that sent the request, mapped for the request only
// (each probe makes a section of its own: the name goes with its handle).
ProbeShared* OpenShared() {
    HANDLE h = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, PROBE_SECTION_NAME);
    if (!h) return nullptr;
    auto* view = static_cast<ProbeShared*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeShared)));
    CloseHandle(h);
    return view;
}

double NowMs() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

void PumpFor(double ms) {
    const double end = NowMs() + ms;
    do {
        Pump();
        Sleep(1);
    } while (NowMs() < end);
}

// The web browser control's window: its pictures of the page come from the
// browser, after the viewer's own work.
const wchar_t kBrowserClass[] = L"TessaroStandInBrowser";

// The browser control's window or one inside it.
bool InBrowser(HWND w, HWND top) {
    for (; w && w != top; w = GetAncestor(w, GA_PARENT)) {
        wchar_t name[64];
        if (GetClassNameW(w, name, 64) && lstrcmpW(name, kBrowserClass) == 0) return true;
    }
    return false;
}

// Whether the tree waits for a paint: `viewer` when a window of the viewer's
// own does (the browser's state then does not matter), else `browser` when
// only the browser control's window does.
struct DirtyScan {
    HWND top;
    HWND ignore;
    bool viewer;
    bool browser;
};

BOOL CALLBACK CheckChild(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<DirtyScan*>(lp);
    if (w != s->ignore && IsWindowVisible(w) && GetUpdateRect(w, nullptr, FALSE)) {
        if (InBrowser(w, s->top)) s->browser = true;
        else s->viewer = true;
    }
    return !s->viewer;
}

DirtyScan Dirty(HWND top, HWND ignore) {
    DirtyScan s{top, ignore, GetUpdateRect(top, nullptr, FALSE) != FALSE, false};
    if (!s.viewer) EnumChildWindows(top, CheckChild, reinterpret_cast<LPARAM>(&s));
    return s;
}

void Repaint(ProbeShared& p) {
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW |
                       (p.action == kProbeRepaintOwn ? RDW_NOCHILDREN : RDW_ALLCHILDREN);
    const LONG runs = std::min<LONG>(p.runs, 256);
    for (LONG i = 0; i < runs; ++i) {
        // Each paint from an idle display: the previous frame has been taken.
        PumpFor(50);
        const double t0 = NowMs();
        RedrawWindow(p.target, nullptr, nullptr, flags);
        GdiFlush();
        p.results[p.count++] = NowMs() - t0;
    }
}

struct ChildList {
    HWND top;
    HWND list[255];
    int n;
};

BOOL CALLBACK AddChild(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<ChildList*>(lp);
    if (GetParent(w) == c->top && IsWindowVisible(w) && c->n < 255) c->list[c->n++] = w;
    return TRUE;
}

// Where a full repaint's time goes: the window's own paint (background and
// WM_PAINT, children left alone), then each direct child with its own
// children, each the median of `runs` paints.
void Profile(ProbeShared& p) {
    ChildList c{p.target, {}, 0};
    EnumChildWindows(p.target, AddChild, reinterpret_cast<LPARAM>(&c));
    const LONG runs = std::max<LONG>(1, std::min<LONG>(p.runs, 64));
    auto time = [runs](HWND w, UINT flags) {
        double t[64];
        for (LONG i = 0; i < runs; ++i) {
            PumpFor(5);
            const double t0 = NowMs();
            RedrawWindow(w, nullptr, nullptr, flags | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            GdiFlush();
            t[i] = NowMs() - t0;
        }
        std::sort(t, t + runs);
        return t[runs / 2];
    };
    for (int i = -1; i < c.n; ++i) {
        HWND w = i < 0 ? p.target : c.list[i];
        p.ids[p.count] = GetDlgCtrlID(w);
        GetClassNameA(w, p.classes[p.count], 32);
        p.results[p.count++] = time(w, i < 0 ? RDW_NOCHILDREN : RDW_ALLCHILDREN);
    }
}

// Full repaints with every message handled at the top of the repaint timed:
// which window's paint takes what, and what is left between them.
struct TraceState {
    ProbeShared* p = nullptr;
    int depth = 0;
    double start = 0;
    HWND hwnd = nullptr;
    UINT msg = 0;
    double inMessages = 0;
};
TraceState g_trace;

void TraceAdd(HWND w, UINT msg, double ms) {
    ProbeShared& p = *g_trace.p;
    const LONG id = GetDlgCtrlID(w);
    char cls[32];
    GetClassNameA(w, cls, sizeof cls);
    for (LONG i = 0; i < p.count; ++i)
        if (p.ids[i] == id && p.msgs[i] == msg && lstrcmpA(p.classes[i], cls) == 0) {
            p.results[i] += ms;
            return;
        }
    if (p.count >= 255) return;
    p.ids[p.count] = id;
    p.msgs[p.count] = msg;
    lstrcpynA(p.classes[p.count], cls, 32);
    p.results[p.count++] = ms;
}

LRESULT CALLBACK TraceCall(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && g_trace.p) {
        const CWPSTRUCT* c = reinterpret_cast<const CWPSTRUCT*>(lp);
        if (g_trace.depth++ == 0) {
            g_trace.start = NowMs();
            g_trace.hwnd = c->hwnd;
            g_trace.msg = c->message;
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK TraceReturn(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && g_trace.p && g_trace.depth > 0 && --g_trace.depth == 0) {
        const double ms = NowMs() - g_trace.start;
        g_trace.inMessages += ms;
        TraceAdd(g_trace.hwnd, g_trace.msg, ms);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

void Trace(ProbeShared& p) {
    const LONG runs = std::max<LONG>(1, std::min<LONG>(p.runs, 256));
    HHOOK call = SetWindowsHookExW(WH_CALLWNDPROC, TraceCall, nullptr, GetCurrentThreadId());
    HHOOK ret = SetWindowsHookExW(WH_CALLWNDPROCRET, TraceReturn, nullptr, GetCurrentThreadId());
    double total = 0;
    for (LONG i = 0; i < runs; ++i) {
        PumpFor(50);
        g_trace = TraceState{};
        g_trace.p = &p;
        const double t0 = NowMs();
        RedrawWindow(p.target, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        const double t = NowMs() - t0;
        total += t - g_trace.inMessages;
        g_trace.p = nullptr;
    }
    UnhookWindowsHookEx(call);
    UnhookWindowsHookEx(ret);
    for (LONG i = 0; i < p.count; ++i) p.results[i] /= runs;
    p.ids[p.count] = -1;
    p.msgs[p.count] = 0;
    lstrcpynA(p.classes[p.count], "gaps", 32);
    p.results[p.count++] = total / runs;
}

// The time from sending the request to the end of the last paint it caused:
// pending paints are done at once, then messages are handled and the window
// watched for paints still to come for settleMs. Results: the last paint of
// any window, when the request's handler returned, and the last paint of a
// window other than the browser control's.
void CommandToLastPaint(ProbeShared& p) {
    HWND ignore = p.ignoreId ? GetDlgItem(p.target, p.ignoreId) : nullptr;
    PumpFor(100);
    const double t0 = NowMs();
    if (p.action == kProbeCommand)
        SendMessageW(p.target, WM_COMMAND, MAKEWPARAM(p.param, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(p.target, p.param)));
    else SendMessageW(p.target, static_cast<UINT>(p.param), 0, 0);
    const double returned = NowMs();
    double last = returned;
    double lastViewer = returned;
    // A window that never stops asking for paints ends the watch after 5 s.
    while (NowMs() - last < p.settleMs && NowMs() - t0 < 5000) {
        Pump();
        const DirtyScan d = Dirty(p.target, ignore);
        if (d.viewer || d.browser) {
            RedrawWindow(p.target, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            GdiFlush();
            last = NowMs();
            if (d.viewer) lastViewer = last;
        }
        Sleep(1);
    }
    p.results[p.count++] = last - t0;
    p.results[p.count++] = returned - t0;
    p.results[p.count++] = lastViewer - t0;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessage(int code, WPARAM wp, LPARAM lp) {
    static const UINT request = RegisterWindowMessageW(PROBE_MESSAGE_NAME);
    static bool busy = false;
    if (code == HC_ACTION && wp == PM_REMOVE && !busy) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        ProbeShared* p = m->message == request ? OpenShared() : nullptr;
        if (p && m->hwnd == p->target) {
            busy = true;
            p->count = 0;
            if (p->action == kProbeRepaint || p->action == kProbeRepaintOwn) Repaint(*p);
            else if (p->action == kProbeProfile) Profile(*p);
            else if (p->action == kProbeTrace) Trace(*p);
            else CommandToLastPaint(*p);
            InterlockedExchange(&p->done, 1);
            busy = false;
        }
        if (p) UnmapViewOfFile(p);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
