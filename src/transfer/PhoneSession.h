// CPhoneSession: one session with the phone connectivity service, without
// windows, shared by the copy-to-phone dialog and `qvxbuild send`.
//
// It starts the device-management and file-system groups, keeps the list of
// connected phones, opens the file system of one of them, applies the memory
// rule (the database must fit twice into the phone's free memory) and lends
// last.db for a copy: under the builder's timestamped name with its semaphore
// file beside it. Whatever it took it gives back when it ends, in the reverse
// order: the lent database, the file system, the phone-event listener, the
// device manager, the device records, and the groups it started (the service
// counts starts per group, so only its own are stopped).
//
// Threads: one thread uses a session; only the listener's events come on the
// service's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transfer/ConnApiTypes.h"

class CQVXDBBuilder;

class CPhoneSession {
public:
    CPhoneSession();
    ~CPhoneSession();
    CPhoneSession(const CPhoneSession&) = delete;
    CPhoneSession& operator=(const CPhoneSession&) = delete;

    // 0 when both groups started, else the first failure's code.
    uint32_t StartResult() const { return m_nDMStart != 0 ? m_nDMStart : m_nFSStart; }
    // Gives everything back now (the destructor does it otherwise). After it
    // returns no phone event is running or will start.
    void End();

    // --- phones ---

    // Opens the device manager; a listener hears of phones coming and going
    // until the session ends.
    bool OpenDeviceManager(DMNotifyIF* pListener = nullptr);
    // Reads the connected phones again. False when their number could not be
    // read (the previous records stay) or the records could not be read
    // (none are left).
    bool RefreshDevices();
    size_t DeviceCount() const { return m_devices.size(); }
    // A record of the last refresh; valid until the next refresh or the end.
    const CONA_DEVICE_RECORD* Device(size_t nIndex) const;
    // The name of the record's first device entry, "" without one.
    static std::string DeviceName(const CONA_DEVICE_RECORD& record);
    static std::string DeviceSerial(const CONA_DEVICE_RECORD& record);

    // Opens the file system of a listed phone, closing one opened before: its
    // handle, 0 on failure.
    CONAHANDLE OpenFileSystem(size_t nIndex);
    void CloseFileSystem();
    CONAHANDLE FileSystem() const { return m_hFS; }

    // --- the memory rule ---

    struct MemoryReport {
        double dNeededMB = 0;  // twice the database
        double dFreeMB = 0;    // -2 bytes when the phone did not tell
        bool bFits = false;
    };
    // The rule itself: twice the database's bytes must fit into the free bytes.
    static MemoryReport ApplyMemoryRule(int64_t llDatabaseBytes, int64_t llFreeBytes);
    // The rule for the lent database (nothing lent never fits) and the open
    // file system's free memory, read fresh from the phone; false without an
    // open file system.
    bool CheckMemory(MemoryReport& report);

    // --- last.db ---

    // Lends last.db for a copy under the builder's name (a second name of the
    // same file: last.db stays), with its semaphore file. False when it
    // cannot be lent; LendFailure then says why.
    bool LendDatabase();
    // Gives the lent database back (removes the second name) and removes the
    // semaphore file.
    void ReturnDatabase();
    bool DatabaseLent() const { return m_bLent; }
    // Why the last LendDatabase failed: there is no last.db at all, or
    // LendFailure names the cause.
    bool NoDatabaseToLend() const { return m_bNoDatabase; }
    const std::string& LendFailure() const { return m_lendFailure; }
    // The builder that names the lent files (their size once lent).
    CQVXDBBuilder& Database() { return *m_pDatabase; }

private:
    void FreeDevices();

    int32_t m_nSeconds;  // the moment that names the lent files
    uint32_t m_nDMStart = 1;
    uint32_t m_nFSStart = 1;
    bool m_bEnded = false;
    CONAHANDLE m_hDM = 0;
    bool m_bDMOpen = false;
    DMNotifyIF* m_pListener = nullptr;
    std::vector<CONA_DEVICE_RECORD> m_devices;
    CONAHANDLE m_hFS = 0;
    std::unique_ptr<CQVXDBBuilder> m_pDatabase;
    bool m_bLent = false;
    bool m_bNoDatabase = false;
    std::string m_lendFailure;
};
