// The device service behind the exported entry points: initialisation counts
// of the three service groups, the device-management and file-system handles,
// and the thread that watches the phones folder and reports phones that come
// and go to the registered device listeners.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FsSession.h"
#include "ListenerSet.h"
#include "PhoneFolder.h"
#include "transfer/ConnApiTypes.h"

namespace qvxdev {

enum class Group { CF, DM, FS };

// Releases what GetDevices put into the records and zeroes them.
void FreeDeviceRecords(uint32_t count, CONA_DEVICE_RECORD* pDevices);

class DeviceService {
public:
    static DeviceService& Instance();
    ~DeviceService();

    uint32_t Initialize(Group group, uint32_t version);
    uint32_t Terminate(Group group);

    uint32_t OpenDM(CONAHANDLE* phDM);
    uint32_t CloseDM(CONAHANDLE hDM);
    uint32_t RegisterDMNotify(CONAHANDLE hDM, uint32_t state, DMNotifyIF* pNotify);
    uint32_t GetDeviceCount(CONAHANDLE hDM, uint32_t* pCount);
    uint32_t GetDevices(CONAHANDLE hDM, uint32_t* pCount, CONA_DEVICE_RECORD* pDevices);

    uint32_t OpenFS(const std::string& serial, uint32_t media, CONAHANDLE* phFS);
    uint32_t CloseFS(CONAHANDLE hFS);
    // The open file system of a handle, or null (with the reason in *pResult).
    std::shared_ptr<FsSession> FindFS(CONAHANDLE hFS, uint32_t* pResult);

    // How often the phones folder is looked at.
    static constexpr int kPollMilliseconds = 250;

private:
    struct DmSession {
        ListenerSet<DMNotifyIF> listeners;
    };

    DeviceService() = default;
    bool Ready(Group group) const;  // with m_mutex held
    std::shared_ptr<DmSession> FindDM(CONAHANDLE hDM, uint32_t* pResult);
    void StartPoller();        // with m_mutex held
    std::thread StopPoller();  // with m_mutex held; join the result unlocked
    void Poll(std::shared_ptr<bool> stop, std::vector<PhoneInfo> reported);
    void Announce(const std::vector<PhoneInfo>& before, const std::vector<PhoneInfo>& now);

    std::mutex m_mutex;
    int m_nCF = 0, m_nDM = 0, m_nFS = 0;
    std::string m_phonesDir;
    CONAHANDLE m_nextHandle = 1;
    std::map<CONAHANDLE, std::shared_ptr<DmSession>> m_dmSessions;
    std::map<CONAHANDLE, std::shared_ptr<FsSession>> m_fsSessions;

    std::thread m_poller;
    std::condition_variable m_pollWake;
    std::shared_ptr<bool> m_pollStop;  // the running poller's stop flag, under m_mutex
};

}  // namespace qvxdev
