// A file kept open with a lock (flock) by the one who makes or lends it, so
// that a later start can tell a file still in use from one left behind: a
// left-behind file's lock is free. Closed with its owner; a file marked as
// unfinished is removed then as well.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

class CHeldFile {
public:
    CHeldFile() = default;
    ~CHeldFile() {
        if (m_bUnfinished)
            Discard();
        else
            Release();
    }
    CHeldFile(const CHeldFile&) = delete;
    CHeldFile& operator=(const CHeldFile&) = delete;

    void Hold(int nFd, const std::string& path, bool bUnfinished) {
        Release();
        m_nFd = nFd;
        m_path = path;
        m_bUnfinished = bUnfinished;
    }
    // Closes the file and so frees its lock; the file stays.
    void Release() {
        if (m_nFd >= 0) close(m_nFd);
        m_nFd = -1;
        m_bUnfinished = false;
    }
    // Removes the file while its lock is still held, then closes it.
    void Discard() {
        if (m_nFd >= 0 && !m_path.empty()) unlink(m_path.c_str());
        Release();
    }
    bool Held() const { return m_nFd >= 0; }
    int Fd() const { return m_nFd; }
    const std::string& Path() const { return m_path; }

private:
    int m_nFd = -1;
    std::string m_path;
    bool m_bUnfinished = false;
};
