// A manual-reset event: once set it stays set, releasing every waiter, until
// it is reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class CManualResetEvent {
public:
    explicit CManualResetEvent(bool bSignalled) : m_bSignalled(bSignalled) {}
    CManualResetEvent(const CManualResetEvent&) = delete;
    CManualResetEvent& operator=(const CManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet();
    // Waits until the event is set or nTimeoutMs milliseconds have passed
    // (0 only looks); true when it is set.
    bool Wait(uint32_t nTimeoutMs);
    // Waits without a time limit.
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSignalled;
};
