// Where the user's own files go: beside a writable program folder, or in the
// XDG folders for an installed one; and the language choice of an installed
// (shared) language.ini, which is then never written.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"
#include "database/QVXDBBuilder.h"
#include "i18n/LanguageTable.h"
#include "platform/ProgramPath.h"

namespace {

namespace fs = std::filesystem;

const char kLanguages[] =
    "[currentLanguage]\n"
    "language=\n"
    "\n"
    "[Deutsch]\n"
    "Title=Titel\n"
    "\n"
    "[English]\n"
    "Title=Title\n";

// A program folder and a home folder of their own; the XDG variables and
// HOME are restored afterwards.
class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        program = dir.File("program");
        home = dir.File("home");
        fs::create_directories(program);
        fs::create_directories(home);
        for (const char* name : kVariables) {
            const char* value = ::getenv(name);
            saved.emplace_back(value != nullptr, value != nullptr ? value : "");
            ::unsetenv(name);
        }
        ::setenv("HOME", home.c_str(), 1);
        qvxplatform::SetProgramFolder(program);
    }
    void TearDown() override {
        qvxplatform::SetProgramFolder("");
        SetLanguageChoiceFile(nullptr);
        SetLanguageListener(nullptr);
        for (size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved[i].first)
                ::setenv(kVariables[i], saved[i].second.c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
    }
    void MarkInstalled() { qvxtest::WriteFile(program + "/" + qvxplatform::kInstalledMarker, "x\n"); }
    static unsigned Mode(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    static constexpr const char* kVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                                                 "XDG_STATE_HOME"};
    qvxtest::TempDir dir;
    std::string program, home;
    std::vector<std::pair<bool, std::string>> saved;
};

TEST_F(UserFolders, WritableProgramFolderKeepsEverythingBesideTheProgram) {
    EXPECT_TRUE(qvxplatform::UserFilesBesideProgram());
    EXPECT_EQ(qvxplatform::GetUserDataFolder(), program);
    EXPECT_EQ(qvxplatform::GetUserMappingFolder(), program + "/mappings");
    EXPECT_EQ(qvxplatform::GetLanguageChoiceFile(), "");
    // Never the current folder, where anyone might have planted a link.
    EXPECT_EQ(qvxplatform::GetTraceLogFile("QVXWizard.l_0"), program + "/QVXWizard.l_0");
    // Nothing is made in the home folder.
    EXPECT_TRUE(fs::is_empty(home));
}

TEST_F(UserFolders, InstalledProgramUsesTheXdgDefaultsCreatedPrivate) {
    MarkInstalled();
    EXPECT_FALSE(qvxplatform::UserFilesBesideProgram());
    EXPECT_EQ(qvxplatform::GetUserDataFolder(), home + "/.local/share/qvxwizard");
    EXPECT_EQ(qvxplatform::GetUserMappingFolder(), home + "/.local/share/qvxwizard/mappings");
    EXPECT_EQ(qvxplatform::GetLanguageChoiceFile(), home + "/.config/qvxwizard/language.ini");
    EXPECT_EQ(qvxplatform::GetTraceLogFile("QVXWizard.l_0"), home + "/.local/state/qvxwizard/QVXWizard.l_0");
    for (const char* folder :
         {"/.local", "/.local/share", "/.local/share/qvxwizard", "/.local/share/qvxwizard/mappings",
          "/.config/qvxwizard", "/.local/state/qvxwizard"})
        EXPECT_EQ(Mode(home + folder), 0700u) << folder;
}

TEST_F(UserFolders, XdgVariablesWinUnlessRelative) {
    MarkInstalled();
    ::setenv("XDG_DATA_HOME", (dir.Path() + "/data/deeper/").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // relative, so ignored
    ::setenv("XDG_STATE_HOME", (dir.Path() + "/state").c_str(), 1);
    EXPECT_EQ(qvxplatform::GetUserDataFolder(), dir.Path() + "/data/deeper/qvxwizard");
    EXPECT_EQ(qvxplatform::GetLanguageChoiceFile(), home + "/.config/qvxwizard/language.ini");
    EXPECT_EQ(qvxplatform::GetTraceLogFile("t.l_0"), dir.Path() + "/state/qvxwizard/t.l_0");
    // An existing folder keeps its own mode.
    EXPECT_EQ(Mode(dir.Path() + "/state"), 0700u);
}

TEST_F(UserFolders, NoPlaceForTheUsersFiles) {
    MarkInstalled();
    // The data home is a file: no folder can be made in it.
    qvxtest::WriteFile(dir.File("file"), "");
    ::setenv("XDG_DATA_HOME", dir.File("file").c_str(), 1);
    EXPECT_EQ(qvxplatform::GetUserDataFolder(), "");
    EXPECT_EQ(qvxplatform::GetUserMappingFolder(), "");
    // Then there is no trace log (never one in the current directory), and
    // neither for a path too long for the log.
    ::setenv("XDG_STATE_HOME", dir.File("file").c_str(), 1);
    EXPECT_EQ(qvxplatform::GetTraceLogFile("QVXWizard.l_0"), "");
    ::setenv("XDG_STATE_HOME", (dir.Path() + "/" + std::string(200, 's')).c_str(), 1);
    EXPECT_EQ(qvxplatform::GetTraceLogFile("QVXWizard.l_0"), "");
}

TEST_F(UserFolders, ReadOnlyProgramFolderCountsAsInstalled) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write everywhere";
    ASSERT_EQ(::chmod(program.c_str(), 0555), 0);
    EXPECT_FALSE(qvxplatform::UserFilesBesideProgram());
    EXPECT_EQ(qvxplatform::GetUserDataFolder(), home + "/.local/share/qvxwizard");
    ::chmod(program.c_str(), 0755);
}

TEST_F(UserFolders, BuiltDatabasesAndLastDbGoToTheDataFolder) {
    MarkInstalled();
    const std::string data = home + "/.local/share/qvxwizard";
    CQVXDBBuilder builder(1700000000);
    char name[261] = {};
    builder.GetDBFileName(name, sizeof name);
    EXPECT_EQ(std::string(name).rfind(data + "/1700000000000_", 0), 0u) << name;
    qvxtest::WriteFile(name, "database");
    EXPECT_TRUE(builder.SetLastDB());
    EXPECT_EQ(qvxtest::ReadFile(data + "/last.db"), "database");
    EXPECT_FALSE(fs::exists(program + "/last.db"));
    EXPECT_TRUE(builder.GetLastDB());
    EXPECT_EQ(qvxtest::ReadFile(name), "database");
}

// The language choice of an installed program.
class LanguageChoice : public UserFolders {
protected:
    void SetUp() override {
        UserFolders::SetUp();
        MarkInstalled();
        languageFile = program + "/language.ini";
        qvxtest::WriteFile(languageFile, kLanguages);
        ASSERT_TRUE(SetLanguageFile(languageFile.c_str()));
        choiceFile = qvxplatform::GetLanguageChoiceFile();
        SetLanguageChoiceFile(choiceFile.c_str());
    }
    std::string Stored() {
        char buf[261] = {};
        GetCurrentLanguage(buf, sizeof buf);
        return buf;
    }
    std::string languageFile, choiceFile;
};

TEST_F(LanguageChoice, StoredBesideTheUsersFilesNeverInTheSharedFile) {
    struct stat before {};
    ASSERT_EQ(::stat(languageFile.c_str(), &before), 0);
    EXPECT_TRUE(SetLanguage("Deutsch"));
    EXPECT_EQ(Stored(), "Deutsch");
    EXPECT_NE(qvxtest::ReadFile(choiceFile).find("language=Deutsch"), std::string::npos);
    EXPECT_TRUE(SetLanguage("English"));
    EXPECT_EQ(Stored(), "English");
    // The shared file is the same file with the same bytes.
    struct stat after {};
    ASSERT_EQ(::stat(languageFile.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(qvxtest::ReadFile(languageFile), kLanguages);
    // Texts still come from the shared file.
    char text[64] = {};
    EXPECT_TRUE(GetText("Title", text, sizeof text));
    EXPECT_STREQ(text, "Title");
}

TEST_F(LanguageChoice, StartupTakesTheUsersChoiceElseTheSharedDefault) {
    // No choice of the user yet: the shipped default counts.
    qvxtest::WriteFile(languageFile,
                       "[currentLanguage]\nlanguage=Deutsch\n[Deutsch]\nTitle=Titel\n"
                       "[English]\nTitle=Title\n");
    EXPECT_EQ(Stored(), "Deutsch");
    qvxtest::WriteFile(choiceFile, "[currentLanguage]\nlanguage=English\n");
    EXPECT_TRUE(ChooseStartupLanguage());
    EXPECT_EQ(GetCurrentLanguageName(), "English");
    // A choice naming no language falls back as a stored name always did.
    qvxtest::WriteFile(choiceFile, "[currentLanguage]\nlanguage=Klingon\n");
    EXPECT_FALSE(ChooseStartupLanguage());
}

TEST_F(LanguageChoice, WithoutAPlaceTheChoiceLastsForTheRun) {
    SetLanguageChoiceFile("");
    EXPECT_TRUE(SetLanguage("Deutsch"));
    EXPECT_EQ(GetCurrentLanguageName(), "Deutsch");
    EXPECT_EQ(qvxtest::ReadFile(languageFile), kLanguages);
}

TEST_F(LanguageChoice, ReadOnlyLanguageFileBesideTheProgramIsNeverRewritten) {
    // The portable layout keeps the choice in language.ini, unless it may not be written.
    SetLanguageChoiceFile(nullptr);
    ASSERT_EQ(::chmod(languageFile.c_str(), 0444), 0);
    struct stat before {};
    ASSERT_EQ(::stat(languageFile.c_str(), &before), 0);
    EXPECT_TRUE(SetLanguage("Deutsch"));
    EXPECT_EQ(GetCurrentLanguageName(), "Deutsch");
    struct stat after {};
    ASSERT_EQ(::stat(languageFile.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(qvxtest::ReadFile(languageFile), kLanguages);
    // Writable again: the choice is stored there as before.
    ASSERT_EQ(::chmod(languageFile.c_str(), 0644), 0);
    EXPECT_TRUE(SetLanguage("English"));
    EXPECT_EQ(Stored(), "English");
    EXPECT_NE(qvxtest::ReadFile(languageFile).find("language=English"), std::string::npos);
}

std::vector<std::string> g_heard;
void Listen(const std::string& language) {
    g_heard.push_back(language);
}

TEST_F(LanguageChoice, ListenerHearsEachChangeOnce) {
    SetLanguage("English");
    g_heard.clear();
    SetLanguageListener(&Listen);
    EXPECT_TRUE(SetLanguage("Deutsch"));
    EXPECT_TRUE(SetLanguage("Deutsch"));   // no change
    EXPECT_FALSE(SetLanguage("Klingon"));  // back to the stored one: no change either
    EXPECT_TRUE(SetLanguage("English"));
    EXPECT_EQ(g_heard, (std::vector<std::string>{"Deutsch", "English"}));
}

}  // namespace
