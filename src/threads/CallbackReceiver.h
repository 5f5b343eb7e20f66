// The interface of every object that receives a worker's reports.
#pragma once

class CCallbackReceiver {
public:
    virtual ~CCallbackReceiver() = default;
    // Runs on the sender's thread; the result goes back to the sender.
    virtual int OnReceiveCallback(unsigned nCode, void* pParam) = 0;
};
