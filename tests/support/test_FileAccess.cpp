#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "LogSandbox.h"
#include "support/FileAccess.h"

using namespace qvxsupport;
using qvxtest::LogSandbox;
using qvxtest::MakeLogConfig;

namespace {

// Another holder of a file: an open file description of its own with an
// OFD lock, which conflicts with the lock of any other description.
class LockHolder {
public:
    LockHolder(const std::string& path, short type) {
        m_fd = open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = type;
        lock.l_whence = SEEK_SET;
        m_locked = m_fd >= 0 && fcntl(m_fd, F_OFD_SETLK, &lock) == 0;
    }
    ~LockHolder() {
        if (m_fd >= 0) close(m_fd);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool Locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};

struct BufferDeleter {
    void operator()(char* p) const { delete[] p; }
};
using Buffer = std::unique_ptr<char, BufferDeleter>;

class FileAccessTest : public ::testing::Test {
protected:
    LogSandbox m_log{MakeLogConfig("QVXWizard.l_0", 0)};
    std::string Path(const std::string& name) const { return m_log.Path(name); }
    std::vector<std::string> Warnings() const { return qvxtest::WarningTexts(m_log.Read(), "KTFI"); }
};

}  // namespace

TEST_F(FileAccessTest, NameLongerThan260BytesIsRefused) {
    CFileAccess file;
    std::string longest = "/" + std::string(259, 'a');
    EXPECT_EQ(file.SetFileName(longest.c_str()), 0);
    EXPECT_EQ(file.SetFileName((longest + "b").c_str()), KT_ERR_NAME_TOO_LONG);
    EXPECT_EQ(file.GetFileName(), longest) << "a refused name keeps the old one";
    EXPECT_EQ(Warnings(), std::vector<std::string>{"GetFileName() ERROR BLOCK TOO LONG!"});
}

TEST_F(FileAccessTest, OpenWithoutNameIsRefused) {
    CFileAccess file;
    EXPECT_EQ(file.FileOpenRead(true), KT_ERR_NOT_INITIALIZED);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Warnings(), std::vector<std::string>{"FileOpenRead() ERROR NOT INITIALIZED!"});
}

TEST_F(FileAccessTest, OpenFailuresGiveTheirCodeAndWarning) {
    ASSERT_EQ(mkdir(Path("folder").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    struct Case {
        std::string name;
        bool logMissing;
        std::string warning;  // empty: none
    };
    const Case cases[] = {
        {"missing.csv", true, "OpenFile() ERROR <2> while CreateFile <" + Path("missing.csv") + ">!"},
        {"missing.csv", false, ""},
        {"folder", true, "OpenFile() ERROR <21> while CreateFile <" + Path("folder") + ">!"},
        // A FIFO would block the reader: it is refused instead.
        {"fifo", false, "OpenFile() ERROR <22> while CreateFile <" + Path("fifo") + ">!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogSandbox log(MakeLogConfig("QVXWizard.l_0", 0));
        CFileAccess file;
        ASSERT_EQ(file.SetFileName(Path(c.name).c_str()), 0);
        EXPECT_EQ(file.FileOpenRead(c.logMissing), KT_ERR_OPEN);
        EXPECT_FALSE(file.IsOpen());
        std::vector<std::string> expected;
        if (!c.warning.empty()) expected.push_back(c.warning);
        EXPECT_EQ(qvxtest::WarningTexts(log.Read(), "KTFI"), expected);
    }
}

TEST_F(FileAccessTest, FileHeldByAnotherIsASharingViolationWithoutWarning) {
    std::string path = Path("held.csv");
    qvxtest::WriteFile(path, "a;b\r\n");
    CFileAccess file;
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);
    {
        LockHolder spreadsheet(path, F_WRLCK);
        ASSERT_TRUE(spreadsheet.Locked());
        EXPECT_EQ(file.FileOpenRead(true), KT_ERR_SHARING_VIOLATION);
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(file.FileOpenRead(true), 0) << "the file opens once the other holder let it go";
}

TEST_F(FileAccessTest, OpenForWritingNeverTruncatesAFileHeldByAnother) {
    std::string path = Path("held.db");
    qvxtest::WriteFile(path, "precious");
    CFileAccess file;
    int handle = CFileAccess::kInvalidHandle;
    {
        LockHolder reader(path, F_RDLCK);
        ASSERT_TRUE(reader.Locked());
        EXPECT_EQ(
            file.OpenFile(path.c_str(), handle, CFileAccess::kAccessWrite, CFileAccess::kCreateAlways, true),
            KT_ERR_SHARING_VIOLATION);
        EXPECT_EQ(handle, CFileAccess::kInvalidHandle);
        EXPECT_EQ(qvxtest::ReadFile(path), "precious");
    }
    EXPECT_EQ(
        file.OpenFile(path.c_str(), handle, CFileAccess::kAccessWrite, CFileAccess::kCreateAlways, true), 0);
    EXPECT_EQ(qvxtest::ReadFile(path), "");
    close(handle);
}

TEST_F(FileAccessTest, ReadersHoldASharedLock) {
    std::string path = Path("shared.csv");
    qvxtest::WriteFile(path, "x");
    CFileAccess first;
    CFileAccess second;
    ASSERT_EQ(first.SetFileName(path.c_str()), 0);
    ASSERT_EQ(second.SetFileName(path.c_str()), 0);
    ASSERT_EQ(first.FileOpenRead(true), 0);
    EXPECT_EQ(second.FileOpenRead(true), 0);
    EXPECT_FALSE(LockHolder(path, F_WRLCK).Locked()) << "a writer must wait for the readers";
}

TEST_F(FileAccessTest, OpenFileClosesTheDescriptorItReplaces) {
    std::string a = Path("a.csv");
    std::string b = Path("b.csv");
    qvxtest::WriteFile(a, "a");
    qvxtest::WriteFile(b, "b");
    CFileAccess file;
    int handle = CFileAccess::kInvalidHandle;
    ASSERT_EQ(file.OpenFile(a.c_str(), handle, CFileAccess::kAccessRead, CFileAccess::kOpenExisting, true),
              0);
    EXPECT_FALSE(LockHolder(a, F_WRLCK).Locked());
    ASSERT_EQ(file.OpenFile(b.c_str(), handle, CFileAccess::kAccessRead, CFileAccess::kOpenExisting, true),
              0);
    EXPECT_TRUE(LockHolder(a, F_WRLCK).Locked()) << "the first file is no longer held";
    close(handle);
}

TEST_F(FileAccessTest, FileWithoutReadPermission) {
    std::string path = Path("secret.csv");
    qvxtest::WriteFile(path, "x");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_EQ(chmod(m_log.Dir().Path().c_str(), 0755), 0);
    // Root reads every file, so the open runs in a child with the rights of
    // an ordinary user.
    auto child = [&path] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        CFileAccess file;
        if (file.SetFileName(path.c_str()) != 0) _exit(3);
        _exit(file.FileOpenRead(true) == KT_ERR_OPEN ? 0 : 4);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(FileAccessTest, ReadRanges) {
    std::string path = Path("data.txt");
    qvxtest::WriteFile(path, "0123456789abcdefghij");
    CFileAccess file;
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);
    ASSERT_EQ(file.FileOpenRead(true), 0);
    EXPECT_EQ(file.GetFileSize(), 20);

    struct Case {
        int64_t start;
        int64_t end;
        int code;
        std::string text;
    };
    const Case cases[] = {
        {10, 10, 0, ""},
        {0, 5, 0, "01234"},
        {15, 20, 0, "fghij"},
        {-1, 3, 0, "0123"},  // from the current position, which a read at an offset leaves alone
        {18, 25, KT_ERR_READ_SHORT, "ij"},
        {30, 31, KT_ERR_READ_SHORT, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        char* raw = nullptr;
        EXPECT_EQ(file.FileRead(&raw, c.start, c.end), c.code);
        Buffer buffer(raw);
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(std::string(raw), c.text);
        EXPECT_EQ(raw[c.end - c.start], '\0');
    }
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(FileAccessTest, ReadParameterFailures) {
    std::string path = Path("data.txt");
    qvxtest::WriteFile(path, "0123456789");
    CFileAccess file;
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);

    char* raw = nullptr;
    EXPECT_EQ(file.FileRead(&raw, 5, 4), KT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(file.FileRead(nullptr, 0, 1), KT_ERR_INVALID_PARAMETER);

    // Not open: the buffer is still handed out for the caller to free.
    EXPECT_EQ(file.FileRead(&raw, 0, 4), KT_ERR_NO_FILE);
    Buffer owned(raw);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(file.FileRead(&raw, 0, 4), KT_ERR_POINTER_INITIALIZED);

    // A range no memory can hold.
    char* huge = nullptr;
    EXPECT_EQ(file.FileRead(&huge, 0, INT64_MAX), KT_ERR_OUT_OF_MEMORY);
    EXPECT_EQ(huge, nullptr);

    EXPECT_EQ(Warnings(), (std::vector<std::string>{
                              "FileRead() ERROR INVALID PARAMETER!",
                              "FileRead() ERROR INVALID PARAMETER!",
                              "FileRead() ERROR POINTER INITIALIZED!",
                              "KT_VALIDATE_NewResult() ERROR OUT OF MEMORY!",
                              "FileRead() ERROR OUT OF MEMORY!",
                          }));
}

TEST_F(FileAccessTest, CloseIsIdempotentAndSizeNeedsAnOpenFile) {
    std::string path = Path("data.txt");
    qvxtest::WriteFile(path, "abc");
    CFileAccess file;
    EXPECT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(file.GetFileSize(), -1);
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);
    ASSERT_EQ(file.FileOpenRead(true), 0);
    EXPECT_EQ(file.FileOpenRead(true), 0) << "opening again replaces the descriptor";
    EXPECT_EQ(file.CloseFile(), 0);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(file.GetFileSize(), -1);
}
