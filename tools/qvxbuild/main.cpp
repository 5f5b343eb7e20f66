// qvxbuild: runs the wizard's steps without windows.
#include <cstdio>
#include <cstring>

#include "CommandSupport.h"
#include "Commands.h"
#include "support/Log.h"

QVX_DEFINE_LOG_FILE(g_logFile);

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage();
        return EXIT_USAGE;
    }
    const char* command = argv[1];
    if (strcmp(command, "analyze") == 0) return RunAnalyze(argc - 2, argv + 2);
    if (strcmp(command, "build") == 0) return RunBuild(argc - 2, argv + 2);
    if (strcmp(command, "send") == 0) return RunSend(argc - 2, argv + 2);
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0) {
        PrintUsage();
        return EXIT_OK;
    }
    fprintf(stderr, "qvxbuild: unknown command '%s'\n", command);
    PrintUsage();
    return EXIT_USAGE;
}
