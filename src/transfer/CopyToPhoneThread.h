// CCopyToPhoneThread: the phone-side work of one transfer, on a worker
// thread. It makes sure the phone application is installed (installing its
// package after the receiver agreed), then copies the database file and,
// only when that succeeded, its semaphore file into the application's data
// folder on the phone. It reports to its receiver (the copy-to-phone dialog)
// with CB::COPY_ABORTED, COPY_PROGRESS, COPY_FINISHED, PROG_NOT_FOUND,
// INSTALL_PROGRESS, INSTALL_DONE, INSTALL_FAILED and always last
// CB::END_THREAD. It listens to the file-system events of the phone while a
// run is active; an abort request takes effect at the next copy report.
#pragma once

#include <atomic>
#include <cstdint>

#include "threads/CallbackWorker.h"
#include "transfer/ConnApiTypes.h"

class CQVXDBBuilder;

class CCopyToPhoneThread : public CCallbackWorker, public FSNotifyIF {
public:
    CCopyToPhoneThread() = default;
    ~CCopyToPhoneThread() override;

    void SetFSHandle(CONAHANDLE hFS) { m_hFS = hFS; }
    void SetDevice(const CONA_DEVICE_RECORD* pDevice) { m_pDevice = pDevice; }
    void SetDBBuilder(CQVXDBBuilder* pBuilder) { m_pDBBuilder = pBuilder; }
    // From the dialog's thread while a run is active.
    void RequestAbort() { m_bAbortRequest.store(1); }
    // From the receiver while it handles CB::PROG_NOT_FOUND.
    void AllowInstall() { m_bInstallAllowed.store(1); }

    bool StartWork() override;
    void DoWork() override;
    void EndWork() override;

    bool CheckInstalledPrograms();
    bool InstallProgram();
    // The connectivity result of copying one PC file into the data folder.
    uint32_t CopyFile(const char* pszPath);

    uint32_t OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                int64_t llTotal) override;
    uint32_t OnFSConnectionLost(uint32_t dwStatus) override;
    uint32_t OnFSOperationInfo(uint32_t dwOperation, const char16_t* pstrName) override;

private:
    std::atomic<CONAHANDLE> m_hFS{0};
    std::atomic<const CONA_DEVICE_RECORD*> m_pDevice{nullptr};
    CQVXDBBuilder* m_pDBBuilder = nullptr;
    std::atomic<uint8_t> m_bAbortRequest{0};
    std::atomic<uint8_t> m_bFailed{0};
    std::atomic<uint8_t> m_bInstallAllowed{0};
    std::atomic<uint8_t> m_bDBCopied{0};
};
