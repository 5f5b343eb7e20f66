// The commands of qvxbuild. Each returns the process exit status.
#pragma once

int RunAnalyze(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunSend(int argc, char** argv);
