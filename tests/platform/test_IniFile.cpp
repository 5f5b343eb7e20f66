#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/IniFile.h"

namespace {

struct LookupCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    bool found;
    std::string value;
};

class IniLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniLookup, FindsValueAsPrivateProfileDoes) {
    const LookupCase& c = GetParam();
    CIniFile ini;
    ini.Parse(c.text);
    std::string value = "stale";
    EXPECT_EQ(ini.GetValue(c.section, c.key, value), c.found);
    EXPECT_EQ(value, c.value);
}

const LookupCase kLookups[] = {
    {"plain", "[S]\nk=v\n", "S", "k", true, "v"},
    {"section_case", "[Section]\nk=v\n", "sECTION", "k", true, "v"},
    {"key_case", "[S]\nKeyName=v\n", "S", "keyname", true, "v"},
    {"blanks_around", "[S]\n  \tk \t=  some value \t\n", "S", "k", true, "some value"},
    {"blanks_in_header", "[  S  ]\nk=v\n", "S", "k", true, "v"},
    {"double_quotes", "[S]\nk=\" padded \"\n", "S", "k", true, " padded "},
    {"single_quotes", "[S]\nk='x'\n", "S", "k", true, "x"},
    {"mismatched_quotes", "[S]\nk=\"x'\n", "S", "k", true, "\"x'"},
    {"lone_quote", "[S]\nk=\"\n", "S", "k", true, "\""},
    {"inner_equals", "[S]\nk=a=b\n", "S", "k", true, "a=b"},
    {"empty_value", "[S]\nk=\n", "S", "k", true, ""},
    {"comment_line", "[S]\n;k=v\n", "S", ";k", false, ""},
    {"indented_comment", "[S]\n  ; k=v\nk=w\n", "S", "k", true, "w"},
    {"semicolon_in_value", "[S]\nk=a;b\n", "S", "k", true, "a;b"},
    {"duplicate_key_first_wins", "[S]\nk=1\nK=2\n", "S", "k", true, "1"},
    {"duplicate_section_first_wins", "[S]\nk=1\n[s]\nk=2\nx=3\n", "S", "x", false, ""},
    {"crlf", "[S]\r\nk=v\r\nm=w\r\n", "S", "m", true, "w"},
    {"no_final_newline", "[S]\nk=v", "S", "k", true, "v"},
    {"key_before_any_section", "k=v\n[S]\n", "S", "k", false, ""},
    {"missing_section", "[S]\nk=v\n", "T", "k", false, ""},
    {"missing_key", "[S]\nk=v\n", "S", "x", false, ""},
    {"key_in_next_section", "[S]\n[T]\nk=v\n", "S", "k", false, ""},
    {"nul_bytes", std::string("[S]\nk=a\0b\n", 10), "S", "k", true, std::string("a\0b", 3)},
    {"unclosed_header_ignored", "[S]\n[broken\nk=v\n", "S", "k", true, "v"},
    {"utf8_value", "[Deutsch]\nk=Größe\n", "deutsch", "K", true, "Größe"},
    {"non_ascii_case_exact", "[Ä]\nk=v\n", "ä", "k", false, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, SectionNamesInFileOrderDuplicatesOnce) {
    CIniFile ini;
    ini.Parse("[currentLanguage]\nlanguage=\n[Deutsch]\na=1\n[English]\n[DEUTSCH]\nb=2\n");
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::string>{"currentLanguage", "Deutsch", "English"}));
    EXPECT_TRUE(ini.HasNonEmptySection("deutsch"));
    EXPECT_FALSE(ini.HasNonEmptySection("English"));
    EXPECT_FALSE(ini.HasNonEmptySection("Missing"));
}

TEST(IniFile, LineWithoutEqualsCountsAsLine) {
    CIniFile ini;
    ini.Parse("[S]\njustaword\n[T]\n; only a comment\n\n");
    EXPECT_TRUE(ini.HasNonEmptySection("S"));
    EXPECT_FALSE(ini.HasNonEmptySection("T"));
    auto entries = ini.GetSection("S");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "justaword");
}

TEST(IniFile, GetSectionKeepsOrderAndFirstDuplicate) {
    CIniFile ini;
    ini.Parse("[S]\nb=2\na=1\nB=3\n");
    auto entries = ini.GetSection("s");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"b", "2"}));
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"a", "1"}));
}

TEST(IniFile, HugeLineAndEmptyInput) {
    CIniFile ini;
    ini.Parse("");
    EXPECT_TRUE(ini.GetSectionNames().empty());
    std::string big = "[S]\nk=" + std::string(1 << 20, 'x');
    ini.Parse(big);
    std::string v;
    ASSERT_TRUE(ini.GetValue("S", "k", v));
    EXPECT_EQ(v.size(), 1u << 20);
}

TEST(IniFile, LoadMissingFileGivesEmptyDocument) {
    qvxtest::TempDir dir;
    CIniFile ini;
    ini.Parse("[S]\nk=v\n");
    EXPECT_FALSE(ini.Load(dir.File("none.ini")));
    EXPECT_TRUE(ini.GetSectionNames().empty());
    EXPECT_FALSE(ini.Load(dir.Path()));  // a folder is no file
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ini.Load(dir.File("fifo")));  // and a FIFO must not block
    EXPECT_FALSE(CIniFile::WriteValue(dir.File("fifo"), "A", "k", "v"));
}

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyTheKeyLine) {
    const WriteCase& c = GetParam();
    qvxtest::TempDir dir;
    std::string path = dir.File("a.ini");
    qvxtest::WriteFile(path, c.before);
    ASSERT_TRUE(CIniFile::WriteValue(path, c.section, c.key, c.value));
    EXPECT_EQ(qvxtest::ReadFile(path), c.after);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    std::string v;
    ASSERT_TRUE(ini.GetValue(c.section, c.key, v));
    EXPECT_EQ(v, c.value);
}

const WriteCase kWrites[] = {
    {"replace_value", "; head\n[A]\nx=1\nk=old\ny=2\n[B]\nk=b\n", "A", "k", "new",
     "; head\n[A]\nx=1\nk=new\ny=2\n[B]\nk=b\n"},
    {"replace_keeps_file_spelling", "[A]\n  Key = old  \n", "a", "KEY", "v", "[A]\n  Key=v\n"},
    {"replace_crlf", "[A]\r\nk=old\r\nz=1\r\n", "A", "k", "v", "[A]\r\nk=v\r\nz=1\r\n"},
    {"replace_last_line_no_newline", "[A]\nk=old", "A", "k", "v", "[A]\nk=v"},
    {"add_key_to_section", "[A]\nx=1\n\n[B]\ny=2\n", "A", "k", "v", "[A]\nx=1\nk=v\n\n[B]\ny=2\n"},
    {"add_key_to_empty_section", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
    {"add_key_crlf", "[A]\r\nx=1\r\n", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
    {"add_key_after_unterminated", "[A]\r\nx=1", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
    {"add_section", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
    {"add_section_no_final_newline", "[A]\r\nx=1", "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
    {"create_file_content", "", "S", "k", "v", "[S]\nk=v\n"},
    {"first_duplicate_section", "[A]\nk=1\n[A]\nk=2\n", "A", "k", "3", "[A]\nk=3\n[A]\nk=2\n"},
    {"value_with_blanks_is_quoted", "[A]\nk=1\n", "A", "k", " v ", "[A]\nk=\" v \"\n"},
    {"value_with_own_quotes_is_quoted", "[A]\nk=1\n", "A", "k", "'v'", "[A]\nk=\"'v'\"\n"},
    {"empty_value", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
    {"commented_key_not_touched", "[A]\n;k=1\n", "A", "k", "2", "[A]\n;k=1\nk=2\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniFileWrite, CreatesMissingFile) {
    qvxtest::TempDir dir;
    std::string path = dir.File("new.ini");
    ASSERT_TRUE(CIniFile::WriteValue(path, "currentLanguage", "language", "Deutsch"));
    EXPECT_EQ(qvxtest::ReadFile(path), "[currentLanguage]\nlanguage=Deutsch\n");
}

TEST(IniFileWrite, RefusesWhatCannotBeStoredAndKeepsFile) {
    qvxtest::TempDir dir;
    std::string path = dir.File("a.ini");
    const std::string before = "[A]\nk=1\n";
    qvxtest::WriteFile(path, before);
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", "k", "two\nlines"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", "k", "cr\r"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", "a=b", "v"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", "", "v"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", ";k", "v"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A]", "k", "v"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "", "k", "v"));
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", " k", "v"));
    EXPECT_EQ(qvxtest::ReadFile(path), before);
}

TEST(IniFileWrite, ReplacesAtomicallyAndLeavesNoTemporaryFile) {
    qvxtest::TempDir dir;
    std::string path = dir.File("a.ini");
    qvxtest::WriteFile(path, "[A]\nk=1\n");
    ::chmod(path.c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(CIniFile::WriteValue(path, "A", "k", "2"));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file was renamed over the old one
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    // Only the file itself is left in the folder.
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.Path().c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = ::readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    }
    ::closedir(d);
    EXPECT_EQ(names, std::vector<std::string>{"a.ini"});
}

TEST(IniFileWrite, NewFileHasAFixedModeWhateverTheUmask) {
    qvxtest::TempDir dir;
    const mode_t previous = ::umask(0);
    const bool written = CIniFile::WriteValue(dir.File("new.ini"), "A", "k", "v");
    ::umask(previous);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(IniFileWrite, UnwritableFolderFailsAndKeepsFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    qvxtest::TempDir dir;
    std::string path = dir.File("a.ini");
    qvxtest::WriteFile(path, "[A]\nk=1\n");
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
    EXPECT_FALSE(CIniFile::WriteValue(path, "A", "k", "2"));
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(qvxtest::ReadFile(path), "[A]\nk=1\n");
}

TEST(IniFileWrite, MissingFolderFails) {
    qvxtest::TempDir dir;
    EXPECT_FALSE(CIniFile::WriteValue(dir.File("no/such/a.ini"), "A", "k", "v"));
}

TEST(IniFileWrite, KeepsEveryOtherByteOfOddFile) {
    qvxtest::TempDir dir;
    std::string path = dir.File("a.ini");
    // Mixed line ends, NULs, a huge comment and trailing blanks must survive.
    std::string odd =
        std::string("; \0nul\r\n", 8) + "[A]\n" + std::string(100000, ';') + "\r\nk = 1 \n\t\n[B]\r\n";
    qvxtest::WriteFile(path, odd);
    ASSERT_TRUE(CIniFile::WriteValue(path, "a", "k", "2"));
    std::string expected = odd;
    expected.replace(expected.find("k = 1 "), 6, "k=2");
    EXPECT_EQ(qvxtest::ReadFile(path), expected);
}

}  // namespace
