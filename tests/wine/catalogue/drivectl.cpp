// Test tool for drives under Wine: adds and removes drive letters while Wine
// programs run (through the mount manager, as Wine's own configuration tool
// does), and hands a window the shell's drive-removed notification the way
// the shell delivers it to a window registered without new-style delivery:
// the message with wParam pointing at two item-identifier pointers (in the
// receiver's memory) and lParam the event code.
//
//   drivectl define LETTER UNIX_FOLDER [removable|fixed]
//   drivectl undefine LETTER
//   drivectl remove LETTER HWND MSG    undefine, then notify HWND with MSG
//   drivectl notify ROOT HWND MSG [EVENT]   notification only (EVENT default 0x80)
//   drivectl drives                     letters, types and probed disk numbers
#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "drive_probe.h"

namespace {

// The mount manager's drive definition request (a Wine extension).
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
const DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool DefineDrive(wchar_t letter, const char* unixFolder, ULONG type) {
    HANDLE mgr = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mgr == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "drivectl: no mount manager (error %lu)\n", GetLastError());
        return false;
    }
    std::string buffer(sizeof(UnixDrive), '\0');
    if (unixFolder) buffer.append(unixFolder).push_back('\0');
    auto* d = reinterpret_cast<UnixDrive*>(&buffer[0]);
    d->size = static_cast<ULONG>(buffer.size());
    d->type = type;
    d->letter = letter;
    d->mountPointOffset = unixFolder ? sizeof(UnixDrive) : 0;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(mgr, kDefineUnixDrive, &buffer[0], static_cast<DWORD>(buffer.size()), nullptr, 0, &got,
                              nullptr);
    if (!ok) fprintf(stderr, "drivectl: define %lc: failed (error %lu)\n", letter, GetLastError());
    CloseHandle(mgr);
    return ok != FALSE;
}

// Copies an item identifier list into the window's process and sends the
// notification; the copy lives until the message has been handled.
bool Notify(LPITEMIDLIST pidl, HWND hwnd, UINT msg, LONG event) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!proc) {
        fprintf(stderr, "drivectl: cannot open process %lu\n", pid);
        return false;
    }
    const UINT size = ILGetSize(pidl);
    const SIZE_T total = 2 * sizeof(void*) + size;
    auto* remote = static_cast<unsigned char*>(VirtualAllocEx(proc, nullptr, total, MEM_COMMIT, PAGE_READWRITE));
    bool ok = false;
    if (remote) {
        void* pointers[2] = {remote + 2 * sizeof(void*), nullptr};
        ok = WriteProcessMemory(proc, remote, pointers, sizeof pointers, nullptr) &&
             WriteProcessMemory(proc, remote + 2 * sizeof(void*), pidl, size, nullptr);
        DWORD_PTR result = 0;
        if (ok)
            ok = SendMessageTimeoutW(hwnd, msg, reinterpret_cast<WPARAM>(remote), event, SMTO_ABORTIFHUNG, 10000,
                                     &result) != 0;
        VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    }
    CloseHandle(proc);
    if (!ok) fprintf(stderr, "drivectl: notification not delivered\n");
    return ok;
}

LPITEMIDLIST RootItem(const wchar_t* root) {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(SHParseDisplayName(root, nullptr, &pidl, 0, nullptr)) || !pidl) {
        // A drive that is gone already may not parse; its simple form does.
        pidl = SHSimpleIDListFromPath(root);
    }
    if (!pidl) fprintf(stderr, "drivectl: no item identifier for %ls\n", root);
    return pidl;
}

int Usage() {
    fprintf(stderr,
            "usage: drivectl define L FOLDER [removable|fixed] | undefine L | remove L HWND MSG | "
            "notify ROOT HWND MSG [EVENT] | drives\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring cmd = argv[1];
    CoInitialize(nullptr);
    if (cmd == L"define" && argc >= 4) {
        char folder[MAX_PATH * 3];
        WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, folder, sizeof folder, nullptr, nullptr);
        ULONG type = argc >= 5 && std::wstring(argv[4]) == L"fixed" ? DRIVE_FIXED : DRIVE_REMOVABLE;
        return DefineDrive(argv[2][0], folder, type) ? 0 : 1;
    }
    if (cmd == L"undefine" && argc >= 3) return DefineDrive(argv[2][0], nullptr, DRIVE_NO_ROOT_DIR) ? 0 : 1;
    if ((cmd == L"remove" && argc >= 5) || (cmd == L"notify" && argc >= 5)) {
        std::wstring root = argv[2];
        if (cmd == L"remove") root = std::wstring(1, argv[2][0]) + L":\\";
        HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(argv[3], nullptr, 0)));
        UINT msg = static_cast<UINT>(wcstoul(argv[4], nullptr, 0));
        LONG event = argc >= 6 ? static_cast<LONG>(wcstoul(argv[5], nullptr, 0)) : SHCNE_DRIVEREMOVED;
        LPITEMIDLIST pidl = RootItem(root.c_str());
        if (!pidl) return 1;
        bool ok = cmd == L"notify" || DefineDrive(root[0], nullptr, DRIVE_NO_ROOT_DIR);
        ok = ok && Notify(pidl, hwnd, msg, event);
        CoTaskMemFree(pidl);
        return ok ? 0 : 1;
    }
    if (cmd == L"drives") {
        DWORD mask = GetLogicalDrives();
        for (int i = 0; i < 26; ++i) {
            if (!(mask & (1u << i))) continue;
            wchar_t root[4] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
            printf("%lc %u %d\n", root[0], GetDriveTypeW(root), ProbeDiskNumber(root[0]));
        }
        return 0;
    }
    return Usage();
}
