#include "platform/ShellOpen.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace qvxplatform {
namespace {

bool IsSafeArgument(const std::string& address) {
    return !address.empty() && address[0] != '-';
}

// Starts argv[0] found along PATH in a session of its own, so that a browser
// outlives the wizard and no terminal signal of ours reaches it.
int Spawn(const std::vector<std::string>& args, pid_t* pPid) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return ENOMEM;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    posix_spawn_file_actions_t actions;
    int nErr = posix_spawn_file_actions_init(&actions);
    if (nErr == 0) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        nErr = posix_spawnp(pPid, argv[0], &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    posix_spawnattr_destroy(&attr);
    return nErr;
}

// A child we stop waiting for must still be reaped, or it stays a zombie.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int nStatus = 0;
        while (waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

long long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int SpawnErrorCode(int nErr) {
    switch (nErr) {
        case ENOENT:
        case ENOTDIR:
            return kShellErrFileNotFound;
        case EACCES:
        case EPERM:
            return kShellErrAccess;
        default:
            return kShellErrNoMemory;
    }
}

// xdg-open: 0 success, 1 bad command line, 2 no such file, 3 no tool, 4 failed.
int XdgExitToCode(int nStatus) {
    if (!WIFEXITED(nStatus)) return kShellErrNoAssociation;
    switch (WEXITSTATUS(nStatus)) {
        case 0:
            return kShellOpenOk;
        case 1:
        case 2:
            return kShellErrFileNotFound;
        default:
            return kShellErrNoAssociation;
    }
}

std::vector<std::string> BrowserCommand() {
    std::vector<std::string> args;
    const char* pszBrowser = getenv("BROWSER");
    std::string entry = pszBrowser ? pszBrowser : "";
    // $BROWSER may list several commands separated by ':'; the first counts.
    entry = entry.substr(0, entry.find(':'));
    size_t nPos = 0;
    while (nPos < entry.size()) {
        size_t nStart = entry.find_first_not_of(" \t", nPos);
        if (nStart == std::string::npos) break;
        size_t nEnd = entry.find_first_of(" \t", nStart);
        if (nEnd == std::string::npos) nEnd = entry.size();
        std::string token = entry.substr(nStart, nEnd - nStart);
        // The address goes where the placeholder begins; what follows it is dropped.
        if (token.find("%s") != std::string::npos) break;
        args.push_back(token);
        nPos = nEnd;
    }
    return args;
}

}  // namespace

int ShellOpen(const std::string& address, int nWaitMs) {
    if (!IsSafeArgument(address)) return kShellErrFileNotFound;
    pid_t pid = 0;
    int nErr = Spawn({"xdg-open", address}, &pid);
    if (nErr == ENOENT) return kShellErrNoAssociation;
    if (nErr != 0) return SpawnErrorCode(nErr);

    const long long nDeadline = NowMs() + (nWaitMs > 0 ? nWaitMs : 0);
    for (;;) {
        int nStatus = 0;
        pid_t r = waitpid(pid, &nStatus, WNOHANG);
        if (r == pid) return XdgExitToCode(nStatus);
        if (r < 0 && errno != EINTR) return kShellOpenOk;  // reaped elsewhere: it did start
        if (NowMs() >= nDeadline) break;
        usleep(10000);
    }
    // Some desktops keep xdg-open running as long as the viewer: it started.
    ReapLater(pid);
    return kShellOpenOk;
}

int StartBrowser(const std::string& address) {
    if (!IsSafeArgument(address)) return kShellErrFileNotFound;
    std::vector<std::string> args = BrowserCommand();
    const bool bFromEnvironment = !args.empty();
    if (!bFromEnvironment) args.push_back("x-www-browser");
    args.push_back(address);

    pid_t pid = 0;
    int nErr = Spawn(args, &pid);
    if (nErr != 0) {
        if (!bFromEnvironment && nErr == ENOENT) return kNoBrowserConfigured;
        return SpawnErrorCode(nErr);
    }
    ReapLater(pid);
    return kShellStarted;
}

int OpenAddress(const std::string& address, int nWaitMs) {
    int nResult = ShellOpen(address, nWaitMs);
    if (nResult > 32 || !IsSafeArgument(address)) return nResult;
    int nBrowser = StartBrowser(address);
    return nBrowser == kNoBrowserConfigured ? nResult : nBrowser;
}

}  // namespace qvxplatform
