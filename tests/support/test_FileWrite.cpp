// Writing every byte, and replacing a file whole.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "support/FileWrite.h"

using qvxsupport::ReplaceFile;
using qvxsupport::WriteAll;

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(WriteAll, GoesOnAfterShortWrites) {
    // Far more than a pipe takes at once: the writer must loop.
    std::string data(1 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<size_t>(n));
    });
    EXPECT_TRUE(WriteAll(fds[1], data));
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);
    EXPECT_EQ(received, data);

    errno = 0;
    EXPECT_FALSE(WriteAll(-1, "x", 1));
    EXPECT_EQ(errno, EBADF);
    EXPECT_TRUE(WriteAll(-1, "", 0));
}

TEST(ReplaceFile, NewFileGetsTheGivenModeOrTheUmasks) {
    qvxtest::TempDir dir;
    const mode_t old = ::umask(077);
    EXPECT_TRUE(ReplaceFile(dir.File("a.map"), "one"));
    EXPECT_TRUE(ReplaceFile(dir.File("b.ini"), "two", 0600));
    EXPECT_TRUE(ReplaceFile(dir.File("c.ini"), "three", qvxsupport::kModeFromUmask));
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.File("c.ini")), 0600u);
    EXPECT_EQ(qvxtest::ReadFile(dir.File("a.map")), "one");
    EXPECT_EQ(ModeOf(dir.File("a.map")), 0644u);
    EXPECT_EQ(ModeOf(dir.File("b.ini")), 0600u);
}

TEST(ReplaceFile, KeepsModeAndLeavesOnlyTheFile) {
    qvxtest::TempDir dir;
    const std::string path = dir.File("a.map");
    qvxtest::WriteFile(path, "old content, longer than the new");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(ReplaceFile(path, "new"));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // renamed over, never rewritten in place
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(qvxtest::ReadFile(path), "new");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a.map"});
}

TEST(ReplaceFile, ALinkStaysAndItsTargetIsReplaced) {
    qvxtest::TempDir dir;
    ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0700), 0);
    const std::string target = dir.File("real/a.ini");
    qvxtest::WriteFile(target, "old");
    ASSERT_EQ(::symlink("real/a.ini", dir.File("link.ini").c_str()), 0);
    ASSERT_TRUE(ReplaceFile(dir.File("link.ini"), "new"));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.File("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(qvxtest::ReadFile(target), "new");
    EXPECT_EQ(Names(dir.File("real")), std::vector<std::string>{"a.ini"});
}

// A file moved over a link replaces the link and takes its target's mode:
// a last.db linking to a private file must not become world-writable with
// the link's own mode (0777).
TEST(MoveOver, TakesTheModeOfALinksTarget) {
    qvxtest::TempDir dir;
    const std::string target = dir.File("private.db");
    qvxtest::WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("private.db", dir.File("last.db").c_str()), 0);
    qvxtest::WriteFile(dir.File("new.db"), "new");
    ASSERT_EQ(::chmod(dir.File("new.db").c_str(), 0644), 0);
    ASSERT_TRUE(qvxsupport::MoveOver(dir.File("new.db"), dir.File("last.db")));
    EXPECT_EQ(ModeOf(dir.File("last.db")), 0600u);
    EXPECT_EQ(qvxtest::ReadFile(dir.File("last.db")), "new");
}

TEST(ReplaceFile, FailureKeepsTheOldFileAndNoTemporary) {
    qvxtest::TempDir dir;
    EXPECT_FALSE(ReplaceFile(dir.File("no/such/folder/a.ini"), "x"));
    EXPECT_FALSE(ReplaceFile("", "x"));
    // A folder in the target's place cannot be replaced by a file.
    ASSERT_EQ(::mkdir(dir.File("taken").c_str(), 0700), 0);
    EXPECT_FALSE(ReplaceFile(dir.File("taken"), "x"));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"taken"});

    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    const std::string path = dir.File("a.ini");
    qvxtest::WriteFile(path, "old");
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(ReplaceFile(path, "new"));
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(qvxtest::ReadFile(path), "old");
}

}  // namespace
