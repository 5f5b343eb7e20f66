// qvxbuild send [--phone NAME|SERIAL] [--install]
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "ProgressLine.h"
#include "database/QVXDBBuilder.h"
#include "threads/CallbackReceiver.h"
#include "transfer/ConnApi.h"
#include "transfer/CopyToPhoneThread.h"
#include "transfer/Utf16Text.h"

namespace {

struct Phone {
    std::string name;
    std::string serial;
    size_t index;
};

// Takes last.db under this run's file name with its semaphore file, and
// always gives it back, whatever happens in between.
class DatabaseLease {
public:
    explicit DatabaseLease(CQVXDBBuilder& builder) : m_builder(builder) {
        m_bTaken = m_builder.GetLastDB();
        if (m_bTaken) m_builder.CreateSemFile();
    }
    ~DatabaseLease() {
        if (!m_bTaken) return;
        m_builder.SetLastDB();
        m_builder.DeleteSemFile();
    }
    DatabaseLease(const DatabaseLease&) = delete;
    DatabaseLease& operator=(const DatabaseLease&) = delete;
    bool Taken() const { return m_bTaken; }

private:
    CQVXDBBuilder& m_builder;
    bool m_bTaken;
};

// The service groups this command uses, released in any case.
class ServiceSession {
public:
    ServiceSession() {
        m_dm = DMAPI_Initialize(CONA_DMAPI_VERSION, 0);
        m_fs = m_dm == 0 ? FSAPI_Initialize(CONA_FSAPI_VERSION, 0) : 1;
    }
    ~ServiceSession() {
        if (m_fs == 0) FSAPI_Terminate(0);
        if (m_dm == 0) DMAPI_Terminate(0);
    }
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;
    uint32_t Result() const { return m_dm != 0 ? m_dm : m_fs; }

private:
    uint32_t m_dm;
    uint32_t m_fs;
};

class SendReceiver : public CCallbackReceiver {
public:
    SendReceiver(CCopyToPhoneThread& worker, bool allowInstall)
        : m_worker(worker), m_bAllowInstall(allowInstall) {}
    int OnReceiveCallback(unsigned code, void* param) override {
        std::lock_guard<std::mutex> lock(m_lock);
        switch (code) {
            case CB::COPY_PROGRESS:
                if (param) m_line.Show(*static_cast<int*>(param), "copying the database");
                break;
            case CB::COPY_ABORTED:
                m_line.Finish();
                m_reason = "the copy was aborted or the phone was disconnected";
                break;
            case CB::COPY_FINISHED:
                m_line.Finish();
                m_bFinished = true;
                break;
            case CB::PROG_NOT_FOUND:
                m_line.Finish();
                if (m_bAllowInstall) {
                    fprintf(stderr, "qvxbuild send: the phone application is missing; installing it\n");
                    m_worker.AllowInstall();
                } else {
                    m_reason = "the phone application is not installed (run again with --install)";
                }
                break;
            case CB::INSTALL_PROGRESS:
                m_line.Show(0, "installing the phone application");
                break;
            case CB::INSTALL_DONE:
                m_line.Finish();
                fprintf(stderr, "qvxbuild send: the phone application was installed\n");
                break;
            case CB::INSTALL_FAILED:
                m_line.Finish();
                if (m_reason.empty()) m_reason = "the phone application could not be installed";
                break;
            default:
                break;
        }
        return 0;
    }
    bool Finished() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_bFinished;
    }
    std::string Reason() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_reason.empty() ? "the copy failed (see the trace log)" : m_reason;
    }

private:
    std::mutex m_lock;
    CCopyToPhoneThread& m_worker;
    bool m_bAllowInstall;
    bool m_bFinished = false;
    std::string m_reason;
    ProgressLine m_line;
};

std::vector<Phone> ListPhones(std::vector<CONA_DEVICE_RECORD>& records) {
    std::vector<Phone> phones;
    CONAHANDLE hDM = 0;
    if (CONAOpenDM(&hDM) != 0) return phones;
    uint32_t count = 0;
    if (CONAGetDeviceCount(hDM, &count) == 0 && count > 0) {
        records.assign(count, CONA_DEVICE_RECORD{});
        if (CONAGetDevices(hDM, &count, records.data()) == 0) {
            records.resize(count);
            for (size_t i = 0; i < records.size(); ++i) {
                const CONA_DEVICE_RECORD& r = records[i];
                Phone phone;
                phone.serial = r.pstrSerialNumber ? qvxconn::FromUtf16(r.pstrSerialNumber) : "";
                phone.name = r.dwNumberOfItems > 0 && r.pItems && r.pItems[0].pstrDeviceName
                                 ? qvxconn::FromUtf16(r.pItems[0].pstrDeviceName)
                                 : phone.serial;
                phone.index = i;
                phones.push_back(phone);
            }
        } else {
            records.clear();
        }
    }
    CONACloseDM(hDM);
    return phones;
}

int Fail(const std::string& reason) {
    fprintf(stderr, "qvxbuild send: %s\n", reason.c_str());
    return EXIT_SEND_FAILED;
}

}  // namespace

int RunSend(int argc, char** argv) {
    const char* wanted = nullptr;
    bool install = false;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--phone") == 0 && i + 1 < argc) {
            wanted = argv[++i];
        } else if (strcmp(argv[i], "--install") == 0) {
            install = true;
        } else {
            return RefuseArgument("send", argv[i]);
        }
    }
    PrepareLanguage(nullptr);

    ServiceSession service;
    if (service.Result() != 0) {
        return Fail("the phone connection service could not be started (" + std::to_string(service.Result()) +
                    ")");
    }
    CQVXDBBuilder builder;
    DatabaseLease lease(builder);
    if (!lease.Taken()) return Fail("there is no last.db to send; build one first");

    std::vector<CONA_DEVICE_RECORD> records;
    std::vector<Phone> phones = ListPhones(records);
    struct RecordsGuard {
        std::vector<CONA_DEVICE_RECORD>& r;
        ~RecordsGuard() {
            if (!r.empty()) CONAFreeDeviceStructure(static_cast<uint32_t>(r.size()), r.data());
        }
    } recordsGuard{records};
    if (phones.empty()) return Fail("no phone is connected");

    const Phone* chosen = nullptr;
    for (const Phone& phone : phones) {
        if (wanted && (phone.name == wanted || phone.serial == wanted)) chosen = &phone;
    }
    if (wanted == nullptr && phones.size() == 1) chosen = &phones[0];
    if (chosen == nullptr) {
        fprintf(stderr,
                wanted ? "qvxbuild send: no phone named '%s'; connected:\n"
                       : "qvxbuild send: several phones are connected; choose one with --phone:\n",
                wanted);
        for (const Phone& phone : phones)
            fprintf(stderr, "  %s (serial %s)\n", phone.name.c_str(), phone.serial.c_str());
        return EXIT_SEND_FAILED;
    }

    CONAHANDLE hFS = 0;
    if (CONAOpenFS(qvxconn::ToUtf16(chosen->serial).c_str(), CONA_MEDIA_ALL, &hFS,
                   static_cast<uint32_t>(chosen->index)) != 0) {
        return Fail("the phone's storage could not be opened");
    }
    struct FsGuard {
        CONAHANDLE h;
        ~FsGuard() { CONACloseFS(h); }
    } fsGuard{hFS};

    CONARefreshDeviceMemoryValues(hFS);
    int64_t freeBytes = -2, total = 0, used = 0;
    CONAGetMemoryValues(hFS, nullptr, &freeBytes, &total, &used);
    const double neededMB = static_cast<double>(builder.GetDBSize()) / 1024 / 1024 * 2;
    const double freeMB = static_cast<double>(freeBytes) / 1024 / 1024;
    if (neededMB > freeMB) {
        char text[160];
        snprintf(text, sizeof text, "the phone has too little free memory: needed %.2f MB, free %.2f MB",
                 neededMB, freeMB);
        return Fail(text);
    }

    InstallInterruptHandler();
    CCopyToPhoneThread worker;
    SendReceiver receiver(worker, install);
    worker.SetReceiver(&receiver);
    worker.SetDBBuilder(&builder);
    worker.SetFSHandle(hFS);
    worker.SetDevice(&records[chosen->index]);
    if (!worker.StartThread(0, 0, 0)) return Fail("the copy could not be started");
    bool abortSent = false;
    while (!worker.WaitForDone(100)) {
        if (InterruptRequested() && !abortSent) {
            abortSent = true;
            worker.RequestAbort();
        }
    }
    worker.SetReceiver(nullptr);
    if (!receiver.Finished()) return Fail(receiver.Reason());
    printf("sent to %s\n", chosen->name.c_str());
    return EXIT_OK;
}
