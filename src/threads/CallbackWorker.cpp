#include "threads/CallbackWorker.h"

CCallbackWorker::~CCallbackWorker() {
    StopAndWait();
}
