// Shipped prompts and the default greeting reach a program folder that has
// none, without ever being changed where they were shipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "store/app_config.h"
#include "store/shipped_data.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

struct Path {
    explicit Path(char* p) : text(p) {}
    std::unique_ptr<char[]> text;
    std::string str() const { return text ? std::string(text.get()) : std::string(); }
};

class ShippedData : public ::testing::Test {
protected:
    ShippedData() : m_env("VOCERRA_DATA", m_shipped.path().c_str()) {
        std::filesystem::create_directories(m_shipped.path() + "/Prompt");
        std::filesystem::create_directories(m_shipped.path() + "/Greeting");
        WriteFileBytes(m_shipped.file("Prompt/Prp0016.Wav"), "shipped menu");
        WriteFileBytes(m_shipped.file("Greeting/GTMain.wav"), "shipped greeting");
    }
    testsupport::TempDir m_shipped;
    testsupport::TempDir m_home;
    testsupport::ScopedEnv m_env;
};

}  // namespace

TEST_F(ShippedData, AFreshProgramFolderGetsItsOwnCopyOfAShippedPrompt) {
    VM_CAppCfg cfg(m_home.path().c_str());
    Path prompt(cfg.VM_GetPromptFileName(16));
    EXPECT_EQ(prompt.str(), m_home.file("Prompt/Prp0016.Wav"));
    EXPECT_EQ(ReadFileBytes(prompt.str()), "shipped menu");
    // A conversion of the own copy leaves the shipped one alone.
    WriteFileBytes(prompt.str(), "converted");
    EXPECT_EQ(ReadFileBytes(m_shipped.file("Prompt/Prp0016.Wav")), "shipped menu");
    Path again(cfg.VM_GetPromptFileName(16));
    EXPECT_EQ(ReadFileBytes(again.str()), "converted") << "the program folder's own prompt wins";
}

TEST_F(ShippedData, APromptNobodyShipsIsNamedInTheProgramFolderAsBefore) {
    VM_CAppCfg cfg(m_home.path().c_str());
    Path prompt(cfg.VM_GetPromptFileName(4242));
    EXPECT_EQ(prompt.str(), m_home.file("Prompt/Prp4242.Wav"));
    EXPECT_FALSE(FileExists(prompt.str()));
    EXPECT_EQ(Path(cfg.VM_GetPromptFileName(-1)).text, nullptr);
}

TEST_F(ShippedData, AProgramFolderThatCannotHoldAPromptFolderPlaysTheShippedOne) {
    // A file where the program folder should be: no subfolder can be made.
    WriteFileBytes(m_home.file("not-a-folder"), "x");
    VM_CAppCfg cfg(m_home.file("not-a-folder").c_str());
    Path prompt(cfg.VM_GetPromptFileName(16));
    EXPECT_EQ(prompt.str(), m_shipped.file("Prompt/Prp0016.Wav"));
    EXPECT_EQ(Path(cfg.VM_GetPromptFileName(4243)).text, nullptr);
}

TEST_F(ShippedData, TheFirstStartInstallsTheDefaultGreetingButNeverReplacesTheUsersOwn) {
    {
        VM_CAppCfg cfg(m_home.path().c_str());
        Path greeting(cfg.VM_GetMainGreetingFileName());
        EXPECT_EQ(ReadFileBytes(greeting.str()), "shipped greeting");
        WriteFileBytes(greeting.str(), "recorded by the user");
    }
    std::filesystem::remove(m_home.file("Config/Vocerra.Cfg"));
    VM_CAppCfg again(m_home.path().c_str());
    EXPECT_EQ(ReadFileBytes(m_home.file("Greeting/GTMain.wav")), "recorded by the user");
}

TEST(ShippedDataFolders, TheConfiguredFolderComesFirstAndTheBuildsPromptsAreFoundWithout) {
    testsupport::ScopedEnv env("VOCERRA_DATA", "/somewhere/else");
    std::vector<std::string> folders = VM_ShippedDataFolders();
    ASSERT_GE(folders.size(), 3u);
    EXPECT_EQ(folders.front(), "/somewhere/else");
    env.Set(nullptr);
    EXPECT_NE(VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0000.Wav"), "");
    EXPECT_NE(VM_FindShippedFile(VM_FOLDER_GREETING, "GTMain.wav"), "");
    EXPECT_EQ(VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp9999.Wav"), "");
}
