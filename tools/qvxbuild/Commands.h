// The commands of qvxbuild. Each returns the process exit status.
#pragma once

int RunAnalyze(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunSend(int argc, char** argv);
int RunPreview(int argc, char** argv);
int RunMap(int argc, char** argv);

#include <string>
#include <vector>

#include "Options.h"

class CImportSession;
class CImportSet;
// Analyses the file and applies the mapping given, else the first of the
// list that fits, saying on standard error what it found. -1 when the
// import can go on, else the exit status.
int PrepareImport(const char* pszCommand, CImportSession& session, const char* csv, const char* map);
// PrepareImport for each file in order, each in a session of its own added
// to the set; with several files the messages name the file.
int PrepareImports(const char* pszCommand, CImportSet& set, const std::vector<FileArgument>& files);
// The command's name in messages, with the file's name when there are several.
std::string FileLabel(const char* pszCommand, const std::vector<FileArgument>& files, size_t nFile);
