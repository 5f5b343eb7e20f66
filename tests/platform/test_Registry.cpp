#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "platform/ProgramPath.h"
#include "platform/Registry.h"

namespace {

const char kApiKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { qvxplatform::SetProgramFolder(m_dir.Path()); }
    void TearDown() override { qvxplatform::SetProgramFolder(""); }
    void Write(const std::string& text) { qvxtest::WriteFile(m_dir.File("registry.ini"), text); }
    qvxtest::TempDir m_dir;
};

TEST_F(Registry, MissingFileReadsAsAbsent) {
    std::string s = "keep";
    uint32_t d = 7;
    EXPECT_FALSE(qvxplatform::RegReadString(kApiKey, "Path", s));
    EXPECT_FALSE(qvxplatform::RegReadDword(kApiKey, "Options", d));
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(d, 7u);
}

TEST_F(Registry, ReadsStringsByKeyPathIgnoringCase) {
    Write(std::string("[") + kApiKey +
          "]\nPath = /opt/qvx/libdevice.so\n[HKEY_LOCAL_MACHINE\\Software\\Nokia]\n" +
          "PCSuiteBuildNumber=\"683.1\"\n");
    std::string s;
    ASSERT_TRUE(qvxplatform::RegReadString(kApiKey, "path", s));
    EXPECT_EQ(s, "/opt/qvx/libdevice.so");
    ASSERT_TRUE(qvxplatform::RegReadString("HKEY_LOCAL_MACHINE\\SOFTWARE\\NOKIA", "PCSuiteBuildNumber", s));
    EXPECT_EQ(s, "683.1");
    EXPECT_FALSE(qvxplatform::RegReadString(kApiKey, "Missing", s));
}

struct DwordCase {
    const char* text;
    bool ok;
    uint32_t value;
};

class RegistryDword : public Registry, public ::testing::WithParamInterface<DwordCase> {};

TEST_P(RegistryDword, AcceptsDecimalAndHex) {
    Write(std::string("[K]\nv=") + GetParam().text + "\n");
    uint32_t v = 12345;
    EXPECT_EQ(qvxplatform::RegReadDword("K", "v", v), GetParam().ok) << GetParam().text;
    EXPECT_EQ(v, GetParam().ok ? GetParam().value : 12345u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryDword,
    ::testing::Values(DwordCase{"0", true, 0}, DwordCase{"42", true, 42},
                      DwordCase{"4294967295", true, 0xFFFFFFFFu}, DwordCase{"0x1F", true, 31},
                      DwordCase{"0XfF", true, 255}, DwordCase{"0xFFFFFFFF", true, 0xFFFFFFFFu},
                      DwordCase{"4294967296", false, 0}, DwordCase{"0x100000000", false, 0},
                      DwordCase{"-1", false, 0}, DwordCase{"+1", false, 0}, DwordCase{"12abc", false, 0},
                      DwordCase{"0x", false, 0}, DwordCase{"0x-1", false, 0}, DwordCase{"", false, 0},
                      DwordCase{"abc", false, 0}, DwordCase{"1 2", false, 0}));

TEST(ProgramPath, DefaultIsFolderOfRunningProgram) {
    qvxplatform::SetProgramFolder("");
    std::string folder = qvxplatform::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(qvxtest::FileExists(folder + "/platform_test_Registry"));
}

TEST(ProgramPath, OverrideWinsAndLosesTrailingSlash) {
    qvxplatform::SetProgramFolder("/tmp/some/where//");
    EXPECT_EQ(qvxplatform::GetProgramFolder(), "/tmp/some/where");
    qvxplatform::SetProgramFolder("/");
    EXPECT_EQ(qvxplatform::GetProgramFolder(), "/");
    qvxplatform::SetProgramFolder("");
    EXPECT_NE(qvxplatform::GetProgramFolder(), "/");
}

}  // namespace
