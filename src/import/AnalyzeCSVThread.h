// The analysis worker: runs the wizard's analysis step on a thread of its
// own. It does no analysis itself; it reports START_THREAD, then
// ANALYZE_CSV (the receiver analyses on this thread and returns when done),
// then END_THREAD.
#pragma once

#include "threads/CallbackWorker.h"

class CQVXWAnalyzeCSVThread : public CCallbackWorker {
public:
    CQVXWAnalyzeCSVThread() = default;
    ~CQVXWAnalyzeCSVThread() override;

    bool StartWork() override;
    void DoWork() override;
    void EndWork() override;
};
