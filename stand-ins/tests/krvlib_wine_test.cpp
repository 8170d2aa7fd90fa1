// KRVLib.dll through its exports, on a card mapped as a removable drive.
//   krvlib_wine_test.exe DLLPATH LETTER
// The test writes its own card onto LETTER:\ (with the portable card writer),
// then drives the library the way the viewer does.
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi.h"
#include "cardstore.h"
#include "fuzz/avi_check.h"
#include "tinyjpeg.h"

namespace {

int g_failures = 0;
#define CHECK(cond)                                                              \
    do {                                                                         \
        if (!(cond)) {                                                           \
            std::printf("%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond); \
            ++g_failures;                                                        \
        }                                                                        \
    } while (0)

using CreateFn = void* (*)();
using CtxFn = int (*)(void*);
using SetDeviceFn = int (*)(void*, unsigned char*);
using FlagFn = int (*)(void*, unsigned char*, unsigned char*, unsigned short*, unsigned int*);
using CntFn = int (*)(void*, unsigned char);
using ListFn = int (*)(void*, unsigned char, int, void*, int*, int*);
using FolderFn = int (*)(void*, const char*);
using PlayFn = int (*)(void*, const char*, unsigned char*, unsigned char*);
using PictureFn = int (*)(void*, const char*, unsigned int*, unsigned char*);
using AviFn = int (*)(void*, const char*);

struct Lib {
    HMODULE dll = nullptr;
    CreateFn create;
    CtxFn del, stop, write, format;
    SetDeviceFn setDevice;
    FlagFn flag;
    CntFn cnt;
    ListFn list;
    FolderFn folder;
    PlayFn play;
    PictureFn picture;
    AviFn avi;
};

const char* const kNames[35] = {"KRV_Create",
                                "KRV_Delete",
                                "KRV_Open",
                                "KRV_Close",
                                "KRV_Read",
                                "KRV_Write",
                                "KRV_Format",
                                "KRV_Check_Krv_Device",
                                "KRV_Check_Version",
                                "KRV_Get_File_Frame_Cnt",
                                "KRV_Get_File_Index_Info",
                                "KRV_Get_File_Cnt",
                                "KRV_Get_File_List",
                                "KRV_Get_File_Flag",
                                "KRV_Find_Start_Stop",
                                "KRV_Get_PB_Pos",
                                "KRV_Set_Seek_Pos",
                                "KRV_PB_Init",
                                "KRV_PB_DeInit",
                                "KRV_PB_Start",
                                "KRV_PB_Stop",
                                "KRV_FAT_PB_Start",
                                "KRV_FAT_PB_Stop",
                                "KRV_Read_Frame",
                                "KRV_Make_Avi_File",
                                "KRV_Make_Krv_File",
                                "KRV_Make_Play_File",
                                "KRV_Stop_Make_Play_File",
                                "KRV_Make_Data_File",
                                "KRV_Set_Pcfolder",
                                "KRV_Set_Config_Data",
                                "KRV_Get_Config_Data",
                                "KRV_Get_Device_Name",
                                "KRV_Set_Device",
                                "KRV_Make_Picture_File"};

template <class T>
T fn(HMODULE m, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

bool load(const char* path, Lib& l) {
    l.dll = LoadLibraryA(path);
    if (!l.dll) return false;
    for (const char* n : kNames) {
        if (!GetProcAddress(l.dll, n)) {
            std::printf("missing export %s\n", n);
            ++g_failures;
        }
    }
    l.create = fn<CreateFn>(l.dll, "KRV_Create");
    l.del = fn<CtxFn>(l.dll, "KRV_Delete");
    l.stop = fn<CtxFn>(l.dll, "KRV_Stop_Make_Play_File");
    l.write = fn<CtxFn>(l.dll, "KRV_Write");
    l.format = fn<CtxFn>(l.dll, "KRV_Format");
    l.setDevice = fn<SetDeviceFn>(l.dll, "KRV_Set_Device");
    l.flag = fn<FlagFn>(l.dll, "KRV_Get_File_Flag");
    l.cnt = fn<CntFn>(l.dll, "KRV_Get_File_Cnt");
    l.list = fn<ListFn>(l.dll, "KRV_Get_File_List");
    l.folder = fn<FolderFn>(l.dll, "KRV_Set_Pcfolder");
    l.play = fn<PlayFn>(l.dll, "KRV_Make_Play_File");
    l.picture = fn<PictureFn>(l.dll, "KRV_Make_Picture_File");
    l.avi = fn<AviFn>(l.dll, "KRV_Make_Avi_File");
    return l.create && l.del && l.stop && l.setDevice && l.flag && l.cnt && l.list && l.folder && l.play && l.picture &&
           l.avi && l.write && l.format;
}

// ---------------------------------------------------------------- the card

struct Rec {
    uint8_t type;
    const char* name;
    int channels, seconds, fps, frameBytes;
};
const Rec kRecs[] = {
    {krv::kNormal, "R_240614_081500_N1.avi", 1, 3, 10, 0},
    {krv::kNormal, "R_240614_081600_N2.avi", 2, 2, 10, 0},
    {krv::kEvent, "R_240614_081700_E1.avi", 1, 2, 10, 0},
    {krv::kPark, "R_240614_081800_P1.avi", 1, 2, 10, 0},
    {krv::kPhoto, "R_240614_081900_J0.jpg", 0, 0, 0, 0},
    // Big frames, so that making it takes long enough to be stopped.
    {krv::kNormal, "R_240614_082000_N2.avi", 2, 40, 30, 100000},
};

bool writeCard(const std::string& root) {
    CreateDirectoryA((root + krv::kDataDir).c_str(), nullptr);
    std::vector<krv::IndexEntry> entries;
    uint32_t id = 1;
    for (const Rec& r : kRecs) {
        krv::IndexEntry e;
        e.type = r.type;
        e.channels = uint8_t(r.channels);
        e.fileId = id++;
        e.durationMs = uint32_t(r.seconds) * 1000;
        std::strcpy(e.name, r.name);
        std::string path = krv::dataPath(root, e);
        if (r.type == krv::kPhoto) {
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f) return false;
            std::fwrite(kTinyJpeg, 1, kTinyJpegLen, f);
            std::fclose(f);
        } else {
            krv::StreamInfo info;
            info.channels = uint8_t(r.channels);
            info.width = info.height = 16;
            info.fpsNum = uint32_t(r.fps);
            info.audioRate = 8000;
            krv::StreamWriter w;
            if (!w.open(path, info)) return false;
            std::vector<uint8_t> frame(kTinyJpeg, kTinyJpeg + kTinyJpegLen);
            if (r.frameBytes > int(frame.size())) frame.resize(size_t(r.frameBytes), 0);  // junk after EOI
            std::vector<int16_t> pcm(8000, 100);
            for (int s = 0; s < r.seconds; ++s) {
                char rmc[96];
                std::snprintf(rmc, sizeof rmc, "$GPRMC,0000%02d.00,A,3733.0000,N,12658.0000,E,10.0,90.0,140624,,,A*00",
                              s);
                w.add(krv::kTagAudio, uint32_t(s), uint32_t(s) * 1000, pcm.data(), pcm.size() * 2);
                w.add(krv::kTagGps, uint32_t(s), uint32_t(s) * 1000, rmc, std::strlen(rmc));
                float g[3 * 20];
                for (int i = 0; i < 60; ++i) g[i] = float(i % 3 == 2);
                if (r.type != krv::kPark) w.add(krv::kTagGSensor, uint32_t(s), uint32_t(s) * 1000, g, sizeof g);
                for (int f = 0; f < r.fps; ++f)
                    for (int ch = 0; ch < r.channels; ++ch)
                        w.add(ch ? krv::kTagVideo1 : krv::kTagVideo0, uint32_t(s * r.fps + f), 0, frame.data(),
                              frame.size());
            }
            if (!w.close()) return false;
        }
        entries.push_back(e);
    }
    return krv::writeIndex(root, entries);
}

// The physical disk number of a drive, as the viewer probes it.
int probeDisk(char letter) {
    char path[] = "\\\\?\\X:";
    path[4] = letter;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    unsigned char buf[100];
    DWORD got = 0;
    int n = -1;
    auto* ext = reinterpret_cast<VOLUME_DISK_EXTENTS*>(buf);
    if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buf, sizeof buf, &got, nullptr) &&
        ext->NumberOfDiskExtents > 0) {
        n = int(ext->Extents[0].DiskNumber);
    } else {
        STORAGE_DEVICE_NUMBER sdn;
        if (DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &sdn, sizeof sdn, &got, nullptr))
            n = int(sdn.DeviceNumber);
    }
    CloseHandle(h);
    return n;
}

std::vector<char> readFile(const std::string& path) {
    std::vector<char> data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
        std::fclose(f);
    }
    return data;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isAvi(const std::string& path) {
    std::vector<char> d = readFile(path);
    return d.size() > 12 && std::memcmp(d.data(), "RIFF", 4) == 0 && std::memcmp(d.data() + 8, "AVI ", 4) == 0 &&
           krv::rd32(reinterpret_cast<const uint8_t*>(d.data()) + 4) == d.size() - 8;
}

// The library's file against the reference conversion of the same recording
// (streamed in this process from the card): the same frames and audio, in a
// well-formed file.
bool sameAsReference(const std::string& made, const std::string& cardRoot, const char* name) {
    std::vector<krv::IndexEntry> entries;
    if (!krv::readIndex(cardRoot, entries)) return false;
    for (const krv::IndexEntry& e : entries) {
        if (std::strcmp(e.name, name) != 0) continue;
        krv::FileSource src(krv::dataPath(cardRoot, e));
        krv::MemorySink ref;
        if (!src.ok() || krv::convertStream(src, &ref, nullptr, nullptr) != krv::MakeResult::Ok) return false;
        std::vector<char> raw = readFile(made);
        avicheck::Digest a = avicheck::digestAvi(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
        avicheck::Digest b = avicheck::digestAvi(ref.bytes.data(), ref.bytes.size());
        if (!a.error.empty()) std::printf("%s: %s\n", made.c_str(), a.error.c_str());
        return a.error.empty() && b.error.empty() && a.count == b.count && a.count > 0 && a.indexed == b.indexed &&
               a.walked == a.indexed;
    }
    return false;
}

// ---------------------------------------------------------------- cases

void nullAndForeignHandles(Lib& l) {
    unsigned char disk = 1;
    unsigned int len = 5;
    std::vector<uint8_t> buf(64);
    CHECK(l.del(nullptr) == 0);
    CHECK(l.setDevice(nullptr, &disk) == 0);
    CHECK(l.flag(nullptr, nullptr, nullptr, nullptr, nullptr) == 0);
    CHECK(l.cnt(nullptr, 1) == 0);
    CHECK(l.list(nullptr, 1, 1, buf.data(), nullptr, nullptr) == 0);
    CHECK(l.folder(nullptr, "C:\\") == 0);
    CHECK(l.play(nullptr, "x", buf.data(), buf.data()) == 0);
    CHECK(l.stop(nullptr) == 0);
    CHECK(l.picture(nullptr, "x", &len, buf.data()) == 0);
    CHECK(l.avi(nullptr, "x") == 0);
    int foreign = 42;  // not a context of this library
    CHECK(l.cnt(&foreign, 1) == 0);
    CHECK(l.del(&foreign) == 0);
    // Every entry point takes the context first and refuses a null one.
    for (const char* n : kNames) {
        if (!std::strcmp(n, "KRV_Create")) continue;
        CtxFn f = fn<CtxFn>(l.dll, n);
        CHECK(f && f(nullptr) == 0);
    }
    void* ctx = l.create();
    CHECK(ctx != nullptr);
    CHECK(l.setDevice(ctx, nullptr) == 0);
    CHECK(l.folder(ctx, nullptr) == 0);
    CHECK(l.folder(ctx, std::string(300, 'a').c_str()) == 0);
    CHECK(l.play(ctx, nullptr, nullptr, nullptr) == 0);
    CHECK(l.picture(ctx, "x", nullptr, buf.data()) == 0);
    CHECK(l.picture(ctx, "x", &len, nullptr) == 0);
    CHECK(l.list(ctx, 1, 5, nullptr, nullptr, nullptr) == 0);
    CHECK(l.cnt(ctx, 1) == 0);  // no device yet
    CHECK(l.del(ctx) == 1);
    CHECK(l.del(ctx) == 0);  // already gone
}

void deviceAndListing(Lib& l, char letter, const std::string& root) {
    std::string rootPath = std::string(1, letter) + ":\\";
    CHECK(GetDriveTypeA(rootPath.c_str()) == DRIVE_REMOVABLE);
    int disk = probeDisk(letter);
    std::printf("drive %c: is on physical disk %d\n", letter, disk);
    CHECK(disk > 0 && disk < 255);
    void* ctx = l.create();
    unsigned char zeroChar = '0', n = uint8_t(disk), none = 0, other = uint8_t(disk + 17);
    CHECK(l.setDevice(ctx, &zeroChar) == 1);
    CHECK(l.cnt(ctx, 1) == 0);
    CHECK(l.setDevice(ctx, &n) == 1);
    unsigned char a = 9, b = 9;
    unsigned short c = 0;
    unsigned int d = 0;
    CHECK(l.flag(ctx, &a, &b, &c, &d) == 1);
    CHECK(a == 1 && c == 6 && d == 6);
    CHECK(l.cnt(ctx, 0) == 1);
    CHECK(l.cnt(ctx, 1) == 3);
    CHECK(l.cnt(ctx, 2) == 1);
    CHECK(l.cnt(ctx, 3) == 1);
    CHECK(l.cnt(ctx, 4) == 0);

    // Two of the three Normal entries asked for: two written, the third slot untouched.
    std::vector<uint8_t> recs(3 * 40, 0xAB);
    int ia[3] = {-1, -1, -1}, ib[3] = {-1, -1, -1};
    CHECK(l.list(ctx, 1, 2, recs.data(), ia, ib) == 2);
    CHECK(std::strcmp(reinterpret_cast<char*>(&recs[0]), "R_240614_081500_N1.avi") == 0);
    CHECK(std::strcmp(reinterpret_cast<char*>(&recs[40]), "R_240614_081600_N2.avi") == 0);
    CHECK(recs[80] == 0xAB && recs[119] == 0xAB && ia[2] == -1 && ib[2] == -1);
    CHECK(ia[0] == 3);
    CHECK(l.list(ctx, 3, 1, recs.data(), nullptr, nullptr) == 1);
    CHECK(recs[16] == 'J');

    // Disk 0 is never read; a disk without a card lists nothing.
    CHECK(l.setDevice(ctx, &none) == 1);
    CHECK(l.cnt(ctx, 1) == 0);
    CHECK(l.setDevice(ctx, &other) == 0);
    CHECK(l.cnt(ctx, 1) == 0);

    // Writing and formatting are refused and leave the card as it was.
    CHECK(l.setDevice(ctx, &n) == 1);
    std::string index = krv::indexPath(root);
    std::vector<char> before = readFile(index);
    CHECK(l.write(ctx) == 0);
    CHECK(l.format(ctx) == 0);
    auto setConfig = fn<CtxFn>(l.dll, "KRV_Set_Config_Data");
    CHECK(setConfig(ctx) == 0);
    CHECK(readFile(index) == before);
    CHECK(l.cnt(ctx, 1) == 3);
    l.del(ctx);
}

void makingFiles(Lib& l, int disk, const std::string& work, const std::string& root) {
    void* ctx = l.create();
    unsigned char n = uint8_t(disk);
    CHECK(l.setDevice(ctx, &n) == 1);
    std::vector<uint8_t> gs(16384, 0), gps(16384, 0);
    std::string out1 = work + "\\play", out2 = work + "\\export";
    CreateDirectoryA(out1.c_str(), nullptr);
    CreateDirectoryA(out2.c_str(), nullptr);

    // Folder with and without its trailing backslash.
    CHECK(l.folder(ctx, (out1 + "\\").c_str()) == 1);
    CHECK(l.play(ctx, "R_240614_081700_E1.avi", gs.data(), gps.data()) == 1);
    CHECK(isAvi(out1 + "\\R_240614_081700_E1.avi"));
    CHECK(krv::rd32(gs.data()) == 2 * 20 * 12);
    CHECK(krv::rd32(&gps[0]) == 1 && krv::rd32(&gps[136]) == 2 && krv::rd32(&gps[4 + 2 * 136]) == 0);
    CHECK(std::memcmp(&gps[8], "$GPRMC,", 7) == 0 && krv::rd32(&gps[4]) < 128);
    CHECK(l.folder(ctx, out1.c_str()) == 1);
    CHECK(l.play(ctx, "R_240614_081600_N2.avi", gs.data(), gps.data()) == 1);
    CHECK(isAvi(out1 + "\\R_240614_081600_N2.avi"));
    CHECK(sameAsReference(out1 + "\\R_240614_081600_N2.avi", root, "R_240614_081600_N2.avi"));
    // Large enough to be read and written in many blocks by two threads.
    CHECK(l.play(ctx, "R_240614_082000_N2.avi", gs.data(), gps.data()) == 1);
    CHECK(sameAsReference(out1 + "\\R_240614_082000_N2.avi", root, "R_240614_082000_N2.avi"));
    DeleteFileA((out1 + "\\R_240614_082000_N2.avi").c_str());
    CHECK(l.play(ctx, "R_240614_081800_P1.avi", gs.data(), gps.data()) == 1);
    CHECK(krv::rd32(gs.data()) == 0);  // no G-sensor data in that recording
    CHECK(l.play(ctx, "R_999999_999999_N1.avi", gs.data(), gps.data()) == 0);
    CHECK(l.play(ctx, "R_240614_081900_J0.jpg", gs.data(), gps.data()) == 0);
    CHECK(l.play(ctx, "..\\R_240614_081700_E1.avi", gs.data(), gps.data()) == 0);

    CHECK(l.folder(ctx, out2.c_str()) == 1);
    CHECK(l.avi(ctx, "R_240614_081500_N1.avi") == 1);
    CHECK(isAvi(out2 + "\\R_240614_081500_N1.avi"));

    std::vector<uint8_t> pic(2 << 20, 0);
    unsigned int len = 0;
    CHECK(l.picture(ctx, "R_240614_081900_J0.jpg", &len, pic.data()) == 1);
    CHECK(len == kTinyJpegLen && std::memcmp(pic.data(), kTinyJpeg, len) == 0);
    len = 77;
    CHECK(l.picture(ctx, "R_240614_081500_N1.avi", &len, pic.data()) == 0 && len == 0);
    l.del(ctx);
}

struct MakeArgs {
    Lib* lib;
    void* ctx;
    const char* name;
    std::vector<uint8_t> gs, gps;
    int result = -1;
    LARGE_INTEGER done = {};
};

DWORD WINAPI makeThread(void* p) {
    auto* a = static_cast<MakeArgs*>(p);
    a->result = a->lib->play(a->ctx, a->name, a->gs.data(), a->gps.data());
    QueryPerformanceCounter(&a->done);
    return 0;
}

void stopFromAnotherThread(Lib& l, int disk, const std::string& work) {
    void* ctx = l.create();
    unsigned char n = uint8_t(disk);
    l.setDevice(ctx, &n);
    std::string dir = work + "\\stop";
    CreateDirectoryA(dir.c_str(), nullptr);
    l.folder(ctx, dir.c_str());
    const char* big = "R_240614_082000_N2.avi";
    std::string target = dir + "\\" + big;

    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    // A stop from before the make does not affect it.
    CHECK(l.stop(ctx) == 1);

    MakeArgs a{&l, ctx, big, std::vector<uint8_t>(16384), std::vector<uint8_t>(16384)};
    HANDLE h = CreateThread(nullptr, 0, makeThread, &a, 0, nullptr);
    Sleep(30);  // well inside the make, which takes some hundred milliseconds
    LARGE_INTEGER stopAt;
    QueryPerformanceCounter(&stopAt);
    CHECK(l.stop(ctx) == 1);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
    double ms = double(a.done.QuadPart - stopAt.QuadPart) * 1000.0 / double(freq.QuadPart);
    std::printf("stopped after %.1f ms\n", ms);
    CHECK(a.result == 0);
    CHECK(ms < 50);
    CHECK(!exists(target));
    for (int i = 0; i < 100 && exists(target + ".part"); ++i) Sleep(10);  // removed in the background
    CHECK(!exists(target + ".part"));

    // Two threads making at once (window thread and prefetch worker) while the
    // listing is read: both files come out whole.
    MakeArgs x{&l, ctx, "R_240614_081500_N1.avi", std::vector<uint8_t>(16384), std::vector<uint8_t>(16384)};
    MakeArgs y{&l, ctx, "R_240614_081600_N2.avi", std::vector<uint8_t>(16384), std::vector<uint8_t>(16384)};
    HANDLE hx = CreateThread(nullptr, 0, makeThread, &x, 0, nullptr);
    HANDLE hy = CreateThread(nullptr, 0, makeThread, &y, 0, nullptr);
    for (int i = 0; i < 50; ++i) CHECK(l.cnt(ctx, 1) == 3);
    WaitForSingleObject(hx, 10000);
    WaitForSingleObject(hy, 10000);
    CloseHandle(hx);
    CloseHandle(hy);
    CHECK(x.result == 1 && y.result == 1);
    CHECK(isAvi(dir + "\\R_240614_081500_N1.avi") && isAvi(dir + "\\R_240614_081600_N2.avi"));
    CHECK(krv::rd32(x.gs.data()) == 3 * 20 * 12 && krv::rd32(y.gs.data()) == 2 * 20 * 12);
    l.del(ctx);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: krvlib_wine_test DLLPATH LETTER\n");
        return 2;
    }
    char letter = char(std::toupper(uint8_t(argv[2][0])));
    std::string root = std::string(1, letter) + ":\\";
    Lib lib;
    if (!load(argv[1], lib)) {
        std::printf("cannot load %s\n", argv[1]);
        return 1;
    }
    if (!writeCard(root)) {
        std::printf("cannot write the test card on %s\n", root.c_str());
        return 1;
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string work = std::string(temp) + "krvlib-test-" + std::to_string(GetTickCount());
    CreateDirectoryA(work.c_str(), nullptr);

    nullAndForeignHandles(lib);
    deviceAndListing(lib, letter, root);
    int disk = probeDisk(letter);
    makingFiles(lib, disk, work, root);
    stopFromAnotherThread(lib, disk, work);

    std::printf("%s (%d failures)\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}
