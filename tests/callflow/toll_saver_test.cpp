#include "callflow/toll_saver.h"

#include <gtest/gtest.h>

#include "store/app_config.h"
#include "support/temp_dir.h"

TEST(TollSaver, TwoMoreRingsOnlyWithTheOptionOnAndNoNewMessage) {
    testsupport::TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    cfg.m_nRings = 4;
    VM_CTollSaver saver;
    EXPECT_EQ(saver.VM_GetNoNewMessages(), 1);

    cfg.VM_SetFlag(true, VM_FLAG_TOLL_SAVER);
    EXPECT_EQ(VM_RingsBeforeAnswer(cfg, &saver), 6);
    saver.VM_SetNoNewMessages(0);  // a new-message alert is active
    EXPECT_EQ(VM_RingsBeforeAnswer(cfg, &saver), 4);

    cfg.VM_SetFlag(false, VM_FLAG_TOLL_SAVER);
    EXPECT_EQ(VM_RingsBeforeAnswer(cfg, &saver), 4);
    saver.VM_SetNoNewMessages(1);
    EXPECT_EQ(VM_RingsBeforeAnswer(cfg, &saver), 4) << "with the option off the flag has no effect";
}
