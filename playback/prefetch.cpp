#include "prefetch.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace playback {

namespace {
// How often a stop is repeated while waiting for the worker: a stop that
// reaches the library just before the worker enters its make finds nothing
// to stop.
constexpr std::chrono::milliseconds kStopRetry{20};
}  // namespace

void IPlayFileMaker::RemoveFile(const std::string& path) { std::remove(path.c_str()); }

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '\\' || c == '/' || c == ':' || c == '\0') return false;
    return true;
}

CNextFilePrefetch::CNextFilePrefetch(IPlayFileMaker& maker, std::string folder, std::chrono::milliseconds joinBound)
    : m_maker(maker), m_folder(std::move(folder)), m_joinBound(joinBound) {}

CNextFilePrefetch::~CNextFilePrefetch() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_request;
    }
    while (!StopAndJoin(std::chrono::milliseconds(200))) {}
}

bool CNextFilePrefetch::Reap() { return !m_worker.IsAttached() || m_worker.Join(std::chrono::milliseconds(0)); }

bool CNextFilePrefetch::WorkerAttached() {
    Reap();
    return m_worker.IsAttached();
}

std::string CNextFilePrefetch::NextFile() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strNextFile;
}

std::string CNextFilePrefetch::DropUntakenLocked() {
    std::string untaken;
    if (m_nNextFileState == kPrefetchReady && m_made && !m_taken) untaken = m_strNextFile;
    m_made = false;
    m_taken = false;
    return untaken;
}

bool CNextFilePrefetch::StopAndJoin(std::chrono::milliseconds bound) {
    if (!m_worker.IsAttached()) return true;
    m_worker.RequestStop();
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (m_inMake) m_maker.StopMakePlayFile();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return m_worker.Join(std::chrono::milliseconds(0));
        if (m_worker.Join(std::min(kStopRetry, left))) return true;
    }
}

bool CNextFilePrefetch::Trigger(const NextRow& row) {
    if (!Reap()) return false;
    uint64_t request;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nNextFileState != kPrefetchIdle) return false;
        request = ++m_request;
        m_nNextFileState = kPrefetchRequested;
    }
    bool started = m_worker.Start([this, request, row](const std::atomic<bool>& stop) { Work(request, row, stop); });
    if (!started) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_request == request) m_nNextFileState = kPrefetchIdle;
    }
    return started;
}

void CNextFilePrefetch::Work(uint64_t request, const NextRow& row, const std::atomic<bool>& stop) {
    const int kind = RecordKindOfName(row.name);
    const bool rejected =
        !row.present || row.type == L"F" || kind == kKindRejected || kind == kKindPhoto || !IsPlainFileName(row.name);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (request != m_request || stop) return;  // given up before it began
        m_nNextFileState = rejected ? kPrefetchFailed : kPrefetchRunning;
        if (rejected) return;
    }
    // The library fills blocks of this worker's own; they are copied to the
    // prefetch blocks only if this request is still the current one.
    auto blocks = std::make_unique<std::array<Block, 2>>();
    const std::string path = m_folder + row.name;
    bool entered = false, made = false;
    {
        // Set before the stop flag is read: a stop requested after that read
        // finds m_inMake and reaches the library.
        struct InMake {
            std::atomic<bool>& flag;
            explicit InMake(std::atomic<bool>& f) : flag(f) { flag = true; }
            ~InMake() { flag = false; }
        } inMake(m_inMake);
        if (!stop) {
            entered = true;
            m_maker.SetPcFolder(m_folder);
            made = m_maker.MakePlayFile(row.name, (*blocks)[0].data(), (*blocks)[1].data());
        }
    }
    // A make that failed or was stopped leaves nothing behind.
    if (entered && !made) m_maker.RemoveFile(path);
    bool published = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (request == m_request && !stop && m_nNextFileState == kPrefetchRunning) {
            if (made) {
                m_gsensor = (*blocks)[0];
                m_gps = (*blocks)[1];
            } else {
                m_gsensor.fill(0);
                m_gps.fill(0);
            }
            m_strNextFile = path;
            m_made = made;
            m_taken = false;
            m_nNextFileState = kPrefetchReady;
            published = true;
        }
    }
    // Made for a request that was given up meanwhile: nobody will play it.
    if (made && !published) m_maker.RemoveFile(path);
}

bool CNextFilePrefetch::TakeIfReady(const std::string& name, uint8_t* gsensor, uint8_t* gps) {
    if (!gsensor || !gps) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nNextFileState != kPrefetchReady || !m_made || m_strNextFile != m_folder + name) return false;
    std::copy(m_gsensor.begin(), m_gsensor.end(), gsensor);
    std::copy(m_gps.begin(), m_gps.end(), gps);
    m_taken = true;
    return true;
}

void CNextFilePrefetch::Reset() {
    std::string untaken;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_request;
        untaken = DropUntakenLocked();
        m_nNextFileState = kPrefetchIdle;
        m_gsensor.fill(0);
        m_gps.fill(0);
    }
    if (m_worker.IsAttached()) {
        m_worker.RequestStop();
        if (m_inMake) m_maker.StopMakePlayFile();
    }
    if (!untaken.empty()) m_maker.RemoveFile(untaken);
    Reap();
}

bool CNextFilePrefetch::ClearFailed() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nNextFileState != kPrefetchFailed) return false;
        m_nNextFileState = kPrefetchIdle;
    }
    Reap();
    return true;
}

bool CNextFilePrefetch::Abort() {
    std::string untaken;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        untaken = DropUntakenLocked();
        ++m_request;
        m_nNextFileState = kPrefetchAborting;
    }
    const bool joined = StopAndJoin(m_joinBound);
    if (!untaken.empty()) m_maker.RemoveFile(untaken);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gsensor.fill(0);
        m_gps.fill(0);
        m_nNextFileState = kPrefetchIdle;
    }
    return joined;
}

bool CNextFilePrefetch::MakeOwn(const std::string& name, uint8_t* gsensor, uint8_t* gps) {
    if (!gsensor || !gps || !IsPlainFileName(name)) return false;
    const std::string path = m_folder + name;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int state = m_nNextFileState;
        if (state == kPrefetchRequested || state == kPrefetchRunning) {
            ++m_request;
            m_nNextFileState = kPrefetchIdle;
        }
    }
    if (!StopAndJoin(m_joinBound)) return false;
    {
        // Rewriting the ready prefetch's own file: it is the caller's now.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nNextFileState == kPrefetchReady && m_strNextFile == path) m_taken = true;
    }
    m_maker.SetPcFolder(m_folder);
    if (m_maker.MakePlayFile(name, gsensor, gps)) return true;
    m_maker.RemoveFile(path);
    return false;
}

}  // namespace playback
