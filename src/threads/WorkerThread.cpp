#include "threads/WorkerThread.h"

#include <limits.h>

#include <exception>

#include "support/LogModules.h"

namespace {
// The worker that the current thread's run has destroyed from its EndWork.
thread_local const CWorkerThread* t_pDestroyedByRun = nullptr;
}  // namespace

CWorkerThread::CWorkerThread() = default;

CWorkerThread::~CWorkerThread() {
    std::unique_lock<std::mutex> lock(m_threadLock);
    if (m_bJoinable && pthread_equal(pthread_self(), m_hThread)) {
        // Destroyed by its own run: nobody is left to reap the thread.
        pthread_detach(m_hThread);
        m_bJoinable = false;
        t_pDestroyedByRun = this;
        return;
    }
    lock.unlock();
    StopAndWait();
}

void CWorkerThread::StopWork() {
    m_bStop.store(1);
    m_hStopEvent.Set();
}

void CWorkerThread::JoinFinishedThread() {
    if (!m_bJoinable || pthread_equal(pthread_self(), m_hThread)) return;
    pthread_join(m_hThread, nullptr);
    m_bJoinable = false;
}

bool CWorkerThread::WaitForDone(uint32_t nTimeoutMs) {
    if (!m_hDoneEvent.Wait(nTimeoutMs)) return false;
    std::lock_guard<std::mutex> lock(m_threadLock);
    JoinFinishedThread();
    return true;
}

void CWorkerThread::StopAndWait() {
    StopWork();
    {
        // Called from the run itself: waiting would never end.
        std::lock_guard<std::mutex> lock(m_threadLock);
        if (m_bJoinable && pthread_equal(pthread_self(), m_hThread)) return;
    }
    m_hDoneEvent.Wait();
    std::lock_guard<std::mutex> lock(m_threadLock);
    JoinFinishedThread();
}

bool CWorkerThread::StartThread(unsigned nCreationFlags, size_t nStackSize, uint32_t dwStartWait) {
    (void)nCreationFlags;
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_bRunning.load() != 0) {
        LOG_WARN(qvxlog::Thread, "StartThread() refused: a run is still active");
        return false;
    }
    // The previous run has cleared m_bRunning but may not have set its done
    // event yet; reaping it first keeps that late signal out of the new run.
    JoinFinishedThread();

    m_bRunning.store(1);
    m_bStop.store(0);
    m_dwStartWait.store(dwStartWait);
    m_hDoneEvent.Reset();
    m_hStopEvent.Reset();

    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    if (rc == 0 && nStackSize != 0) {
        if (nStackSize < static_cast<size_t>(PTHREAD_STACK_MIN)) nStackSize = PTHREAD_STACK_MIN;
        rc = pthread_attr_setstacksize(&attr, nStackSize);
    }
    if (rc == 0) rc = pthread_create(&m_hThread, &attr, &CWorkerThread::ThreadProc, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        LOG_WARN(qvxlog::Thread, "StartThread() pthread_create failed <%d>", rc);
        m_bRunning.store(0);
        m_hDoneEvent.Set();
        return false;
    }
    m_bJoinable = true;
    return true;
}

void* CWorkerThread::ThreadProc(void* pArg) {
    static_cast<CWorkerThread*>(pArg)->Run();
    // Nothing of the object may be touched from here on: its owner may
    // destroy it as soon as the done event is set.
    return nullptr;
}

void CWorkerThread::Run() {
    // The steps are the worker's own code; an exception must not end the
    // process from a foreign thread, and EndWork must still run.
    bool bStarted = false;
    try {
        bStarted = StartWork();
    } catch (const std::exception& e) {
        LOG_WARN(qvxlog::Thread, "StartWork() exception <%s>", e.what());
    } catch (...) {
        LOG_WARN(qvxlog::Thread, "StartWork() exception");
    }
    if (!bStarted) m_bStop.store(1);

    if (m_bStop.load() == 0) {
        m_hStopEvent.Wait(m_dwStartWait.load());
        if (m_bStop.load() == 0) {
            try {
                DoWork();
            } catch (const std::exception& e) {
                LOG_WARN(qvxlog::Thread, "DoWork() exception <%s>", e.what());
                m_bStop.store(1);
            } catch (...) {
                LOG_WARN(qvxlog::Thread, "DoWork() exception");
                m_bStop.store(1);
            }
        }
    }

    try {
        EndWork();
    } catch (const std::exception& e) {
        LOG_WARN(qvxlog::Thread, "EndWork() exception <%s>", e.what());
    } catch (...) {
        LOG_WARN(qvxlog::Thread, "EndWork() exception");
    }
    if (t_pDestroyedByRun == this) {
        t_pDestroyedByRun = nullptr;
        return;
    }

    m_bRunning.store(0);
    m_hDoneEvent.Set();
}
