#include "worker.h"

CWorkerThread::~CWorkerThread() {
    RequestStop();
    Join();
}

bool CWorkerThread::Start(Body body) {
    if (m_thread.joinable()) return false;
    auto shared = std::make_shared<Shared>();
    try {
        m_thread = std::thread([shared, body = std::move(body)] {
            try {
                body(shared->stop);
            } catch (...) {
                // A body never takes the process down with it.
            }
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->done = true;
            shared->finished.notify_all();
        });
    } catch (...) {
        return false;
    }
    m_shared = std::move(shared);
    return true;
}

void CWorkerThread::RequestStop() {
    if (m_shared) m_shared->stop = true;
}

bool CWorkerThread::StopRequested() const { return m_shared && m_shared->stop.load(); }

bool CWorkerThread::IsRunning() const {
    if (!m_shared || !m_thread.joinable()) return false;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return !m_shared->done;
}

bool CWorkerThread::Join(std::chrono::milliseconds bound) {
    if (!m_thread.joinable()) return true;
    {
        std::unique_lock<std::mutex> lock(m_shared->mutex);
        if (!m_shared->finished.wait_for(lock, bound, [this] { return m_shared->done; })) return false;
    }
    m_thread.join();
    return true;
}

void CWorkerThread::Join() {
    if (m_thread.joinable()) m_thread.join();
}

void CWorkerThread::Detach() {
    if (m_thread.joinable()) m_thread.detach();
    m_shared.reset();
}
