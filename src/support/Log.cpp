#include "support/Log.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/FileWrite.h"

namespace {

constexpr int kPieceSize = 256;
constexpr int kKeepOnCut = 252;
constexpr int kModeFiles = 1;

// The log's own record (banner and stop line); the modules' records are in
// LogModules.h, which builds on this file.
constexpr int nLOGR = 3;
constexpr LOG_MODULE LOGR{"LOGR", nLOGR, &nLOGR};

struct LogState {
    std::atomic<int> bInitialised{0};
    std::atomic<int> bOpen{0};
    int nMode = 0;
    int nFlags = 0;
    char szFileName[200] = {};
    int nMaxSize = 0;
    int nFiles = 0;
    std::atomic<int> nDescriptor{-1};
    long nBytesWritten = 0;
    int nFileIndex = 0;
    // The first failure, kept until a report takes it.
    bool bFailed = false;
    bool bFailureTold = false;
    char szFailedFile[200] = {};
    int nFailureError = 0;
    LOG_FAILURE_REPORT pReport = nullptr;
};

// Statically initialised and never destroyed, so that records written while
// other static objects are torn down still find a valid lock and state.
pthread_mutex_t g_lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
LogState& State() {
    static LogState* state = new LogState;  // intentionally never freed
    return *state;
}

class LockGuard {
public:
    LockGuard() { pthread_mutex_lock(&g_lock); }
    ~LockGuard() { pthread_mutex_unlock(&g_lock); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
};

// Formats into a 256-byte piece; a text that does not fit keeps its first
// 252 characters followed by "...".
void FormatPiece(char* pszOut, int nUsed, const char* pszFormat, va_list args) {
    int room = kPieceSize - nUsed;
    int n = vsnprintf(pszOut + nUsed, static_cast<size_t>(room), pszFormat, args);
    if (n < 0) {
        pszOut[nUsed] = '\0';
    } else if (n >= room) {
        std::memcpy(pszOut + kKeepOnCut, "...", 4);
    }
}

void TellFailure(LogState& s) {
    if (!s.bFailed || s.bFailureTold || s.pReport == nullptr) return;
    s.bFailureTold = true;
    s.pReport(s.szFailedFile, s.nFailureError);
}

void NoteFailure(LogState& s, int nError) {
    LockGuard lock;
    if (s.bFailed) return;
    s.bFailed = true;
    std::memcpy(s.szFailedFile, s.szFileName, sizeof s.szFailedFile);
    s.nFailureError = nError;
    TellFailure(s);
}

int ReopenAfterWrite(LogState& s) {
    LOG_CLOSE(s.nDescriptor);
    int fd = LOG_OPEN(O_RDWR | O_CREAT | O_APPEND);
    s.nDescriptor = fd < 0 ? -1 : fd;
    return fd < 0 ? LOG_ERR_OPEN : 0;
}

int SwitchFile(LogState& s) {
    char note[kPieceSize];
    s.nBytesWritten = 0;
    snprintf(note, sizeof note, "VORIGE DATEI: %s\n", s.szFileName);
    s.nFileIndex++;
    if (s.nFileIndex == s.nFiles) s.nFileIndex = 0;
    size_t len = strlen(s.szFileName);
    if (len > 0) {
        char digit[16];
        snprintf(digit, sizeof digit, "%01d", s.nFileIndex);
        s.szFileName[len - 1] = digit[0];
    }
    LOG_CLOSE(s.nDescriptor);
    int fd = LOG_OPEN(O_RDWR | O_CREAT | O_TRUNC);
    if (fd < 0) {
        s.nDescriptor = -1;
        return LOG_ERR_OPEN;
    }
    s.nDescriptor = fd;
    int nNote = static_cast<int>(strlen(note));
    if (LOG_WRITE(fd, note, nNote) > 0) s.nBytesWritten += nNote;
    return 0;
}

}  // namespace

int LOG_INIT() {
    LogState& s = State();
    LockGuard lock;
    s.bOpen = 0;
    s.bFailed = false;
    s.bFailureTold = false;
    s.bInitialised = 1;
    return 0;
}

int LOG_START(const LOG_CONFIG* pConfig) {
    LogState& s = State();
    if (!s.bInitialised) return LOG_ERR_NOT_INITIALISED;
    if (pConfig == nullptr) return LOG_ERR_MODE;
    LockGuard lock;
    // A start while open keeps the running configuration and reopens the
    // first file of the set; the old descriptor must not stay open.
    if (s.nDescriptor >= 0) LOG_CLOSE(s.nDescriptor);
    s.nDescriptor = -1;
    if (!s.bOpen) {
        int nFiles = pConfig->nFiles;
        if (nFiles == 0) nFiles = 2;
        if (nFiles > 10) nFiles = 10;
        s.nFiles = nFiles;
        s.nMode = pConfig->nMode;
        s.nFlags = pConfig->nFlags;
        s.nMaxSize = pConfig->nMaxSize;
        std::memcpy(s.szFileName, pConfig->szFileName, sizeof s.szFileName);
    }
    if (s.nMode != kModeFiles) return LOG_ERR_MODE;

    s.szFileName[198] = '\0';
    size_t len = strlen(s.szFileName);
    if (len >= 2) {
        s.szFileName[len - 2] = '_';
        s.szFileName[len - 1] = '0';
    }
    s.nDescriptor = -1;
    int flags = O_RDWR | O_CREAT | (pConfig->bAppend == 1 ? O_APPEND : O_TRUNC);
    int fd = LOG_OPEN(flags);
    if (fd < 0) return LOG_ERR_OPEN;
    s.nDescriptor = fd;
    s.nBytesWritten = 0;
    s.nFileIndex = 0;
    s.bOpen = 1;
    static const char kStart[] = "START LOGGING...\n";
    if (LOG_WRITE(fd, kStart, sizeof kStart - 1) > 0) s.nBytesWritten += sizeof kStart - 1;
    return fd;
}

int LOG_TIMESTAMP(char* pszOut) {
    struct timespec mono {};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    long ticks = static_cast<long>(mono.tv_sec) * 1000L + mono.tv_nsec / 1000000L;
    char tickText[32];
    snprintf(tickText, sizeof tickText, "%06ld", ticks);
    const char* last4 = tickText + strlen(tickText) - 4;

    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    snprintf(pszOut, 32, "[%02d%02d %02d%02d%02d %s]", local.tm_mday, local.tm_mon + 1, local.tm_hour,
             local.tm_min, local.tm_sec, last4);
    return 0;
}

int LOG_HEADER(const char* pszTag, const char* pszFormat, ...) {
    LogState& s = State();
    if (!s.bInitialised) return LOG_ERR_NOT_INITIALISED;
    if (s.nDescriptor < 0) return LOG_ERR_NO_DESCRIPTOR;
    LockGuard lock;

    char thread[16];
    snprintf(thread, sizeof thread, "%04X", static_cast<unsigned>(gettid()));
    char stamp[32];
    LOG_TIMESTAMP(stamp);
    char tag[kPieceSize];
    snprintf(tag, sizeof tag, "[%s]", pszTag ? pszTag : "");

    char line[kPieceSize];
    int used = snprintf(line, sizeof line, "%s %s %-10s ", thread, stamp, tag);
    if (used >= kPieceSize) {
        std::memcpy(line + kKeepOnCut, "...", 4);
    } else {
        va_list args;
        va_start(args, pszFormat);
        FormatPiece(line, used, pszFormat, args);
        va_end(args);
    }
    return LOG_PRINTF("%s", line);
}

int LOG_VPRINTF(const char* pszFormat, va_list args) {
    LogState& s = State();
    if (!s.bInitialised) return LOG_ERR_NOT_INITIALISED;
    if (s.nDescriptor < 0) return LOG_ERR_NO_DESCRIPTOR;

    char piece[kPieceSize];
    FormatPiece(piece, 0, pszFormat, args);
    int n = static_cast<int>(strlen(piece));

    LockGuard lock;
    if (s.nDescriptor < 0) return LOG_ERR_NO_DESCRIPTOR;
    if (s.nMaxSize > 2 && s.nMode == kModeFiles && s.nBytesWritten + n > s.nMaxSize / 2) {
        if (SwitchFile(s) != 0) return LOG_ERR_OPEN;
    }
    int written = LOG_WRITE(s.nDescriptor, piece, n);
    if (written < 0) return LOG_ERR_NO_DESCRIPTOR;
    if (s.nMode == kModeFiles && (s.nFlags & LOG_FLAG_REOPEN)) {
        if (ReopenAfterWrite(s) != 0) return LOG_ERR_OPEN;
    }
    s.nBytesWritten += written;
    return written;
}

int LOG_PRINTF(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    int result = LOG_VPRINTF(pszFormat, args);
    va_end(args);
    return result;
}

int LOG_STOP() {
    LogState& s = State();
    if (!s.bInitialised) return LOG_ERR_NOT_INITIALISED;
    LockGuard lock;
    if (!s.bOpen) return LOG_ERR_NO_DESCRIPTOR;
    LOG_PRINTF("\n");
    if (s.nDescriptor >= 0) LOG_CLOSE(s.nDescriptor);
    s.nDescriptor = -1;
    s.bOpen = 0;
    return 0;
}

int LOG_EXIT() {
    LogState& s = State();
    LockGuard lock;
    s.bInitialised = 0;
    return 0;
}

void LOG_SET_FAILURE_REPORT(LOG_FAILURE_REPORT pReport) {
    LogState& s = State();
    LockGuard lock;
    s.pReport = pReport;
    TellFailure(s);
}

int LOG_OPEN(int nOpenFlags) {
    LogState& s = State();
    // A link in the log's place must not lead the log into another file, and
    // every write goes to the end, so that a second run that shares the file
    // neither overwrites these lines nor leaves a hole behind them.
    const bool bTruncate = (nOpenFlags & O_TRUNC) != 0;
    nOpenFlags = (nOpenFlags & ~O_TRUNC) | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = open(s.szFileName, nOpenFlags, S_IRUSR | S_IWUSR);
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        const int nError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        fd = -1;
        errno = nError;
    }
    if (fd < 0) {
        NoteFailure(s, errno);
        return fd;
    }
    // Each run holds a shared lock on its file while it writes there; the
    // file is emptied only when no other run holds one.
    if (bTruncate && flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (ftruncate(fd, 0) != 0) {
            NoteFailure(s, errno);
            close(fd);
            return -1;
        }
    }
    flock(fd, LOCK_SH);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int LOG_WRITE(int nDescriptor, const char* pData, int nLength) {
    if (!State().bInitialised) return LOG_ERR_NOT_INITIALISED;
    if (nDescriptor < 0) return LOG_ERR_NO_DESCRIPTOR;
    LockGuard lock;
    if (nLength <= 0) return 0;
    if (!qvxsupport::WriteAll(nDescriptor, pData, static_cast<size_t>(nLength))) {
        NoteFailure(State(), errno);
        return -1;
    }
    return nLength;
}

int LOG_CLOSE(int nDescriptor) {
    LockGuard lock;
    return close(nDescriptor);
}

CLogFile::CLogFile(const char* pszFileName, int bAppend, int nMaxSize) {
    LOG_INIT();
    // No place for the log (no user folder): the program runs without one;
    // it tells the user itself, in the user's language.
    if (pszFileName == nullptr || pszFileName[0] == '\0') return;
    LOG_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.nMode = kModeFiles;
    config.nFlags = 0;
    snprintf(config.szFileName, sizeof config.szFileName, "%s", pszFileName ? pszFileName : "");
    config.nHandle = 0;
    config.nMaxSize = nMaxSize;
    config.bAppend = bAppend;
    LOG_START(&config);

    static const char kRule[] = "+++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++";
    LOG_INFO(LOGR, "%s", kRule);
    LOG_INFO(LOGR, "  Modul      : %s", "Quorvex");
    LOG_INFO(LOGR, "  Version    : %2d", 1);
    LOG_INFO(LOGR, "  Release    : %2d", 0);
    LOG_INFO(LOGR, "  Minor      : %2d", 0);
    LOG_INFO(LOGR, "  Build      :  %d", 41);
    LOG_INFO(LOGR, "  Date       :  %s %s", __TIME__, __DATE__);
    LOG_INFO(LOGR, "  Remarks    : %s", "");
    LOG_INFO(LOGR, "%s", kRule);
}

CLogFile::~CLogFile() {
    LOG_INFO(LOGR, "Logging stopped.");
    LOG_STOP();
    LOG_EXIT();
}
