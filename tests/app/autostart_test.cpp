// The autostart entry: written where the desktop looks, with an Exec line
// that survives blanks and the characters the desktop would expand.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/frame/autostart.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

class AutostartTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir;
    testsupport::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.path().c_str()};
};

TEST_F(AutostartTest, AConfigFolderThatCannotBeMadeFailsAndStaysOff) {
    testsupport::WriteFileBytes(m_dir.file("file"), "x");
    m_config.Set(m_dir.file("file").c_str());
    EXPECT_FALSE(VM_SetAutostart(true));
    EXPECT_FALSE(VM_IsAutostartEnabled());
}

TEST_F(AutostartTest, AnEntryTheUserHidOrEmptiedCountsAsOff) {
    mkdir(m_dir.file("autostart").c_str(), 0700);
    testsupport::WriteFileBytes(VM_GetAutostartPath(), "[Desktop Entry]\nExec=\"/bin/x\"\nHidden=true\n");
    EXPECT_FALSE(VM_IsAutostartEnabled());
    testsupport::WriteFileBytes(VM_GetAutostartPath(), "[Desktop Entry]\nExec=\n");
    EXPECT_FALSE(VM_IsAutostartEnabled());
}

TEST_F(AutostartTest, OnWritesTheEntryOffRemovesIt) {
    EXPECT_EQ(m_dir.file("autostart/vocerra.desktop"), VM_GetAutostartPath());
    EXPECT_FALSE(VM_IsAutostartEnabled());
    ASSERT_TRUE(VM_SetAutostart(true));
    EXPECT_TRUE(VM_IsAutostartEnabled());

    const std::string entry = testsupport::ReadFileBytes(VM_GetAutostartPath());
    EXPECT_EQ(0u, entry.find("[Desktop Entry]\n"));
    EXPECT_NE(std::string::npos, entry.find("\nType=Application\n"));
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_NE(std::string::npos, entry.find("\nExec=\"" + std::string(self) + "\"\n")) << entry;

    EXPECT_TRUE(VM_SetAutostart(false));
    EXPECT_FALSE(testsupport::FileExists(VM_GetAutostartPath()));
    EXPECT_FALSE(VM_IsAutostartEnabled());
    EXPECT_TRUE(VM_SetAutostart(false)) << "already off is no failure";
}

TEST(AutostartExecLine, QuotesBlanksAndEscapesWhatTheDesktopExpands) {
    EXPECT_EQ("\"/opt/My Apps/vocerra\"", VM_AutostartExecLine("/opt/My Apps/vocerra"));
    // In the file: \\$ for $, \\" for ", \\\\ for \, %% for %.
    EXPECT_EQ(R"("/a\\$b\\"c\\\\d%%e\\`f")", VM_AutostartExecLine("/a$b\"c\\d%e`f"));
}

TEST(AutostartExecLine, RefusesPathsTheEntryCannotCarry) {
    EXPECT_FALSE(VM_AutostartExecLine(""));
    EXPECT_FALSE(VM_AutostartExecLine("vocerra"));
    EXPECT_FALSE(VM_AutostartExecLine("/opt/voc\nerra"));
}

// Started at login without the environment it was enabled in, the copy must
// still find the program folder $VOCERRA_HOME chose.
TEST_F(AutostartTest, AProgramFolderFromTheEnvironmentTravelsWithTheEntry) {
    testsupport::ScopedEnv home{"VOCERRA_HOME", m_dir.path().c_str()};
    ASSERT_TRUE(VM_SetAutostart(true));
    const std::string entry = testsupport::ReadFileBytes(VM_GetAutostartPath());
    EXPECT_NE(std::string::npos, entry.find("\nExec=env \"VOCERRA_HOME=" + m_dir.path() + "\" \"/")) << entry;
    EXPECT_EQ(R"(env "VOCERRA_HOME=/srv/a\\$b" "/usr/bin/vocerra")", VM_AutostartExecLine("/usr/bin/vocerra", "/srv/a$b"));
    EXPECT_FALSE(VM_AutostartExecLine("/usr/bin/vocerra", "relative/home"));
}

}  // namespace
