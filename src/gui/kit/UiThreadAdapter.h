// Carries window actions from a worker thread to the thread of a dialog.
//
// A dialog's OnReceiveCallback runs on the worker's thread. What the worker
// must wait for (a message box and its answer, a state it reads next) goes
// through CallOnUiThread, which blocks until the action has run; a pure
// display update goes through PostToUiThread, which returns at once. Both
// queue on the same event queue, so posted and blocking calls to one thread
// keep their order.
//
//   int nAnswer = qvxui::CallOnUiThread(this, [&] { return AskUser(); });
//   qvxui::PostToUiThread(this, [this, n] { m_progress->setValue(n); });
//
// Called on the dialog's own thread, CallOnUiThread first runs the calls
// still posted to that dialog and then the action directly (a blocking queued
// call to one's own thread would deadlock). The dialog's thread must keep
// serving its event loop while a worker runs; if the dialog is destroyed
// before a queued action ran, the action is dropped and CallOnUiThread
// returns a default-constructed value.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <type_traits>
#include <utility>

namespace qvxui {

// True when the caller runs on the thread that owns pContext.
bool IsOnThreadOf(const QObject* pContext);
// Runs the calls already posted to pContext (caller on its thread).
void RunPostedCalls(QObject* pContext);

template <typename F>
auto CallOnUiThread(QObject* pContext, F&& fn) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if (!pContext) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    }
    if (IsOnThreadOf(pContext)) {
        RunPostedCalls(pContext);
        return fn();
    }
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(
            pContext, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            pContext, [&fn, &result] { result = fn(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// Queues fn for pContext's thread and returns at once; false without a context.
bool PostToUiThread(QObject* pContext, std::function<void()> fn);

}  // namespace qvxui
