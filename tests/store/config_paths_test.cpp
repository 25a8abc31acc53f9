#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "store/app_config.h"
#include "store/program_folder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// Takes over a new[] path.
std::string Take(char* path) {
    std::unique_ptr<char[]> owned(path);
    return owned ? std::string(owned.get()) : std::string("<absent>");
}

// Sets an environment variable for the lifetime of the object.

}  // namespace

TEST(ConfigPaths, NamesKeepTheirExactCaseAndNumbering) {
    TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    const std::string home = dir.path();
    EXPECT_EQ(Take(cfg.VM_GetTreeFileName(1)), home + "/Config/QvTV.Cfg");
    EXPECT_EQ(Take(cfg.VM_GetTreeFileName(2)), home + "/Config/QvTA.Cfg");
    EXPECT_EQ(Take(cfg.VM_GetTreeFileName(0)), home + "/Config/QvTA.Cfg");
    EXPECT_EQ(Take(cfg.VM_GetMessageListFileName(1)), home + "/Config/QvLV0001.Cfg");
    EXPECT_EQ(Take(cfg.VM_GetAddressListFileName(12)), home + "/Config/QvLA0012.Cfg");
    EXPECT_EQ(Take(cfg.VM_GetMessageListFileName(-1)), "<absent>");
    EXPECT_EQ(Take(cfg.VM_GetAddressListFileName(-5)), "<absent>");
    EXPECT_EQ(Take(cfg.VM_GetMainGreetingFileName()), home + "/Greeting/GTMain.wav");
    EXPECT_EQ(Take(cfg.VM_GetMailboxGreetingFileName(0)), home + "/Greeting/GTMbox00.Wav");
    EXPECT_EQ(Take(cfg.VM_GetMailboxGreetingFileName(9)), home + "/Greeting/GTMbox09.Wav");
    EXPECT_EQ(Take(cfg.VM_GetMailboxGreetingFileName(10)), "<absent>");
    EXPECT_EQ(Take(cfg.VM_GetPromptFileName(16)), home + "/Prompt/Prp0016.Wav");
    EXPECT_EQ(Take(cfg.VM_GetPromptFileName(-1)), "<absent>");
    EXPECT_EQ(Take(cfg.VM_GetHelpFileName(1)), home + "/Help/QvHelp.html");
    EXPECT_EQ(Take(cfg.VM_GetHelpFileName(2)), home + "/Help/QvHelp.pdf");
    EXPECT_EQ(Take(cfg.VM_GetHelpFileName(3)), "<absent>");
    EXPECT_EQ(Take(cfg.VM_GetPath(VM_FOLDER_VOICE, nullptr)), home + "/Voice");
    EXPECT_TRUE(FileExists(home + "/Prompt")) << "a getter makes its folder";
}

TEST(ConfigPaths, UniqueNamesSkipExistingFilesAndTempFilesAreCreated) {
    TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    std::string first = Take(cfg.VM_GetNewMessageFileName());
    EXPECT_EQ(first, dir.path() + "/Voice/Msg0000.Wav");
    EXPECT_TRUE(FileExists(first)) << "a name is reserved as it is chosen";
    EXPECT_EQ(Take(cfg.VM_GetNewMessageFileName()), dir.path() + "/Voice/Msg0001.Wav");
    EXPECT_EQ(Take(cfg.VM_GetNewGreetingFileName()), dir.path() + "/Greeting/Grt0000.Wav");

    std::string temp = Take(cfg.VM_GetTempFileName());
    ASSERT_NE(temp, "<absent>");
    EXPECT_EQ(temp.rfind(dir.path() + "/Temp/Grt", 0), 0u) << temp;
    EXPECT_TRUE(FileExists(temp));
}

// The owner's messages and settings are nobody else's, whatever the umask.
TEST(ConfigPaths, FoldersAndFilesOfTheProgramFolderAreTheOwnersAlone) {
    TempDir dir;
    const mode_t old = umask(0);
    {
        VM_CAppCfg cfg(dir.path().c_str());
        Take(cfg.VM_GetPath(VM_FOLDER_VOICE, nullptr));
        Take(cfg.VM_GetNewMessageFileName());
        Take(cfg.VM_GetTempFileName());
    }
    umask(old);
    auto mode = [](const std::string& path) {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_mode & 0777;
    };
    EXPECT_EQ(mode(dir.path() + "/Config"), 0700u);
    EXPECT_EQ(mode(dir.path() + "/Voice"), 0700u);
    EXPECT_EQ(mode(dir.path() + "/Temp"), 0700u);
    EXPECT_EQ(mode(dir.path() + "/Config/Vocerra.Cfg"), 0600u);
    EXPECT_EQ(mode(dir.path() + "/Voice/Msg0000.Wav"), 0600u);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() + "/Temp"))
        EXPECT_EQ(mode(entry.path().string()), 0600u) << entry.path();
}

// A folder nobody can create anything in, even the superuser the tests may
// run as: paths in existing subfolders still come back, the settings live in
// memory, and saving fails.
TEST(ConfigPaths, UnwritableProgramFolderKeepsSettingsInMemory) {
    VM_CAppCfg cfg("/proc/self");
    EXPECT_EQ(Take(cfg.VM_GetPath("/task", "x")), "/proc/self/task/x");
    EXPECT_EQ(Take(cfg.VM_GetMainGreetingFileName()), "<absent>");
    EXPECT_EQ(cfg.m_nRings, 3);
    EXPECT_STREQ(cfg.m_szTitle, "Vocerra 3.5");
    cfg.m_nRings = 5;
    EXPECT_FALSE(cfg.VM_Save());
    EXPECT_EQ(cfg.m_nRings, 5);
}

TEST(ConfigPaths, ProgramFolderComesFromTheEnvironmentAndIsCreated) {
    TempDir dir;
    ScopedEnv home("VOCERRA_HOME", (dir.path() + "/a/b/").c_str());
    EXPECT_EQ(VM_FindProgramFolder(), dir.path() + "/a/b");
    {
        VM_CAppCfg cfg;
        EXPECT_STREQ(cfg.m_szHome, (dir.path() + "/a/b").c_str());
    }
    EXPECT_TRUE(FileExists(dir.path() + "/a/b/Config/Vocerra.Cfg"));
}

// A writable executable folder is no reason to keep messages beside the
// program (a build tree's are lost to a clean build); only a program folder
// already there, a portable copy's, is still used.
TEST(ConfigPaths, ExecutableFolderIsUsedOnlyWhenItHoldsAProgramFolder) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", (dir.path() + "/data/").c_str());
    const std::string executable = dir.path() + "/bin";
    ASSERT_TRUE(VM_MakeFolders(executable));
    EXPECT_EQ(VM_ChooseProgramFolder(nullptr, "/proc/self"), dir.path() + "/data/vocerra");
    EXPECT_EQ(VM_ChooseProgramFolder("", executable), dir.path() + "/data/vocerra");
    EXPECT_TRUE(FileExists(dir.path() + "/data/vocerra"));
    EXPECT_FALSE(FileExists(executable + "/Config"));

    testsupport::WriteFileBytes(executable + "/Config", "");  // not a program folder
    EXPECT_EQ(VM_ChooseProgramFolder(nullptr, executable), dir.path() + "/data/vocerra");
    std::filesystem::remove(executable + "/Config");
    ASSERT_TRUE(VM_MakeFolders(executable + "/Config"));
    testsupport::WriteFileBytes(executable + "/Config/Vocerra.Cfg", "");
    EXPECT_EQ(VM_ChooseProgramFolder(nullptr, executable), executable);
}

TEST(ConfigPaths, UnknownExecutablePathUsesTheCurrentDirectoryOnlyWhenItHoldsAProgramFolder) {
    TempDir dir(true);
    ScopedEnv data("XDG_DATA_HOME", (dir.path() + "/data").c_str());
    EXPECT_EQ(VM_ChooseProgramFolder(nullptr, ""), dir.path() + "/data/vocerra");
    { VM_CAppCfg cfg(std::filesystem::current_path().string().c_str()); }
    EXPECT_EQ(VM_ChooseProgramFolder(nullptr, ""), std::filesystem::current_path().string());
}
