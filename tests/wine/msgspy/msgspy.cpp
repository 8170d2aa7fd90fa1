// Test tool: counts the messages a window of another process takes from its
// queue (posted messages and input), by a WH_GETMESSAGE hook in that process.
//   msgspy HWND OUTFILE     watch until OUTFILE.stop exists or the window is
//                           gone; OUTFILE is rewritten every 20 ms with lines
//                           "0xNNNN COUNT" for every non-zero counter.
#include <cstdio>
#include <cwchar>
#include <string>
#include "spy_shared.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fwprintf(stderr, L"usage: msgspy HWND OUTFILE\n");
        return 2;
    }
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(wcstoll(argv[1], nullptr, 0)));
    std::wstring out = argv[2], stop = out + L".stop";
    DWORD tid = GetWindowThreadProcessId(target, nullptr);
    if (!tid) {
        fwprintf(stderr, L"msgspy: no such window\n");
        return 1;
    }
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SpyCounters), SPY_SECTION_NAME);
    auto* c = static_cast<SpyCounters*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SpyCounters)));
    if (!c) return 1;
    ZeroMemory(c, sizeof *c);
    c->watched = target;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll(self);
    dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"spy_hook.dll";
    HMODULE mod = LoadLibraryW(dll.c_str());
    auto proc = mod ? reinterpret_cast<HOOKPROC>(GetProcAddress(mod, "SpyGetMessage")) : nullptr;
    HHOOK hook = proc ? SetWindowsHookExW(WH_GETMESSAGE, proc, mod, tid) : nullptr;
    if (!hook) {
        fwprintf(stderr, L"msgspy: hook failed (%lu)\n", GetLastError());
        return 1;
    }
    // The hook module is loaded into the target when it next fetches a message.
    PostMessageW(target, WM_NULL, 0, 0);
    wprintf(L"ready\n");
    fflush(stdout);
    while (IsWindow(target) && GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::wstring tmp = out + L".tmp";
        FILE* f = _wfopen(tmp.c_str(), L"wb");
        if (f) {
            for (int i = 0; i < 0x500; ++i)
                if (c->count[i]) fprintf(f, "0x%04X %ld\n", i, c->count[i]);
            if (c->slider) fprintf(f, "0x%04X %ld\n", WM_SLIDER_MOVING, c->slider);
            fclose(f);
            MoveFileExW(tmp.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(20);
    }
    UnhookWindowsHookEx(hook);
    return 0;
}
