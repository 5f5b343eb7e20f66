#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "TestUtil.h"
#include "platform/ShellOpen.h"

namespace {

using qvxplatform::OpenAddress;
using qvxplatform::ShellOpen;
using qvxplatform::StartBrowser;

// Puts stand-ins for xdg-open and a browser on PATH; each records its
// arguments one per line and exits with the status it was given.
class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pszPath = getenv("PATH");
        m_savedPath = pszPath ? pszPath : "";
        const char* pszBrowser = getenv("BROWSER");
        m_bHadBrowser = pszBrowser != nullptr;
        m_savedBrowser = pszBrowser ? pszBrowser : "";
        unsetenv("BROWSER");
        setenv("PATH", m_dir.Path().c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", m_savedPath.c_str(), 1);
        if (m_bHadBrowser)
            setenv("BROWSER", m_savedBrowser.c_str(), 1);
        else
            unsetenv("BROWSER");
    }

    void MakeTool(const std::string& name, int nExit) {
        const std::string path = m_dir.File(name);
        qvxtest::WriteFile(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                     m_dir.File(name + ".args.tmp") + "\"\n/bin/mv \"" +
                                     m_dir.File(name + ".args.tmp") + "\" \"" + m_dir.File(name + ".args") +
                                     "\"\nexit " + std::to_string(nExit) + "\n");
        chmod(path.c_str(), 0755);
    }

    // The browser runs detached, so its record is awaited.
    std::string WaitForArgs(const std::string& name) {
        const std::string path = m_dir.File(name + ".args");
        for (int i = 0; i < 500 && !qvxtest::FileExists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return qvxtest::FileExists(path) ? qvxtest::ReadFile(path) : std::string("<none>");
    }

    qvxtest::TempDir m_dir;
    std::string m_savedPath;
    std::string m_savedBrowser;
    bool m_bHadBrowser = false;
};

TEST_F(ShellOpenTest, OpenerExitStatusMapsToShellCodes) {
    struct Case {
        int nExit;
        int nExpected;
    } cases[] = {{0, qvxplatform::kShellOpenOk},
                 {1, qvxplatform::kShellErrFileNotFound},
                 {2, qvxplatform::kShellErrFileNotFound},
                 {3, qvxplatform::kShellErrNoAssociation},
                 {4, qvxplatform::kShellErrNoAssociation}};
    for (const Case& c : cases) {
        MakeTool("xdg-open", c.nExit);
        EXPECT_EQ(ShellOpen("https://example.org/a"), c.nExpected) << "exit " << c.nExit;
    }
}

TEST_F(ShellOpenTest, AddressIsOneArgumentAndNeverInterpreted) {
    MakeTool("xdg-open", 0);
    const std::string marker = m_dir.File("pwned");
    const std::string address = "http://x/a b;touch " + marker + " $(touch " + marker + ") `id` 'q' \"d\"";
    EXPECT_GT(ShellOpen(address), 32);
    EXPECT_EQ(WaitForArgs("xdg-open"), address + "\n");
    EXPECT_FALSE(qvxtest::FileExists(marker));
}

TEST_F(ShellOpenTest, OptionLikeOrEmptyAddressIsRefusedWithoutStarting) {
    MakeTool("xdg-open", 0);
    EXPECT_EQ(ShellOpen(""), qvxplatform::kShellErrFileNotFound);
    EXPECT_EQ(ShellOpen("--help"), qvxplatform::kShellErrFileNotFound);
    EXPECT_EQ(OpenAddress("-x"), qvxplatform::kShellErrFileNotFound);
    EXPECT_FALSE(qvxtest::FileExists(m_dir.File("xdg-open.args")));
}

TEST_F(ShellOpenTest, MissingOpenerMeansNoAssociation) {
    EXPECT_EQ(ShellOpen("https://example.org"), qvxplatform::kShellErrNoAssociation);
    // No browser either: the shell's verdict stands.
    EXPECT_EQ(OpenAddress("https://example.org"), qvxplatform::kShellErrNoAssociation);
}

TEST_F(ShellOpenTest, OpenerStillRunningCountsAsStarted) {
    const std::string path = m_dir.File("xdg-open");
    qvxtest::WriteFile(path, "#!/bin/sh\nexec >/dev/null 2>&1\n/bin/sleep 2\nexit 4\n");
    chmod(path.c_str(), 0755);
    EXPECT_EQ(ShellOpen("https://example.org", 50), qvxplatform::kShellOpenOk);
}

TEST_F(ShellOpenTest, FallbackUsesBrowserVariableCutAtPlaceholder) {
    MakeTool("xdg-open", 3);
    MakeTool("mybrowser", 0);
    setenv("BROWSER", "mybrowser --new-window '%s' --ignored:otherbrowser", 1);
    EXPECT_EQ(OpenAddress("https://example.org/?q=1&r=2"), qvxplatform::kShellStarted);
    EXPECT_EQ(WaitForArgs("mybrowser"), "--new-window\nhttps://example.org/?q=1&r=2\n");
}

TEST_F(ShellOpenTest, FallbackDefaultsToSystemBrowser) {
    MakeTool("x-www-browser", 0);
    EXPECT_EQ(OpenAddress("https://example.org"), qvxplatform::kShellStarted);
    EXPECT_EQ(WaitForArgs("x-www-browser"), "https://example.org\n");
}

TEST_F(ShellOpenTest, ConfiguredBrowserThatCannotStartIsFileNotFound) {
    MakeTool("xdg-open", 4);
    setenv("BROWSER", "no-such-browser", 1);
    EXPECT_EQ(StartBrowser("https://example.org"), qvxplatform::kShellErrFileNotFound);
    EXPECT_EQ(OpenAddress("https://example.org"), qvxplatform::kShellErrFileNotFound);
}

}  // namespace
