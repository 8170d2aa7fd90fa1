// The next-recording prefetch: while one recording plays, a worker thread has
// the device library write the next row's play file into the program folder
// and fill its G-sensor and GPS blocks, so that Next and the automatic advance
// open it at once.
//
// States (the controller's m_nNextFileState): 0 idle, 1 requested, 2 running,
// 3 ready, 4 failed, 5 aborting. The state is atomic; everything else the
// worker shares with the window thread (the two prefetch blocks,
// m_strNextFile, the request number) is guarded by one mutex that is never
// held across a library call. Every request has a number; a worker whose
// request was reset, aborted or replaced can neither publish "ready" nor
// write into the blocks a later open takes: it makes into blocks of its own
// and copies them over only while its number is still the current one. A
// worker that does not publish deletes what it made, so no half-written play
// file survives it. At most one worker exists (the slot), and the library
// makes one play file at a time: the window thread's own make first stops and
// waits for the worker.
//
// Threads: State() may be read from any thread. Every other operation is
// called from one thread, the window thread. The worker never touches the
// window: the window thread hands it the next row's name and type text.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "playback_rules.h"
#include "worker.h"

namespace playback {

constexpr size_t kSensorBlockBytes = 16384;

// What the prefetch needs of the device library. SetPcFolder and
// MakePlayFile are never called by two threads at once; StopMakePlayFile is
// called from the window thread while the worker may be inside MakePlayFile.
class IPlayFileMaker {
public:
    virtual ~IPlayFileMaker() = default;
    // The folder (ANSI, with a trailing backslash) the next make writes into.
    virtual void SetPcFolder(const std::string& folder) = 0;
    // Writes folder + name (ANSI) and fills the two 16384-byte blocks; returns
    // when done or stopped. True when the play file is there (not empty).
    virtual bool MakePlayFile(const std::string& name, uint8_t* gsensor, uint8_t* gps) = 0;
    // Stops the make running now, if any (a later make is not affected).
    virtual void StopMakePlayFile() = 0;
    // Deletes a file by its ANSI path; nothing when it is not there.
    virtual void RemoveFile(const std::string& path);
};

// The row after the current one, as the window thread reads it.
struct NextRow {
    bool present = false;  // false: the current row is the last one
    std::string name;      // recording name in the ANSI code page (list column 3)
    std::wstring type;     // type text (list column 4); "F" marks a defective row
};

// A recording name that may be joined to the program folder: not empty, no
// folder separators, drive colons or NUL bytes, not "." or "..".
bool IsPlainFileName(const std::string& name);

class CNextFilePrefetch {
public:
    using Block = std::array<uint8_t, kSensorBlockBytes>;
    static constexpr std::chrono::milliseconds kDefaultJoinBound{2000};

    // folder: the program folder in the ANSI code page, trailing backslash.
    CNextFilePrefetch(IPlayFileMaker& maker, std::string folder,
                      std::chrono::milliseconds joinBound = kDefaultJoinBound);
    // Stops a running worker and waits for it, however long the library
    // takes to honour the stop (the worker uses the library and this object).
    ~CNextFilePrefetch();
    CNextFilePrefetch(const CNextFilePrefetch&) = delete;
    CNextFilePrefetch& operator=(const CNextFilePrefetch&) = delete;

    // m_nNextFileState; any thread.
    int State() const { return m_nNextFileState.load(); }

    // --- window thread only ---

    // The tick's trigger, idle state only: state 1 and a worker for `row`,
    // which moves to 2 and makes its play file, then 3; or to 4 when there is
    // no row, its type text is "F", or its type letter is a photo's or not
    // listed. False (state unchanged) when not idle, or while the worker slot
    // is still taken by a worker that has not returned.
    bool Trigger(const NextRow& row);
    // When the prefetch is ready with a made play file for `name`: copies its
    // blocks out (kSensorBlockBytes each) and true; the file is the caller's
    // from then on. False otherwise, blocks untouched.
    bool TakeIfReady(const std::string& name, uint8_t* gsensor, uint8_t* gps);
    // The open's reset: state 0, blocks zeroed. A request under way is given
    // up (its worker is asked to stop and its result is discarded, without
    // waiting for it); a ready play file nobody took is deleted.
    void Reset();
    // Next on a failed prefetch: state 4 to 0. False in any other state.
    bool ClearFailed();
    // AbortNextFile: state 5; the running make is stopped and the worker
    // waited for, at most the join bound; a ready play file nobody took is
    // deleted; state 0. True when no worker is left; false when it did not
    // return in time (it then still cannot publish, deletes its own output
    // when it returns, and keeps the slot until then).
    bool Abort();
    // The window thread's own make of `name` into the caller's blocks. A
    // request not ready yet is given up and its worker stopped and waited for
    // first (at most the join bound), so that the library never makes two
    // files at once. False, without calling the library, when the name is
    // not a plain file name or a worker is still making.
    bool MakeOwn(const std::string& name, uint8_t* gsensor, uint8_t* gps);

    // m_strNextFile: program folder + name of the last prefetch made ready.
    std::string NextFile() const;
    // The worker slot is taken (a worker runs, or returned and is not yet joined).
    bool WorkerAttached();
    const std::string& Folder() const { return m_folder; }

private:
    void Work(uint64_t request, const NextRow& row, const std::atomic<bool>& stop);
    // Joins a worker that has returned; true when the slot is empty.
    bool Reap();
    // Asks the worker (and its make) to stop and waits at most `bound`.
    bool StopAndJoin(std::chrono::milliseconds bound);
    // Under m_mutex: the ready file nobody took (cleared), or empty.
    std::string DropUntakenLocked();

    IPlayFileMaker& m_maker;
    const std::string m_folder;
    const std::chrono::milliseconds m_joinBound;

    std::atomic<int> m_nNextFileState{kPrefetchIdle};
    std::atomic<bool> m_inMake{false};  // the worker is in (or entering) the library's make

    mutable std::mutex m_mutex;  // guards what follows
    uint64_t m_request = 0;      // number of the current request
    Block m_gsensor{}, m_gps{};  // the prefetch blocks
    std::string m_strNextFile;
    bool m_made = false;   // the ready prefetch has its play file
    bool m_taken = false;  // ... and it was handed to the caller

    CWorkerThread m_worker;  // the worker slot
};

}  // namespace playback
