// A worker thread with a cooperative stop request and a bounded join. Plain
// C++ (no platform headers), so that state machines built on it are tested
// natively; a window thread gets results back with PostToWindow (fw_wnd.h).
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CWorkerThread {
public:
    // The body polls the flag and returns soon after it turns true.
    using Body = std::function<void(const std::atomic<bool>& stopRequested)>;

    CWorkerThread() = default;
    // Requests a stop and waits for the body to return.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts body on a new thread. False while an earlier body has not been
    // joined or detached, or when no thread can be created.
    bool Start(Body body);
    void RequestStop();
    bool StopRequested() const;
    // A body was started and has not returned yet.
    bool IsRunning() const;
    // A thread is attached (started, and not yet joined or detached).
    bool IsAttached() const { return m_thread.joinable(); }
    // Waits at most `bound` for the body to return; true when it has returned
    // (the thread is then joined) or when none was started.
    bool Join(std::chrono::milliseconds bound);
    // Waits for the body without a bound.
    void Join();
    // Lets a body that is still running finish on its own; this object can
    // start another one at once. Whatever the old body touches must outlive it.
    void Detach();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::atomic<bool> stop{false};
    };
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
