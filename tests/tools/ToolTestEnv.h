// A program folder of its own for running the command-line tools as a user
// would (a copy of the binaries with their files), with a contacts file and
// two mappings beside it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"

extern char** environ;

namespace qvxtest {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("program");
        fs::create_directories(program + "/mappings");
        for (const char* name :
             {"qvxbuild", "qvx-phone", "language.ini", "libqvxdevice.so", "qVxLocal.sisx"}) {
            fs::copy_file(std::string(QVX_PROGRAM_DIR) + "/" + name, program + "/" + name);
        }
        qvxtest::WriteFile(dir.File("contacts.csv"),
                           "Name;Firma;Telefon\r\nAnna Muster;ACME;+49 711 1\r\nBob O'Neil;;0711-2\r\n");
        qvxtest::WriteFile(dir.File("complete.map"),
                           "Quorvex mapping file\r\n\"Name\",\"Firma\",\"Telefon\"\r\n\"N\",\"C\",\"PD\"\r\n"
                           "Name:t\r\nDescription:d\r\n");
        qvxtest::WriteFile(dir.File("partial.map"),
                           "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\n");
    }

    // Starts a program of the program folder in the test folder, its output
    // going to files named after `tag`; the process id, or -1.
    pid_t Start(const std::string& tool, std::vector<std::string> args, const std::string& tag = "run") {
        std::vector<std::string> argv{program + "/" + tool};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        const std::string outPath = dir.File(tag + ".out"), errPath = dir.File(tag + ".err");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
        pid_t pid = -1;
        if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // Waits for a started program: its exit status, or 128 + the signal that ended it.
    Result Wait(pid_t pid, const std::string& tag = "run") {
        Result result;
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = qvxtest::ReadFile(dir.File(tag + ".out"));
        result.err = qvxtest::ReadFile(dir.File(tag + ".err"));
        return result;
    }
    // Runs a program; with `interruptAfterMs` > 0 it gets SIGINT after that time.
    Result Run(const std::string& tool, std::vector<std::string> args, int interruptAfterMs = 0) {
        const pid_t pid = Start(tool, std::move(args));
        if (pid > 0 && interruptAfterMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
            kill(pid, SIGINT);
        }
        return Wait(pid);
    }

    std::vector<std::string> DatabaseFiles() {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(program)) {
            std::string n = e.path().filename().string();
            if (n.size() > 3 && (n.ends_with(".db") || n.ends_with(".sem"))) names.push_back(n);
        }
        return names;
    }

    qvxtest::TempDir dir;
    std::string program;
};

}  // namespace qvxtest
