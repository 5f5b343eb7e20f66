// Types shared by the device service (libqvxdevice.so) and the connectivity
// layer that loads it: result codes, option values, the device and install
// records, the two listener interfaces and the entry-point signatures.
//
// Texts are UTF-16 (char16_t, zero-terminated); sizes and memory figures are
// 64-bit. No Qt, no C++ library types cross the library boundary.
#pragma once

#include <cstdint>
#include <cstdlib>

using CONAHANDLE = std::uintptr_t;  // 0 = no handle

// ---- Result codes (0 = success) -------------------------------------------
inline constexpr uint32_t CONA_OK = 0;
// Common family.
inline constexpr uint32_t ECONA_INIT_FAILED = 0x80100000;
inline constexpr uint32_t ECONA_NOT_INITIALIZED = 0x80100004;  // also: no library loaded
inline constexpr uint32_t ECONA_UNSUPPORTED_API_VERSION = 0x80100005;
inline constexpr uint32_t ECONA_UNKNOWN_ERROR = 0x80100010;
inline constexpr uint32_t ECONA_INVALID_POINTER = 0x80100012;
inline constexpr uint32_t ECONA_INVALID_PARAMETER = 0x80100013;
inline constexpr uint32_t ECONA_INVALID_HANDLE = 0x80100014;
inline constexpr uint32_t ECONA_NOT_ENOUGH_MEMORY = 0x80100015;
inline constexpr uint32_t ECONA_REGISTER_ALREADY_DONE = 0x80100017;
inline constexpr uint32_t ECONA_CANCELLED = 0x80100020;
inline constexpr uint32_t ECONA_NOT_SUPPORTED = 0x80100023;
inline constexpr uint32_t ECONA_NOT_FOUND = 0x80100025;
inline constexpr uint32_t ECONA_FAILED = 0x80100026;
// Device and connection family.
inline constexpr uint32_t ECONA_DEVICE_NOT_FOUND = 0x80200000;
inline constexpr uint32_t ECONA_CONNECTION_LOST = 0x80200006;
inline constexpr uint32_t ECONA_CONNECTION_REMOVED = 0x80200007;
inline constexpr uint32_t ECONA_CONNECTION_FAILED = 0x80200008;
inline constexpr uint32_t ECONA_SUSPEND = 0x80200009;
// File-system family.
inline constexpr uint32_t ECONA_CURRENT_FOLDER_NOT_FOUND = 0x80300001;
inline constexpr uint32_t ECONA_FOLDER_NOT_FOUND = 0x80300002;
inline constexpr uint32_t ECONA_FILE_NOT_FOUND = 0x80300003;
inline constexpr uint32_t ECONA_FILE_ALREADY_EXIST = 0x80300004;
inline constexpr uint32_t ECONA_INVALID_NAME = 0x80300005;
inline constexpr uint32_t ECONA_MEMORY_FULL = 0x80300006;
inline constexpr uint32_t ECONA_INSTALLATION_FAILED = 0x80300010;

// ---- Option values -----------------------------------------------------------
inline constexpr uint32_t CONA_API_REGISTER = 0x10;
inline constexpr uint32_t CONA_API_UNREGISTER = 0x20;

inline constexpr uint32_t CONA_MEDIA_ALL = 1;  // the only media of the service

// CONACopyFile options: exactly one direction, optionally overwrite.
inline constexpr uint32_t CONA_OVERWRITE = 0x04;
inline constexpr uint32_t CONA_DIRECT_PHONE_TO_PC = 0x08;
inline constexpr uint32_t CONA_DIRECT_PC_TO_PHONE = 0x10;

// Operations reported through FSNotifyIF::OnFSOperationState.
inline constexpr uint32_t CONA_OPERATION_COPY_FILE = 0x200;
inline constexpr uint32_t CONA_OPERATION_INSTALL = 0x4000;

inline constexpr uint32_t CONA_APPLICATION_TYPE_SIS = 1;
inline constexpr uint32_t CONA_DEFAULT_INSTALL_OPTIONS = 0x50010;

// Status values of the device events.
inline constexpr uint32_t CONA_DEVICE_ADDED = 0x01;
inline constexpr uint32_t CONA_DEVICE_REMOVED = 0x02;
inline constexpr uint32_t CONA_DEVICE_UPDATED = 0x04;

// API versions the service accepts at most, per group.
inline constexpr uint32_t CONA_CFAPI_VERSION = 10;
inline constexpr uint32_t CONA_DMAPI_VERSION = 32;
inline constexpr uint32_t CONA_FSAPI_VERSION = 32;

// ---- Records -----------------------------------------------------------------
// One way a device is connected. The service has one entry per phone.
struct CONA_CONNECTION_ENTRY {
    uint32_t dwDeviceID;       // the phone's position in the device list
    uint32_t dwMedia;          // CONA_MEDIA_ALL
    char16_t* pstrDeviceName;  // display name
    char16_t* pstrAddress;     // where the service finds the phone
    uint32_t dwState;          // 0 = connected
};

// One device. The strings and the entry array are allocated by the service
// with malloc; release them with CONAFreeDeviceStructure.
struct CONA_DEVICE_RECORD {
    char16_t* pstrSerialNumber;
    char16_t* pstrFriendlyName;
    char16_t* pstrModel;
    char16_t* pstrManufacturer;
    uint32_t dwNumberOfItems;
    CONA_CONNECTION_ENTRY* pItems;
};

// Names the package for CONAInstallApplication; the caller owns the strings.
struct CONA_INSTALL_RECORD {
    const char16_t* pstrPackageFile;     // a plain file name in the source folder
    const char16_t* pstrDescriptorFile;  // unused, may be null
};

// Releases what the service allocated for `dwCount` records and zeroes them.
// Shared by the service and by the layer, which must be able to free records
// also after the service was unloaded.
inline void FreeDeviceRecordMemory(uint32_t dwCount, CONA_DEVICE_RECORD* pDevices) {
    for (uint32_t i = 0; pDevices && i < dwCount; ++i) {
        CONA_DEVICE_RECORD& d = pDevices[i];
        std::free(d.pstrSerialNumber);
        std::free(d.pstrFriendlyName);
        std::free(d.pstrModel);
        std::free(d.pstrManufacturer);
        for (uint32_t k = 0; d.pItems && k < d.dwNumberOfItems; ++k) {
            std::free(d.pItems[k].pstrDeviceName);
            std::free(d.pItems[k].pstrAddress);
        }
        std::free(d.pItems);
        d = CONA_DEVICE_RECORD{};
    }
}

// ---- Listeners ---------------------------------------------------------------
// Implemented by the caller; the slot order is part of the interface. The
// service calls them from its own thread. After an unregister call has
// returned, no call to that listener is running or will start; an unregister
// made on another thread therefore waits for a call in progress, so a listener
// must not wait for the thread that unregisters it.
class DMNotifyIF {
public:
    virtual void OnDeviceListChanged() = 0;  // reserved: never called, implementations do nothing
    virtual void OnDeviceAdded(const char16_t* pstrSerialNumber, uint32_t dwStatus) = 0;
    virtual void OnDeviceRemoved(const char16_t* pstrSerialNumber, uint32_t dwStatus) = 0;
    virtual void OnDeviceUpdated(const char16_t* pstrSerialNumber, uint32_t dwStatus) = 0;

protected:
    ~DMNotifyIF() = default;
};

// Called on the thread that runs the file-system operation.
class FSNotifyIF {
public:
    // dwStatus is the percentage done, or one of the ECONA_ connection codes.
    // Returning ECONA_CANCELLED cancels the operation.
    virtual uint32_t OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                        int64_t llTotal) = 0;
    virtual uint32_t OnFSConnectionLost(uint32_t dwStatus) = 0;
    // Names the file an operation is about to work on; the result is ignored.
    virtual uint32_t OnFSOperationInfo(uint32_t dwOperation, const char16_t* pstrName) = 0;

protected:
    ~FSNotifyIF() = default;
};

// ---- Entry points of the service (extern "C" in libqvxdevice.so) -------------
extern "C" {
typedef uint32_t (*PFN_CFAPI_Initialize)(uint32_t dwVersion, uint32_t dwReserved);
typedef uint32_t (*PFN_CFAPI_Terminate)(uint32_t dwReserved);
typedef uint32_t (*PFN_DMAPI_Initialize)(uint32_t dwVersion, uint32_t dwReserved);
typedef uint32_t (*PFN_DMAPI_Terminate)(uint32_t dwReserved);
typedef uint32_t (*PFN_FSAPI_Initialize)(uint32_t dwVersion, uint32_t dwReserved);
typedef uint32_t (*PFN_FSAPI_Terminate)(uint32_t dwReserved);

typedef uint32_t (*PFN_CONAOpenDM)(CONAHANDLE* phDM);
typedef uint32_t (*PFN_CONACloseDM)(CONAHANDLE hDM);
typedef uint32_t (*PFN_CONARegisterDMNotifyIF)(CONAHANDLE hDM, uint32_t dwState, DMNotifyIF* pNotify);
typedef uint32_t (*PFN_CONAGetDeviceCount)(CONAHANDLE hDM, uint32_t* pdwCount);
typedef uint32_t (*PFN_CONAGetDevices)(CONAHANDLE hDM, uint32_t* pdwCount, CONA_DEVICE_RECORD* pDevices);
typedef uint32_t (*PFN_CONAFreeDeviceStructure)(uint32_t dwCount, CONA_DEVICE_RECORD* pDevices);

typedef uint32_t (*PFN_CONAOpenFS)(const char16_t* pstrSerialNumber, uint32_t dwMedia, CONAHANDLE* phFS,
                                   uint32_t dwDeviceID);
typedef uint32_t (*PFN_CONACloseFS)(CONAHANDLE hFS);
typedef uint32_t (*PFN_CONARegisterFSNotifyIF)(CONAHANDLE hFS, uint32_t dwState, FSNotifyIF* pNotify);
typedef uint32_t (*PFN_CONARefreshDeviceMemoryValues)(CONAHANDLE hFS);
typedef uint32_t (*PFN_CONAGetMemoryValues)(CONAHANDLE hFS, const char16_t* pstrMemoryType, int64_t* pllFree,
                                            int64_t* pllTotal, int64_t* pllUsed);
typedef uint32_t (*PFN_CONASetCurrentFolder)(CONAHANDLE hFS, const char16_t* pstrFolder);
typedef uint32_t (*PFN_CONACopyFile)(CONAHANDLE hFS, uint32_t dwOptions, const char16_t* pstrFileName,
                                     const char16_t* pstrSourcePath, const char16_t* pstrTargetPath);
typedef uint32_t (*PFN_CONADeleteFile)(CONAHANDLE hFS, const char16_t* pstrFileName, uint32_t dwOptions,
                                       const char16_t* pstrTargetPath);
typedef uint32_t (*PFN_CONAInstallApplication)(CONAHANDLE hFS, uint32_t dwInstallType,
                                               const CONA_INSTALL_RECORD* pRecord, uint32_t dwOptions,
                                               const char16_t* pstrSourcePath,
                                               const char16_t* pstrTargetPath);
}
