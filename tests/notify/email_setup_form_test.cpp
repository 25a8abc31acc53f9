// The setup pages' values: shown from the stored settings, stored on OK.
#include <gtest/gtest.h>

#include "notify/email_setup_form.h"
#include "support/temp_dir.h"

namespace {

TEST(EmailSetupFormTest, SecurityListAndByteMapBothWays) {
    EXPECT_EQ(VM_SecurityByteOf(0, false), 0x00);
    EXPECT_EQ(VM_SecurityByteOf(0, true), 0x01);
    EXPECT_EQ(VM_SecurityByteOf(1, true), 0x11);
    EXPECT_EQ(VM_SecurityByteOf(2, false), 0x20);
    testsupport::TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    const struct {
        std::uint8_t bits;
        int position;
        bool auth;
    } shown[] = {{0x00, 0, false}, {0x21, 2, true}, {0x10, 1, false}, {0x31, 1, true}};
    for (const auto& s : shown) {
        cfg.m_nSmtpSecurity = s.bits;
        const VM_SEmailPageValues values = VM_LoadEmailPage(cfg);
        EXPECT_EQ(values.security, s.position) << int(s.bits);
        EXPECT_EQ(values.authentication, s.auth) << int(s.bits);
    }
}

TEST(EmailSetupFormTest, FinalOkStoresTrimmedValuesAndSaves) {
    testsupport::TempDir home;
    VM_SEmailPageValues page;
    page.server = " smtp.example.com ";
    page.port = "587";
    page.authentication = true;
    page.user = "\tme ";
    page.password = " pw ";
    page.sender = "me@example.com ";
    page.security = 2;
    page.emails[1] = " two@example.com";
    page.attach[1] = true;
    {
        VM_CAppCfg cfg(home.path().c_str());
        ASSERT_TRUE(VM_StoreEmailSetup(cfg, 2, &page));
    }
    VM_CAppCfg reloaded(home.path().c_str());
    EXPECT_EQ(reloaded.m_nNotifyMode, 2);
    const VM_SEmailPageValues shown = VM_LoadEmailPage(reloaded);
    EXPECT_EQ(shown.server, "smtp.example.com");
    EXPECT_EQ(shown.port, "587");
    EXPECT_TRUE(shown.authentication);
    EXPECT_EQ(shown.user, "me");
    EXPECT_EQ(shown.password, "pw");
    EXPECT_EQ(shown.sender, "me@example.com");
    EXPECT_EQ(shown.security, 2);
    EXPECT_EQ(shown.emails[0], "");
    EXPECT_EQ(shown.emails[1], "two@example.com");
    EXPECT_FALSE(shown.attach[0]);
    EXPECT_TRUE(shown.attach[1]);
    // Mode 0 finishes on page 1: the mail settings stay as they were.
    ASSERT_TRUE(VM_StoreEmailSetup(reloaded, 0, nullptr));
    EXPECT_EQ(reloaded.m_nNotifyMode, 0);
    EXPECT_EQ(VM_LoadEmailPage(reloaded).server, "smtp.example.com");
}

TEST(EmailSetupFormTest, PortMustBeDigitsThatFit) {
    VM_SEmailPageValues page;
    EXPECT_EQ(VM_GetPageSettings(page).port, 0);
    for (const char* bad : {"x25", "25 5", "99999999999", "4294967297"}) {
        page.port = bad;
        EXPECT_EQ(VM_GetPageSettings(page).port, -1) << bad;
    }
    page.port = " 2525 ";
    EXPECT_EQ(VM_GetPageSettings(page).port, 2525);
}

}  // namespace
