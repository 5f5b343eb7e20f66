// The link through which a sender reports to at most one receiver. Reports
// are plain synchronous calls on the sender's thread. The receiver may be
// changed from any thread; a report already under way still reaches the
// receiver it started with, which must therefore outlive it.
#pragma once

#include <cstdint>
#include <mutex>

#include "threads/CallbackReceiver.h"

class CCallbackLink {
public:
    CCallbackLink() = default;
    CCallbackLink(const CCallbackLink&) = delete;
    CCallbackLink& operator=(const CCallbackLink&) = delete;
    virtual ~CCallbackLink() = default;

    // With a receiver: stores it and enables the link, true. With none:
    // clears the link, false.
    bool SetReceiver(CCallbackReceiver* pReceiver);

    // The receiver's OnReceiveCallback result, or -1 when no receiver is set.
    int SendCallback(unsigned nCode, void* pParam = nullptr);

private:
    using Trampoline = int (*)(CCallbackReceiver*, unsigned, void*);
    static int Forward(CCallbackReceiver* pReceiver, unsigned nCode, void* pParam);

    std::mutex m_lock;  // guards the three members, never held during a report
    Trampoline m_pfnCallback = nullptr;
    uint8_t m_bEnabled = 0;
    CCallbackReceiver* m_lpReceiver = nullptr;
};
