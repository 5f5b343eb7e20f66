// A temporary world for the connectivity tests: a program folder whose
// registry.ini names the built device service, a phones folder and a signal
// folder, with helpers to attach phones and to wait for events.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/ProgramPath.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

namespace qvxtest {

inline constexpr const char* kApiSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n";

inline std::string ServiceLibrary() {
    return std::string(QVX_PROGRAM_DIR) + "/libqvxdevice.so";
}

// Waits up to five seconds for `done`, checking whenever `cv` is notified.
inline bool WaitFor(std::mutex& m, std::condition_variable& cv, const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, std::chrono::seconds(5), done);
}

// Polls `done` for up to five seconds.
inline bool PollFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

class PhoneWorld {
public:
    // registryExtra: more lines for the API section of registry.ini.
    explicit PhoneWorld(const std::string& registryExtra = "") {
        mkdir(Program().c_str(), 0755);
        mkdir(Phones().c_str(), 0755);
        mkdir(Signals().c_str(), 0755);
        WriteFile(Program() + "/registry.ini", std::string(kApiSection) + "CFAPI=" + ServiceLibrary() +
                                                   "\nDMAPI=" + ServiceLibrary() +
                                                   "\nFSAPI=" + ServiceLibrary() + "\n" + registryExtra);
        qvxplatform::SetProgramFolder(Program());
        setenv("QVX_PHONES_DIR", Phones().c_str(), 1);
        setenv("QVX_CONN_SIGNAL_DIR", Signals().c_str(), 1);
    }
    ~PhoneWorld() {
        qvxplatform::SetProgramFolder("");
        unsetenv("QVX_PHONES_DIR");
        unsetenv("QVX_CONN_SIGNAL_DIR");
    }

    std::string Program() const { return m_dir.Path() + "/program"; }
    std::string Phones() const { return m_dir.Path() + "/phones"; }
    std::string Signals() const { return m_dir.Path() + "/signals"; }
    std::string Pc() const { return m_dir.Path(); }
    std::string PhonePath(const std::string& name) const { return Phones() + "/" + name; }

    // Attaches a phone: its folder with drive C and the phone.ini lines given.
    void AddPhone(const std::string& name, const std::string& iniLines, bool installed = false) {
        const std::string stage = Phones() + "/." + name;
        std::filesystem::create_directories(stage + "/C/Data");
        if (installed) {
            std::filesystem::create_directories(stage + "/C/Data/Quorvex");
            std::filesystem::create_directories(stage + "/C/Quorvex");
        }
        WriteFile(stage + "/phone.ini", "[Phone]\n" + iniLines);
        std::filesystem::rename(stage, PhonePath(name));
    }
    void RemovePhone(const std::string& name) { std::filesystem::remove_all(PhonePath(name)); }

private:
    TempDir m_dir;
};

// A file listener that records what it is told and can cancel.
class RecordingFSListener : public FSNotifyIF {
public:
    struct State {
        uint32_t operation, status;
        int64_t done, total;
    };
    uint32_t OnFSOperationState(uint32_t dwOperation, uint32_t dwStatus, int64_t llDone,
                                int64_t llTotal) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_states.push_back({dwOperation, dwStatus, llDone, llTotal});
        if (m_cancelAtPercent >= 0 && dwStatus >= static_cast<uint32_t>(m_cancelAtPercent))
            return ECONA_CANCELLED;
        return CONA_OK;
    }
    uint32_t OnFSConnectionLost(uint32_t dwStatus) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lost.push_back(dwStatus);
        return CONA_OK;
    }
    uint32_t OnFSOperationInfo(uint32_t, const char16_t* pstrName) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_names.push_back(qvxconn::FromUtf16(pstrName));
        return CONA_OK;
    }

    void CancelAtPercent(int percent) { m_cancelAtPercent = percent; }
    std::vector<State> States() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_states;
    }
    std::vector<uint32_t> Lost() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lost;
    }
    std::vector<std::string> Names() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_names;
    }

private:
    std::mutex m_mutex;
    std::vector<State> m_states;
    std::vector<uint32_t> m_lost;
    std::vector<std::string> m_names;
    int m_cancelAtPercent = -1;
};

}  // namespace qvxtest
