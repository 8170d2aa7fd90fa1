// paint_probe: times the paints of a window of another process from inside
// it (a WH_GETMESSAGE hook module), for the benchmarks.
//   paint_probe HWND repaint RUNS
//       a full repaint of the window and all its children (invalidate, erase,
//       paint now), each from an idle display; one time per line, in ms
//   paint_probe HWND repaint-own RUNS
//       the same for the window alone (its background and WM_PAINT; the
//       children are not painted)
//   paint_probe HWND profile RUNS
//       where a full repaint's time goes: "ID CLASS MS" for the window's own
//       paint (first line) and for each visible direct child with its children
//   paint_probe HWND trace RUNS
//       full repaints timed message by message: "ID CLASS MSG MS" for each
//       window and message handled at the top (the mean time per repaint),
//       and "-1 gaps 0x0000 MS" for the time between them
//   paint_probe HWND command ID [IGNORE_ID [SETTLE_MS]]
//   paint_probe HWND message MSG [IGNORE_ID [SETTLE_MS]]
//       the time from sending WM_COMMAND ID (or message MSG) to the end of the
//       last paint it caused, watched for SETTLE_MS (default 300) after the
//       last one; paints of child IGNORE_ID (a clock) are not counted. Printed
//       as "TOTAL RETURNED VIEWER": RETURNED is when the command's handler
//       returned, VIEWER the last paint of a window other than the web browser
//       control's (its pictures of a reloaded page come later, from the browser)
#include <cstdio>
#include <cwchar>
#include <string>
#include "probe_shared.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr,
                 L"usage: paint_probe HWND repaint|repaint-own|profile RUNS | command ID | message MSG [IGNORE_ID "
                 L"[SETTLE_MS]]\n");
        return 2;
    }
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(wcstoll(argv[1], nullptr, 0)));
    const std::wstring what = argv[2];
    const LONG value = static_cast<LONG>(wcstol(argv[3], nullptr, 0));
    DWORD tid = GetWindowThreadProcessId(target, nullptr);
    if (!tid) {
        fwprintf(stderr, L"paint_probe: no such window\n");
        return 1;
    }
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeShared), PROBE_SECTION_NAME);
    auto* p = static_cast<ProbeShared*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeShared)));
    if (!p) return 1;
    ZeroMemory(p, sizeof *p);
    p->target = target;
    if (what == L"repaint" || what == L"repaint-own" || what == L"profile" || what == L"trace") {
        p->action = what == L"repaint"   ? kProbeRepaint
                    : what == L"profile" ? kProbeProfile
                    : what == L"trace"   ? kProbeTrace
                                         : kProbeRepaintOwn;
        p->runs = value;
    } else if (what == L"command" || what == L"message") {
        p->action = what == L"command" ? kProbeCommand : kProbeMessage;
        p->param = value;
        p->ignoreId = argc > 4 ? static_cast<LONG>(wcstol(argv[4], nullptr, 0)) : 0;
        p->settleMs = argc > 5 ? static_cast<LONG>(wcstol(argv[5], nullptr, 0)) : 300;
    } else {
        fwprintf(stderr, L"paint_probe: unknown request %ls\n", what.c_str());
        return 2;
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll(self);
    dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"paint_probe_hook.dll";
    HMODULE mod = LoadLibraryW(dll.c_str());
    auto proc = mod ? reinterpret_cast<HOOKPROC>(GetProcAddress(mod, "ProbeGetMessage")) : nullptr;
    HHOOK hook = proc ? SetWindowsHookExW(WH_GETMESSAGE, proc, mod, tid) : nullptr;
    if (!hook) {
        fwprintf(stderr, L"paint_probe: hook failed (%lu)\n", GetLastError());
        return 1;
    }
    PostMessageW(target, RegisterWindowMessageW(PROBE_MESSAGE_NAME), 0, 0);
    for (int waited = 0; !p->done; waited += 10) {
        if (!IsWindow(target) || waited > 120000) {
            fwprintf(stderr, L"paint_probe: no answer\n");
            UnhookWindowsHookEx(hook);
            return 1;
        }
        Sleep(10);
    }
    if (p->action == kProbeCommand || p->action == kProbeMessage) {
        if (p->count == 3) printf("%.2f %.2f %.2f\n", p->results[0], p->results[1], p->results[2]);
    } else {
        for (LONG i = 0; i < p->count; ++i) {
            if (p->action == kProbeProfile) printf("%ld %s ", p->ids[i], p->classes[i]);
            if (p->action == kProbeTrace) printf("%ld %s 0x%04x ", p->ids[i], p->classes[i], p->msgs[i]);
            printf("%.2f\n", p->results[i]);
        }
    }
    UnhookWindowsHookEx(hook);
    return 0;
}
