// Process-wide trace log: a rotating set of files (the programs keep it with
// the user's files, platform/ProgramPath.h). Files are opened without
// following a link and written at their end only; a run holds a shared lock
// on its file, and a start or switch empties a file only when no other run
// holds one, so that two runs never destroy each other's lines.
//
// Every module writes through LOG_INFO / LOG_WARN with its own constant
// LOG_MODULE record (see LogModules.h). Records are built in fixed 256-byte
// buffers and written unbuffered, one write per piece, under one recursive
// process-wide lock. Log calls never fail loudly: callers ignore the results.
#pragma once

#include <cstdarg>

struct LOG_CONFIG {
    int nMode;             // 1 = rotating set of files
    int nFlags;            // 2 = close and reopen after every write
    char szFileName[200];  // first file of the set, relative to the current directory
    int nHandle;           // descriptor for the descriptor modes
    int nMaxSize;          // switch when a file would grow beyond nMaxSize / 2; <= 2: never
    int nFiles;            // files in the set; 0 -> 2, > 10 -> 10
    int bAppend;           // 1 = append to the first file, else truncate it
};

struct LOG_MODULE {
    const char* pszTag;
    int nLevel;
    const int* pLevel;
};

enum {
    LOG_ERR_NO_DESCRIPTOR = -1,
    LOG_ERR_NOT_INITIALISED = -2,
    LOG_ERR_OPEN = -3,
    LOG_ERR_MODE = -4,
};

enum {
    LOG_FLAG_REOPEN = 2,
};

int LOG_INIT();
int LOG_START(const LOG_CONFIG* pConfig);
int LOG_HEADER(const char* pszTag, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
int LOG_PRINTF(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
int LOG_VPRINTF(const char* pszFormat, va_list args) __attribute__((format(printf, 1, 0)));
int LOG_STOP();
int LOG_EXIT();
int LOG_OPEN(int nOpenFlags);
int LOG_WRITE(int nDescriptor, const char* pData, int nLength);
int LOG_CLOSE(int nDescriptor);
int LOG_TIMESTAMP(char* pszOut);  // at least 32 bytes

// The log opens before the program knows the user's language, so it never
// writes a failure itself: the first file that cannot be opened or written
// is handed, with its errno, to the report set here (once the language is
// known), or at once to a report set later. Told once a run; the report
// must not write to the log.
typedef void (*LOG_FAILURE_REPORT)(const char* pszFile, int nError);
void LOG_SET_FAILURE_REPORT(LOG_FAILURE_REPORT pReport);

// Writes one information record (level 3 or more) or one warning (level 2 or
// more) of module `mod`; a warning carries the line of the statement.
#define LOG_INFO(mod, ...)                      \
    do {                                        \
        if (*(mod).pLevel >= 3) {               \
            LOG_HEADER((mod).pszTag, "%s", ""); \
            LOG_PRINTF(__VA_ARGS__);            \
            LOG_PRINTF("\n");                   \
        }                                       \
    } while (0)

#define LOG_WARN(mod, ...)                               \
    do {                                                 \
        if (*(mod).pLevel >= 2) {                        \
            LOG_HEADER((mod).pszTag, "%s", "WARNING: "); \
            LOG_PRINTF(__VA_ARGS__);                     \
            LOG_PRINTF(" (%d)", __LINE__);               \
            LOG_PRINTF("\n");                            \
        }                                                \
    } while (0)

// Starts the log and writes its banner on construction (an empty name means
// no log at all); writes the stop record and ends the log on destruction. A
// program defines exactly one instance with QVX_DEFINE_LOG_FILE so that it is
// the first static object to be constructed and the last to be destroyed.
class CLogFile {
public:
    CLogFile(const char* pszFileName, int bAppend, int nMaxSize);
    virtual ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
};

// init_priority 101 runs before every ordinary static constructor of any
// translation unit, whatever the link order, and so is destroyed after them.
#define QVX_DEFINE_LOG_FILE(name) QVX_DEFINE_LOG_FILE_AT(name, "QVXWizard.l_0")
// The same with the first file's path given (the programs' per-user folder).
#define QVX_DEFINE_LOG_FILE_AT(name, path) \
    __attribute__((init_priority(101))) CLogFile name(path, 0, 0x200000)
