// Runs the trace log with a configuration of a test inside a temporary
// folder, and gives the test program's own log back afterwards.
//
// The test program's global log is stopped, the working folder becomes a
// fresh TempDir and the log is started there; on destruction the log is
// stopped, the old working folder restored and the global log started
// again, appending to its file.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "support/Log.h"

namespace qvxtest {

inline LOG_CONFIG MakeLogConfig(const char* pszName, int nMaxSize, int nFiles = 0, int bAppend = 0,
                                int nFlags = 0, int nMode = 1) {
    LOG_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.nMode = nMode;
    config.nFlags = nFlags;
    snprintf(config.szFileName, sizeof config.szFileName, "%s", pszName);
    config.nMaxSize = nMaxSize;
    config.nFiles = nFiles;
    config.bAppend = bAppend;
    return config;
}

class LogSandbox {
public:
    LogSandbox() {
        char cwd[PATH_MAX];
        m_oldDir = getcwd(cwd, sizeof cwd) ? cwd : ".";
        LOG_STOP();
        if (chdir(m_dir.Path().c_str()) != 0) m_oldDir.clear();
    }
    explicit LogSandbox(const LOG_CONFIG& config) : LogSandbox() { Start(config); }

    ~LogSandbox() {
        LOG_STOP();
        if (!m_oldDir.empty() && chdir(m_oldDir.c_str()) != 0) return;
        LOG_INIT();
        LOG_CONFIG global = MakeLogConfig("QVXWizard.l_0", 0x200000, 0, 1);
        LOG_START(&global);
    }
    LogSandbox(const LogSandbox&) = delete;
    LogSandbox& operator=(const LogSandbox&) = delete;

    int Start(const LOG_CONFIG& config) {
        m_startResult = LOG_START(&config);
        return m_startResult;
    }
    int StartResult() const { return m_startResult; }
    const TempDir& Dir() const { return m_dir; }
    std::string Path(const std::string& name) const { return m_dir.File(name); }
    std::string Read(const std::string& name = "QVXWizard.l_0") const { return ReadFile(m_dir.File(name)); }
    bool Exists(const std::string& name) const { return FileExists(m_dir.File(name)); }

private:
    TempDir m_dir;
    std::string m_oldDir;
    int m_startResult = -1;
};

// Sends standard error into a file while the object lives.
class StderrCapture {
public:
    StderrCapture() : m_path(m_dir.File("stderr")) {
        fflush(stderr);
        m_saved = dup(2);
        FILE* f = fopen(m_path.c_str(), "w");
        if (f) {
            dup2(fileno(f), 2);
            fclose(f);
        }
    }
    ~StderrCapture() { Restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Stops capturing and gives what was written.
    std::string Text() {
        Restore();
        return ReadFile(m_path);
    }

private:
    void Restore() {
        if (m_saved < 0) return;
        fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
    }
    TempDir m_dir;
    std::string m_path;
    int m_saved = -1;
};

// Length of the thread identifier and time stamp that begin a record line
// ("0F3C [0612 083215 4711] "), or 0 when the line does not begin so.
inline size_t RecordHeaderLength(const std::string& line) {
    auto digits = [&line](size_t pos, size_t n) {
        if (pos + n > line.size()) return false;
        for (size_t i = pos; i < pos + n; ++i) {
            if (line[i] < '0' || line[i] > '9') return false;
        }
        return true;
    };
    size_t p = 0;
    while (p < line.size() && ((line[p] >= '0' && line[p] <= '9') || (line[p] >= 'A' && line[p] <= 'F'))) ++p;
    if (p < 4 || line.compare(p, 2, " [") != 0) return 0;
    p += 2;
    if (!digits(p, 4) || line.compare(p + 4, 1, " ") != 0 || !digits(p + 5, 6) ||
        line.compare(p + 11, 1, " ") != 0 || !digits(p + 12, 4) || line.compare(p + 16, 2, "] ") != 0) {
        return 0;
    }
    return p + 18;
}

// The records of a log text with thread and time stamp taken off: each
// entry starts at the bracketed tag ("[KTFI]     WARNING: ..."). Lines
// without header are left out.
inline std::vector<std::string> RecordBodies(const std::string& log) {
    std::vector<std::string> bodies;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t nl = log.find('\n', pos);
        std::string line = log.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (size_t n = RecordHeaderLength(line)) bodies.push_back(line.substr(n));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return bodies;
}

// The warning texts of one tag, without their " (line)" ending.
inline std::vector<std::string> WarningTexts(const std::string& log, const std::string& tag) {
    std::string lead = "[" + tag + "]";
    lead.resize(lead.size() < 10 ? 10 : lead.size(), ' ');
    lead += " WARNING: ";
    std::vector<std::string> texts;
    for (const std::string& body : RecordBodies(log)) {
        if (body.compare(0, lead.size(), lead) != 0) continue;
        std::string text = body.substr(lead.size());
        size_t open = text.rfind(" (");
        if (open != std::string::npos && text.back() == ')' &&
            text.find_first_not_of("0123456789", open + 2) == text.size() - 1 && text.size() - open > 3) {
            text.resize(open);
        }
        texts.push_back(text);
    }
    return texts;
}

}  // namespace qvxtest
