// One service group of the connectivity library: counted initialisation,
// loading and unloading of the library, the watcher of the restart signals,
// and calls that keep the library loaded while they run (see ConnApi.h).
#pragma once

#include <dlfcn.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

#include "transfer/ConnApiTypes.h"

class CConnApiGroup {
public:
    // pszName: the group and its registry value ("DMAPI"); the entry points
    // are pszName + "_Initialize" and pszName + "_Terminate".
    explicit CConnApiGroup(const char* pszName);
    ~CConnApiGroup();
    CConnApiGroup(const CConnApiGroup&) = delete;
    CConnApiGroup& operator=(const CConnApiGroup&) = delete;

    uint32_t Initialize(uint32_t dwVersion, uint32_t dwReserved);
    uint32_t Terminate(uint32_t dwReserved);

    // Calls the entry point `pszSymbol` of the loaded library;
    // ECONA_NOT_INITIALIZED when none is loaded or it lacks the entry point.
    template <class Pfn, class... Args>
    uint32_t Call(const char* pszSymbol, Args... args) {
        std::shared_lock<std::shared_mutex> lock(m_lib);
        if (!m_hLib) return ECONA_NOT_INITIALIZED;
        void* p = dlsym(m_hLib, pszSymbol);
        if (!p) return ECONA_NOT_INITIALIZED;
        return reinterpret_cast<Pfn>(p)(args...);
    }

    bool IsLoaded();
    int GetInitCount();

private:
    uint32_t Load(uint32_t dwVersion, uint32_t dwReserved, bool bLibLocked);  // m_init held
    uint32_t Unload(uint32_t dwReserved);                                     // m_init and m_lib held
    void StartWatcher();                                                      // m_init held
    void StopWatcher();
    void Watch(std::string folder);

    const std::string m_name;
    std::mutex m_init;        // count, version, loading and unloading
    std::shared_mutex m_lib;  // shared by calls, exclusive to change m_hLib
    void* m_hLib = nullptr;
    int m_nCount = 0;
    uint32_t m_dwVersion = 0;  // of the first initialisation, for a reload

    std::thread m_watcher;
    std::mutex m_watchMutex;
    std::condition_variable m_watchWake;
    bool m_bStopWatch = false;
};
