#include "transfer/CopyToPhoneThread.h"

#include <cstdio>
#include <string>

#include "database/QVXDBBuilder.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

namespace {
constexpr char16_t kDataFolder[] = u"\\\\C:\\Data\\Quorvex\\";
constexpr char16_t kProgramFolder[] = u"\\\\C:\\Quorvex\\";
constexpr char16_t kPackageName[] = u"qVxLocal.sisx";
constexpr uint32_t kCopyOptions = 0x14;

std::string Local(const char16_t* pstr) {
    return qvxconn::FromUtf16(pstr);
}
}  // namespace

CCopyToPhoneThread::~CCopyToPhoneThread() {
    // The run reports through this object's listener: it must be over first.
    StopAndWait();
}

bool CCopyToPhoneThread::StartWork() {
    LOG_INFO(qvxlog::CpyThr, "StartWork() begin");
    if (m_hFS.load() == 0 || m_pDevice.load() == nullptr) {
        LOG_WARN(qvxlog::CpyThr, "StartWork(): wrong Parameter");
        m_bFailed.store(1);
        return false;
    }
    if (CONARegisterFSNotifyIF(m_hFS.load(), CONA_API_REGISTER, this) != CONA_OK) {
        LOG_WARN(qvxlog::CpyThr, "StartWork(): CONARegisterFSNotifyIF() failed");
        m_bFailed.store(1);
        return false;
    }
    if (!CheckInstalledPrograms()) {
        LOG_INFO(qvxlog::CpyThr, "StartWork() CheckInstalledPrograms() Program not found");
        SendCallback(CB::PROG_NOT_FOUND);
        if (m_bInstallAllowed.load() == 0) {
            SendCallback(CB::INSTALL_FAILED);
            LOG_INFO(qvxlog::CpyThr, "StartWork() InstallProgram() not started !");
            m_bFailed.store(1);
        } else if (InstallProgram()) {
            SendCallback(CB::INSTALL_DONE);
        } else {
            SendCallback(CB::INSTALL_FAILED);
            LOG_WARN(qvxlog::CpyThr, "StartWork() InstallProgram() failed !");
            m_bFailed.store(1);
        }
    }
    LOG_INFO(qvxlog::CpyThr, "StartWork() finish");
    return m_bFailed.load() == 0;
}

bool CCopyToPhoneThread::CheckInstalledPrograms() {
    const CONAHANDLE hFS = m_hFS.load();
    if (CONASetCurrentFolder(hFS, kDataFolder) != CONA_OK) {
        LOG_INFO(qvxlog::CpyThr, "CheckInstalledPrograms() CONASetCurrentFolder(%s) failed !",
                 Local(kDataFolder).c_str());
        return false;
    }
    if (CONASetCurrentFolder(hFS, kProgramFolder) == CONA_OK) return true;
    LOG_INFO(qvxlog::CpyThr, "CheckInstalledPrograms() CONASetCurrentFolder(%s) failed !",
             Local(kProgramFolder).c_str());
    return false;
}

bool CCopyToPhoneThread::InstallProgram() {
    const std::string sourceFolder = qvxplatform::GetProgramFolder() + "/";
    const std::u16string source = qvxconn::ToUtf16(sourceFolder);
    CONA_INSTALL_RECORD record{kPackageName, nullptr};
    if (CONAInstallApplication(m_hFS.load(), CONA_APPLICATION_TYPE_SIS, &record, CONA_DEFAULT_INSTALL_OPTIONS,
                               source.c_str(), nullptr) != CONA_OK) {
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
    m_bFailed.store(0);
    char szPath[260];
    if (m_pDBBuilder) {
        m_pDBBuilder->GetDBFileName(szPath, sizeof szPath);
    } else {
        szPath[0] = '\0';
    }
    if (CopyFile(szPath) != CONA_OK) m_bFailed.store(1);
    m_bDBCopied.store(1);
    if (m_bFailed.load() == 0) {
        if (m_pDBBuilder) {
            m_pDBBuilder->GetSemFileName(szPath, sizeof szPath);
        } else {
            szPath[0] = '\0';
        }
        CopyFile(szPath);
    } else {
        LOG_INFO(qvxlog::CpyThr, "DoWork() aborted by user");
    }
    LOG_INFO(qvxlog::CpyThr, "DoWork() finish");
    StopWork();
}

uint32_t CCopyToPhoneThread::CopyFile(const char* pszPath) {
    LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) begin", pszPath);
    uint32_t result = CONA_OK;
    const CONAHANDLE hFS = m_hFS.load();
    if (hFS == 0) {
        result = ECONA_INVALID_HANDLE;
        LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) INVALID_HANDLE", pszPath);
    } else {
        result = CONASetCurrentFolder(hFS, kDataFolder);
        if (result == CONA_OK) {
            const std::u16string path = qvxconn::ToUtf16(pszPath);
            result = CONACopyFile(hFS, kCopyOptions, nullptr, path.c_str(), nullptr);
        }
    }
    if (result == ECONA_CANCELLED) {
        LOG_INFO(qvxlog::CpyThr,
                 "CopyFile(): CONACopyFile(%s): \xC3\x9C"
                 "bertragung durch benutzer abgebrochen!",
                 pszPath);
    } else if (result == ECONA_CONNECTION_LOST) {
        LOG_INFO(qvxlog::CpyThr, "OnFSOperationState() Connection to Device lost");
        SendCallback(CB::COPY_ABORTED);
    } else if (result != CONA_OK) {
        LOG_WARN(qvxlog::CpyThr, "CopyFile(): CONACopyFile() failed! result: %d", static_cast<int>(result));
    } else {
        LOG_INFO(qvxlog::CpyThr,
                 "CopyFile(): CONACopyFile(%s): Datei \xC3\xBC"
                 "bertragen! result: %d",
                 pszPath, static_cast<int>(result));
    }
    LOG_INFO(qvxlog::CpyThr, "CopyFile(%s) finish", pszPath);
    return result;
}

uint32_t CCopyToPhoneThread::OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                                int64_t llTotal) {
    char szState[64];
    switch (dwStatus) {
        case ECONA_CONNECTION_LOST:
            snprintf(szState, sizeof szState, "ECONA_CONNECTION_LOST");
            break;
        case ECONA_CONNECTION_REMOVED:
            snprintf(szState, sizeof szState, "ECONA_CONNECTION_REMOVED");
            break;
        case ECONA_CONNECTION_FAILED:
            snprintf(szState, sizeof szState, "ECONA_CONNECTION_FAILED");
            break;
        case ECONA_SUSPEND:
            snprintf(szState, sizeof szState, "ECONA_SUSPEND");
            break;
        default:
            snprintf(szState, sizeof szState, "%i %%", static_cast<int>(dwStatus));
            break;
    }
    if (dwOperation == CONA_OPERATION_COPY_FILE) {
        if (m_bDBCopied.load() == 0 && m_bFailed.load() == 0) {
            int nPercent = static_cast<int>(dwStatus);
            SendCallback(CB::COPY_PROGRESS, &nPercent);
        }
        if (m_bAbortRequest.load() != 0) {
            m_bFailed.store(1);
            m_bAbortRequest.store(0);
            SendCallback(CB::COPY_ABORTED);
            return ECONA_CANCELLED;
        }
        LOG_INFO(qvxlog::CpyThr,
                 "OnFSOperationState() Datei \xC3\xBC"
                 "bertragen: %d von %d (%s)",
                 static_cast<int>(llDone), static_cast<int>(llTotal), szState);
    } else if (dwOperation == CONA_OPERATION_INSTALL) {
        SendCallback(CB::INSTALL_PROGRESS);
    }
    return CONA_OK;
}

uint32_t CCopyToPhoneThread::OnFSConnectionLost(uint32_t dwStatus) {
    LOG_WARN(qvxlog::CpyThr, "OnFSConnectionLost(): Error = %i", static_cast<int>(dwStatus));
    return CONA_OK;
}

uint32_t CCopyToPhoneThread::OnFSOperationInfo(uint32_t, const char16_t*) {
    return CONA_OK;
}

void CCopyToPhoneThread::EndWork() {
    LOG_INFO(qvxlog::CpyThr, "EndWork() begin");
    if (CONARegisterFSNotifyIF(m_hFS.load(), CONA_API_UNREGISTER, this) != CONA_OK)
        LOG_WARN(qvxlog::CpyThr, "EndWork(): CONARegisterFSNotifyIF() failed !");
    if (m_bFailed.load() == 0) SendCallback(CB::COPY_FINISHED);
    m_bInstallAllowed.store(0);
    m_bDBCopied.store(0);
    m_bFailed.store(0);
    SendCallback(CB::END_THREAD);
    LOG_INFO(qvxlog::CpyThr, "EndWork() finish");
}
