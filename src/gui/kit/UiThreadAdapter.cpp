#include "gui/kit/UiThreadAdapter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace qvxui {

bool IsOnThreadOf(const QObject* pContext) {
    return pContext && pContext->thread() == QThread::currentThread();
}

void RunPostedCalls(QObject* pContext) {
    if (pContext) QCoreApplication::sendPostedEvents(pContext, QEvent::MetaCall);
}

bool PostToUiThread(QObject* pContext, std::function<void()> fn) {
    if (!pContext || !fn) return false;
    return QMetaObject::invokeMethod(pContext, std::move(fn), Qt::QueuedConnection);
}

}  // namespace qvxui
