#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "i18n/LanguageTable.h"

namespace {

const char kTwoLanguages[] =
    "[currentLanguage]\n"
    "language=\n"
    "\n"
    "[Deutsch]\n"
    "Title=Titel\n"
    "OnlyGerman=Nur deutsch\n"
    "\n"
    "[English]\n"
    "Title=Title\n";

// Each test gets its own language.ini and a cleared current language.
class LanguageTable : public ::testing::Test {
protected:
    void Use(const std::string& content) {
        m_path = m_dir.File("language.ini");
        qvxtest::WriteFile(m_path, content);
        ASSERT_TRUE(SetLanguageFile(m_path.c_str()));
        SetLanguage("");  // re-reads the stored name; clears it when unusable
    }
    std::string Stored() {
        char buf[261];
        GetCurrentLanguage(buf, sizeof buf);
        return buf;
    }
    void SetLocale(const char* all, const char* messages, const char* lang) {
        for (auto [name, value] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}}) {
            if (value) {
                ::setenv(name, value, 1);
            } else {
                ::unsetenv(name);
            }
        }
    }

    qvxtest::TempDir m_dir;
    std::string m_path;
};

TEST_F(LanguageTable, SetLanguageFileRefusesOverlongPath) {
    Use(kTwoLanguages);
    std::string longPath(261, 'a');
    EXPECT_FALSE(SetLanguageFile(longPath.c_str()));
    EXPECT_FALSE(SetLanguageFile(nullptr));
    // The earlier path is still in use.
    ASSERT_TRUE(SetLanguage("English"));
    EXPECT_EQ(GetText("Title"), "Title");
    std::string exact = "/" + std::string(259, 'b');
    EXPECT_TRUE(SetLanguageFile(exact.c_str()));
}

struct StartupCase {
    const char* name;
    const char* all;
    const char* messages;
    const char* lang;
    const char* expected;
};

class StartupLocale : public LanguageTable, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupLocale, EmptyStoredNameTakesLocaleAndWritesIt) {
    const StartupCase& c = GetParam();
    Use(kTwoLanguages);
    SetLocale(c.all, c.messages, c.lang);
    ASSERT_TRUE(ChooseStartupLanguage());
    EXPECT_EQ(GetCurrentLanguageName(), c.expected);
    EXPECT_EQ(Stored(), c.expected);
    // Only the language line changed.
    std::string expectedFile = kTwoLanguages;
    expectedFile.replace(expectedFile.find("language=\n"), 10, std::string("language=") + c.expected + "\n");
    EXPECT_EQ(qvxtest::ReadFile(m_path), expectedFile);
}

const StartupCase kStartupCases[] = {
    {"german_lang", nullptr, nullptr, "de_DE.UTF-8", "Deutsch"},
    {"austrian_lang", nullptr, nullptr, "de_AT", "Deutsch"},
    {"english_lang", nullptr, nullptr, "en_US.UTF-8", "English"},
    {"french_lang", nullptr, nullptr, "fr_FR", "English"},
    {"no_locale", nullptr, nullptr, nullptr, "English"},
    {"c_locale", nullptr, nullptr, "C", "English"},
    {"lc_all_wins", "en_GB", "de_DE", "de_DE", "English"},
    {"lc_all_german", "de_CH", "en_US", "en_US", "Deutsch"},
    {"messages_before_lang", nullptr, "de_DE", "en_US", "Deutsch"},
    {"empty_lc_all_ignored", "", nullptr, "de_DE", "Deutsch"},
    {"upper_case_not_german", nullptr, nullptr, "DE_de", "English"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StartupLocale, ::testing::ValuesIn(kStartupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LanguageTable, StoredNameWinsOverLocale) {
    std::string content = kTwoLanguages;
    content.replace(content.find("language=\n"), 10, "language=English\n");
    Use(content);
    SetLocale(nullptr, nullptr, "de_DE");
    ASSERT_TRUE(ChooseStartupLanguage());
    EXPECT_EQ(GetText("Title"), "Title");
}

TEST_F(LanguageTable, StoredLanguageWithoutSectionFailsStartup) {
    std::string content = kTwoLanguages;
    content.replace(content.find("language=\n"), 10, "language=Francais\n");
    Use(content);
    SetLocale(nullptr, nullptr, "de_DE");
    EXPECT_FALSE(ChooseStartupLanguage());
    EXPECT_EQ(Stored(), "Francais");
    EXPECT_EQ(qvxtest::ReadFile(m_path), content);
}

TEST_F(LanguageTable, MissingFileFailsStartup) {
    ASSERT_TRUE(SetLanguageFile(m_dir.File("missing.ini").c_str()));
    EXPECT_FALSE(ChooseStartupLanguage());
    EXPECT_EQ(GetText("Title", 261), "");
}

TEST_F(LanguageTable, EmptySectionCountsAsMissing) {
    Use("[currentLanguage]\nlanguage=English\n[Deutsch]\n; just a comment\n\n[English]\nTitle=Title\n");
    EXPECT_FALSE(SetLanguage("Deutsch"));
    // A failed switch falls back to the stored language.
    EXPECT_EQ(GetCurrentLanguageName(), "English");
    EXPECT_EQ(GetText("Title"), "Title");
    EXPECT_EQ(Stored(), "English");
}

TEST_F(LanguageTable, StoredNameOfEmptySectionClearsCurrent) {
    Use("[currentLanguage]\nlanguage=Deutsch\n[Deutsch]\n[English]\nTitle=Title\n");
    EXPECT_FALSE(SetLanguage(""));
    EXPECT_EQ(GetCurrentLanguageName(), "");
    EXPECT_EQ(GetText("Title"), "");
}

TEST_F(LanguageTable, SwitchWritesEveryTimeAndKeepsOtherBytes) {
    Use(kTwoLanguages);
    ASSERT_TRUE(SetLanguage("Deutsch"));
    EXPECT_EQ(GetText("Title"), "Titel");
    ASSERT_TRUE(SetLanguage("English"));
    EXPECT_EQ(GetText("Title"), "Title");
    EXPECT_EQ(Stored(), "English");
    std::string expected = kTwoLanguages;
    expected.replace(expected.find("language=\n"), 10, "language=English\n");
    EXPECT_EQ(qvxtest::ReadFile(m_path), expected);
    // Written again also when the name is already stored: the file is replaced.
    struct stat before {};
    ASSERT_EQ(::stat(m_path.c_str(), &before), 0);
    ASSERT_TRUE(SetLanguage("English"));
    struct stat after {};
    ASSERT_EQ(::stat(m_path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(qvxtest::ReadFile(m_path), expected);
}

TEST_F(LanguageTable, EmptyNameUsesStoredWithoutWriting) {
    std::string content = kTwoLanguages;
    content.replace(content.find("language=\n"), 10, "language = \"Deutsch\"\n");
    Use(content);
    EXPECT_TRUE(SetLanguage(""));
    EXPECT_EQ(GetText("Title"), "Titel");
    EXPECT_EQ(qvxtest::ReadFile(m_path), content);
}

TEST_F(LanguageTable, OverlongNameChangesNothing) {
    Use(kTwoLanguages);
    ASSERT_TRUE(SetLanguage("Deutsch"));
    std::string before = qvxtest::ReadFile(m_path);
    std::string name(261, 'x');
    std::string section = before + "[" + name + "]\nTitle=long\n";
    qvxtest::WriteFile(m_path, section);
    EXPECT_FALSE(SetLanguage(name.c_str()));
    EXPECT_EQ(GetCurrentLanguageName(), "Deutsch");
    EXPECT_EQ(qvxtest::ReadFile(m_path), section);
    // 260 characters are still a valid name.
    std::string ok(260, 'y');
    qvxtest::WriteFile(m_path, before + "[" + ok + "]\nTitle=fits\n");
    EXPECT_TRUE(SetLanguage(ok.c_str()));
    EXPECT_EQ(GetText("Title"), "fits");
}

TEST_F(LanguageTable, MissingKeyGivesEmptyTextNotOtherLanguage) {
    Use(kTwoLanguages);
    ASSERT_TRUE(SetLanguage("English"));
    char buf[16] = "garbage";
    EXPECT_FALSE(GetText("OnlyGerman", buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(GetText(nullptr, buf, sizeof buf));
    EXPECT_EQ(GetText("OnlyGerman"), "");
}

TEST_F(LanguageTable, TextsAreCutToBufferSize) {
    Use("[currentLanguage]\nlanguage=English\n[English]\nLong=abcdefghij\n");
    ASSERT_TRUE(SetLanguage(""));
    char buf[5];
    EXPECT_TRUE(GetText("Long", buf, sizeof buf));
    EXPECT_STREQ(buf, "abcd");
    char one[1] = {'x'};
    EXPECT_FALSE(GetText("Long", one, sizeof one));
    EXPECT_EQ(one[0], '\0');
    EXPECT_FALSE(GetText("Long", nullptr, 10));
    EXPECT_EQ(GetText("Long", 4), "abc");
    EXPECT_EQ(GetText("Long", 0), "");
    char cur[4];
    EXPECT_TRUE(GetCurrentLanguage(cur, sizeof cur));
    EXPECT_STREQ(cur, "Eng");
}

TEST_F(LanguageTable, LookupsFollowChangedFile) {
    Use(kTwoLanguages);
    ASSERT_TRUE(SetLanguage("English"));
    EXPECT_EQ(GetText("Title"), "Title");
    qvxtest::WriteFile(m_path, std::string(kTwoLanguages) + "Extra=new text\n");
    EXPECT_EQ(GetText("Extra"), "new text");
    ::unlink(m_path.c_str());
    EXPECT_EQ(GetText("Title"), "");
}

std::vector<std::string> Languages(int* count) {
    char** list = nullptr;
    *count = GetLanguages(&list);
    std::vector<std::string> names;
    for (int i = 0; i < *count; ++i) names.emplace_back(list[i]);
    if (*count >= 0) {
        EXPECT_NE(list, nullptr);
    } else {
        EXPECT_EQ(list, nullptr);
    }
    FreeLanguages(list, *count);
    return names;
}

TEST_F(LanguageTable, ListsLanguagesInFileOrder) {
    Use("[currentLanguage]\nlanguage=\n[English]\na=1\n[Deutsch]\na=1\n[Empty]\n");
    int count = 0;
    EXPECT_EQ(Languages(&count), (std::vector<std::string>{"English", "Deutsch", "Empty"}));
    EXPECT_EQ(count, 3);
}

TEST_F(LanguageTable, OnlyCurrentLanguageSectionGivesZero) {
    Use("[currentLanguage]\nlanguage=\n");
    int count = -5;
    EXPECT_TRUE(Languages(&count).empty());
    EXPECT_EQ(count, 0);
}

TEST_F(LanguageTable, FirstSectionNotCurrentLanguageListsNothingButTextsWork) {
    Use("[Deutsch]\nTitle=Titel\n[currentLanguage]\nlanguage=Deutsch\n");
    int count = 0;
    EXPECT_TRUE(Languages(&count).empty());
    EXPECT_EQ(count, -1);
    ASSERT_TRUE(SetLanguage(""));
    EXPECT_EQ(GetText("Title"), "Titel");
    // Exact, case-sensitive comparison of the first name.
    Use("[CurrentLanguage]\nlanguage=\n[English]\na=1\n");
    EXPECT_TRUE(Languages(&count).empty());
    EXPECT_EQ(count, -1);
    Use("");
    EXPECT_TRUE(Languages(&count).empty());
    EXPECT_EQ(count, -1);
    EXPECT_EQ(GetLanguages(nullptr), -1);
    FreeLanguages(nullptr, 3);
}

TEST_F(LanguageTable, SectionNamesBeyondBufferAreNotSeen) {
    // "currentLanguage\0" takes 16 bytes, the closing zero 1: 1,008 bytes are
    // left, so 100-byte names (101 with their zero) fit 9 times, not 10.
    std::string content = "[currentLanguage]\nlanguage=\n";
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        std::string name(99, 'a');
        name += static_cast<char>('A' + i);
        content += "[" + name + "]\nk=v\n";
        if (i < 9) expected.push_back(name);
    }
    Use(content);
    int count = 0;
    EXPECT_EQ(Languages(&count), expected);
    EXPECT_EQ(count, 9);

    // A last name that fills the buffer exactly is still seen.
    content = "[currentLanguage]\nlanguage=\n[" + std::string(1007, 'z') + "]\nk=v\n";
    Use(content);
    EXPECT_EQ(Languages(&count).size(), 1u);
    content = "[currentLanguage]\nlanguage=\n[" + std::string(1008, 'z') + "]\nk=v\n";
    Use(content);
    EXPECT_TRUE(Languages(&count).empty());
    EXPECT_EQ(count, 0);
}

}  // namespace
