// The connectivity layer: the calls of the phone connectivity library, loaded
// at run time per service group (CFAPI common, DMAPI device management, FSAPI
// file system).
//
// Loading: the library of a group is the registry.ini value named after the
// group ("CFAPI", "DMAPI", "FSAPI") in section
// [HKEY_LOCAL_MACHINE\SOFTWARE\PC Connectivity Solution\API]; a value without
// '/' is a file beside the program. Without a value it is libqvxdevice.so
// beside the program. Initialise calls are counted per group: the first loads
// the library (dlopen) and initialises it, the terminate that brings the count
// to zero terminates and unloads it. Every call made while the group's library
// is not loaded returns ECONA_NOT_INITIALIZED (0x80100004); a failed
// initialise is not counted.
//
// Restart signals: unless bit 0 of the value "Options" in the same section is
// set, each initialised group has a watcher thread that looks every 200 ms for
// two marker files in the signal folder: while the file
// "9D14093C-8B2C-49aa-A328-35C1BDB2BC15" exists (the service is stopping) the
// group is terminated and unloaded; once that file is gone and the file
// "8427ACED-9495-4cb7-A13D-B98012DF6654" exists (the service has started) the
// group is loaded and initialised again with its first version. Handles taken
// before the restart are no longer valid. The signal folder is
// $QVX_CONN_SIGNAL_DIR, else $XDG_RUNTIME_DIR/qvx-connectivity, else
// /tmp/qvx-connectivity-<uid>. The watcher ends with the last terminate.
//
// A call holds its group's library loaded until it returns, so a call made
// from inside a listener must not terminate the group that is calling it.
#pragma once

#include <cstdint>
#include <string>

#include "transfer/ConnApiTypes.h"

uint32_t CFAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved);
uint32_t CFAPI_Terminate(uint32_t dwReserved);
uint32_t DMAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved);
uint32_t DMAPI_Terminate(uint32_t dwReserved);
uint32_t FSAPI_Initialize(uint32_t dwVersion, uint32_t dwReserved);
uint32_t FSAPI_Terminate(uint32_t dwReserved);

// Device management (DMAPI).
uint32_t CONAOpenDM(CONAHANDLE* phDM);
uint32_t CONACloseDM(CONAHANDLE hDM);
uint32_t CONARegisterDMNotifyIF(CONAHANDLE hDM, uint32_t dwState, DMNotifyIF* pNotify);
uint32_t CONAGetDeviceCount(CONAHANDLE hDM, uint32_t* pdwCount);
// *pdwCount: in, the records the array holds; out, the records filled (the
// phones present, at most the array's size). Records not filled are zeroed.
uint32_t CONAGetDevices(CONAHANDLE hDM, uint32_t* pdwCount, CONA_DEVICE_RECORD* pDevices);
// Releases the texts and entries of records filled by CONAGetDevices and
// zeroes them; works also while the library is not loaded.
uint32_t CONAFreeDeviceStructure(uint32_t dwCount, CONA_DEVICE_RECORD* pDevices);

// File system of one phone (FSAPI).
uint32_t CONAOpenFS(const char16_t* pstrSerialNumber, uint32_t dwMedia, CONAHANDLE* phFS,
                    uint32_t dwDeviceID);
uint32_t CONACloseFS(CONAHANDLE hFS);
uint32_t CONARegisterFSNotifyIF(CONAHANDLE hFS, uint32_t dwState, FSNotifyIF* pNotify);
uint32_t CONARefreshDeviceMemoryValues(CONAHANDLE hFS);
uint32_t CONAGetMemoryValues(CONAHANDLE hFS, const char16_t* pstrMemoryType, int64_t* pllFree,
                             int64_t* pllTotal, int64_t* pllUsed);
uint32_t CONASetCurrentFolder(CONAHANDLE hFS, const char16_t* pstrFolder);
// With CONA_DIRECT_PC_TO_PHONE: copies the PC file pstrSourcePath (joined with
// pstrFileName when given) into pstrTargetPath, or into the current folder
// when that is null. The file appears complete or not at all.
uint32_t CONACopyFile(CONAHANDLE hFS, uint32_t dwOptions, const char16_t* pstrFileName,
                      const char16_t* pstrSourcePath, const char16_t* pstrTargetPath);
// Deletes the file pstrFileName of the folder pstrTargetPath, or of the
// current folder when that is null.
uint32_t CONADeleteFile(CONAHANDLE hFS, const char16_t* pstrFileName, uint32_t dwOptions,
                        const char16_t* pstrTargetPath);
// Returns when the installation has ended.
uint32_t CONAInstallApplication(CONAHANDLE hFS, uint32_t dwInstallType, const CONA_INSTALL_RECORD* pRecord,
                                uint32_t dwOptions, const char16_t* pstrSourcePath,
                                const char16_t* pstrTargetPath);

namespace qvxconn {

inline constexpr const char* kApiRegistryKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API";
inline constexpr const char* kDefaultLibrary = "libqvxdevice.so";
inline constexpr const char* kStopSignal = "9D14093C-8B2C-49aa-A328-35C1BDB2BC15";
inline constexpr const char* kStartSignal = "8427ACED-9495-4cb7-A13D-B98012DF6654";

// The folder in which the watcher looks for the restart markers.
std::string GetSignalFolder();

enum class ApiGroup { CF, DM, FS };
// Whether a group's library is loaded now, and its count of initialisations.
bool IsGroupLoaded(ApiGroup group);
int GetGroupInitCount(ApiGroup group);

}  // namespace qvxconn
