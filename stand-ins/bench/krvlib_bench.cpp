// Timings of KRVLib.dll through its exports (run by bench/krvlib-bench).
//   krvlib_bench.exe DLL LETTER list [ROUNDS]
//       the viewer's catalogue fill: select the disk, flag, four counts, four lists
//   krvlib_bench.exe DLL LETTER play NAME FOLDER
//       one KRV_Make_Play_File of NAME into FOLDER
// Prints "name milliseconds [bytes]" lines.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T>
T fn(HMODULE m, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

double nowMs() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

int diskOf(char letter) {
    char path[] = "\\\\?\\X:";
    path[4] = letter;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    STORAGE_DEVICE_NUMBER sdn;
    DWORD got;
    int n = DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &sdn, sizeof sdn, &got, nullptr)
                ? int(sdn.DeviceNumber)
                : -1;
    CloseHandle(h);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    HMODULE dll = LoadLibraryA(argv[1]);
    if (!dll) {
        std::printf("cannot load %s\n", argv[1]);
        return 1;
    }
    auto create = fn<void* (*)()>(dll, "KRV_Create");
    auto setDevice = fn<int (*)(void*, unsigned char*)>(dll, "KRV_Set_Device");
    auto flag =
        fn<int (*)(void*, unsigned char*, unsigned char*, unsigned short*, unsigned int*)>(dll, "KRV_Get_File_Flag");
    auto cnt = fn<int (*)(void*, unsigned char)>(dll, "KRV_Get_File_Cnt");
    auto list = fn<int (*)(void*, unsigned char, int, void*, int*, int*)>(dll, "KRV_Get_File_List");
    auto folder = fn<int (*)(void*, const char*)>(dll, "KRV_Set_Pcfolder");
    auto play = fn<int (*)(void*, const char*, unsigned char*, unsigned char*)>(dll, "KRV_Make_Play_File");
    void* ctx = create();
    int disk = diskOf(argv[2][0]);
    if (disk <= 0) {
        std::printf("drive %s: has no usable disk number\n", argv[2]);
        return 1;
    }
    std::string mode = argv[3];
    if (mode == "list") {
        int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
        std::vector<double> times;
        int total = 0;
        for (int r = 0; r < rounds; ++r) {
            double t0 = nowMs();
            unsigned char zero = '0', d = uint8_t(disk), a, b;
            unsigned short c;
            unsigned int e;
            setDevice(ctx, &zero);
            setDevice(ctx, &d);
            flag(ctx, &a, &b, &c, &e);
            const unsigned char order[4] = {1, 0, 2, 3};
            int n[4], sum = 0;
            for (int i = 0; i < 4; ++i) sum += n[i] = cnt(ctx, order[i]);
            std::vector<unsigned char> recs(size_t(sum) * 40 + 40);
            std::vector<int> x(size_t(sum) + 1), y(size_t(sum) + 1);
            total = 0;
            for (int i = 0; i < 4; ++i)
                total += list(ctx, order[i], n[i], &recs[size_t(total) * 40], &x[size_t(total)], &y[size_t(total)]);
            times.push_back(nowMs() - t0);
        }
        std::sort(times.begin(), times.end());
        std::printf("listing %.2f %d\n", times[times.size() / 2], total);
        return total > 0 ? 0 : 1;
    }
    if (mode == "play" && argc == 6) {
        unsigned char d = uint8_t(disk);
        setDevice(ctx, &d);
        folder(ctx, argv[5]);
        std::vector<unsigned char> gs(16384), gps(16384);
        double t0 = nowMs();
        int ok = play(ctx, argv[4], gs.data(), gps.data());
        double ms = nowMs() - t0;
        std::string out = std::string(argv[5]) + "\\" + argv[4];
        WIN32_FILE_ATTRIBUTE_DATA fa;
        unsigned long long bytes = 0;
        if (GetFileAttributesExA(out.c_str(), GetFileExInfoStandard, &fa))
            bytes = (unsigned long long)fa.nFileSizeHigh << 32 | fa.nFileSizeLow;
        std::printf("play %.1f %llu\n", ms, bytes);
        return ok ? 0 : 1;
    }
    return 2;
}
