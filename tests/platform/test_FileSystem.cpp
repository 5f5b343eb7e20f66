#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/FileSystem.h"

using qvxplatform::ReadableFile;

TEST(FileSystem, ReadableFileIsAPlainFileThatOpens) {
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("a.csv"), "x");
    EXPECT_EQ(qvxplatform::CheckReadableFile(dir.File("a.csv")), ReadableFile::kYes);
    EXPECT_EQ(qvxplatform::CheckReadableFile(dir.File("missing.csv")), ReadableFile::kNo);
    ASSERT_EQ(mkdir(dir.File("folder.csv").c_str(), 0700), 0);
    EXPECT_EQ(qvxplatform::CheckReadableFile(dir.File("folder.csv")), ReadableFile::kNo);
    EXPECT_EQ(qvxplatform::CheckReadableFile(""), ReadableFile::kNo);
}

TEST(FileSystem, AFolderOrALinkToOneIsADirectory) {
    qvxtest::TempDir dir;
    ASSERT_EQ(mkdir(dir.File("phones").c_str(), 0700), 0);
    ASSERT_EQ(symlink(dir.File("phones").c_str(), dir.File("link").c_str()), 0);
    qvxtest::WriteFile(dir.File("phone.ini"), "x");
    EXPECT_TRUE(qvxplatform::IsDirectory(dir.File("phones")));
    EXPECT_TRUE(qvxplatform::IsDirectory(dir.File("link")));
    EXPECT_FALSE(qvxplatform::IsDirectory(dir.File("phone.ini")));
    EXPECT_FALSE(qvxplatform::IsDirectory(dir.File("missing")));
    EXPECT_FALSE(qvxplatform::IsDirectory(""));
}

TEST(FileSystem, ModificationTime) {
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("last.db"), "db");
    std::time_t modified = 0;
    ASSERT_TRUE(qvxplatform::GetModificationTime(dir.File("last.db"), &modified));
    struct stat st {};
    ASSERT_EQ(stat(dir.File("last.db").c_str(), &st), 0);
    EXPECT_EQ(modified, st.st_mtime);
    EXPECT_FALSE(qvxplatform::GetModificationTime(dir.File("gone.db"), &modified));
    EXPECT_FALSE(qvxplatform::GetModificationTime("", &modified));
}

TEST(FileSystem, ListsPlainFilesOfOneExtensionInNameOrder) {
    qvxtest::TempDir dir;
    for (const char* name : {"b.map", "A.MAP", "a.map", "c.txt", ".hidden.map", "map"})
        qvxtest::WriteFile(dir.File(name), "x");
    ASSERT_EQ(mkdir(dir.File("folder.map").c_str(), 0700), 0);
    qvxtest::WriteFile(dir.File(".map"), "x");  // no name before the extension
    EXPECT_EQ(qvxplatform::ListFilesWithExtension(dir.Path(), ".map"),
              (std::vector<std::string>{"A.MAP", "a.map", "b.map"}));
    EXPECT_TRUE(qvxplatform::ListFilesWithExtension(dir.File("none"), ".map").empty());
}
