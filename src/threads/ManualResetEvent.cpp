#include "threads/ManualResetEvent.h"

#include <chrono>

void CManualResetEvent::Set() {
    // Notified under the lock: a waiter that wakes and destroys the event
    // cannot do so before this call is done with it.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = true;
    m_cv.notify_all();
}

void CManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = false;
}

bool CManualResetEvent::IsSet() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSignalled;
}

bool CManualResetEvent::Wait(uint32_t nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return m_bSignalled; });
}

void CManualResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return m_bSignalled; });
}
