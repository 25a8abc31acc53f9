// The first page of the mailbox set-up: which sound cards play and record,
// and whether recorded greetings get the automatic level enhancement.
#pragma once

#include "app/setup/setup_page.h"
#include "app/mailbox_setup/mailbox_setup_state.h"

class QCheckBox;
class QComboBox;
class QGroupBox;

class VM_CSoundDevicePage : public VM_CSetupPage {
    Q_OBJECT
public:
    // Offers the sound cards of g_waveOutDevices and g_waveInDevices.
    VM_CSoundDevicePage(QWidget* parent, VM_SMailboxSetupState& state);

    QComboBox* VM_PlayList() const { return m_playList; }
    QComboBox* VM_RecordList() const { return m_recordList; }
    QGroupBox* VM_PlayGroup() const { return m_playGroup; }
    QGroupBox* VM_RecordGroup() const { return m_recordGroup; }
    QCheckBox* VM_EnhanceBox() const { return m_enhance; }

protected:
    void VM_OnLeave() override;

private:
    VM_SMailboxSetupState& m_state;
    QGroupBox* m_playGroup = nullptr;
    QGroupBox* m_recordGroup = nullptr;
    QComboBox* m_playList = nullptr;
    QComboBox* m_recordList = nullptr;
    QCheckBox* m_enhance = nullptr;
};
