// Copy speed of the device service: a 50 MB database copied to a simulated
// phone through the connectivity layer, as the copy worker does it.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ProgramPath.h"
#include "support/Log.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

QVX_DEFINE_LOG_FILE(g_benchLog);

namespace {

class CountingListener : public FSNotifyIF {
public:
    uint32_t OnFSOperationState(uint32_t, uint32_t, int64_t, int64_t) override {
        ++reports;
        return CONA_OK;
    }
    uint32_t OnFSConnectionLost(uint32_t) override { return CONA_OK; }
    uint32_t OnFSOperationInfo(uint32_t, const char16_t*) override { return CONA_OK; }
    long reports = 0;
};

}  // namespace

int main() {
    const std::string library = qvxplatform::GetProgramFolder() + "/../bin/libqvxdevice.so";
    char pattern[] = "/tmp/qvxbench.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string root = pattern;
    std::filesystem::create_directories(root + "/phones/bench/C/Data/Quorvex");
    std::filesystem::create_directories(root + "/phones/bench/C/Quorvex");
    std::ofstream(root + "/phones/bench/phone.ini") << "[Phone]\nSerialNumber=1\n";
    std::ofstream(root + "/registry.ini") << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n"
                                          << "DMAPI=" << library << "\nFSAPI=" << library << "\nOptions=1\n";
    const std::string source = root + "/large.db";
    {
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + 7);
        std::ofstream out(source, std::ios::binary);
        for (int i = 0; i < 50; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    qvxplatform::SetProgramFolder(root);
    setenv("QVX_PHONES_DIR", (root + "/phones").c_str(), 1);

    int status = 0;
    if (FSAPI_Initialize(32, 0) != CONA_OK) {
        std::fprintf(stderr, "cannot load %s\n", library.c_str());
        status = 1;
    } else {
        CONAHANDLE fs = 0;
        CountingListener listener;
        CONAOpenFS(u"1", CONA_MEDIA_ALL, &fs, 0);
        CONARegisterFSNotifyIF(fs, CONA_API_REGISTER, &listener);
        const std::u16string path = qvxconn::ToUtf16(source);
        const int runs = 5;
        double best = 1e9, total = 0;
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            CONASetCurrentFolder(fs, u"\\\\C:\\Data\\Quorvex\\");
            if (CONACopyFile(fs, 0x14, nullptr, path.c_str(), nullptr) != CONA_OK) status = 1;
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best = std::min(best, s);
            total += s;
        }
        std::printf(
            "50 MB copy to a simulated phone: best %.3f s (%.0f MB/s), mean %.3f s, %ld progress reports per "
            "copy\n",
            best, 50 / best, total / runs, listener.reports / runs);
        CONARegisterFSNotifyIF(fs, CONA_API_UNREGISTER, &listener);
        CONACloseFS(fs);
        FSAPI_Terminate(0);
    }
    std::filesystem::remove_all(root);
    return status;
}
