// Listening to a message at the computer: opened from the call log, the
// record detail dialog plays the call's recording to its end on the
// configured playback device, its slider reaching the end, and the message
// is read afterwards; closing the dialog while it plays stops the sound.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <QMainWindow>
#include <QSlider>
#include <QToolButton>

#include "app/views/command_table.h"
#include "app/views/entry_list_view.h"
#include "app/views/main_views.h"
#include "app/views/mediator.h"
#include "app/dialogs/message_box.h"
#include "support/qt/modal_script.h"
#include "app/dialogs/play_record_control.h"
#include "app/qt_test_app.h"
#include "app/dialogs/record_detail_dialog.h"
#include "app/dialogs/record_dialogs.h"
#include "platform/win32/clock.h"
#include "platform/winmm/file_endpoint.h"
#include "queue_pump.h"
#include "store/app_config.h"
#include "callflow/answer_machine.h"
#include "store/call_info.h"
#include "store/list.h"
#include "support/temp_dir.h"
#include "test_sound_files.h"

using apptest::PumpUntil;
using apptest::Ramp;
using namespace wavetest;

namespace {

class RecordDetailPlaying : public apptest::SoundDeviceTest {
protected:
    void SetUp() override {
        SoundDeviceTest::SetUp();
        m_cfg = std::make_unique<VM_CAppCfg>(m_home.path().c_str());
        m_cfg->m_idPlayDevice = static_cast<int>(winmm::AddFileWaveOut(m_home.file("speaker.wav"), apptest::kAllFormats));
        m_record.VM_SetAttr(VM_CCallInfo::kAttrName, "Ann Example");
        m_record.VM_SetAttr(VM_CCallInfo::kAttrNumber, "555-0100");
        m_record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, m_message.c_str());
    }
    std::string Heard() {
        VM_CWaveFile file(m_home.file("speaker.wav").c_str(), VM_WAVE_MODE_READ);
        return ReadAllData(file);
    }

    testsupport::TempDir m_home;
    std::string m_message = m_home.file("Msg0001.Wav");
    std::unique_ptr<VM_CAppCfg> m_cfg;
    VM_CCallInfo m_record;
};

// Plays the open dialog's message to its end; the highest slider position
// seen, or -1 when the dialog had no player or playing did not end.
int PlayToTheEnd(VM_CRecordDetailDialog* dialog) {
    VM_CMetaphor* player = dialog->VM_GetPlayer();
    if (player == nullptr) return -1;
    EXPECT_EQ(player->VM_GetEnabledGroups() & VM_CMetaphor::kGroupRecord, 0) << "a message is not recorded over";
    int highest = 0;
    QObject::connect(player->findChild<QSlider*>("slider"), &QSlider::valueChanged,
                     [&](int v) { highest = std::max(highest, v); });
    player->findChild<QToolButton*>("play")->click();
    // The progress ticks alone run until the whole message has been read,
    // so its end notice cannot overtake the slider.
    if (!PumpUntil([&] { return highest == VM_CMetaphor::kSliderMax; }, WM_TIMER, WM_TIMER)) return highest;
    return PumpUntil([&] { return !player->VM_IsActive(); }) ? highest : -1;
}

TEST_F(RecordDetailPlaying, AMessageOpenedFromTheCallLogPlaysToItsEndAndIsReadAfterwards) {
    const std::string data = Ramp(24000);
    WriteWave(m_message, Format(WAVE_FORMAT_PCM, 16), data);
    m_cfg->m_dwFlags |= VM_FLAG_MESSAGE_PAGE | VM_FLAG_START_IN_INBOX;
    QMainWindow frame;
    VM_CMediator mediator;
    VM_CMainViews views(*m_cfg, mediator, nullptr, nullptr);
    views.VM_GetHooks().openRecord = [&](VM_CCallInfo& record, bool play) {
        return VM_ShowRecordDetails(&frame, *m_cfg, record, play);
    };
    views.VM_Create(&frame);
    auto* call = new VM_CCallInfo;
    call->VM_SetAttr(VM_CCallInfo::kAttrName, "Ann Example");
    call->VM_SetAttr(VM_CCallInfo::kAttrNumber, "555-0100");
    call->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, m_message.c_str());
    LRESULT result = 0;
    ASSERT_TRUE(views.VM_OnMessage(nullptr, VM_MSG_NEW_CALL_RECORD, static_cast<WPARAM>(m_cfg->m_idInbox),
                                   reinterpret_cast<LPARAM>(call), result));
    int highest = -1;
    ModalScript script;
    script.On<VM_CRecordDetailDialog>([&](VM_CRecordDetailDialog* dialog) {
        EXPECT_FALSE(call->VM_IsRead()) << "read before it was heard";
        highest = PlayToTheEnd(dialog);
        dialog->reject();
    });
    views.VM_GetListView(VM_CMainViews::Page::kMessages)->VM_SelectOnly(0);
    EXPECT_EQ(mediator.VM_Execute(kCmdOpen, nullptr), 1);
    EXPECT_EQ(script.Pending(), 0u);
    EXPECT_EQ(highest, VM_CMetaphor::kSliderMax);
    EXPECT_EQ(Heard(), data);
    std::unique_ptr<char[]> listFile(m_cfg->VM_GetMessageListFileName(m_cfg->m_idInbox));
    VM_CCallInfo prototype;
    VM_CList stored(&prototype, listFile.get(), 0);
    ASSERT_EQ(stored.VM_GetCount(), 1);
    EXPECT_TRUE(static_cast<VM_CCallInfo*>(stored.VM_GetAt(0))->VM_IsRead());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(RecordDetailPlaying, AMissingRecordingIsSaidAloudNotPassedOverInSilence) {
    ModalScript script;
    script.On<VM_CRecordDetailDialog>([&](VM_CRecordDetailDialog* dialog) {
        VM_CMetaphor* player = dialog->VM_GetPlayer();
        ASSERT_NE(player, nullptr);
        // Nothing to play: the dialog and the buttons say so before anyone
        // presses them, and a press all the same is answered.
        EXPECT_EQ(dialog->VM_GetShownText(QStringLiteral("Size:")).toStdString(), "No recording");
        EXPECT_EQ(player->VM_GetEnabledGroups(), 0);
        EXPECT_FALSE(player->VM_Play());
        dialog->reject();
    });
    VM_ShowRecordDetails(nullptr, *m_cfg, m_record);
    EXPECT_EQ(m_messages, std::vector<std::string>{"There is no recording to play."});
}

TEST_F(RecordDetailPlaying, ClosingTheDialogWhilePlayingStopsTheSound) {
    WriteWave(m_message, Format(WAVE_FORMAT_PCM, 16), Ramp(8000 * 300));
    ModalScript script;
    script.On<VM_CRecordDetailDialog>([&](VM_CRecordDetailDialog* dialog) {
        VM_CMetaphor* player = dialog->VM_GetPlayer();
        ASSERT_TRUE(player->VM_Play());
        EXPECT_TRUE(PumpUntil([&] { return player->VM_GetSliderPos() > 0; }, WM_TIMER, WM_TIMER));
        dialog->reject();
        EXPECT_FALSE(player->VM_IsActive());
    });
    VM_ShowRecordDetails(nullptr, *m_cfg, m_record);
    EXPECT_EQ(script.Pending(), 0u);
    // Stopped well before five minutes of sound reached the speaker.
    EXPECT_LT(Heard().size(), Ramp(8000 * 300).size());
}

}  // namespace
