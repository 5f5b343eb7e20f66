#include "import/AnalyzeCSVThread.h"

#include "support/LogModules.h"

CQVXWAnalyzeCSVThread::~CQVXWAnalyzeCSVThread() = default;

bool CQVXWAnalyzeCSVThread::StartWork() {
    LOG_INFO(qvxlog::AnThread, "CQVXWAnalyzeCSVThread::StartWork()");
    SendCallback(CB::START_THREAD);
    return true;
}

void CQVXWAnalyzeCSVThread::DoWork() {
    SendCallback(CB::ANALYZE_CSV);
    StopWork();
}

void CQVXWAnalyzeCSVThread::EndWork() {
    SendCallback(CB::END_THREAD);
    LOG_INFO(qvxlog::AnThread, "CQVXWAnalyzeCSVThread::EndWork()");
}
