// The copy-to-phone worker: makes sure the phone application is installed
// (asking the receiver, which may call AllowInstall while it handles
// PROG_NOT_FOUND), copies the database and then its semaphore file into the
// application's data folder on the phone, and reports every event to its
// receiver (the copy-to-phone dialog): COPY_PROGRESS during the database
// copy, COPY_ABORTED, PROG_NOT_FOUND, INSTALL_*, COPY_FINISHED only when
// both files arrived, and END_THREAD always last. It listens to the phone's file-system
// events itself; those calls may come on the service's thread.
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
    // Takes effect at the next state report of a copy.
    void RequestAbort() { m_bAbortRequest = true; }
    // Called by the receiver while it handles PROG_NOT_FOUND.
    void AllowInstall() { m_bInstallAllowed = true; }

    bool StartWork() override;
    void DoWork() override;
    void EndWork() override;

    // The service's code of the last failed step of a run, else 0;
    // ECONA_INVALID_NAME: a folder on the phone leads out of it;
    // ECONA_FILE_ALREADY_EXIST: a file of the same name was on the phone
    // (files on the phone are never replaced).
    uint32_t GetLastError() const { return m_nLastError; }
    // A run whose database reached the phone but whose semaphore file did
    // not: the database was then removed from the phone again, or could not
    // be (the phone was lost). Set before COPY_ABORTED is reported.
    enum class Incomplete { kNo, kRemoved, kLeftOnPhone };
    Incomplete GetIncomplete() const { return m_eIncomplete; }

    bool CheckInstalledPrograms();
    bool InstallProgram();
    // Copies a PC file into the phone's data folder; the API's result. A lost
    // phone or a folder leading out of it is reported as COPY_ABORTED unless
    // bReportAbort is false (the caller reports it).
    uint32_t CopyFile(const char* pszPath, bool bReportAbort = true);

    uint32_t OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                int64_t llTotal) override;
    uint32_t OnFSConnectionLost(uint32_t dwStatus) override;
    uint32_t OnFSOperationInfo(uint32_t dwOperation, const char16_t* pstrName) override;

private:
    bool RemoveCopiedDatabase(const char* pszPath);

    std::atomic<CONAHANDLE> m_hFS{0};
    std::atomic<const CONA_DEVICE_RECORD*> m_pDevice{nullptr};
    CQVXDBBuilder* m_pDBBuilder = nullptr;
    std::atomic<bool> m_bAbortRequest{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<bool> m_bInstallAllowed{false};
    std::atomic<bool> m_bDBCopied{false};
    std::atomic<uint32_t> m_nLastError{0};
    std::atomic<Incomplete> m_eIncomplete{Incomplete::kNo};
};
