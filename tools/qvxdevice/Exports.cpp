// The entry points of libqvxdevice.so. Nothing else of the library is
// visible; no exception leaves it.
#include <new>

#include "DeviceService.h"
#include "transfer/Utf16Text.h"

#define QVX_EXPORT extern "C" __attribute__((visibility("default")))

using qvxdev::DeviceService;
using qvxdev::Group;

namespace {

template <class Fn>
uint32_t Guarded(Fn fn) {
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return ECONA_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ECONA_UNKNOWN_ERROR;
    }
}

// Runs fn(session) on the open file system of a handle.
template <class Fn>
uint32_t WithFS(CONAHANDLE hFS, Fn fn) {
    return Guarded([&]() -> uint32_t {
        uint32_t result = CONA_OK;
        auto session = DeviceService::Instance().FindFS(hFS, &result);
        return session ? fn(*session) : result;
    });
}

}  // namespace

QVX_EXPORT uint32_t CFAPI_Initialize(uint32_t dwVersion, uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Initialize(Group::CF, dwVersion); });
}
QVX_EXPORT uint32_t CFAPI_Terminate(uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Terminate(Group::CF); });
}
QVX_EXPORT uint32_t DMAPI_Initialize(uint32_t dwVersion, uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Initialize(Group::DM, dwVersion); });
}
QVX_EXPORT uint32_t DMAPI_Terminate(uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Terminate(Group::DM); });
}
QVX_EXPORT uint32_t FSAPI_Initialize(uint32_t dwVersion, uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Initialize(Group::FS, dwVersion); });
}
QVX_EXPORT uint32_t FSAPI_Terminate(uint32_t /*dwReserved*/) {
    return Guarded([&] { return DeviceService::Instance().Terminate(Group::FS); });
}

QVX_EXPORT uint32_t CONAOpenDM(CONAHANDLE* phDM) {
    return Guarded([&] { return DeviceService::Instance().OpenDM(phDM); });
}
QVX_EXPORT uint32_t CONACloseDM(CONAHANDLE hDM) {
    return Guarded([&] { return DeviceService::Instance().CloseDM(hDM); });
}
QVX_EXPORT uint32_t CONARegisterDMNotifyIF(CONAHANDLE hDM, uint32_t dwState, DMNotifyIF* pNotify) {
    return Guarded([&] { return DeviceService::Instance().RegisterDMNotify(hDM, dwState, pNotify); });
}
QVX_EXPORT uint32_t CONAGetDeviceCount(CONAHANDLE hDM, uint32_t* pdwCount) {
    return Guarded([&] { return DeviceService::Instance().GetDeviceCount(hDM, pdwCount); });
}
QVX_EXPORT uint32_t CONAGetDevices(CONAHANDLE hDM, uint32_t* pdwCount, CONA_DEVICE_RECORD* pDevices) {
    return Guarded([&] { return DeviceService::Instance().GetDevices(hDM, pdwCount, pDevices); });
}
QVX_EXPORT uint32_t CONAFreeDeviceStructure(uint32_t dwCount, CONA_DEVICE_RECORD* pDevices) {
    if (!pDevices) return dwCount == 0 ? CONA_OK : ECONA_INVALID_POINTER;
    qvxdev::FreeDeviceRecords(dwCount, pDevices);
    return CONA_OK;
}

QVX_EXPORT uint32_t CONAOpenFS(const char16_t* pstrSerialNumber, uint32_t dwMedia, CONAHANDLE* phFS,
                               uint32_t /*dwDeviceID*/) {
    return Guarded([&] {
        return DeviceService::Instance().OpenFS(qvxconn::FromUtf16(pstrSerialNumber), dwMedia, phFS);
    });
}
QVX_EXPORT uint32_t CONACloseFS(CONAHANDLE hFS) {
    return Guarded([&] { return DeviceService::Instance().CloseFS(hFS); });
}
QVX_EXPORT uint32_t CONARegisterFSNotifyIF(CONAHANDLE hFS, uint32_t dwState, FSNotifyIF* pNotify) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) -> uint32_t {
        if (!pNotify) return ECONA_INVALID_POINTER;
        if (dwState == CONA_API_REGISTER)
            return fs.Listeners().Add(pNotify) ? CONA_OK : ECONA_REGISTER_ALREADY_DONE;
        if (dwState == CONA_API_UNREGISTER) return fs.Listeners().Remove(pNotify) ? CONA_OK : ECONA_NOT_FOUND;
        return ECONA_INVALID_PARAMETER;
    });
}
QVX_EXPORT uint32_t CONARefreshDeviceMemoryValues(CONAHANDLE hFS) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) { return fs.RefreshMemory(); });
}
// The service has one memory per phone; the memory type is not looked at.
QVX_EXPORT uint32_t CONAGetMemoryValues(CONAHANDLE hFS, const char16_t* /*pstrMemoryType*/, int64_t* pllFree,
                                        int64_t* pllTotal, int64_t* pllUsed) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) { return fs.GetMemory(pllFree, pllTotal, pllUsed); });
}
QVX_EXPORT uint32_t CONASetCurrentFolder(CONAHANDLE hFS, const char16_t* pstrFolder) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) -> uint32_t {
        if (!pstrFolder) return ECONA_INVALID_POINTER;
        return fs.SetCurrentFolder(qvxconn::FromUtf16(pstrFolder));
    });
}
QVX_EXPORT uint32_t CONACopyFile(CONAHANDLE hFS, uint32_t dwOptions, const char16_t* pstrFileName,
                                 const char16_t* pstrSourcePath, const char16_t* pstrTargetPath) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) {
        std::string target = qvxconn::FromUtf16(pstrTargetPath);
        return fs.CopyFile(dwOptions, qvxconn::FromUtf16(pstrFileName), qvxconn::FromUtf16(pstrSourcePath),
                           pstrTargetPath ? &target : nullptr);
    });
}
QVX_EXPORT uint32_t CONADeleteFile(CONAHANDLE hFS, const char16_t* pstrFileName, uint32_t /*dwOptions*/,
                                   const char16_t* pstrTargetPath) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) -> uint32_t {
        if (!pstrFileName) return ECONA_INVALID_POINTER;
        std::string target = qvxconn::FromUtf16(pstrTargetPath);
        return fs.DeleteFile(qvxconn::FromUtf16(pstrFileName), pstrTargetPath ? &target : nullptr);
    });
}
QVX_EXPORT uint32_t CONAInstallApplication(CONAHANDLE hFS, uint32_t dwInstallType,
                                           const CONA_INSTALL_RECORD* pRecord, uint32_t /*dwOptions*/,
                                           const char16_t* pstrSourcePath,
                                           const char16_t* /*pstrTargetPath*/) {
    return WithFS(hFS, [&](qvxdev::FsSession& fs) -> uint32_t {
        if (!pRecord || !pRecord->pstrPackageFile || !pstrSourcePath) return ECONA_INVALID_POINTER;
        if (dwInstallType != CONA_APPLICATION_TYPE_SIS) return ECONA_NOT_SUPPORTED;
        return fs.Install(qvxconn::FromUtf16(pRecord->pstrPackageFile), qvxconn::FromUtf16(pstrSourcePath));
    });
}
