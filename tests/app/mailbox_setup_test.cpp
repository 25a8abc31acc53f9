// Command 40021's chain on WAVE-file sound devices: what the pages choose and
// record reaches "Vocerra.Cfg" and the greeting folder only on OK; Cancel
// leaves both byte for byte as they were.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/mailbox_setup/greeting_work_copies.h"
#include "app/mailbox_setup/mailbox_greeting_page.h"
#include "app/mailbox_setup/main_greeting_page.h"
#include "app/mailbox_setup/sound_device_page.h"
#include "app/dialogs/play_record_control.h"
#include "app/dialogs/message_box.h"
#include "app/qt_test_app.h"
#include "app/setup/setup_wizards.h"
#include "audio/wave_device.h"
#include "audio/wave_test_files.h"
#include "platform/win32/clock.h"
#include "platform/win32/files.h"
#include "platform/winmm/file_endpoint.h"
#include "platform/winmm/wave_endpoint.h"
#include "support/qt/modal_script.h"
#include "queue_pump.h"
#include "test_sound_files.h"
#include "store/app_config.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

using apptest::kAllFormats;
using apptest::PumpUntil;
using apptest::Ramp;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using namespace wavetest;

namespace {


std::string Path(char* owned) {
    std::unique_ptr<char[]> hold(owned);
    return hold ? std::string(hold.get()) : std::string();
}

// As the user types: the field's own key handling, not a programmatic set.
void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(field, &press);
    }
}

class MailboxSetup : public apptest::SoundDeviceTest {
protected:
    void SetUp() override {
        SoundDeviceTest::SetUp();
        m_cfg = std::make_unique<VM_CAppCfg>(m_home.path().c_str());
        m_cfg->m_nCallSortColumn = 3;
        m_cfg->m_nCallSortOrder = 2;
        ASSERT_TRUE(m_cfg->VM_Save());
        WriteWave(m_dir.file("voice.wav"), Format(WAVE_FORMAT_PCM, 16), Ramp(16000));
        m_out = winmm::AddFileWaveOut(m_dir.file("played.wav"), kAllFormats);
        m_in = winmm::AddFileWaveIn(m_dir.file("voice.wav"), kAllFormats);
        g_nWaveOutDevices = 1;
        g_waveOutDevices[0] = {m_out, "File Speaker"};
        g_nWaveInDevices = 1;
        g_waveInDevices[0] = {m_in, "File Microphone"};
    }
    void TearDown() override {
        g_nWaveOutDevices = 0;
        g_nWaveInDevices = 0;
        SoundDeviceTest::TearDown();
    }
    std::string CfgBytes() const { return ReadFileBytes(m_cfg->m_szFile); }
    std::string TempFolder() const { return Path(m_cfg->VM_GetPath(VM_FOLDER_TEMP, nullptr)); }

    // Records about 2.5 s from the file microphone into the control's file
    // and returns what was recorded.
    // Records until the file holds enough to tell it from any old greeting.
    // Counted in what reached the file, not by the busy indicator: a loaded
    // machine records more slowly than the indicator moves.
    static std::string RecordOn(VM_CMetaphor* control) {
        EXPECT_TRUE(control->VM_Record());
        const std::string growing = std::string(control->VM_GetFile()) + ".recording";
        EXPECT_TRUE(PumpUntil([&] {
            std::error_code error;
            const auto size = std::filesystem::file_size(growing, error);
            return !error && size > 32000;
        }));
        control->VM_Stop();
        return ReadFileBytes(control->VM_GetFile());
    }

    TempDir m_home;
    TempDir m_dir;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    UINT m_out = 0;
    UINT m_in = 0;
};

TEST_F(MailboxSetup, CancelOnTheLastPageLeavesConfigurationAndGreetingsAsTheyWere) {
    const std::string mainGreeting = Path(m_cfg->VM_GetMainGreetingFileName());
    WriteWave(mainGreeting, Format(WAVE_FORMAT_PCM, 16), Ramp(4000, 7));
    const std::string greetingBefore = ReadFileBytes(mainGreeting);
    const std::string cfgBefore = CfgBytes();
    std::string recorded;
    ModalScript script;
    script.On<VM_CSoundDevicePage>([&](VM_CSoundDevicePage* page) {
        page->VM_PlayList()->setCurrentIndex(1);
        page->VM_EnhanceBox()->setChecked(false);
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMainGreetingPage>([&](VM_CMainGreetingPage* page) {
        // The work copy holds the old greeting, so everything is offered.
        EXPECT_EQ(page->VM_Control()->VM_GetEnabledGroups(), 0xF);
        recorded = RecordOn(page->VM_Control());
        page->VM_MultipleBox()->setChecked(true);
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMailboxGreetingPage>([&](VM_CMailboxGreetingPage* page) {
        RecordOn(page->VM_Control());
        page->VM_CancelButton()->click();
    });
    EXPECT_FALSE(VM_RunMailboxSetup(nullptr, *m_cfg));
    EXPECT_EQ(script.Pending(), 0u);
    ASSERT_GT(recorded.size(), 30000u);
    EXPECT_NE(recorded, greetingBefore);
    EXPECT_EQ(ReadFileBytes(mainGreeting), greetingBefore);
    EXPECT_FALSE(FileExists(Path(m_cfg->VM_GetMailboxGreetingFileName(0))));
    EXPECT_EQ(CfgBytes(), cfgBefore);
    EXPECT_EQ(m_cfg->m_idPlayDevice, -1);
    EXPECT_TRUE(m_cfg->VM_IsFlag(VM_FLAG_SINGLE_MAILBOX));
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u) << "work copies left behind";
}

TEST_F(MailboxSetup, OkStoresTheChoicesAndTheRecordedGreetingsByteForByte) {
    // No main greeting yet (not even the one a fresh folder is given).
    DeleteFileA(Path(m_cfg->VM_GetMainGreetingFileName()).c_str());
    std::string mainRecorded;
    std::string box3Recorded;
    ModalScript script;
    script.On<VM_CSoundDevicePage>([&](VM_CSoundDevicePage* page) {
        EXPECT_EQ(page->VM_FirstButton()->text(), "Next >>");
        EXPECT_EQ(page->VM_PlayList()->currentText(), "Default Audio Device");
        page->VM_PlayList()->setCurrentIndex(1);
        page->VM_RecordList()->setCurrentIndex(1);
        page->VM_EnhanceBox()->setChecked(false);
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMainGreetingPage>([&](VM_CMainGreetingPage* page) {
        EXPECT_FALSE(page->VM_MultipleBox()->isChecked());
        EXPECT_EQ(page->VM_FirstButton()->text(), "OK");
        EXPECT_EQ(page->VM_Control()->VM_GetEnabledGroups(), VM_CMetaphor::kGroupRecord);
        mainRecorded = RecordOn(page->VM_Control());
        page->VM_MultipleBox()->setChecked(true);
        EXPECT_EQ(page->VM_FirstButton()->text(), "Next >>");
        EXPECT_FALSE(page->VM_Explanation()->isHidden());
        page->VM_BackButton()->click();
    });
    script.On<VM_CSoundDevicePage>([&](VM_CSoundDevicePage* page) {
        EXPECT_EQ(page->VM_PlayList()->currentIndex(), 1) << "kept across Back";
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMainGreetingPage>([&](VM_CMainGreetingPage* page) {
        EXPECT_TRUE(page->VM_MultipleBox()->isChecked()) << "kept across Back";
        EXPECT_EQ(page->VM_Control()->VM_GetEnabledGroups(), 0xF) << "the recording is still there";
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMailboxGreetingPage>([&](VM_CMailboxGreetingPage* page) {
        EXPECT_EQ(page->VM_Group()->title(), " Record greeting for mailbox: 0 ");
        Type(page->VM_NumberField(), "3");
        EXPECT_EQ(page->VM_Group()->title(), " Record greeting for mailbox: 3 ");
        Type(page->VM_NumberField(), "12");
        EXPECT_EQ(page->VM_Group()->title(), " Record greeting for mailbox: 1 ") << "12 is no mailbox";
        Type(page->VM_NumberField(), "x");
        EXPECT_EQ(page->VM_Group()->title(), " Record greeting for mailbox: 1 ");
        Type(page->VM_NumberField(), "3");
        box3Recorded = RecordOn(page->VM_Control());
        page->VM_FirstButton()->click();
    });
    std::vector<bool> applied;
    EXPECT_TRUE(VM_RunMailboxSetup(nullptr, *m_cfg, nullptr, [&](bool changed) { applied.push_back(changed); }));
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_EQ(applied, std::vector<bool>{true});
    ASSERT_GT(mainRecorded.size(), 30000u);
    ASSERT_GT(box3Recorded.size(), 30000u);
    EXPECT_EQ(ReadFileBytes(Path(m_cfg->VM_GetMainGreetingFileName())), mainRecorded);
    EXPECT_EQ(ReadFileBytes(Path(m_cfg->VM_GetMailboxGreetingFileName(3))), box3Recorded);
    EXPECT_FALSE(FileExists(Path(m_cfg->VM_GetMailboxGreetingFileName(1))));
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u) << "work copies left behind";
    EXPECT_TRUE(m_messages.empty());

    const VM_CAppCfg stored(m_home.path().c_str());
    EXPECT_EQ(stored.m_idPlayDevice, static_cast<int>(m_out));
    EXPECT_EQ(stored.m_idRecordDevice, static_cast<int>(m_in));
    EXPECT_FALSE(stored.VM_IsFlag(VM_FLAG_ENHANCE_GREETINGS));
    EXPECT_FALSE(stored.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX));
    EXPECT_EQ(stored.m_nCallSortColumn, 0);
    EXPECT_EQ(stored.m_nCallSortOrder, 1);
}

TEST_F(MailboxSetup, OkOnAFullDiskSaysSoAndLeavesTheStoredFilesWhole) {
    const std::string mainGreeting = Path(m_cfg->VM_GetMainGreetingFileName());
    WriteWave(mainGreeting, Format(WAVE_FORMAT_PCM, 16), Ramp(4000, 7));
    const std::string greetingBefore = ReadFileBytes(mainGreeting);
    const std::string cfgBefore = CfgBytes();
    std::unique_ptr<storetest::FileSizeLimit> fullDisk;
    ModalScript script;
    script.On<VM_CSoundDevicePage>([&](VM_CSoundDevicePage* page) {
        page->VM_PlayList()->setCurrentIndex(1);
        page->VM_FirstButton()->click();
    });
    script.On<VM_CMainGreetingPage>([&](VM_CMainGreetingPage* page) {
        RecordOn(page->VM_Control());
        fullDisk = std::make_unique<storetest::FileSizeLimit>(0);
        page->VM_FirstButton()->click();
    });
    EXPECT_TRUE(VM_RunMailboxSetup(nullptr, *m_cfg));
    fullDisk.reset();
    EXPECT_EQ(m_messages.size(), 2u) << "the settings and the greeting each said so";
    EXPECT_EQ(CfgBytes(), cfgBefore);
    EXPECT_EQ(ReadFileBytes(mainGreeting), greetingBefore);
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u) << "work copies left behind";
}

TEST_F(MailboxSetup, WithoutSoundCardsBothProblemsShowInRedAndTheButtonReadsOk) {
    g_nWaveOutDevices = 0;
    g_nWaveInDevices = 0;
    VM_SMailboxSetupState state;
    VM_CSoundDevicePage page(nullptr, state);
    EXPECT_EQ(page.VM_PlayGroup()->title(), " Playing Problem");
    EXPECT_EQ(page.VM_RecordGroup()->title(), " Recording Problem");
    const QColor plain = QApplication::palette().color(QPalette::WindowText);
    const QColor red(0xD0, 0x20, 0x20);
    EXPECT_EQ(page.VM_PlayGroup()->palette().color(QPalette::WindowText), red);
    EXPECT_EQ(page.VM_RecordGroup()->palette().color(QPalette::WindowText), red);
    EXPECT_EQ(page.VM_PlayGroup()->findChild<QLabel*>("problem")->palette().color(QPalette::WindowText), plain);
    EXPECT_EQ(page.VM_PlayList(), nullptr);
    EXPECT_EQ(page.VM_RecordList(), nullptr);
    EXPECT_EQ(page.VM_FirstButton()->text(), "OK");
    // Leading on keeps the ids the configuration had.
    state.playDevice = 5;
    page.VM_FirstButton()->click();
    EXPECT_EQ(page.result(), VM_PAGE_OK);
    EXPECT_EQ(state.playDevice, 5);
}

TEST_F(MailboxSetup, EveryGreetingGetsAWorkCopyOfItsOwn) {
    // At the real clock the copies are made within one tick, where
    // temporary names are handed out alike once their file is gone.
    platform::SetTimeScale(1.0);
    DeleteFileA(Path(m_cfg->VM_GetMainGreetingFileName()).c_str());
    WriteWave(Path(m_cfg->VM_GetMailboxGreetingFileName(4)), Format(WAVE_FORMAT_PCM, 16), Ramp(400));
    for (int round = 0; round < 3; ++round) {
        VM_CGreetingWorkCopies copies(*m_cfg);
        std::set<std::string> paths;
        for (int i = 0; i < VM_CGreetingWorkCopies::kCount; ++i) {
            ASSERT_FALSE(copies.VM_GetPath(i).empty());
            paths.insert(copies.VM_GetPath(i));
            EXPECT_EQ(copies.VM_Exists(i), i == 4) << i;
        }
        EXPECT_EQ(paths.size(), size_t(VM_CGreetingWorkCopies::kCount));
    }
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u);
}

TEST_F(MailboxSetup, AGreetingThatCannotBeReplacedKeepsItsOldRecording) {
    const std::string mainGreeting = Path(m_cfg->VM_GetMainGreetingFileName());
    WriteWave(mainGreeting, Format(WAVE_FORMAT_PCM, 16), Ramp(400, 7));
    const std::string before = ReadFileBytes(mainGreeting);
    VM_CGreetingWorkCopies copies(*m_cfg);
    ASSERT_TRUE(copies.VM_Exists(VM_CGreetingWorkCopies::kMain));
    EXPECT_FALSE(copies.VM_Exists(0));
    WriteWave(copies.VM_GetPath(VM_CGreetingWorkCopies::kMain), Format(WAVE_FORMAT_PCM, 16), Ramp(80000));
    {
        // As on a full disk: the new greeting does not fit.
        storetest::FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(copies.VM_CommitAll());
    }
    EXPECT_EQ(ReadFileBytes(mainGreeting), before);
}

}  // namespace
