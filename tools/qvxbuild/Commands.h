// The commands of qvxbuild. Each returns the process exit status.
#pragma once

enum ExitStatus {
    EXIT_OK = 0,
    EXIT_USAGE = 1,
    EXIT_ANALYSIS_FAILED = 2,
    EXIT_MAPPING_FAILED = 3,
    EXIT_BUILD_FAILED = 4,
    EXIT_SEND_FAILED = 5,
};

int RunAnalyze(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunSend(int argc, char** argv);
