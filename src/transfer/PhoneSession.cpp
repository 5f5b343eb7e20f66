#include "transfer/PhoneSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "database/QVXDBBuilder.h"
#include "support/LogModules.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

CPhoneSession::CPhoneSession()
    : m_nSeconds(static_cast<int32_t>(time(nullptr))),
      m_pDatabase(std::make_unique<CQVXDBBuilder>(m_nSeconds)) {
    m_nDMStart = DMAPI_Initialize(CONA_DMAPI_VERSION, 0);
    if (m_nDMStart == CONA_OK)
        LOG_INFO(qvxlog::Cpy2Ph, "Initializing DMAPI succeeded");
    else
        LOG_WARN(qvxlog::Cpy2Ph, "Error initializing DMAPI %d", static_cast<int>(m_nDMStart));
    m_nFSStart = FSAPI_Initialize(CONA_FSAPI_VERSION, 0);
    if (m_nFSStart == CONA_OK)
        LOG_INFO(qvxlog::Cpy2Ph, "Initializing FSAPI succeeded");
    else
        LOG_WARN(qvxlog::Cpy2Ph, "Error initializing FSAPI %d", static_cast<int>(m_nFSStart));
}

CPhoneSession::~CPhoneSession() {
    End();
}

void CPhoneSession::End() {
    if (m_bEnded) return;
    m_bEnded = true;
    ReturnDatabase();
    CloseFileSystem();
    if (m_pListener != nullptr) {
        // After this returns no phone event is running or will start.
        if (CONARegisterDMNotifyIF(m_hDM, CONA_API_UNREGISTER, m_pListener) != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_UNREGISTER) failed !");
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_UNREGISTER) succeeded");
        m_pListener = nullptr;
    }
    if (m_bDMOpen) {
        const uint32_t nResult = CONACloseDM(m_hDM);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CONACloseDM failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CONACloseDM succeeded");
        m_bDMOpen = false;
        m_hDM = 0;
    }
    FreeDevices();
    // Only what this session started is stopped: the counts are shared.
    if (m_nDMStart == CONA_OK) {
        const uint32_t nResult = DMAPI_Terminate(0);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "Terminate DMAPI failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "DMAPI terminated");
    }
    if (m_nFSStart == CONA_OK) {
        const uint32_t nResult = FSAPI_Terminate(0);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "Terminate FSAPI failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "FSAPI terminated");
    }
}

// ---- phones -----------------------------------------------------------------

bool CPhoneSession::OpenDeviceManager(DMNotifyIF* pListener) {
    if (m_bEnded) return false;
    if (!m_bDMOpen) {
        const uint32_t nResult = CONAOpenDM(&m_hDM);
        if (nResult != CONA_OK) {
            m_hDM = 0;
            LOG_WARN(qvxlog::Cpy2Ph, "CONAOpenDM failed (%d)", static_cast<int>(nResult));
        } else {
            m_bDMOpen = true;
            LOG_INFO(qvxlog::Cpy2Ph, "CONAOpenDM  succeeded");
        }
    }
    if (pListener != nullptr && m_pListener == nullptr) {
        if (CONARegisterDMNotifyIF(m_hDM, CONA_API_REGISTER, pListener) == CONA_OK) {
            m_pListener = pListener;
            LOG_INFO(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_REGISTER) succeeded");
        } else {
            LOG_WARN(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_REGISTER) failed !");
        }
    }
    return m_bDMOpen;
}

void CPhoneSession::FreeDevices() {
    if (!m_devices.empty())
        CONAFreeDeviceStructure(static_cast<uint32_t>(m_devices.size()), m_devices.data());
    m_devices.clear();
}

bool CPhoneSession::RefreshDevices() {
    uint32_t nCount = 0;
    if (CONAGetDeviceCount(m_hDM, &nCount) != CONA_OK) {
        LOG_WARN(qvxlog::Cpy2Ph, "CCopyToPhoneDlg::RefreshDeviceList() CONAGetDeviceCount failed !");
        return false;
    }
    FreeDevices();
    if (nCount == 0) return true;
    m_devices.assign(nCount, CONA_DEVICE_RECORD{});
    uint32_t nFilled = nCount;
    if (CONAGetDevices(m_hDM, &nFilled, m_devices.data()) != CONA_OK) {
        LOG_WARN(qvxlog::Cpy2Ph, "RefreshDeviceList() CONAGetDevices failed !");
        m_devices.clear();
        return false;
    }
    // Records not filled are zeroed: nothing of theirs to release.
    m_devices.resize(std::min(nFilled, nCount));
    return true;
}

const CONA_DEVICE_RECORD* CPhoneSession::Device(size_t nIndex) const {
    return nIndex < m_devices.size() ? &m_devices[nIndex] : nullptr;
}

std::string CPhoneSession::DeviceName(const CONA_DEVICE_RECORD& record) {
    if (record.dwNumberOfItems == 0 || record.pItems == nullptr || record.pItems[0].pstrDeviceName == nullptr)
        return std::string();
    return qvxconn::FromUtf16(record.pItems[0].pstrDeviceName);
}

std::string CPhoneSession::DeviceSerial(const CONA_DEVICE_RECORD& record) {
    return record.pstrSerialNumber ? qvxconn::FromUtf16(record.pstrSerialNumber) : std::string();
}

CONAHANDLE CPhoneSession::OpenFileSystem(size_t nIndex) {
    CloseFileSystem();
    const CONA_DEVICE_RECORD* pDevice = Device(nIndex);
    CONAHANDLE hFS = 0;
    if (pDevice == nullptr || CONAOpenFS(pDevice->pstrSerialNumber, CONA_MEDIA_ALL, &hFS,
                                         static_cast<uint32_t>(nIndex)) != CONA_OK) {
        LOG_WARN(qvxlog::Cpy2Ph, "OpenFS() CONAOpenFS failed !");
        return 0;
    }
    LOG_INFO(qvxlog::Cpy2Ph, "OpenFS() CONAOpenFS succeeded");
    m_hFS = hFS;
    return hFS;
}

void CPhoneSession::CloseFileSystem() {
    if (m_hFS != 0) {
        if (CONACloseFS(m_hFS) != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CloseFS() CONACloseFS failed !");
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CloseFS() CONACloseFS succeeded");
    }
    m_hFS = 0;
}

// ---- the memory rule --------------------------------------------------------

CPhoneSession::MemoryReport CPhoneSession::ApplyMemoryRule(int64_t llDatabaseBytes, int64_t llFreeBytes) {
    MemoryReport report;
    report.dNeededMB = static_cast<double>(llDatabaseBytes) / 1024 / 1024 * 2;
    report.dFreeMB = static_cast<double>(llFreeBytes) / 1024 / 1024;
    report.bFits = report.dNeededMB <= report.dFreeMB;
    return report;
}

bool CPhoneSession::CheckMemory(MemoryReport& report) {
    if (m_hFS == 0) return false;
    if (CONARefreshDeviceMemoryValues(m_hFS) != CONA_OK)
        LOG_WARN(qvxlog::Cpy2Ph,
                 "CCopyToPhoneDlg::OnSelchangeListDevices() CONARefreshDeviceMemoryValues() failed !");
    else
        LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() CONARefreshDeviceMemoryValues succeeded");

    int64_t llFree = -2;
    int64_t llTotal = 0;
    int64_t llUsed = 0;
    if (CONAGetMemoryValues(m_hFS, nullptr, &llFree, &llTotal, &llUsed) != CONA_OK) {
        llFree = -2;
        LOG_WARN(qvxlog::Cpy2Ph, "CCopyToPhoneDlg::OnSelchangeListDevices() CONAGetMemoryValues() failed !");
    } else {
        LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() CONAGetMemoryValues succeeded");
    }
    // Nothing lent counts as the missing file the builder measures: far too big.
    const int64_t llDBSize = m_bLent ? m_pDatabase->GetDBSize() : int64_t{0xFFFFFFFF};
    LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() DB Size: %lldByte", static_cast<long long>(llDBSize));
    LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() Free Memory: %lldByte",
             static_cast<long long>(llFree));
    report = ApplyMemoryRule(llDBSize, llFree);
    return true;
}

// ---- last.db ----------------------------------------------------------------

bool CPhoneSession::LendDatabase() {
    if (m_bLent || m_bEnded) return m_bLent;
    m_bNoDatabase = false;
    m_lendFailure.clear();
    // A name taken means another copy started in the same second: the next
    // free second names this one.
    for (int32_t nLater = 1; !m_pDatabase->GetLastDB(); ++nLater) {
        const int nError = m_pDatabase->GetFileError();
        if (nError == EEXIST && nLater < 600) {
            m_pDatabase->NameAfter(m_nSeconds + nLater);
            continue;
        }
        m_bNoDatabase = nError == ENOENT;
        m_lendFailure = m_bNoDatabase
                            ? "there is no last.db"
                            : std::string("last.db could not be prepared for the copy: ") + strerror(nError);
        LOG_WARN(qvxlog::Cpy2Ph, "LendDatabase() %s", m_lendFailure.c_str());
        return false;
    }
    m_bLent = true;
    m_pDatabase->CreateSemFile();
    return true;
}

void CPhoneSession::ReturnDatabase() {
    if (!m_bLent) return;
    m_bLent = false;
    m_pDatabase->SetLastDB();
    m_pDatabase->DeleteSemFile();
}
