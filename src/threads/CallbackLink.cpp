#include "threads/CallbackLink.h"

int CCallbackLink::Forward(CCallbackReceiver* pReceiver, unsigned nCode, void* pParam) {
    return pReceiver->OnReceiveCallback(nCode, pParam);
}

bool CCallbackLink::SetReceiver(CCallbackReceiver* pReceiver) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (pReceiver != nullptr) {
        m_pfnCallback = &CCallbackLink::Forward;
        m_lpReceiver = pReceiver;
        m_bEnabled = 1;
        return true;
    }
    m_pfnCallback = nullptr;
    m_lpReceiver = nullptr;
    m_bEnabled = 0;
    return false;
}

int CCallbackLink::SendCallback(unsigned nCode, void* pParam) {
    Trampoline pfn;
    CCallbackReceiver* pReceiver;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bEnabled || m_pfnCallback == nullptr) return -1;
        pfn = m_pfnCallback;
        pReceiver = m_lpReceiver;
    }
    return pfn(pReceiver, nCode, pParam);
}
