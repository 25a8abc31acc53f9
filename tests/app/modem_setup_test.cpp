// The modem command's chain: the modem page read from the modem table, the
// call page's ranges, Back keeping what was typed, and the configuration
// changing only on the last OK.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include "support/qt/modal_script.h"
#include "app/qt_test_app.h"
#include "app/setup/call_page.h"
#include "app/setup/modem_page.h"
#include "app/setup/setup_wizards.h"
#include "callflow/answer_machine.h"
#include "lines/sip/registration_status.h"
#include "platform/tapi/tapi_constants.h"
#include "store/app_config.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

constexpr DWORD kVoiceMedia = LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;

VM_SModemEntry Modem(const char* name, std::int32_t line, DWORD media, std::int32_t wave = 1, DWORD digits = 1) {
    VM_SModemEntry e{};
    std::strncpy(e.szName, name, sizeof e.szName - 1);
    e.idLine = line;
    e.idWaveIn = wave;
    e.idWaveOut = wave;
    e.dwMediaModes = media;
    e.dwBearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    e.dwMonitorDigitModes = digits;
    return e;
}

// A table as the enumeration fills it: voice modems are those with wave devices.
VM_SModemTable Table(std::initializer_list<VM_SModemEntry> entries) {
    VM_SModemTable t{};
    for (const VM_SModemEntry& e : entries) {
        if (e.dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE && e.idWaveIn != -1) t.voiceIndexes[t.nVoiceCount++] = t.nCount;
        t.entries[t.nCount++] = e;
    }
    return t;
}

std::string Plain(QLabel* label) {
    QString html = label->text();
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return html.toStdString();
}

class ModemSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        VM_TestQtApp();
        g_modemTable = Table({Modem("Data Only", 0, LINEMEDIAMODE_DATAMODEM), Modem("Voice A", 1, kVoiceMedia),
                              Modem("Voice B", 2, kVoiceMedia)});
        cfg = std::make_unique<VM_CAppCfg>(dir.path().c_str());
        cfg->m_idLine = 1;
        ASSERT_TRUE(cfg->VM_Save());
        saved = testsupport::ReadFileBytes(CfgFile());
    }
    void TearDown() override { g_modemTable = VM_SModemTable{}; }

    std::string CfgFile() const { return dir.path() + "/Config/Vocerra.Cfg"; }

    testsupport::TempDir dir;
    std::unique_ptr<VM_CAppCfg> cfg;
    std::string saved;
};

TEST_F(ModemSetupTest, CancelOnEitherPageLeavesTheFileAsItWas) {
    for (bool onCallPage : {false, true}) {
        ModalScript script;
        script.On<VM_CModemPage>([&](VM_CModemPage* page) {
            page->VM_List()->setCurrentRow(1);
            (onCallPage ? page->VM_FirstButton() : page->VM_CancelButton())->click();
        });
        if (onCallPage) {
            script.On<VM_CCallPage>([](VM_CCallPage* page) {
                page->VM_RingsEdit()->setText(QStringLiteral("7"));
                page->VM_ModemFixBox()->setChecked(!page->VM_ModemFixBox()->isChecked());
                page->VM_CancelButton()->click();
            });
        }
        EXPECT_FALSE(VM_RunModemSetup(nullptr, *cfg, nullptr));
        EXPECT_EQ(script.Pending(), 0u);
        EXPECT_EQ(cfg->m_idLine, 1);
        EXPECT_EQ(cfg->m_nRings, 3);
        EXPECT_EQ(testsupport::ReadFileBytes(CfgFile()), saved);
    }
}

TEST_F(ModemSetupTest, BackKeepsTypedValuesAndOkStoresThem) {
    ModalScript script;
    script.On<VM_CModemPage>([](VM_CModemPage* page) { page->VM_FirstButton()->click(); })
        .On<VM_CCallPage>([](VM_CCallPage* page) {
            page->VM_RingsEdit()->setText(QStringLiteral("5"));
            page->VM_PrescreenBox()->setChecked(false);
            page->VM_ModemFixBox()->setChecked(false);
            page->VM_LevelSlider()->setValue(40);
            page->VM_BackButton()->click();
        })
        .On<VM_CModemPage>([](VM_CModemPage* page) {
            page->VM_List()->setCurrentRow(1);  // "Voice B"
            page->VM_FirstButton()->click();
        })
        .On<VM_CCallPage>([](VM_CCallPage* page) {
            EXPECT_EQ(page->VM_RingsEdit()->text(), QStringLiteral("5"));
            EXPECT_FALSE(page->VM_PrescreenBox()->isChecked());
            page->VM_FirstButton()->click();
        });
    EXPECT_TRUE(VM_RunModemSetup(nullptr, *cfg, nullptr));
    EXPECT_EQ(script.Pending(), 0u);
    VM_CAppCfg reread(dir.path().c_str());
    EXPECT_EQ(reread.m_idLine, 2);
    EXPECT_EQ(reread.m_nRings, 5);
    EXPECT_EQ(reread.m_nSilenceLevel, 40);
    EXPECT_FALSE(reread.VM_IsFlag(VM_FLAG_PRESCREEN));
    EXPECT_FALSE(reread.VM_IsFlag(VM_FLAG_MODEM_FIX));
    EXPECT_TRUE(reread.VM_IsFlag(VM_FLAG_ENHANCE_CALLS));
}

TEST_F(ModemSetupTest, OnlyTheRingsChangedKeepsLineAndFix) {
    ModalScript script;
    script.On<VM_CModemPage>([](VM_CModemPage* page) { page->VM_FirstButton()->click(); })
        .On<VM_CCallPage>([](VM_CCallPage* page) {
            page->VM_RingsEdit()->setText(QStringLiteral("6"));
            page->VM_FirstButton()->click();
        });
    const DWORD flags = cfg->m_dwFlags;
    EXPECT_TRUE(VM_RunModemSetup(nullptr, *cfg, nullptr));
    EXPECT_EQ(cfg->m_dwFlags, flags);
    EXPECT_EQ(cfg->m_idLine, 1);
    EXPECT_EQ(VM_CAppCfg(dir.path().c_str()).m_nRings, 6);
}

TEST_F(ModemSetupTest, NoModemAtAll) {
    g_modemTable = VM_SModemTable{};
    VM_CModemPage page(nullptr, g_modemTable, 4);
    EXPECT_EQ(page.VM_Heading()->text().toStdString(), "No Modem Found");
    EXPECT_EQ(page.VM_Group()->title().toStdString(), "Problems Identified:");
    EXPECT_TRUE(page.VM_List()->isHidden());
    EXPECT_EQ(page.VM_FirstButton()->text().toStdString(), "OK");
    EXPECT_EQ(Plain(page.VM_FeatureLabel(0)), "Not Found");
    EXPECT_EQ(Plain(page.VM_FeatureLabel(1)), "N/A");
    EXPECT_EQ(Plain(page.VM_FeatureLabel(2)), "N/A");
    page.VM_Forward();
    EXPECT_EQ(page.result(), VM_PAGE_OK);
    EXPECT_EQ(page.VM_GetLineId(), 4);
}

TEST_F(ModemSetupTest, OneModemWithoutWaveDevicesExplainsTheRedNo) {
    g_modemTable = Table({Modem("Line %s %n", 3, kVoiceMedia, -1, 0)});
    VM_CModemPage page(nullptr, g_modemTable, 0);
    EXPECT_EQ(page.VM_Heading()->text().toStdString(), "Modem Detected");
    EXPECT_NE(page.VM_Description()->text().toStdString().find("Your Line %s %n has been detected"),
              std::string::npos);
    EXPECT_EQ(Plain(page.VM_FeatureLabel(0)), "Yes");
    EXPECT_EQ(Plain(page.VM_FeatureLabel(1)), "No");
    EXPECT_NE(page.VM_FeatureLabel(1)->text().indexOf(QStringLiteral("#d02020")), -1);
    EXPECT_NE(page.VM_FeatureLabel(2)->text().indexOf(QStringLiteral("#209030")), -1);
    ModalScript script;
    script.Message().Message();
    page.VM_ExplainFeature(1);
    page.VM_ExplainFeature(2);
    page.VM_ExplainFeature(0);  // a plain "Yes" explains nothing
    ASSERT_EQ(script.Messages().size(), 2u);
    EXPECT_EQ(script.Messages()[0].rfind("The audio sound devices for your voice modem have NOT", 0), 0u);
    EXPECT_EQ(script.Messages()[1].rfind("Your modem does not support remote retrieval function.", 0), 0u);
    EXPECT_EQ(page.VM_FirstButton()->text().toStdString(), "OK");
    page.VM_Forward();
    EXPECT_EQ(page.VM_GetLineId(), 0);
}

TEST_F(ModemSetupTest, OneVoiceModemIsChosen) {
    g_modemTable = Table({Modem("Voice X", 7, kVoiceMedia)});
    VM_CModemPage page(nullptr, g_modemTable, -1);
    EXPECT_EQ(page.VM_Heading()->text().toStdString(), "Congratulations!");
    EXPECT_EQ(page.VM_FirstButton()->text().toStdString(), "Next >>");
    page.VM_Forward();
    EXPECT_EQ(page.result(), VM_PAGE_NEXT);
    EXPECT_EQ(page.VM_GetLineId(), 7);
}

TEST_F(ModemSetupTest, SeveralModemsListTheVoiceOnesOrAll) {
    VM_CModemPage voice(nullptr, g_modemTable, 2);
    EXPECT_EQ(voice.VM_Heading()->text().toStdString(), "Supported Modems");
    EXPECT_EQ(voice.VM_Group()->title().toStdString(), "Features of Selected Modem:");
    ASSERT_EQ(voice.VM_List()->count(), 2);
    EXPECT_EQ(voice.VM_List()->currentRow(), 1);
    // The chosen line is not a voice modem: nothing selected, nothing changes.
    VM_CModemPage unmatched(nullptr, g_modemTable, 0);
    EXPECT_EQ(unmatched.VM_List()->currentRow(), -1);
    unmatched.VM_Forward();
    EXPECT_EQ(unmatched.VM_GetLineId(), 0);

    g_modemTable = Table({Modem("Data 1", 5, LINEMEDIAMODE_DATAMODEM), Modem("Data 2", 6, LINEMEDIAMODE_DATAMODEM)});
    VM_CModemPage data(nullptr, g_modemTable, 2);
    EXPECT_EQ(data.VM_Heading()->text().toStdString(), "Detected Modems");
    EXPECT_EQ(data.VM_Group()->title().toStdString(), "Problems of Selected Modem:");
    EXPECT_EQ(data.VM_List()->count(), 2);
    EXPECT_EQ(data.VM_List()->currentRow(), 0);
    EXPECT_EQ(Plain(data.VM_FeatureLabel(0)), "No");
    EXPECT_EQ(Plain(data.VM_FeatureLabel(1)), "N/A");
    data.VM_List()->setCurrentRow(1);
    data.VM_Forward();
    EXPECT_EQ(data.VM_GetLineId(), 2);
}

TEST_F(ModemSetupTest, SipLineShowsTheRegistrationOfTheRunningProgram) {
    testsupport::TempDir runtime;
    testsupport::ScopedEnv folder("VOCERRA_RUNTIME_DIR", runtime.path().c_str());
    sipline::RegistrationStatus refused;
    refused.state = sipline::RegistrationStatus::State::kFailed;
    refused.lastStatus = 403;
    refused.lastReason = "Forbidden";
    refused.nextRetryMs = 30000;
    ASSERT_TRUE(sipline::WriteRegistrationFile({"SIP Line (ann@sip.example.net)", DescribeRegistration(refused)}));
    g_modemTable = Table({Modem("Voice A", 0, kVoiceMedia), Modem("SIP Line (ann@sip.example.net)", 1, kVoiceMedia)});
    VM_CModemPage page(nullptr, g_modemTable, 1);
    const std::string shown = page.VM_Registration()->text().toStdString();
    EXPECT_FALSE(page.VM_Registration()->isHidden());
    EXPECT_EQ(shown.rfind("Registration: refused (next try at ", 0), 0u) << shown;
    EXPECT_NE(shown.find("\nLast answer: 403 Forbidden"), std::string::npos) << shown;
    page.VM_List()->setCurrentRow(0);
    EXPECT_TRUE(page.VM_Registration()->isHidden()) << "a modem has no registration";
}

TEST_F(ModemSetupTest, CallPageFieldRanges) {
    VM_SCallSettings start;
    start.maxCallMinutes = 0;
    VM_CCallPage page(nullptr, start);
    page.VM_RingsEdit()->setText(QString());
    EXPECT_EQ(page.VM_GetSettings().rings, 3);
    page.VM_RingsEdit()->setText(QStringLiteral("0"));
    EXPECT_EQ(page.VM_GetSettings().rings, 1);
    page.VM_RingsEdit()->insert(QStringLiteral("x12"));  // digits only, two at most
    EXPECT_LE(page.VM_RingsEdit()->text().size(), 2);
    EXPECT_FALSE(page.VM_RingsEdit()->text().contains(QLatin1Char('x')));

    EXPECT_FALSE(page.VM_MinutesEdit()->isEnabled());
    page.VM_LimitBox()->setChecked(true);
    EXPECT_EQ(page.VM_MinutesEdit()->text(), QStringLiteral("15"));
    EXPECT_EQ(page.VM_GetSettings().maxCallMinutes, 15);
    page.VM_MinutesEdit()->selectAll();
    page.VM_MinutesEdit()->insert(QStringLiteral("0"));
    emit page.VM_MinutesEdit()->textEdited(page.VM_MinutesEdit()->text());
    EXPECT_FALSE(page.VM_LimitBox()->isChecked());
    EXPECT_EQ(page.VM_GetSettings().maxCallMinutes, 0);

    page.VM_SecondsEdit()->setText(QString());
    EXPECT_EQ(page.VM_GetSettings().silenceSeconds, 10);
    page.VM_SecondsEdit()->setText(QStringLiteral("0"));
    EXPECT_EQ(page.VM_GetSettings().silenceSeconds, 0);
}

}  // namespace

namespace {

// A stopped machine with no line service: a restart fails and clears the
// answering bit, which shows whether the chain asked for one.
class ModemSetupMachineTest : public ModemSetupTest {
protected:
    bool Run(const QString& rings, int modemRow) {
        VM_CAnswerMachine machine(nullptr, nullptr, cfg.get());
        ModalScript script;
        script.On<VM_CModemPage>([modemRow](VM_CModemPage* page) {
                  page->VM_List()->setCurrentRow(modemRow);
                  page->VM_FirstButton()->click();
              })
            .On<VM_CCallPage>([rings](VM_CCallPage* page) {
                page->VM_RingsEdit()->setText(rings);
                page->VM_FirstButton()->click();
            });
        return VM_RunModemSetup(nullptr, *cfg, &machine);
    }
};

TEST_F(ModemSetupMachineTest, OnlyAChangedLineRestartsTheMachine) {
    ASSERT_TRUE(cfg->VM_IsFlag(VM_FLAG_ANSWERING));
    ASSERT_TRUE(Run(QStringLiteral("4"), 0));  // "Voice A", line 1, as configured
    EXPECT_TRUE(cfg->VM_IsFlag(VM_FLAG_ANSWERING));
    EXPECT_EQ(cfg->m_nRings, 4);
    ASSERT_TRUE(Run(QStringLiteral("4"), 1));
    EXPECT_EQ(cfg->m_idLine, 2);
    EXPECT_FALSE(cfg->VM_IsFlag(VM_FLAG_ANSWERING));
    EXPECT_FALSE(VM_CAppCfg(dir.path().c_str()).VM_IsFlag(VM_FLAG_ANSWERING));
}

}  // namespace
