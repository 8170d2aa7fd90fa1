// Hook procedure loaded into the watched process: counts the messages that
// its message loop removes from the queue for the watched window.
#include "spy_shared.h"

static SpyCounters* Counters() {
    static SpyCounters* view = nullptr;
    if (!view) {
        HANDLE h = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, SPY_SECTION_NAME);
        if (!h) return nullptr;
        view = static_cast<SpyCounters*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SpyCounters)));
        CloseHandle(h);
    }
    return view;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK SpyGetMessage(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        SpyCounters* c = Counters();
        if (c && m->hwnd == c->watched) {
            if (m->message < 0x500) InterlockedIncrement(&c->count[m->message]);
            else if (m->message == WM_SLIDER_MOVING) InterlockedIncrement(&c->slider);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
