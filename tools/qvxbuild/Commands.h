// The commands of qvxbuild. Each returns the process exit status.
#pragma once

int RunAnalyze(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunSend(int argc, char** argv);
int RunPreview(int argc, char** argv);
int RunMap(int argc, char** argv);

class CImportSession;
// Analyses the file and applies the mapping given, else the first of the
// list that fits, saying on standard error what it found. -1 when the
// import can go on, else the exit status.
int PrepareImport(const char* pszCommand, CImportSession& session, const char* csv, const char* map);
