// qvxbuild send [--phone NAME|SERIAL] [--install] [--allow-empty]
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Options.h"
#include "ProgressLine.h"
#include "database/DatabaseCounts.h"
#include "database/QVXDBBuilder.h"
#include "threads/CallbackReceiver.h"
#include "transfer/CopyToPhoneThread.h"
#include "transfer/PhoneSession.h"

namespace {

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
                if (m_worker.GetIncomplete() == CCopyToPhoneThread::Incomplete::kRemoved)
                    m_reason =
                        "the semaphore file could not be copied; the database was removed from the phone";
                else if (m_worker.GetIncomplete() == CCopyToPhoneThread::Incomplete::kLeftOnPhone)
                    m_reason =
                        "the semaphore file could not be copied, and the database could not be removed "
                        "from the phone";
                else if (m_worker.GetLastError() == ECONA_FILE_ALREADY_EXIST)
                    m_reason =
                        "a database of the same name is already on the phone, not yet taken in (perhaps "
                        "from a copy started at the same time elsewhere); it was not replaced, try again "
                        "in a few seconds";
                else if (m_worker.GetLastError() == ECONA_MEMORY_FULL)
                    m_reason = "the phone ran out of memory during the copy";
                else
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

// The name shown for a phone: its device name, else its serial number.
std::string PhoneName(const CONA_DEVICE_RECORD& record) {
    std::string name = CPhoneSession::DeviceName(record);
    return name.empty() ? CPhoneSession::DeviceSerial(record) : name;
}

// Mebibytes with two decimals and thousands separators: "72,344.46 MiB".
std::string MebibytesText(double dMiB) {
    char figure[64];
    snprintf(figure, sizeof figure, "%.2f", dMiB);
    const std::string digits = figure;
    const size_t point = digits.find('.');
    if (point == std::string::npos) return digits + " MiB";
    const size_t first = digits[0] == '-' ? 1 : 0;
    std::string text = digits.substr(0, first);
    for (size_t i = first; i < point; ++i) {
        if (i > first && (point - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text + digits.substr(point) + " MiB";
}

int Fail(const std::string& reason) {
    fprintf(stderr, "qvxbuild send: %s\n", reason.c_str());
    return EXIT_SEND_FAILED;
}

int Send(int argc, char** argv) {
    const char* wanted = nullptr;
    bool install = false;
    bool allowEmpty = false;
    std::vector<const char*> none;
    const int refused = ReadOptions("send", argc, argv,
                                    {{"--phone", &wanted, nullptr},
                                     {"--install", nullptr, &install},
                                     {"--allow-empty", nullptr, &allowEmpty}},
                                    none, 0);
    if (refused >= 0) return refused;
    PrepareLanguage(nullptr);
    if (!CheckUserDataFolder("send")) return EXIT_SEND_FAILED;
    CQVXDBBuilder::TidyProgramFolder();

    CPhoneSession session;
    if (session.StartResult() != 0) {
        return Fail("the phone connection service could not be started (" +
                    std::to_string(session.StartResult()) + ")");
    }
    if (!session.LendDatabase()) {
        return Fail(session.NoDatabaseToLend() ? "there is no last.db to send; build one first"
                                               : session.LendFailure());
    }
    // The phone replaces its whole contact book with the database it gets.
    DatabaseCounts counts;
    const char* lent = session.Database().GetDBFilePath();
    if (!allowEmpty && lent != nullptr && CountDatabase(lent, counts) && counts.nContacts == 0)
        return Fail(
            "last.db holds no contact: the phone would replace its whole contact book with it and so "
            "empty it; nothing was sent (run again with --allow-empty to send it all the same)");

    session.OpenDeviceManager();
    session.RefreshDevices();
    if (session.DeviceCount() == 0) return Fail("no phone is connected");

    const size_t kNone = session.DeviceCount();
    size_t chosen = kNone;
    for (size_t i = 0; i < session.DeviceCount(); ++i) {
        const CONA_DEVICE_RECORD& record = *session.Device(i);
        if (wanted && (PhoneName(record) == wanted || CPhoneSession::DeviceSerial(record) == wanted))
            chosen = i;
    }
    if (wanted == nullptr && session.DeviceCount() == 1) chosen = 0;
    if (chosen == kNone) {
        fprintf(stderr,
                wanted ? "qvxbuild send: no phone named '%s'; connected:\n"
                       : "qvxbuild send: several phones are connected; choose one with --phone:\n",
                wanted);
        for (size_t i = 0; i < session.DeviceCount(); ++i)
            fprintf(stderr, "  %s (serial %s)\n", PhoneName(*session.Device(i)).c_str(),
                    CPhoneSession::DeviceSerial(*session.Device(i)).c_str());
        return EXIT_SEND_FAILED;
    }

    if (session.OpenFileSystem(chosen) == 0) return Fail("the phone's storage could not be opened");
    CPhoneSession::MemoryReport memory;
    session.CheckMemory(memory);
    if (!memory.bFits) {
        return Fail("the phone has too little free memory: needed " + MebibytesText(memory.dNeededMB) +
                    ", free " + MebibytesText(memory.dFreeMB));
    }

    InstallInterruptHandler();
    CCopyToPhoneThread worker;
    SendReceiver receiver(worker, install);
    worker.SetReceiver(&receiver);
    worker.SetDBBuilder(&session.Database());
    worker.SetFSHandle(session.FileSystem());
    worker.SetDevice(session.Device(chosen));
    if (!worker.StartThread(0, 0, 0)) return Fail("the copy could not be started");
    bool abortSent = false;
    while (!worker.WaitForDone(100)) {
        if (InterruptRequested() && !abortSent) {
            abortSent = true;
            worker.RequestAbort();
        }
    }
    worker.SetReceiver(nullptr);
    if (worker.GetLastError() == ECONA_INVALID_NAME)
        return Fail(
            "a folder on the phone leads out of the phone's storage (a link); nothing was copied there");
    if (!receiver.Finished()) return Fail(receiver.Reason());
    printf("sent to %s\n", PhoneName(*session.Device(chosen)).c_str());
    return EXIT_OK;
}

}  // namespace

int RunSend(int argc, char** argv) {
    try {
        return Send(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild send: %s\n", e.what());
        return EXIT_SEND_FAILED;
    }
}
