// Waiting on the user-interface thread for something a worker does, without
// blocking: the thread keeps serving its event loop (so that the worker's
// blocking reports still get through) until the condition holds.
#pragma once

#include <functional>

namespace qvxui {

// Returns once bDone() is true; looks again every nPollMs milliseconds and
// whenever an event has been handled. There is no time limit.
void WaitServingEvents(const std::function<bool()>& bDone, int nPollMs = 5);

}  // namespace qvxui
