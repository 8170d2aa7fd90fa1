// The next-recording prefetch over the device library: the stand-in
// KRVLib.dll of the program folder reading a card mapped as a drive, play
// files made into a folder of the test by the worker, stopped and waited for.
//   prefetch_krv_test.exe PROGRAM_FOLDER LETTER
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "drive_probe.h"
#include "krv_library.h"
#include "krv_play_file_maker.h"
#include "prefetch.h"

using namespace playback;
using namespace std::chrono_literals;

namespace {

std::wstring g_program;
wchar_t g_letter = L'K';

// The card's recordings (see prefetch_krv_test.sh).
const std::string kShort = "R_240614_090000_N1.avi";  // 12 s, one channel
const std::string kLong = "R_240614_090100_N2.avi";   // 40 s, two channels
const std::string kEvent = "R_240614_090200_E1.avi";  // 12 s, one channel
const std::string kPhoto = "R_240614_090300_J0.jpg";

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

bool WaitState(const CNextFilePrefetch& p, int state, double timeoutMs = 20000) {
    double until = Now() + timeoutMs;
    while (p.State() != state) {
        if (Now() > until) return false;
        Sleep(1);
    }
    return true;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (int64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

// Files in a folder (any name).
int CountFiles(const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

class PrefetchKrvTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, lib.Load(g_program.c_str()));
        int disk = ProbeDiskNumber(g_letter);
        ASSERT_GE(disk, 0);
        unsigned char d = static_cast<unsigned char>(disk);
        ASSERT_EQ(1, lib.SetDevice(&d));
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "prefetch-krv-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    void TearDown() override {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + fd.cFileName).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(folder.c_str());
    }
    // The library deletes a stopped make's temporary file on a thread of its own.
    bool WaitEmpty(double timeoutMs = 3000) {
        double until = Now() + timeoutMs;
        while (CountFiles(folder) && Now() < until) Sleep(10);
        return CountFiles(folder) == 0;
    }

    KrvLibrary lib;
    std::string folder;
    CNextFilePrefetch::Block g{}, gps{};
};

NextRow Row(const std::string& name, const wchar_t* type = L"Normal") { return NextRow{true, name, type}; }

TEST_F(PrefetchKrvTest, TheWorkerMakesTheNextPlayFileAndItsBlocks) {
    CKrvPlayFileMaker maker(lib);
    CNextFilePrefetch p(maker, folder);
    ASSERT_TRUE(p.Trigger(Row(kEvent, L"Event")));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_EQ(folder + kEvent, p.NextFile());
    EXPECT_FALSE(p.TakeIfReady(kShort, g.data(), gps.data()));
    ASSERT_TRUE(p.TakeIfReady(kEvent, g.data(), gps.data()));
    // The G-sensor block starts with its byte count; the GPS block carries
    // RMC sentences.
    int32_t gBytes = 0;
    std::memcpy(&gBytes, g.data(), 4);
    EXPECT_GT(gBytes, 0);
    const char rmc[] = "RMC";
    EXPECT_NE(gps.end(), std::search(gps.begin(), gps.end(), rmc, rmc + 3));
    EXPECT_GT(FileSize(folder + kEvent), 100000);
    p.Reset();
    EXPECT_GT(FileSize(folder + kEvent), 100000) << "a taken file is the caller's";

    // The window thread's own make gives the same blocks for the same recording.
    CNextFilePrefetch::Block g2{}, gps2{};
    ASSERT_TRUE(p.MakeOwn(kEvent, g2.data(), gps2.data()));
    EXPECT_TRUE(g == g2);
    EXPECT_TRUE(gps == gps2);
}

TEST_F(PrefetchKrvTest, AbortStopsALongMakeAndLeavesNoFile) {
    CKrvPlayFileMaker maker(lib);
    CNextFilePrefetch p(maker, folder);
    // Reference: the whole make on this thread.
    double t0 = Now();
    ASSERT_TRUE(p.MakeOwn(kLong, g.data(), gps.data()));
    const double wholeMs = Now() - t0;
    const int64_t size = FileSize(folder + kLong);
    EXPECT_GT(size, 10000000);
    DeleteFileA((folder + kLong).c_str());

    ASSERT_TRUE(p.Trigger(Row(kLong)));
    ASSERT_TRUE(WaitState(p, kPrefetchRunning));
    std::this_thread::sleep_for(std::chrono::milliseconds(int(wholeMs / 5)));
    t0 = Now();
    EXPECT_TRUE(p.Abort());
    const double abortMs = Now() - t0;
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_FALSE(p.WorkerAttached());
    EXPECT_EQ(-1, FileSize(folder + kLong));
    EXPECT_TRUE(WaitEmpty()) << CountFiles(folder) << " files left";
    std::printf("whole make of a 40 s two-channel recording (%lld bytes) %.0f ms; abort during it %.1f ms\n",
                static_cast<long long>(size), wholeMs, abortMs);
    EXPECT_LT(abortMs, wholeMs / 2);

    // The next request runs to the end.
    ASSERT_TRUE(p.Trigger(Row(kLong)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    ASSERT_TRUE(p.TakeIfReady(kLong, g.data(), gps.data()));
    EXPECT_EQ(size, FileSize(folder + kLong));
}

TEST_F(PrefetchKrvTest, OwnMakeStopsTheWorkerFirstAndResetDropsAnUntakenFile) {
    CKrvPlayFileMaker maker(lib);
    CNextFilePrefetch p(maker, folder);
    ASSERT_TRUE(p.Trigger(Row(kLong)));
    ASSERT_TRUE(WaitState(p, kPrefetchRunning));
    ASSERT_TRUE(p.MakeOwn(kShort, g.data(), gps.data()));
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_GT(FileSize(folder + kShort), 100000);
    EXPECT_EQ(-1, FileSize(folder + kLong));

    ASSERT_TRUE(p.Trigger(Row(kEvent, L"Event")));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    p.Reset();  // another row was opened
    EXPECT_EQ(-1, FileSize(folder + kEvent));
    EXPECT_GT(FileSize(folder + kShort), 100000);
}

TEST_F(PrefetchKrvTest, PhotosAndRecordingsNotOnTheCardAreNotReady) {
    CKrvPlayFileMaker maker(lib);
    CNextFilePrefetch p(maker, folder);
    ASSERT_TRUE(p.Trigger(Row(kPhoto, L"Photo")));
    ASSERT_TRUE(WaitState(p, kPrefetchFailed));
    EXPECT_TRUE(p.ClearFailed());
    // A name the card does not have: the library makes nothing, so there is
    // nothing to take and no file.
    const std::string missing = "R_240614_100000_N1.avi";
    ASSERT_TRUE(p.Trigger(Row(missing)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_FALSE(p.TakeIfReady(missing, g.data(), gps.data()));
    EXPECT_FALSE(p.MakeOwn(missing, g.data(), gps.data()));
    EXPECT_EQ(0, CountFiles(folder));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: prefetch_krv_test PROGRAM_FOLDER LETTER\n");
        return 2;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
    g_program.resize(size_t(n > 0 ? n - 1 : 0));
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, argv[1], -1, &g_program[0], n);
    g_letter = wchar_t(argv[2][0]);
    return RUN_ALL_TESTS();
}
