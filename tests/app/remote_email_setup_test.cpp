// The e-mail command's chain: the remote-retrieval page's password check,
// the mail server page's check message for each missing field, Back keeping
// what was typed, the configuration changing only on the final OK, and the
// test message against the loopback mail server.
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "support/qt/modal_script.h"
#include "app/qt_test_app.h"
#include "app/setup/email_page.h"
#include "app/setup/remote_page.h"
#include "app/setup/test_email_progress.h"
#include "app/setup/setup_wizards.h"
#include "notify/smtp_test_server.h"
#include "store/app_config.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

const char* const kIncomplete =
    "Please make sure that SMTP configurations such as server, port and email accounts are properly entered. ";
const char* const kPasswordRule = "Please make sure that the password is not empty and only digits are entered. ";

void FillComplete(VM_CEmailPage* page, int port) {
    page->VM_ServerEdit()->setText(QStringLiteral("127.0.0.1"));
    page->VM_PortEdit()->setText(QString::number(port));
    page->VM_AuthBox()->setChecked(true);
    page->VM_UserEdit()->setText(QStringLiteral("vocerra"));
    page->VM_PasswordEdit()->setText(QStringLiteral("secret"));
    page->VM_SenderEdit()->setText(QStringLiteral("me@example.com"));
    page->VM_SecurityList()->setCurrentIndex(2);
    page->VM_AddressEdit(1)->setText(QStringLiteral("two@example.com"));
    page->VM_AttachBox(1)->setChecked(true);
}

class RemoteEmailSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        VM_TestQtApp();
        cfg = std::make_unique<VM_CAppCfg>(dir.path().c_str());
        ASSERT_TRUE(cfg->VM_Save());
        saved = testsupport::ReadFileBytes(CfgFile());
    }
    std::string CfgFile() const { return dir.path() + "/Config/Vocerra.Cfg"; }

    testsupport::TempDir dir;
    std::unique_ptr<VM_CAppCfg> cfg;
    std::string saved;
};

TEST_F(RemoteEmailSetupTest, CancelOnEitherPageStoresNothing) {
    for (bool onEmailPage : {false, true}) {
        ModalScript script;
        script.On<VM_CRemotePage>([&](VM_CRemotePage* page) {
            page->VM_RetrievalBox()->setChecked(true);
            page->VM_CurrentPasswordEdit()->setText(QStringLiteral("1234"));
            page->VM_ChooseMode(1);
            (onEmailPage ? page->VM_FirstButton() : page->VM_CancelButton())->click();
        });
        if (onEmailPage) {
            script.On<VM_CEmailPage>([](VM_CEmailPage* page) {
                FillComplete(page, 2525);
                page->VM_CancelButton()->click();
            });
        }
        EXPECT_FALSE(VM_RunRemoteEmailSetup(nullptr, *cfg));
        EXPECT_EQ(script.Pending(), 0u);
        EXPECT_EQ(cfg->m_nNotifyMode, 0);
        EXPECT_FALSE(cfg->VM_IsFlag(VM_FLAG_REMOTE_RETRIEVAL));
        EXPECT_EQ(testsupport::ReadFileBytes(CfgFile()), saved);
    }
}

TEST_F(RemoteEmailSetupTest, BadPasswordsKeepThePageOpenThenModeZeroFinishes) {
    ModalScript script;
    script.On<VM_CRemotePage>([](VM_CRemotePage* page) {
              EXPECT_EQ(page->VM_FirstButton()->text().toStdString(), "OK");
              page->VM_RetrievalBox()->setChecked(true);
              page->VM_DefaultPasswordEdit()->setText(QStringLiteral("12a4"));
              page->VM_FirstButton()->click();
          })
        .Message()
        .On<VM_CRemotePage>([](VM_CRemotePage* page) {
            page->VM_DefaultPasswordEdit()->setText(QStringLiteral("4321"));
            page->VM_CurrentPasswordEdit()->clear();
            page->VM_FirstButton()->click();
        })
        .Message()
        .On<VM_CRemotePage>([](VM_CRemotePage* page) {
            page->VM_CurrentPasswordEdit()->setText(QStringLiteral("55"));
            page->VM_FirstButton()->click();
        });
    EXPECT_TRUE(VM_RunRemoteEmailSetup(nullptr, *cfg));
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_EQ(script.Messages(), (std::vector<std::string>{kPasswordRule, kPasswordRule}));
    VM_CAppCfg reread(dir.path().c_str());
    EXPECT_TRUE(reread.VM_IsFlag(VM_FLAG_REMOTE_RETRIEVAL));
    EXPECT_EQ(reread.m_szDefaultPassword.VM_String(), "4321");
    EXPECT_EQ(reread.m_szPassword.VM_String(), "55");
    EXPECT_EQ(reread.m_nNotifyMode, 0);
    EXPECT_EQ(reread.m_szSmtpServer, nullptr);
}

TEST_F(RemoteEmailSetupTest, RetrievalOffDoesNotStoreTypedPasswords) {
    ModalScript script;
    script.On<VM_CRemotePage>([](VM_CRemotePage* page) {
        page->VM_CurrentPasswordEdit()->setText(QStringLiteral("x"));
        page->VM_FirstButton()->click();
    });
    EXPECT_TRUE(VM_RunRemoteEmailSetup(nullptr, *cfg));
    EXPECT_EQ(VM_CAppCfg(dir.path().c_str()).m_szPassword.VM_String(), "908172");
}

TEST_F(RemoteEmailSetupTest, EachMissingFieldGivesTheCheckMessage) {
    using Change = std::function<void(VM_CEmailPage*)>;
    const std::vector<Change> gaps = {
        [](VM_CEmailPage* p) { p->VM_ServerEdit()->setText(QStringLiteral("  ")); },
        [](VM_CEmailPage* p) { p->VM_PortEdit()->setText(QStringLiteral("0")); },
        [](VM_CEmailPage* p) { p->VM_PortEdit()->clear(); },
        [](VM_CEmailPage* p) { p->VM_UserEdit()->clear(); },
        [](VM_CEmailPage* p) { p->VM_SenderEdit()->clear(); },
        [](VM_CEmailPage* p) { p->VM_AddressEdit(1)->setText(QStringLiteral(" ")); },
    };
    ModalScript script;
    script.On<VM_CRemotePage>([](VM_CRemotePage* page) {
        page->VM_ChooseMode(2);
        EXPECT_EQ(page->VM_FirstButton()->text().toStdString(), "Next >>");
        page->VM_FirstButton()->click();
    });
    for (const Change& gap : gaps) {
        script.On<VM_CEmailPage>([gap](VM_CEmailPage* page) {
                  FillComplete(page, 25);
                  gap(page);
                  page->VM_FirstButton()->click();
              })
            .Message();
    }
    // Back keeps the values of both pages; then OK stores them.
    script.On<VM_CEmailPage>([](VM_CEmailPage* page) {
              FillComplete(page, 2525);
              page->VM_BackButton()->click();
          })
        .On<VM_CRemotePage>([](VM_CRemotePage* page) {
            EXPECT_EQ(page->VM_GetSettings().notifyMode, 2);
            page->VM_FirstButton()->click();
        })
        .On<VM_CEmailPage>([](VM_CEmailPage* page) {
            EXPECT_EQ(page->VM_PortEdit()->text(), QStringLiteral("2525"));
            page->VM_FirstButton()->click();
        });
    EXPECT_TRUE(VM_RunRemoteEmailSetup(nullptr, *cfg));
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_EQ(script.Messages(), std::vector<std::string>(gaps.size(), kIncomplete));
    VM_CAppCfg reread(dir.path().c_str());
    EXPECT_EQ(reread.m_nNotifyMode, 2);
    EXPECT_STREQ(reread.m_szSmtpServer, "127.0.0.1");
    EXPECT_EQ(reread.m_nSmtpPort, 2525);
    EXPECT_EQ(reread.m_nSmtpSecurity, 0x21);
    EXPECT_STREQ(reread.m_szEmail[1], "two@example.com");
    EXPECT_EQ(reread.m_bAttach[1], 1);
    EXPECT_EQ(reread.m_szEmail[0], nullptr);
}

class TestEmailButtonTest : public RemoteEmailSetupTest {
protected:
    notifytest::SmtpTestServer server;
    testsupport::ScopedEnv ca{"VOCERRA_SMTP_CA_FILE", server.caFile().c_str()};
};

struct TestPressed {
    std::string progress;  // what the progress window said when the message box came up
    bool red = false;      // the progress text in the red of a problem
    std::string message;   // the message box
};

TestPressed PressTest(VM_CEmailPage& page) {
    TestPressed seen;
    ModalScript script;
    script.On<QMessageBox>([&](QMessageBox* box) {
        if (const auto* progress = page.findChild<VM_CTestEmailProgress*>()) {
            const QLabel* label = progress->VM_TextLabel();
            seen.progress = label->text().toStdString();
            seen.red = label->palette().color(QPalette::WindowText) != page.palette().color(QPalette::WindowText);
        }
        seen.message = box->text().toStdString();
        box->accept();
    });
    page.VM_TestButton()->click();
    EXPECT_EQ(script.Pending(), 0u);
    return seen;
}

TEST_F(TestEmailButtonTest, FailureThenSuccessWithTheTypedValues) {
    ASSERT_TRUE(server.ok()) << server.error();
    VM_CEmailPage page(nullptr, VM_LoadEmailPage(*cfg));
    FillComplete(&page, server.port("starttls"));
    page.VM_PasswordEdit()->setText(QStringLiteral("wrong"));
    TestPressed pressed = PressTest(page);
    EXPECT_EQ(pressed.progress, "Error response received, check your connection.");
    EXPECT_TRUE(pressed.red);
    EXPECT_EQ(pressed.message,
              "Sorry, there are some problems while sending test email. Please check your Internet connection and "
              "email configuration.");
    EXPECT_TRUE(server.Received().empty());

    page.VM_PasswordEdit()->setText(QStringLiteral("secret"));
    pressed = PressTest(page);
    EXPECT_EQ(pressed.progress, "Congratulation, message has been successfully sent.");
    EXPECT_FALSE(pressed.red);
    EXPECT_EQ(pressed.message, "Congratulation! Email has been successfully sent and email-forwarding feature is now enabled.");
    const auto mails = server.Received();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"two@example.com"});
    EXPECT_EQ(mails[0].Header("Subject"), "Test email (from Vocerra)");
    // The test used the typed values; nothing was stored.
    EXPECT_EQ(cfg->m_szSmtpServer, nullptr);
    EXPECT_EQ(testsupport::ReadFileBytes(CfgFile()), saved);
}

TEST_F(TestEmailButtonTest, IncompleteValuesShowTheCheckWithoutSending) {
    VM_CEmailPage page(nullptr, VM_LoadEmailPage(*cfg));
    FillComplete(&page, server.port("plain"));
    page.VM_SenderEdit()->clear();
    const TestPressed pressed = PressTest(page);
    EXPECT_EQ(pressed.progress, "");
    EXPECT_EQ(pressed.message, kIncomplete);
    EXPECT_TRUE(server.Received().empty());
}

}  // namespace
