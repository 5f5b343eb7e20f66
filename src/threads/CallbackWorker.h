// The base of every worker that reports: a thread (CWorkerThread) plus the
// link to its one receiver. DoWork and EndWork do nothing unless overridden.
#pragma once

#include "threads/CallbackCodes.h"
#include "threads/CallbackLink.h"
#include "threads/WorkerThread.h"

class CCallbackWorker : public CWorkerThread {
public:
    CCallbackWorker() = default;
    // Waits for a run still in progress, so that it never reports through a
    // destroyed link.
    ~CCallbackWorker() override;

    bool StartWork() override = 0;
    void DoWork() override {}
    void EndWork() override {}

    bool SetReceiver(CCallbackReceiver* pReceiver) { return m_Callback.SetReceiver(pReceiver); }
    // The receiver's answer, or -1 without a receiver.
    int SendCallback(unsigned nCode, void* pParam = nullptr) {
        return m_Callback.SendCallback(nCode, pParam);
    }

    CCallbackLink m_Callback;
};
