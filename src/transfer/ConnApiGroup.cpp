#include "transfer/ConnApiGroup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/ProgramPath.h"
#include "platform/Registry.h"
#include "support/Log.h"
#include "transfer/ConnApiSettings.h"

namespace {

// The layer has no module record of its own in the shared table.
constexpr int nConnAPI = 3;
constexpr LOG_MODULE ConnAPI{"ConnAPI", nConnAPI, &nConnAPI};

constexpr auto kWatchInterval = std::chrono::milliseconds(200);

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string LibraryPath(const std::string& group) {
    const std::string folder = qvxplatform::GetProgramFolder();
    std::string value;
    if (qvxplatform::RegReadString(qvxconn::kApiRegistryKey, group, value) && !value.empty()) {
        return value.find('/') == std::string::npos ? folder + "/" + value : value;
    }
    return folder + "/" + qvxconn::kDefaultLibrary;
}

}  // namespace

namespace qvxconn {

std::string GetSignalFolder() {
    const char* dir = getenv("QVX_CONN_SIGNAL_DIR");
    if (dir && *dir) return dir;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/qvx-connectivity";
    return "/tmp/qvx-connectivity-" + std::to_string(getuid());
}

}  // namespace qvxconn

CConnApiGroup::CConnApiGroup(const char* pszName) : m_name(pszName) {}

CConnApiGroup::~CConnApiGroup() {
    // At process end the library stays mapped; only our thread must not outlive us.
    StopWatcher();
}

bool CConnApiGroup::IsLoaded() {
    std::shared_lock<std::shared_mutex> lock(m_lib);
    return m_hLib != nullptr;
}

int CConnApiGroup::GetInitCount() {
    std::lock_guard<std::mutex> lock(m_init);
    return m_nCount;
}

uint32_t CConnApiGroup::Initialize(uint32_t dwVersion, uint32_t dwReserved) {
    std::lock_guard<std::mutex> lock(m_init);
    if (m_nCount > 0) {
        // Unloaded by a restart signal: unusable until the service is back.
        if (!IsLoaded()) return ECONA_NOT_INITIALIZED;
        ++m_nCount;
        return CONA_OK;
    }
    const uint32_t result = Load(dwVersion, dwReserved, false);
    if (result != CONA_OK) return result;
    m_nCount = 1;
    m_dwVersion = dwVersion;
    uint32_t options = 0;
    if (!qvxplatform::RegReadDword(qvxconn::kApiRegistryKey, "Options", options) || (options & 1) == 0) {
        StartWatcher();
    }
    return CONA_OK;
}

uint32_t CConnApiGroup::Terminate(uint32_t dwReserved) {
    std::lock_guard<std::mutex> lock(m_init);
    if (m_nCount == 0) return ECONA_NOT_INITIALIZED;
    if (--m_nCount > 0) return CONA_OK;
    StopWatcher();
    std::unique_lock<std::shared_mutex> libLock(m_lib);
    return m_hLib ? Unload(dwReserved) : CONA_OK;
}

uint32_t CConnApiGroup::Load(uint32_t dwVersion, uint32_t dwReserved, bool bLibLocked) {
    const std::string path = LibraryPath(m_name);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        LOG_WARN(ConnAPI, "%s: loading %s failed: %s", m_name.c_str(), path.c_str(), error ? error : "");
        return ECONA_NOT_INITIALIZED;
    }
    const std::string symbol = m_name + "_Initialize";
    auto init = reinterpret_cast<PFN_DMAPI_Initialize>(dlsym(handle, symbol.c_str()));
    if (!init) {
        LOG_WARN(ConnAPI, "%s: %s lacks %s", m_name.c_str(), path.c_str(), symbol.c_str());
        dlclose(handle);
        return ECONA_NOT_INITIALIZED;
    }
    const uint32_t result = init(dwVersion, dwReserved);
    if (result != CONA_OK) {
        LOG_WARN(ConnAPI, "%s: %s failed (%d)", m_name.c_str(), symbol.c_str(), static_cast<int>(result));
        dlclose(handle);
        return result;
    }
    std::unique_lock<std::shared_mutex> libLock(m_lib, std::defer_lock);
    if (!bLibLocked) libLock.lock();
    m_hLib = handle;
    LOG_INFO(ConnAPI, "%s: %s loaded", m_name.c_str(), path.c_str());
    return CONA_OK;
}

uint32_t CConnApiGroup::Unload(uint32_t dwReserved) {
    const std::string symbol = m_name + "_Terminate";
    auto term = reinterpret_cast<PFN_DMAPI_Terminate>(dlsym(m_hLib, symbol.c_str()));
    const uint32_t result = term ? term(dwReserved) : ECONA_NOT_INITIALIZED;
    if (result != CONA_OK) {
        LOG_WARN(ConnAPI, "%s: %s failed (%d)", m_name.c_str(), symbol.c_str(), static_cast<int>(result));
    }
    dlclose(m_hLib);
    m_hLib = nullptr;
    LOG_INFO(ConnAPI, "%s: library unloaded", m_name.c_str());
    return result;
}

void CConnApiGroup::StartWatcher() {
    {
        std::lock_guard<std::mutex> lock(m_watchMutex);
        m_bStopWatch = false;
    }
    m_watcher = std::thread(&CConnApiGroup::Watch, this, qvxconn::GetSignalFolder());
}

void CConnApiGroup::StopWatcher() {
    {
        std::lock_guard<std::mutex> lock(m_watchMutex);
        m_bStopWatch = true;
    }
    m_watchWake.notify_all();
    if (m_watcher.joinable()) m_watcher.join();
}

void CConnApiGroup::Watch(std::string folder) {
    const std::string stopMarker = folder + "/" + qvxconn::kStopSignal;
    const std::string startMarker = folder + "/" + qvxconn::kStartSignal;
    bool reloadFailed = false;  // try again only on a fresh start signal
    std::unique_lock<std::mutex> wait(m_watchMutex);
    while (!m_watchWake.wait_for(wait, kWatchInterval, [this] { return m_bStopWatch; })) {
        wait.unlock();
        const bool stopping = Exists(stopMarker);
        const bool started = !stopping && Exists(startMarker);
        if (!started) reloadFailed = false;
        // Never block here: Terminate holds m_init while it waits for this thread.
        std::unique_lock<std::mutex> init(m_init, std::try_to_lock);
        if (init.owns_lock() && (stopping || started)) {
            std::unique_lock<std::shared_mutex> lib(m_lib, std::try_to_lock);
            if (lib.owns_lock()) {
                if (stopping && m_hLib) {
                    LOG_INFO(ConnAPI, "%s: service stopping", m_name.c_str());
                    Unload(0);
                } else if (started && !m_hLib && m_nCount > 0 && !reloadFailed) {
                    LOG_INFO(ConnAPI, "%s: service started", m_name.c_str());
                    reloadFailed = Load(m_dwVersion, 0, true) != CONA_OK;
                }
            }
        }
        if (init.owns_lock()) init.unlock();
        wait.lock();
    }
}
