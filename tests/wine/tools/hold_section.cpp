// Test tool: plays a sibling viewer by holding the section "ORVEN PC Viewer"
// open (and nothing else) until it is killed.
#include <windows.h>

int wmain() {
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024, L"ORVEN PC Viewer");
    if (!h) return 1;
    Sleep(INFINITE);
    return 0;
}
