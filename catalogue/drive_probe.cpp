#include "drive_probe.h"
#include <winioctl.h>

int ProbeDiskNumber(wchar_t letter) {
    wchar_t path[] = L"\\\\?\\X:";
    path[4] = letter;
    HANDLE volume =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return -1;
    int result = -1;
    union {
        VOLUME_DISK_EXTENTS extents;
        unsigned char raw[100];
    } buffer{};
    DWORD got = 0;
    if (::DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &buffer, sizeof buffer, &got,
                          nullptr) &&
        buffer.extents.NumberOfDiskExtents >= 1) {
        result = static_cast<int>(buffer.extents.Extents[0].DiskNumber);
    } else {
        STORAGE_DEVICE_NUMBER device{};
        if (::DeviceIoControl(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &device, sizeof device, &got,
                              nullptr))
            result = static_cast<int>(device.DeviceNumber);
    }
    ::CloseHandle(volume);
    return result;
}

uint64_t DriveFreeBytes(const wchar_t* root) {
    ULARGE_INTEGER totalFree{};
    if (!::GetDiskFreeSpaceExW(root, nullptr, nullptr, &totalFree)) return 0;
    return totalFree.QuadPart;
}
