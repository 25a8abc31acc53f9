// The tips dialog keeps the start-up choice and the next tip in the saved
// configuration however it is closed, and survives a stored index it does
// not know.
#include <QCheckBox>
#include <gtest/gtest.h>

#include "app/qt_test_app.h"
#include "app/dialogs/tips_dialog.h"
#include "store/app_config.h"
#include "support/temp_dir.h"

namespace {

TEST(TipsDialog, ClosingSavesTheStartUpChoiceAndTheTipAfterTheLastShown) {
    VM_TestQtApp();
    testsupport::TempDir home;
    {
        VM_CAppCfg cfg(home.path().c_str());
        cfg.VM_SetFlag(true, VM_FLAG_TIPS);
        cfg.m_nNextTip = kTipCount - 1;
        VM_CTipsDialog dialog(cfg);
        EXPECT_EQ(dialog.VM_GetShownTip(), kTipCount - 1);
        dialog.VM_NextTip();  // wraps to the first
        dialog.findChild<QCheckBox*>()->setChecked(false);
        dialog.reject();
    }
    VM_CAppCfg reread(home.path().c_str());
    EXPECT_FALSE(reread.VM_IsFlag(VM_FLAG_TIPS));
    EXPECT_EQ(reread.m_nNextTip, 1);
}

TEST(TipsDialog, AStoredTipIndexOutOfRangeStartsAtTheFirstTip) {
    VM_TestQtApp();
    testsupport::TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    cfg.m_nNextTip = 200;
    VM_CTipsDialog dialog(cfg);
    EXPECT_EQ(dialog.VM_GetShownTip(), 0);
    EXPECT_NE(VM_GetTip(dialog.VM_GetShownTip()), nullptr);
    EXPECT_EQ(VM_GetTip(kTipCount), nullptr);
}

}  // namespace
