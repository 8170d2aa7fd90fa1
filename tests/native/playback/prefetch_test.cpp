// The next-recording prefetch against a fake device library that writes real
// play files into a temporary folder chunk by chunk, with pauses, and can be
// held, stopped, made to fail or made to ignore a stop. Built under ASan and
// under ThreadSanitizer; the stress case interleaves thousands of operations
// of the window thread with the workers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "prefetch.h"

#ifndef PREFETCH_STRESS_ROUNDS
#define PREFETCH_STRESS_ROUNDS 1000
#endif

using namespace playback;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int kChunks = 4;
constexpr size_t kChunkBytes = 4096;
constexpr size_t kFileBytes = kChunks * kChunkBytes;

uint32_t Hash(const std::string& s) {
    uint32_t h = 2166136261u;
    for (char c : s) h = (h ^ uint8_t(c)) * 16777619u;
    return h;
}
// Contents of a play file and of its blocks, from the name's hash h.
uint8_t FileByte(uint32_t h, size_t i) { return uint8_t((h >> (i % 3 * 8)) + i * 7); }
// Never all zero, and different for every name and block.
uint8_t BlockByte(uint32_t h, int which, size_t i) {
    return uint8_t(((h + uint32_t(which) * 0x9E3779B9u) >> (i % 4 * 8)) + i / 4) | 1;
}
bool IsBlockOf(const uint8_t* block, const std::string& name, int which) {
    const uint32_t h = Hash(name);
    for (size_t i = 0; i < kSensorBlockBytes; ++i)
        if (block[i] != BlockByte(h, which, i)) return false;
    return true;
}

// A folder of its own, removed with its files.
struct TempDir {
    fs::path path;
    TempDir() {
        static std::atomic<int> n{0};
        path = fs::temp_directory_path() /
               ("prefetch-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(n++));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string Folder() const { return path.string() + "/"; }
};

enum class FileIs { Missing, Complete, Partial };
FileIs Check(const std::string& path, const std::string& name) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return FileIs::Missing;
    std::vector<uint8_t> data(kFileBytes + 1);
    size_t n = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    if (n != kFileBytes) return FileIs::Partial;
    const uint32_t h = Hash(name);
    for (size_t i = 0; i < n; ++i)
        if (data[i] != FileByte(h, i)) return FileIs::Partial;
    return FileIs::Complete;
}

// The device library: makes write the file a chunk at a time and check for a
// stop between chunks; a stopped or failing make leaves its partial file and
// scribbles into the caller's blocks, as the worst library would.
class FakeMaker : public IPlayFileMaker {
public:
    std::atomic<int> makes{0}, active{0}, maxActive{0}, stops{0}, held{0};
    std::atomic<bool> hold{false};       // makes wait after their first chunk ...
    std::atomic<bool> release{false};    // ... until released ...
    std::atomic<bool> honourStop{true};  // ... or stopped (a library that ignores stops makes to the end)
    std::atomic<bool> failAll{false};    // makes fail after their second chunk
    std::atomic<int> maxPauseUs{0};      // random pause after each chunk
    std::function<void()> onStop;        // set before any worker runs

    void SetPcFolder(const std::string& folder) override { m_folder = folder; }

    bool MakePlayFile(const std::string& name, uint8_t* gsensor, uint8_t* gps) override {
        ++makes;
        int now = ++active, prev = maxActive;
        while (now > prev && !maxActive.compare_exchange_weak(prev, now)) {}
        const unsigned epoch = m_epoch;
        auto stopped = [&] { return honourStop && m_epoch != epoch; };
        // m_folder is a plain string: two makes at once would race on it here.
        const std::string path = m_folder + name;
        const uint32_t h = Hash(name);
        bool ok = true;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::vector<uint8_t> chunk(kChunkBytes);
        for (int c = 0; f && c < kChunks && ok; ++c) {
            if (stopped()) {
                ok = false;
                break;
            }
            for (size_t i = 0; i < kChunkBytes; ++i) chunk[i] = FileByte(h, size_t(c) * kChunkBytes + i);
            std::fwrite(chunk.data(), 1, chunk.size(), f);
            std::fflush(f);
            if (c == 0 && hold) {
                ++held;
                while (!release && !stopped()) std::this_thread::sleep_for(100us);
                --held;
            }
            Pause();
            if (c == 1 && failAll) ok = false;
        }
        ok = ok && f;
        for (size_t i = 0; i < kSensorBlockBytes; ++i) {
            gsensor[i] = ok ? BlockByte(h, 0, i) : 0xEE;
            gps[i] = ok ? BlockByte(h, 1, i) : 0xEE;
        }
        if (f) std::fclose(f);
        --active;
        return ok;
    }

    void StopMakePlayFile() override {
        ++stops;
        ++m_epoch;
        if (onStop) onStop();
    }

private:
    void Pause() {
        thread_local std::minstd_rand rng(unsigned(std::hash<std::thread::id>{}(std::this_thread::get_id())));
        int most = maxPauseUs;
        if (most > 0) std::this_thread::sleep_for(std::chrono::microseconds(rng() % unsigned(most)));
    }
    std::string m_folder;
    std::atomic<unsigned> m_epoch{0};
};

std::string Name(char letter, int n = 14) {
    char text[40];
    std::snprintf(text, sizeof text, "R_240612_0713%02d_%c0.avi", n % 100, letter);
    return text;
}
NextRow Row(const std::string& name, const wchar_t* type = L"Normal") { return NextRow{true, name, type}; }

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5000ms) {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}
bool WaitState(const CNextFilePrefetch& p, int state) {
    return WaitFor([&] { return p.State() == state; });
}

class PrefetchTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir.Folder() + name; }
    FileIs File(const std::string& name) const { return Check(Path(name), name); }
    TempDir dir;
    FakeMaker lib;
    CNextFilePrefetch::Block g{}, gps{};
};

TEST_F(PrefetchTest, TriggerMakesTheNextFileAndTakeHandsOutItsBlocks) {
    CNextFilePrefetch p(lib, dir.Folder());
    const std::string a = Name('N'), b = Name('E', 15);
    EXPECT_EQ(kPrefetchIdle, p.State());
    ASSERT_TRUE(p.Trigger(Row(a)));
    EXPECT_FALSE(p.Trigger(Row(b))) << "only from idle";
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_EQ(Path(a), p.NextFile());
    EXPECT_EQ(FileIs::Complete, File(a));
    EXPECT_EQ(1, lib.makes.load());
    EXPECT_FALSE(p.Trigger(Row(b)));

    // Another row's open gets nothing and its blocks stay as they were.
    g.fill(0x55);
    EXPECT_FALSE(p.TakeIfReady(b, g.data(), gps.data()));
    EXPECT_EQ(0x55, g[100]);
    ASSERT_TRUE(p.TakeIfReady(a, g.data(), gps.data()));
    EXPECT_TRUE(IsBlockOf(g.data(), a, 0));
    EXPECT_TRUE(IsBlockOf(gps.data(), a, 1));

    // The open's reset: idle, nothing to take; the taken file is the caller's.
    p.Reset();
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_FALSE(p.TakeIfReady(a, g.data(), gps.data()));
    EXPECT_EQ(FileIs::Complete, File(a));
    EXPECT_FALSE(p.WorkerAttached());
    EXPECT_FALSE(p.TakeIfReady(a, nullptr, gps.data()));
}

TEST_F(PrefetchTest, RowsTheWorkerRejectsEndFailedWithoutTheLibrary) {
    CNextFilePrefetch p(lib, dir.Folder());
    const NextRow rejected[] = {
        NextRow{false, Name('N'), L"Normal"},  // no next row
        Row(Name('N'), L"F"),                  // unrecognised type letter in the list
        Row(Name('J'), L"Photo"),              // photos are not prefetched
        Row(Name('j'), L"Photo"),
        Row(Name('n')),  // listed as Normal, not in this table
        Row(Name('U')),
        Row("R_240612_071314_"),  // too short for a type letter
        Row(""),
        Row("R_240612_071314_N0\\..\\..\\evil.avi"),  // not a plain file name
        Row("R_240612_071314_N0/../../evil.avi"),
        Row("R_240612_071314_N0.avi:stream"),
    };
    for (const NextRow& row : rejected) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(p.Trigger(row));
        ASSERT_TRUE(WaitState(p, kPrefetchFailed));
        EXPECT_FALSE(p.Trigger(Row(Name('N')))) << "only from idle";
        EXPECT_FALSE(p.TakeIfReady(row.name, g.data(), gps.data()));
        EXPECT_TRUE(p.ClearFailed());
        EXPECT_EQ(kPrefetchIdle, p.State());
        EXPECT_FALSE(p.ClearFailed());
    }
    EXPECT_EQ(0, lib.makes.load());
    EXPECT_TRUE(WaitFor([&] { return !p.WorkerAttached(); }));
}

TEST_F(PrefetchTest, AbortStopsTheMakeWaitsAndLeavesNoFile) {
    CNextFilePrefetch p(lib, dir.Folder());
    std::atomic<int> stateAtStop{-1};
    lib.onStop = [&] { stateAtStop = p.State(); };
    lib.hold = true;
    const std::string a = Name('P');
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitFor([&] { return lib.held == 1; }));
    EXPECT_EQ(kPrefetchRunning, p.State());
    EXPECT_EQ(FileIs::Partial, File(a));

    EXPECT_TRUE(p.Abort());
    EXPECT_EQ(kPrefetchAborting, stateAtStop.load());
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_EQ(FileIs::Missing, File(a)) << "half-written file left behind";
    EXPECT_FALSE(p.WorkerAttached());
    EXPECT_FALSE(p.TakeIfReady(a, g.data(), gps.data()));

    // The next request runs normally.
    lib.hold = false;
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_TRUE(p.TakeIfReady(a, g.data(), gps.data()));
    EXPECT_TRUE(IsBlockOf(g.data(), a, 0));
    // Abort with nothing running is immediate.
    p.Reset();
    EXPECT_TRUE(p.Abort());
    EXPECT_EQ(FileIs::Complete, File(a));  // taken: the caller's
}

TEST_F(PrefetchTest, ResetDiscardsAWorkerStillMakingWithoutWaitingForIt) {
    CNextFilePrefetch p(lib, dir.Folder());
    lib.hold = true;
    lib.honourStop = false;  // this make finishes, only when released
    const std::string a = Name('M'), b = Name('R', 20);
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitFor([&] { return lib.held == 1; }));
    auto t0 = std::chrono::steady_clock::now();
    p.Reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 200ms);
    EXPECT_EQ(kPrefetchIdle, p.State());
    // The slot is still taken: no second worker.
    EXPECT_FALSE(p.Trigger(Row(b)));
    EXPECT_EQ(kPrefetchIdle, p.State());

    lib.release = true;
    ASSERT_TRUE(WaitFor([&] { return !p.WorkerAttached(); }));
    // It made its file to the end, but its request was given up: it neither
    // published nor kept the file.
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_FALSE(p.TakeIfReady(a, g.data(), gps.data()));
    EXPECT_EQ(FileIs::Missing, File(a));
    EXPECT_TRUE(p.NextFile().empty());

    ASSERT_TRUE(p.Trigger(Row(b)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_EQ(Path(b), p.NextFile());
}

TEST_F(PrefetchTest, AWorkerThatIgnoresTheStopKeepsTheLibraryToItself) {
    CNextFilePrefetch p(lib, dir.Folder(), 50ms);
    lib.hold = true;
    lib.honourStop = false;
    const std::string a = Name('I'), c = Name('E', 30);
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitFor([&] { return lib.held == 1; }));

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(p.Abort()) << "the worker cannot have returned";
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1000ms);
    EXPECT_GE(lib.stops.load(), 1);
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_TRUE(p.WorkerAttached());
    EXPECT_FALSE(p.Trigger(Row(c)));
    // The window thread's own make does not run beside it.
    EXPECT_FALSE(p.MakeOwn(c, g.data(), gps.data()));
    EXPECT_EQ(1, lib.makes.load());
    EXPECT_EQ(FileIs::Missing, File(c));

    lib.release = true;
    ASSERT_TRUE(WaitFor([&] { return !p.WorkerAttached(); }));
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_EQ(FileIs::Missing, File(a));
    ASSERT_TRUE(p.MakeOwn(c, g.data(), gps.data()));
    EXPECT_EQ(FileIs::Complete, File(c));
    EXPECT_TRUE(IsBlockOf(gps.data(), c, 1));
    EXPECT_EQ(1, lib.maxActive.load());
}

TEST_F(PrefetchTest, OwnMakeStopsARunningWorkerFirst) {
    CNextFilePrefetch p(lib, dir.Folder());
    lib.hold = true;
    const std::string a = Name('N'), b = Name('P', 40);
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitFor([&] { return lib.held == 1; }));
    lib.hold = false;
    ASSERT_TRUE(p.MakeOwn(b, g.data(), gps.data()));
    EXPECT_EQ(kPrefetchIdle, p.State());
    EXPECT_FALSE(p.WorkerAttached());
    EXPECT_EQ(FileIs::Missing, File(a));
    EXPECT_EQ(FileIs::Complete, File(b));
    EXPECT_TRUE(IsBlockOf(g.data(), b, 0));
    EXPECT_EQ(1, lib.maxActive.load());
    // Names that are not plain file names never reach the library.
    EXPECT_FALSE(p.MakeOwn("../" + b, g.data(), gps.data()));
    EXPECT_FALSE(p.MakeOwn("", g.data(), gps.data()));
    EXPECT_EQ(2, lib.makes.load());
}

TEST_F(PrefetchTest, AReadyFileNobodyTookIsDeletedWhenDiscarded) {
    CNextFilePrefetch p(lib, dir.Folder());
    const std::string a = Name('N'), b = Name('E', 50), c = Name('M', 51);
    // Another row was opened instead: reset drops the ready file.
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    ASSERT_TRUE(p.MakeOwn(c, g.data(), gps.data()));
    EXPECT_EQ(kPrefetchReady, p.State()) << "a ready prefetch is not given up by another make";
    p.Reset();
    EXPECT_EQ(FileIs::Missing, File(a));
    EXPECT_EQ(FileIs::Complete, File(c));

    // The same row made again by the window thread: that file is the caller's.
    ASSERT_TRUE(p.Trigger(Row(b)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    ASSERT_TRUE(p.MakeOwn(b, g.data(), gps.data()));
    p.Reset();
    EXPECT_EQ(FileIs::Complete, File(b));

    // Aborted while ready.
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_TRUE(p.Abort());
    EXPECT_EQ(FileIs::Missing, File(a));
}

TEST_F(PrefetchTest, AFailedMakeIsReadyWithNothingToTake) {
    CNextFilePrefetch p(lib, dir.Folder());
    lib.failAll = true;
    const std::string a = Name('R');
    ASSERT_TRUE(p.Trigger(Row(a)));
    ASSERT_TRUE(WaitState(p, kPrefetchReady));
    EXPECT_EQ(Path(a), p.NextFile());
    EXPECT_FALSE(p.TakeIfReady(a, g.data(), gps.data()));
    EXPECT_EQ(FileIs::Missing, File(a));
    // The window thread's own make fails the same way and leaves nothing.
    EXPECT_FALSE(p.MakeOwn(a, g.data(), gps.data()));
    EXPECT_EQ(FileIs::Missing, File(a));
    p.Reset();
    EXPECT_EQ(kPrefetchIdle, p.State());
}

TEST_F(PrefetchTest, DestructionStopsAndWaitsForTheWorker) {
    lib.hold = true;
    const std::string a = Name('E');
    {
        CNextFilePrefetch p(lib, dir.Folder());
        ASSERT_TRUE(p.Trigger(Row(a)));
        ASSERT_TRUE(WaitFor([&] { return lib.held == 1; }));
    }
    EXPECT_EQ(0, lib.active.load());
    EXPECT_EQ(FileIs::Missing, File(a));
}

// The window thread's operations in random order against workers whose makes
// take random time. Checked throughout: one make at a time (and ThreadSanitizer
// sees no race), "ready" only for the last request nobody gave up, taken
// blocks always those of the name asked for, and no half-written file after
// an abort or at the end.
TEST(PrefetchStress, RequestsAbortsResetsAndOwnMakesInterleaved) {
    TempDir dir;
    FakeMaker lib;
    lib.maxPauseUs = 300;
    const int rounds = PREFETCH_STRESS_ROUNDS;
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) names.push_back(Name("NEPMRINE"[i], i));
    std::minstd_rand rng(20240612);
    auto pick = [&] { return names[rng() % names.size()]; };

    std::set<std::string> kept;  // files the window thread owns (own makes and takes)
    auto noHalfWrittenFile = [&] {
        for (const auto& entry : fs::directory_iterator(dir.path)) {
            std::string name = entry.path().filename().string();
            EXPECT_EQ(FileIs::Complete, Check(entry.path().string(), name)) << name << " half-written";
        }
    };
    int triggers = 0, takes = 0, aborts = 0, owns = 0, readySeen = 0, failedSeen = 0;  // rounds that saw ready/failed
    {
        CNextFilePrefetch p(lib, dir.Folder());
        std::string lastTriggered;
        bool givenUp = true;  // the last request was reset or aborted since
        CNextFilePrefetch::Block g{}, gps{};
        auto checkReady = [&] {
            if (p.State() == kPrefetchFailed) ++failedSeen;
            if (p.State() != kPrefetchReady) return;
            ++readySeen;
            EXPECT_FALSE(givenUp) << "a given-up request published";
            EXPECT_EQ(dir.Folder() + lastTriggered, p.NextFile());
        };
        for (int round = 0; round < rounds && !::testing::Test::HasFailure(); ++round) {
            const unsigned op = rng() % 100;
            if (op < 25) {
                NextRow row = Row(pick());
                if (rng() % 10 == 0) row.type = L"F";
                if (rng() % 10 == 0) row.name[16] = "Jn?"[rng() % 3];
                if (rng() % 20 == 0) row.present = false;
                if (p.Trigger(row)) {
                    ++triggers;
                    lastTriggered = row.name;
                    givenUp = false;
                }
            } else if (op < 40) {
                // Next, as the controller does it: a failed prefetch is cleared,
                // one under way waited for (its timer), then the open takes the
                // prefetched blocks or makes the file itself, and resets.
                if (p.State() == kPrefetchFailed) p.ClearFailed();
                EXPECT_TRUE(WaitFor([&] {
                    int s = p.State();
                    return s != kPrefetchRequested && s != kPrefetchRunning;
                }));
                checkReady();
                const std::string name = p.State() == kPrefetchReady ? lastTriggered : pick();
                g.fill(0);
                if (p.TakeIfReady(name, g.data(), gps.data())) {
                    ++takes;
                    EXPECT_FALSE(givenUp);
                    EXPECT_EQ(lastTriggered, name);
                    EXPECT_TRUE(IsBlockOf(g.data(), name, 0) && IsBlockOf(gps.data(), name, 1)) << name;
                    EXPECT_EQ(FileIs::Complete, Check(dir.Folder() + name, name));
                    kept.insert(name);
                } else if (p.MakeOwn(name, g.data(), gps.data())) {
                    ++owns;
                    EXPECT_TRUE(IsBlockOf(g.data(), name, 0)) << name;
                    kept.insert(name);
                }
                p.Reset();
                givenUp = true;
            } else if (op < 45) {
                // An open of some other row while the prefetch may be ready.
                const std::string name = pick();
                g.fill(0);
                if (p.TakeIfReady(name, g.data(), gps.data())) {
                    ++takes;
                    EXPECT_FALSE(givenUp);
                    EXPECT_EQ(lastTriggered, name);
                    EXPECT_TRUE(IsBlockOf(g.data(), name, 0) && IsBlockOf(gps.data(), name, 1)) << name;
                    kept.insert(name);
                    p.Reset();
                    givenUp = true;
                }
            } else if (op < 50) {
                p.Reset();
                givenUp = true;
            } else if (op < 55) {
                p.ClearFailed();
            } else if (op < 60) {
                ++aborts;
                givenUp = true;
                if (p.Abort()) noHalfWrittenFile();
                EXPECT_EQ(kPrefetchIdle, p.State());
            } else if (op < 65) {
                const std::string name = pick();
                if (p.MakeOwn(name, g.data(), gps.data())) {
                    ++owns;
                    EXPECT_TRUE(IsBlockOf(g.data(), name, 0)) << name;
                    EXPECT_EQ(FileIs::Complete, Check(dir.Folder() + name, name));
                    kept.insert(name);
                }
                p.Reset();  // the open's next step
                givenUp = true;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 1500));
            }
            checkReady();
        }
        EXPECT_TRUE(p.Abort());
        noHalfWrittenFile();
    }
    noHalfWrittenFile();
    EXPECT_EQ(1, lib.maxActive.load()) << "two makes at once";
    EXPECT_EQ(0, lib.active.load());
    // What remains is only what the window thread took or made itself.
    for (const auto& entry : fs::directory_iterator(dir.path))
        EXPECT_EQ(1u, kept.count(entry.path().filename().string())) << entry.path();
    std::printf(
        "%d rounds: %d triggers, %d ready seen, %d failed seen, %d takes, %d own makes, %d aborts, %d makes, "
        "%d stops\n",
        rounds, triggers, readySeen, failedSeen, takes, owns, aborts, lib.makes.load(), lib.stops.load());
    // The mix reached every state it is meant to exercise.
    EXPECT_GT(takes, rounds / 100);
    EXPECT_GT(readySeen, rounds / 100);
    EXPECT_GT(failedSeen, 0);
    EXPECT_GT(lib.stops.load(), 0);
}

}  // namespace
