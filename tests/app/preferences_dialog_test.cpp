// "Setup Preferences": Cancel leaves the configuration file byte for byte
// and the autostart entry as they were; OK saves the choices and writes or
// removes the entry, and says so when the entry cannot be written.
#include <gtest/gtest.h>

#include "app/frame/autostart.h"
#include "app/dialogs/message_box.h"
#include "app/dialogs/preferences_dialog.h"
#include "app/qt_test_app.h"
#include "store/app_config.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

class PreferencesDialog : public ::testing::Test {
protected:
    void SetUp() override {
        VM_TestQtApp();
        VM_SetMessageHook([this](const QString& text) { messages.push_back(text.toStdString()); });
        cfg.VM_SetFlag(false, VM_FLAG_START_IN_INBOX | VM_FLAG_EMPTY_DELETED);
        cfg.m_nAlertMode = 1;
        ASSERT_TRUE(cfg.VM_Save());
    }
    void TearDown() override { VM_SetMessageHook(nullptr); }

    std::string CfgBytes() const { return testsupport::ReadFileBytes(cfg.m_szFile); }

    static VM_SPreferences AllChanged() {
        VM_SPreferences chosen;
        chosen.startInInbox = true;
        chosen.emptyDeletedOnExit = true;
        chosen.alertMode = 2;
        chosen.autostart = true;
        return chosen;
    }

    testsupport::TempDir home;
    testsupport::TempDir config;
    testsupport::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().c_str()};
    VM_CAppCfg cfg{home.path().c_str()};
    std::vector<std::string> messages;
};

TEST_F(PreferencesDialog, CancelLeavesTheFileByteIdenticalAndNoAutostartEntry) {
    const std::string before = CfgBytes();
    ASSERT_FALSE(before.empty());
    VM_CPreferencesDialog dialog(cfg);
    dialog.VM_Fill(AllChanged());
    dialog.reject();
    EXPECT_EQ(CfgBytes(), before);
    EXPECT_FALSE(cfg.VM_IsFlag(VM_FLAG_START_IN_INBOX));
    EXPECT_EQ(cfg.m_nAlertMode, 1);
    EXPECT_FALSE(testsupport::FileExists(VM_GetAutostartPath()));
}

TEST_F(PreferencesDialog, OkSavesTheChoicesAndWritesThenRemovesTheAutostartEntry) {
    {
        VM_CPreferencesDialog dialog(cfg);
        dialog.VM_Fill(AllChanged());
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(messages.empty());
    {
        VM_CAppCfg reread(home.path().c_str());
        EXPECT_TRUE(reread.VM_IsFlag(VM_FLAG_START_IN_INBOX));
        EXPECT_TRUE(reread.VM_IsFlag(VM_FLAG_EMPTY_DELETED));
        EXPECT_EQ(reread.m_nAlertMode, 2);
    }
    EXPECT_TRUE(VM_IsAutostartEnabled());

    VM_CPreferencesDialog again(cfg);
    VM_SPreferences shown = again.VM_Read();
    EXPECT_TRUE(shown.autostart);
    shown.autostart = false;
    shown.alertMode = 0;
    again.VM_Fill(shown);
    again.accept();
    EXPECT_FALSE(testsupport::FileExists(VM_GetAutostartPath()));
    EXPECT_EQ(VM_CAppCfg(home.path().c_str()).m_nAlertMode, 0);
}

TEST_F(PreferencesDialog, AnAutostartFolderThatCannotBeMadeIsReportedAndTheRestIsStillSaved) {
    testsupport::WriteFileBytes(config.file("autostart"), "a file where the folder belongs");
    VM_CPreferencesDialog dialog(cfg);
    dialog.VM_Fill(AllChanged());
    dialog.accept();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], VM_AUTOSTART_NOT_WRITTEN_TEXT);
    EXPECT_EQ(VM_CAppCfg(home.path().c_str()).m_nAlertMode, 2);
}

TEST_F(PreferencesDialog, AStoredAlertSettingOutsideTheChoicesIsKeptUntilOneIsPicked) {
    cfg.m_nAlertMode = 7;
    VM_CPreferencesDialog dialog(cfg);
    EXPECT_EQ(dialog.VM_Read().alertMode, 7);
}

}  // namespace
