// Runs a benchmark's child program and measures it: wall time, CPU time and
// peak resident memory (the kernel's high-water mark of the child alone).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace qvxbench {

struct ChildRun {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;  // user + system: meaningful also on a busy machine
    long peakKB = 0;
    std::string output;  // the child's standard output
};

inline double CpuSeconds(const struct timeval& user, const struct timeval& system) {
    return static_cast<double>(user.tv_sec + system.tv_sec) +
           static_cast<double>(user.tv_usec + system.tv_usec) / 1e6;
}

// Runs args[0] with the arguments; its standard output is kept when bKeepOutput.
inline ChildRun RunChild(std::vector<std::string> args, bool bKeepOutput = false) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (bKeepOutput && pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    ChildRun run;
    pid_t pid = 0;
    auto start = std::chrono::steady_clock::now();
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    if (spawned != 0) {
        if (pipeFds[0] >= 0) close(pipeFds[0]);
        return run;
    }
    if (pipeFds[0] >= 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, static_cast<size_t>(n));
        close(pipeFds[0]);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKB = usage.ru_maxrss;
    run.cpuSeconds = CpuSeconds(usage.ru_utime, usage.ru_stime);
    return run;
}

}  // namespace qvxbench
