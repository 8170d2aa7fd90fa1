// Test tooling: a wininet.dll whose InternetGetConnectedState reports no
// connection. Placed beside a test program and loaded with
// WINEDLLOVERRIDES="wininet=n,b" for that test only.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI InternetGetConnectedState(LPDWORD flags, DWORD) {
    if (flags) *flags = 0;
    return FALSE;
}
