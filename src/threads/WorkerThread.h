// The thread base of the three long jobs (CSV analysis, database build, copy
// to the phone). A run calls, on a thread of its own:
//   1. StartWork(); false counts as a stop request;
//   2. unless a stop is requested: wait on the stop event for the start wait,
//      then, still without a stop request, DoWork();
//   3. EndWork(), always;
//   4. the worker is idle again: IsRunning() false, the done event set.
// A stop request never cuts a step short; DoWork looks at m_bStop itself
// where it can stop. Every worker calls StopWork() on itself as the last step
// of its DoWork, so after a run the stop flag is set until the next start.
//
// Lifetime: the run's thread touches the object until the done event is set,
// and nothing of it afterwards. A worker may be started again once a run has
// ended. Before a derived worker's members go, its run must be over: owners
// wait with WaitForDone (the user-interface thread waits for the end report
// instead, serving its event loop), and a derived destructor that cannot be
// sure calls StopAndWait() first. The base destructor does the same as a last
// line of defence. A run may destroy its own worker only as the last thing
// of EndWork.
//
// When the thread cannot be created, StartThread returns false, no step runs
// and no report arrives: the owner must not wait for CB::END_THREAD then.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "threads/ManualResetEvent.h"

class CWorkerThread {
public:
    CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;
    virtual ~CWorkerThread();

    virtual bool StartWork() = 0;
    virtual void DoWork() = 0;
    virtual void EndWork() {}

    // Starts a run: clears the stop flag and both events, then creates the
    // thread with nStackSize bytes of stack (0: the default) that waits up to
    // dwStartWait ms for a stop request before DoWork. nCreationFlags is kept
    // for the callers' sake; a thread always starts at once. False when a run
    // is still active or the thread cannot be created (see above).
    bool StartThread(unsigned nCreationFlags = 0, size_t nStackSize = 0, uint32_t dwStartWait = 0);

    // Raises the stop request; any thread, any number of times.
    void StopWork();

    // True when no run is active within nTimeoutMs milliseconds (0 only looks).
    bool WaitForDone(uint32_t nTimeoutMs);
    // Raises the stop request and waits for the run to end, without a limit
    // (only raises it when called from the run itself).
    void StopAndWait();

    bool IsRunning() const { return m_bRunning.load() != 0; }
    bool IsStopRequested() const { return m_bStop.load() != 0; }

protected:
    CManualResetEvent m_hStopEvent{false};
    CManualResetEvent m_hDoneEvent{true};
    std::atomic<uint32_t> m_dwStartWait{0};
    std::atomic<int> m_bStop{0};
    std::atomic<int> m_bRunning{0};

private:
    static void* ThreadProc(void* pArg);
    void Run();
    // Reaps a thread whose run has ended; m_threadLock must be held.
    void JoinFinishedThread();

    std::mutex m_threadLock;  // guards m_hThread and m_bJoinable
    pthread_t m_hThread{};
    bool m_bJoinable = false;
};
