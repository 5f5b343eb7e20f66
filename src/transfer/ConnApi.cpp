#include "transfer/ConnApi.h"

#include <unistd.h>

#include <cstdlib>

#include "transfer/ConnApiGroup.h"

namespace {

CConnApiGroup g_cfapi("CFAPI");
CConnApiGroup g_dmapi("DMAPI");
CConnApiGroup g_fsapi("FSAPI");

CConnApiGroup& Group(qvxconn::ApiGroup group) {
    switch (group) {
        case qvxconn::ApiGroup::CF:
            return g_cfapi;
        case qvxconn::ApiGroup::DM:
            return g_dmapi;
        case qvxconn::ApiGroup::FS:
            break;
    }
    return g_fsapi;
}

}  // namespace

uint32_t CFAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved) {
    return g_cfapi.Initialize(dwVersion, dwReserved);
}
uint32_t CFAPI_Terminate(uint32_t dwReserved) {
    return g_cfapi.Terminate(dwReserved);
}
uint32_t DMAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved) {
    return g_dmapi.Initialize(dwVersion, dwReserved);
}
uint32_t DMAPI_Terminate(uint32_t dwReserved) {
    return g_dmapi.Terminate(dwReserved);
}
uint32_t FSAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved) {
    return g_fsapi.Initialize(dwVersion, dwReserved);
}
uint32_t FSAPI_Terminate(uint32_t dwReserved) {
    return g_fsapi.Terminate(dwReserved);
}

uint32_t CONAOpenDM(CONAHANDLE* phDM) {
    return g_dmapi.Call<PFN_CONAOpenDM>("CONAOpenDM", phDM);
}

uint32_t CONACloseDM(CONAHANDLE hDM) {
    return g_dmapi.Call<PFN_CONACloseDM>("CONACloseDM", hDM);
}

uint32_t CONARegisterDMNotifyIF(CONAHANDLE hDM, uint32_t dwState, DMNotifyIF* pNotify) {
    return g_dmapi.Call<PFN_CONARegisterDMNotifyIF>("CONARegisterDMNotifyIF", hDM, dwState, pNotify);
}

uint32_t CONAGetDeviceCount(CONAHANDLE hDM, uint32_t* pdwCount) {
    return g_dmapi.Call<PFN_CONAGetDeviceCount>("CONAGetDeviceCount", hDM, pdwCount);
}

uint32_t CONAGetDevices(CONAHANDLE hDM, uint32_t* pdwCount, CONA_DEVICE_RECORD* pDevices) {
    return g_dmapi.Call<PFN_CONAGetDevices>("CONAGetDevices", hDM, pdwCount, pDevices);
}

uint32_t CONAFreeDeviceStructure(uint32_t dwCount, CONA_DEVICE_RECORD* pDevices) {
    if (!pDevices) return dwCount == 0 ? CONA_OK : ECONA_INVALID_POINTER;
    uint32_t result = g_dmapi.Call<PFN_CONAFreeDeviceStructure>("CONAFreeDeviceStructure", dwCount, pDevices);
    if (result != ECONA_NOT_INITIALIZED) return result;
    // The service allocates the records with malloc, so they can be released
    // after it was unloaded.
    FreeDeviceRecordMemory(dwCount, pDevices);
    return CONA_OK;
}

uint32_t CONAOpenFS(const char16_t* pstrSerialNumber, uint32_t dwMedia, CONAHANDLE* phFS,
                    uint32_t dwDeviceID) {
    return g_fsapi.Call<PFN_CONAOpenFS>("CONAOpenFS", pstrSerialNumber, dwMedia, phFS, dwDeviceID);
}

uint32_t CONACloseFS(CONAHANDLE hFS) {
    return g_fsapi.Call<PFN_CONACloseFS>("CONACloseFS", hFS);
}

uint32_t CONARegisterFSNotifyIF(CONAHANDLE hFS, uint32_t dwState, FSNotifyIF* pNotify) {
    return g_fsapi.Call<PFN_CONARegisterFSNotifyIF>("CONARegisterFSNotifyIF", hFS, dwState, pNotify);
}

uint32_t CONARefreshDeviceMemoryValues(CONAHANDLE hFS) {
    return g_fsapi.Call<PFN_CONARefreshDeviceMemoryValues>("CONARefreshDeviceMemoryValues", hFS);
}

uint32_t CONAGetMemoryValues(CONAHANDLE hFS, const char16_t* pstrMemoryType, int64_t* pllFree,
                             int64_t* pllTotal, int64_t* pllUsed) {
    return g_fsapi.Call<PFN_CONAGetMemoryValues>("CONAGetMemoryValues", hFS, pstrMemoryType, pllFree,
                                                 pllTotal, pllUsed);
}

uint32_t CONASetCurrentFolder(CONAHANDLE hFS, const char16_t* pstrFolder) {
    return g_fsapi.Call<PFN_CONASetCurrentFolder>("CONASetCurrentFolder", hFS, pstrFolder);
}

uint32_t CONACopyFile(CONAHANDLE hFS, uint32_t dwOptions, const char16_t* pstrFileName,
                      const char16_t* pstrSourcePath, const char16_t* pstrTargetPath) {
    return g_fsapi.Call<PFN_CONACopyFile>("CONACopyFile", hFS, dwOptions, pstrFileName, pstrSourcePath,
                                          pstrTargetPath);
}

uint32_t CONADeleteFile(CONAHANDLE hFS, const char16_t* pstrFileName, uint32_t dwOptions,
                        const char16_t* pstrTargetPath) {
    return g_fsapi.Call<PFN_CONADeleteFile>("CONADeleteFile", hFS, pstrFileName, dwOptions, pstrTargetPath);
}

uint32_t CONAInstallApplication(CONAHANDLE hFS, uint32_t dwInstallType, const CONA_INSTALL_RECORD* pRecord,
                                uint32_t dwOptions, const char16_t* pstrSourcePath,
                                const char16_t* pstrTargetPath) {
    return g_fsapi.Call<PFN_CONAInstallApplication>("CONAInstallApplication", hFS, dwInstallType, pRecord,
                                                    dwOptions, pstrSourcePath, pstrTargetPath);
}

namespace qvxconn {

std::string GetSignalFolder() {
    const char* dir = getenv("QVX_CONN_SIGNAL_DIR");
    if (dir && *dir) return dir;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/qvx-connectivity";
    return "/tmp/qvx-connectivity-" + std::to_string(getuid());
}

bool IsGroupLoaded(ApiGroup group) {
    return Group(group).IsLoaded();
}

int GetGroupInitCount(ApiGroup group) {
    return Group(group).GetInitCount();
}

}  // namespace qvxconn
