#include "transfer/CopyToPhoneThread.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "database/QVXDBBuilder.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

namespace {

constexpr char kDataFolder[] = "\\\\C:\\Data\\Quorvex\\";
constexpr char kProgramFolder[] = "\\\\C:\\Quorvex\\";
constexpr char kPackage[] = "qVxLocal.sisx";
// Never CONA_OVERWRITE: a file of that name on the phone is not this run's
// (another program folder may send in the same second), so the copy fails
// instead of replacing it, and a semaphore file always describes the
// database its own run put beside it.
constexpr uint32_t kCopyOptions = CONA_DIRECT_PC_TO_PHONE;

// Sets the phone's current folder; logs the failure as the check does.
uint32_t EnterFolder(CONAHANDLE hFS, const char* pszFolder, bool bLog) {
    uint32_t result = CONASetCurrentFolder(hFS, qvxconn::ToUtf16(pszFolder).c_str());
    if (result != 0 && bLog) {
        LOG_INFO(qvxlog::CpyThr, "CheckInstalledPrograms() CONASetCurrentFolder(%s) failed !", pszFolder);
    }
    return result;
}

}  // namespace

CCopyToPhoneThread::~CCopyToPhoneThread() = default;

bool CCopyToPhoneThread::StartWork() {
    LOG_INFO(qvxlog::CpyThr, "StartWork() begin");
    m_nLastError = 0;
    m_eIncomplete = Incomplete::kNo;
    if (m_hFS == 0 || m_pDevice == nullptr) {
        LOG_WARN(qvxlog::CpyThr, "StartWork(): wrong Parameter");
        m_bFailed = true;
        return false;
    }
    if (CONARegisterFSNotifyIF(m_hFS, CONA_API_REGISTER, this) != 0) {
        LOG_WARN(qvxlog::CpyThr, "StartWork(): CONARegisterFSNotifyIF() failed");
        m_bFailed = true;
        return false;
    }
    if (!CheckInstalledPrograms() && m_nLastError == ECONA_INVALID_NAME) {
        // A folder that leads out of the phone is no missing application.
        LOG_WARN(qvxlog::CpyThr, "StartWork(): a phone folder leads out of the phone");
        SendCallback(CB::COPY_ABORTED);
        m_bFailed = true;
    } else if (m_nLastError != 0) {
        LOG_INFO(qvxlog::CpyThr, "StartWork() CheckInstalledPrograms() Program not found");
        SendCallback(CB::PROG_NOT_FOUND);
        if (!m_bInstallAllowed) {
            SendCallback(CB::INSTALL_FAILED);
            LOG_INFO(qvxlog::CpyThr, "StartWork() InstallProgram() not started !");
            m_bFailed = true;
        } else if (InstallProgram()) {
            SendCallback(CB::INSTALL_DONE);
        } else {
            SendCallback(CB::INSTALL_FAILED);
            LOG_WARN(qvxlog::CpyThr, "StartWork() InstallProgram() failed !");
            m_bFailed = true;
        }
    }
    LOG_INFO(qvxlog::CpyThr, "StartWork() finish");
    return !m_bFailed;
}

bool CCopyToPhoneThread::CheckInstalledPrograms() {
    uint32_t result = EnterFolder(m_hFS, kDataFolder, true);
    if (result == 0) result = EnterFolder(m_hFS, kProgramFolder, true);
    m_nLastError = result;
    return result == 0;
}

bool CCopyToPhoneThread::InstallProgram() {
    const std::string source = qvxplatform::GetProgramFolder() + "/";
    const std::u16string package = qvxconn::ToUtf16(kPackage);
    CONA_INSTALL_RECORD record{package.c_str(), nullptr};
    uint32_t result =
        CONAInstallApplication(m_hFS, CONA_APPLICATION_TYPE_SIS, &record, CONA_DEFAULT_INSTALL_OPTIONS,
                               qvxconn::ToUtf16(source).c_str(), nullptr);
    if (result != 0) {
        LOG_WARN(qvxlog::CpyThr, "CONAInstallApplication() failed !");
        return false;
    }
    if (CheckInstalledPrograms()) {
        LOG_INFO(qvxlog::CpyThr, "CONAInstallApplication() finished");
        return true;
    }
    LOG_INFO(qvxlog::CpyThr, "CONAInstallApplication() aborted !");
    return false;
}

void CCopyToPhoneThread::DoWork() {
    LOG_INFO(qvxlog::CpyThr, "DoWork() begin");
    m_bFailed = false;
    char path[261] = {};
    if (m_pDBBuilder) m_pDBBuilder->GetDBFileName(path, 260);
    const uint32_t dbResult = CopyFile(path, false);
    if (dbResult != 0) {
        m_bFailed = true;
        // Every failure is told, not only a lost phone; a user's abort was told when asked for.
        if (dbResult != ECONA_CANCELLED) SendCallback(CB::COPY_ABORTED);
    }
    m_bDBCopied = true;
    if (!m_bFailed) {
        char sem[261] = {};
        if (m_pDBBuilder) m_pDBBuilder->GetSemFileName(sem, 260);
        const uint32_t result = CopyFile(sem, false);
        // The phone takes a database only with its semaphore file: without
        // it the copy is no copy, and the database must not stay there.
        if (result != 0) {
            m_bFailed = true;
            m_eIncomplete = RemoveCopiedDatabase(path) ? Incomplete::kRemoved : Incomplete::kLeftOnPhone;
            // A user's abort was reported when it was asked for.
            if (result != ECONA_CANCELLED) SendCallback(CB::COPY_ABORTED);
        }
    } else {
        LOG_INFO(qvxlog::CpyThr, "DoWork() aborted by user");
    }
    LOG_INFO(qvxlog::CpyThr, "DoWork() finish");
    StopWork();
}

bool CCopyToPhoneThread::RemoveCopiedDatabase(const char* pszPath) {
    const char* pszName = std::strrchr(pszPath, '/');
    pszName = pszName ? pszName + 1 : pszPath;
    const CONAHANDLE hFS = m_hFS;
    const uint32_t result = hFS == 0 ? ECONA_INVALID_HANDLE
                                     : CONADeleteFile(hFS, qvxconn::ToUtf16(pszName).c_str(), 0,
                                                      qvxconn::ToUtf16(kDataFolder).c_str());
    if (result != 0) {
        LOG_WARN(qvxlog::CpyThr, "DoWork(): the database without its semaphore file stays on the phone: %d",
                 static_cast<int>(result));
        return false;
    }
    LOG_INFO(qvxlog::CpyThr, "DoWork(): the database without its semaphore file was removed from the phone");
    return true;
}

uint32_t CCopyToPhoneThread::CopyFile(const char* pszPath, bool bReportAbort) {
    LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) begin", pszPath);
    uint32_t result = 0;
    const CONAHANDLE hFS = m_hFS;
    if (hFS == 0) {
        result = ECONA_INVALID_HANDLE;
        LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) INVALID_HANDLE", pszPath);
    } else {
        result = CONASetCurrentFolder(hFS, qvxconn::ToUtf16(kDataFolder).c_str());
        if (result == 0) {
            result = CONACopyFile(hFS, kCopyOptions, nullptr, qvxconn::ToUtf16(pszPath).c_str(), nullptr);
        }
    }
    if (result == ECONA_CANCELLED) {
        LOG_INFO(qvxlog::CpyThr, "CopyFile(): CONACopyFile(%s): Übertragung durch benutzer abgebrochen!",
                 pszPath);
    } else if (result == ECONA_CONNECTION_LOST) {
        LOG_INFO(qvxlog::CpyThr, "OnFSOperationState() Connection to Device lost");
        if (bReportAbort) SendCallback(CB::COPY_ABORTED);
    } else if (result == ECONA_INVALID_NAME) {
        LOG_WARN(qvxlog::CpyThr, "CopyFile(): a phone folder leads out of the phone");
        if (bReportAbort) SendCallback(CB::COPY_ABORTED);
    } else if (result == ECONA_FILE_ALREADY_EXIST) {
        LOG_WARN(qvxlog::CpyThr, "CopyFile(): %s is already on the phone and was not replaced", pszPath);
    } else if (result != 0) {
        LOG_WARN(qvxlog::CpyThr, "CopyFile(): CONACopyFile() failed! result: %d", static_cast<int>(result));
    } else {
        LOG_INFO(qvxlog::CpyThr, "CopyFile(): CONACopyFile(%s): Datei übertragen! result: %d", pszPath,
                 static_cast<int>(result));
    }
    if (result != 0) m_nLastError = result;
    LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) finish", pszPath);
    return result;
}

uint32_t CCopyToPhoneThread::OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                                int64_t llTotal) {
    char state[32];
    switch (dwStatus) {
        case ECONA_CONNECTION_LOST:
            snprintf(state, sizeof state, "ECONA_CONNECTION_LOST");
            break;
        case ECONA_CONNECTION_REMOVED:
            snprintf(state, sizeof state, "ECONA_CONNECTION_REMOVED");
            break;
        case ECONA_CONNECTION_FAILED:
            snprintf(state, sizeof state, "ECONA_CONNECTION_FAILED");
            break;
        case ECONA_SUSPEND:
            snprintf(state, sizeof state, "ECONA_SUSPEND");
            break;
        default:
            snprintf(state, sizeof state, "%i %%", static_cast<int>(dwStatus));
    }
    if (dwOperation == CONA_OPERATION_COPY_FILE) {
        if (!m_bDBCopied && !m_bFailed) {
            int percent = static_cast<int>(dwStatus);
            SendCallback(CB::COPY_PROGRESS, &percent);
        }
        if (m_bAbortRequest) {
            m_bFailed = true;
            m_bAbortRequest = false;
            SendCallback(CB::COPY_ABORTED);
            return ECONA_CANCELLED;
        }
        LOG_INFO(qvxlog::CpyThr, "OnFSOperationState() Datei übertragen: %d von %d (%s)",
                 static_cast<int>(llDone), static_cast<int>(llTotal), state);
    } else if (dwOperation == CONA_OPERATION_INSTALL) {
        SendCallback(CB::INSTALL_PROGRESS);
    }
    return 0;
}

uint32_t CCopyToPhoneThread::OnFSConnectionLost(uint32_t dwStatus) {
    LOG_WARN(qvxlog::CpyThr, "OnFSConnectionLost(): Error = %i", static_cast<int>(dwStatus));
    return 0;
}

uint32_t CCopyToPhoneThread::OnFSOperationInfo(uint32_t, const char16_t*) {
    return 0;
}

void CCopyToPhoneThread::EndWork() {
    LOG_INFO(qvxlog::CpyThr, "EndWork() begin");
    if (CONARegisterFSNotifyIF(m_hFS, CONA_API_UNREGISTER, this) != 0) {
        LOG_WARN(qvxlog::CpyThr, "EndWork(): CONARegisterFSNotifyIF() failed !");
    }
    if (!m_bFailed) SendCallback(CB::COPY_FINISHED);
    m_bInstallAllowed = false;
    m_bDBCopied = false;
    m_bFailed = false;
    SendCallback(CB::END_THREAD);
    LOG_INFO(qvxlog::CpyThr, "EndWork() finish");
}
