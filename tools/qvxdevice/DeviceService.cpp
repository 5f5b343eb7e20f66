#include "DeviceService.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "transfer/Utf16Text.h"

namespace qvxdev {

namespace {

const char16_t kModel[] = u"Folder phone";
const char16_t kManufacturer[] = u"QVX device service";

// Allocated with malloc so that any part of the process can release it.
char16_t* Dup16(std::u16string_view text) {
    auto* p = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (!p) return nullptr;
    std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
    p[text.size()] = 0;
    return p;
}

const PhoneInfo* FindSerial(const std::vector<PhoneInfo>& phones, const std::string& serial) {
    for (const auto& p : phones) {
        if (p.serial == serial) return &p;
    }
    return nullptr;
}

}  // namespace

void FreeDeviceRecords(uint32_t count, CONA_DEVICE_RECORD* pDevices) {
    FreeDeviceRecordMemory(count, pDevices);
}

DeviceService& DeviceService::Instance() {
    static DeviceService service;
    return service;
}

DeviceService::~DeviceService() {
    std::thread poller;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        poller = StopPoller();
    }
    if (poller.joinable()) poller.join();
}

bool DeviceService::Ready(Group group) const {
    switch (group) {
        case Group::CF:
            return m_nCF > 0;
        case Group::DM:
            return m_nDM > 0;
        case Group::FS:
            return m_nFS > 0;
    }
    return false;
}

uint32_t DeviceService::Initialize(Group group, uint32_t version) {
    const uint32_t highest = group == Group::CF   ? CONA_CFAPI_VERSION
                             : group == Group::DM ? CONA_DMAPI_VERSION
                                                  : CONA_FSAPI_VERSION;
    if (version == 0 || version > highest) return ECONA_UNSUPPORTED_API_VERSION;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nCF + m_nDM + m_nFS == 0) m_phonesDir = ResolvePhonesDir();
    switch (group) {
        case Group::CF:
            ++m_nCF;
            break;
        case Group::DM:
            if (++m_nDM == 1) StartPoller();
            break;
        case Group::FS:
            ++m_nFS;
            break;
    }
    return CONA_OK;
}

uint32_t DeviceService::Terminate(Group group) {
    std::thread poller;
    std::vector<std::shared_ptr<DmSession>> dm;
    std::vector<std::shared_ptr<FsSession>> fs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Ready(group)) return ECONA_NOT_INITIALIZED;
        if (group == Group::CF) {
            --m_nCF;
        } else if (group == Group::DM && --m_nDM == 0) {
            poller = StopPoller();
            for (auto& [h, s] : m_dmSessions) dm.push_back(s);
            m_dmSessions.clear();
        } else if (group == Group::FS && --m_nFS == 0) {
            for (auto& [h, s] : m_fsSessions) fs.push_back(s);
            m_fsSessions.clear();
        }
    }
    if (poller.joinable()) {
        // Terminating from inside a device event: the poller ends by itself.
        if (poller.get_id() == std::this_thread::get_id()) {
            poller.detach();
        } else {
            poller.join();
        }
    }
    for (auto& s : dm) s->listeners.Clear();
    for (auto& s : fs) s->Listeners().Clear();
    return CONA_OK;
}

void DeviceService::StartPoller() {
    m_pollStop = std::make_shared<bool>(false);
    m_poller = std::thread(&DeviceService::Poll, this, m_pollStop, ScanPhones(m_phonesDir));
}

std::thread DeviceService::StopPoller() {
    if (m_pollStop) *m_pollStop = true;
    m_pollStop.reset();
    m_pollWake.notify_all();
    return std::move(m_poller);
}

void DeviceService::Poll(std::shared_ptr<bool> stop, std::vector<PhoneInfo> reported) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!*stop) {
        m_pollWake.wait_for(lock, std::chrono::milliseconds(kPollMilliseconds), [&] { return *stop; });
        if (*stop) break;
        const std::string dir = m_phonesDir;
        lock.unlock();
        std::vector<PhoneInfo> now = ScanPhones(dir);
        Announce(reported, now);
        reported = std::move(now);
        lock.lock();
    }
}

void DeviceService::Announce(const std::vector<PhoneInfo>& before, const std::vector<PhoneInfo>& now) {
    struct Event {
        std::u16string serial;
        uint32_t status;
    };
    std::vector<Event> events;
    for (const auto& p : before) {
        if (!FindSerial(now, p.serial)) events.push_back({qvxconn::ToUtf16(p.serial), CONA_DEVICE_REMOVED});
    }
    for (const auto& p : now) {
        const PhoneInfo* old = FindSerial(before, p.serial);
        if (!old) {
            events.push_back({qvxconn::ToUtf16(p.serial), CONA_DEVICE_ADDED});
        } else if (old->name != p.name) {
            events.push_back({qvxconn::ToUtf16(p.serial), CONA_DEVICE_UPDATED});
        }
    }
    if (events.empty()) return;
    std::vector<std::shared_ptr<DmSession>> sessions;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [h, s] : m_dmSessions) sessions.push_back(s);
    }
    for (const auto& e : events) {
        for (auto& s : sessions) {
            s->listeners.ForEach([&](DMNotifyIF* p) {
                if (e.status == CONA_DEVICE_ADDED) {
                    p->OnDeviceAdded(e.serial.c_str(), e.status);
                } else if (e.status == CONA_DEVICE_REMOVED) {
                    p->OnDeviceRemoved(e.serial.c_str(), e.status);
                } else {
                    p->OnDeviceUpdated(e.serial.c_str(), e.status);
                }
            });
        }
    }
}

uint32_t DeviceService::OpenDM(CONAHANDLE* phDM) {
    if (!phDM) return ECONA_INVALID_POINTER;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Ready(Group::DM)) return ECONA_NOT_INITIALIZED;
    const CONAHANDLE h = m_nextHandle++;
    m_dmSessions[h] = std::make_shared<DmSession>();
    *phDM = h;
    return CONA_OK;
}

std::shared_ptr<DeviceService::DmSession> DeviceService::FindDM(CONAHANDLE hDM, uint32_t* pResult) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Ready(Group::DM)) {
        *pResult = ECONA_NOT_INITIALIZED;
        return nullptr;
    }
    auto it = m_dmSessions.find(hDM);
    if (it == m_dmSessions.end()) {
        *pResult = ECONA_INVALID_HANDLE;
        return nullptr;
    }
    *pResult = CONA_OK;
    return it->second;
}

uint32_t DeviceService::CloseDM(CONAHANDLE hDM) {
    std::shared_ptr<DmSession> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Ready(Group::DM)) return ECONA_NOT_INITIALIZED;
        auto it = m_dmSessions.find(hDM);
        if (it == m_dmSessions.end()) return ECONA_INVALID_HANDLE;
        session = it->second;
        m_dmSessions.erase(it);
    }
    session->listeners.Clear();
    return CONA_OK;
}

uint32_t DeviceService::RegisterDMNotify(CONAHANDLE hDM, uint32_t state, DMNotifyIF* pNotify) {
    uint32_t result = CONA_OK;
    auto session = FindDM(hDM, &result);
    if (!session) return result;
    if (!pNotify) return ECONA_INVALID_POINTER;
    if (state == CONA_API_REGISTER)
        return session->listeners.Add(pNotify) ? CONA_OK : ECONA_REGISTER_ALREADY_DONE;
    if (state == CONA_API_UNREGISTER) return session->listeners.Remove(pNotify) ? CONA_OK : ECONA_NOT_FOUND;
    return ECONA_INVALID_PARAMETER;
}

uint32_t DeviceService::GetDeviceCount(CONAHANDLE hDM, uint32_t* pCount) {
    uint32_t result = CONA_OK;
    if (!FindDM(hDM, &result)) return result;
    if (!pCount) return ECONA_INVALID_POINTER;
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dir = m_phonesDir;
    }
    *pCount = static_cast<uint32_t>(ScanPhones(dir).size());
    return CONA_OK;
}

uint32_t DeviceService::GetDevices(CONAHANDLE hDM, uint32_t* pCount, CONA_DEVICE_RECORD* pDevices) {
    uint32_t result = CONA_OK;
    if (!FindDM(hDM, &result)) return result;
    if (!pCount || (!pDevices && *pCount > 0)) return ECONA_INVALID_POINTER;
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dir = m_phonesDir;
    }
    const std::vector<PhoneInfo> phones = ScanPhones(dir);
    const uint32_t capacity = *pCount;
    const uint32_t n = std::min<uint32_t>(capacity, static_cast<uint32_t>(phones.size()));
    for (uint32_t i = 0; i < capacity; ++i) pDevices[i] = CONA_DEVICE_RECORD{};
    for (uint32_t i = 0; i < n; ++i) {
        const PhoneInfo& p = phones[i];
        CONA_DEVICE_RECORD& d = pDevices[i];
        const std::u16string name = qvxconn::ToUtf16(p.name);
        d.pstrSerialNumber = Dup16(qvxconn::ToUtf16(p.serial));
        d.pstrFriendlyName = Dup16(name);
        d.pstrModel = Dup16(kModel);
        d.pstrManufacturer = Dup16(kManufacturer);
        d.pItems = static_cast<CONA_CONNECTION_ENTRY*>(std::calloc(1, sizeof(CONA_CONNECTION_ENTRY)));
        if (d.pItems) {
            d.dwNumberOfItems = 1;
            d.pItems[0].dwDeviceID = i;
            d.pItems[0].dwMedia = CONA_MEDIA_ALL;
            d.pItems[0].pstrDeviceName = Dup16(name);
            d.pItems[0].pstrAddress = Dup16(qvxconn::ToUtf16(p.path));
        }
        if (!d.pstrSerialNumber || !d.pstrFriendlyName || !d.pstrModel || !d.pstrManufacturer || !d.pItems ||
            !d.pItems[0].pstrDeviceName || !d.pItems[0].pstrAddress) {
            FreeDeviceRecords(i + 1, pDevices);
            *pCount = 0;
            return ECONA_NOT_ENOUGH_MEMORY;
        }
    }
    *pCount = n;
    return CONA_OK;
}

uint32_t DeviceService::OpenFS(const std::string& serial, uint32_t media, CONAHANDLE* phFS) {
    if (!phFS) return ECONA_INVALID_POINTER;
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Ready(Group::FS)) return ECONA_NOT_INITIALIZED;
        dir = m_phonesDir;
    }
    if (serial.empty() || media != CONA_MEDIA_ALL) return ECONA_INVALID_PARAMETER;
    const std::vector<PhoneInfo> phones = ScanPhones(dir);
    const PhoneInfo* phone = FindSerial(phones, serial);
    if (!phone) return ECONA_DEVICE_NOT_FOUND;
    RemoveStalePartFiles(phone->path);
    auto session = std::make_shared<FsSession>(phone->serial, phone->path);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Ready(Group::FS)) return ECONA_NOT_INITIALIZED;
    const CONAHANDLE h = m_nextHandle++;
    m_fsSessions[h] = std::move(session);
    *phFS = h;
    return CONA_OK;
}

uint32_t DeviceService::CloseFS(CONAHANDLE hFS) {
    std::shared_ptr<FsSession> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Ready(Group::FS)) return ECONA_NOT_INITIALIZED;
        auto it = m_fsSessions.find(hFS);
        if (it == m_fsSessions.end()) return ECONA_INVALID_HANDLE;
        session = it->second;
        m_fsSessions.erase(it);
    }
    session->Listeners().Clear();
    return CONA_OK;
}

std::shared_ptr<FsSession> DeviceService::FindFS(CONAHANDLE hFS, uint32_t* pResult) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Ready(Group::FS)) {
        *pResult = ECONA_NOT_INITIALIZED;
        return nullptr;
    }
    auto it = m_fsSessions.find(hFS);
    if (it == m_fsSessions.end()) {
        *pResult = ECONA_INVALID_HANDLE;
        return nullptr;
    }
    *pResult = CONA_OK;
    return it->second;
}

}  // namespace qvxdev
