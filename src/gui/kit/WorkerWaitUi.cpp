#include "gui/kit/WorkerWaitUi.h"

#include <QEventLoop>
#include <QTimer>

namespace qvxui {

void WaitServingEvents(const std::function<bool()>& bDone, int nPollMs) {
    if (!bDone || bDone()) return;
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(nPollMs > 0 ? nPollMs : 1);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (bDone()) loop.quit();
    });
    timer.start();
    loop.exec();
}

}  // namespace qvxui
