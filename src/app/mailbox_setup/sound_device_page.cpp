#include "app/mailbox_setup/sound_device_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/setup/setup_page.h"
#include "audio/wave_device.h"

namespace {

struct DeviceGroupTexts {
    const char* caption;
    const char* problemCaption;
    const char* prompt;
    const char* problem;
};

constexpr DeviceGroupTexts kPlayTexts{
    " Playing Device", " Playing Problem", "Play messages and greetings on:",
    "No sound card for playing was found on this computer. Install a sound card and its driver to listen "
    "to messages and greetings at the computer."};
constexpr DeviceGroupTexts kRecordTexts{
    " Recording Device", " Recording Problem", "Record greetings from:",
    "No sound card for recording was found on this computer. Install a sound card with a microphone input "
    "and its driver to record greetings."};

// A group holding the list of cards, or the explanation when there are none.
QGroupBox* MakeDeviceGroup(QWidget* parent, const DeviceGroupTexts& texts, const VM_SoundDevice* cards,
                           int count, int currentId, QComboBox*& list) {
    auto* group = new QGroupBox(parent);
    auto* layout = new QVBoxLayout(group);
    if (count <= 0) {
        group->setTitle(QString::fromLatin1(texts.problemCaption));
        VM_SetIndication(group, true);
        auto* why = new QLabel(QString::fromLatin1(texts.problem), group);
        why->setObjectName(QStringLiteral("problem"));
        why->setWordWrap(true);
        // Only the caption is red; the explanation keeps the desktop's colour.
        QPalette plain = why->palette();
        plain.setColor(QPalette::WindowText, parent->palette().color(QPalette::WindowText));
        why->setPalette(plain);
        layout->addWidget(why);
        list = nullptr;
        return group;
    }
    group->setTitle(QString::fromLatin1(texts.caption));
    layout->addWidget(new QLabel(QString::fromLatin1(texts.prompt), group));
    list = new QComboBox(group);
    list->addItem(QStringLiteral("Default Audio Device"), -1);
    int selected = 0;
    for (int i = 0; i < count; ++i) {
        list->addItem(QString::fromLocal8Bit(cards[i].szName), static_cast<int>(cards[i].dwDeviceId));
        if (static_cast<int>(cards[i].dwDeviceId) == currentId) selected = i + 1;
    }
    list->setCurrentIndex(selected);
    layout->addWidget(list);
    return group;
}

int ChosenId(const QComboBox* list, int current) {
    if (list == nullptr) return current;
    return list->currentIndex() <= 0 ? -1 : list->currentData().toInt();
}

}  // namespace

VM_CSoundDevicePage::VM_CSoundDevicePage(QWidget* parent, VM_SMailboxSetupState& state)
    : VM_CSetupPage(parent, QStringLiteral("Sound Devices"), false), m_state(state) {
    setObjectName(QStringLiteral("soundDevicePage"));
    setMinimumWidth(460);
    m_playGroup = MakeDeviceGroup(this, kPlayTexts, g_waveOutDevices, g_nWaveOutDevices, state.playDevice,
                                  m_playList);
    m_recordGroup = MakeDeviceGroup(this, kRecordTexts, g_waveInDevices, g_nWaveInDevices, state.recordDevice,
                                    m_recordList);
    m_enhance = new QCheckBox(QStringLiteral("Auto-enhance recording quality for greetings."), this);
    m_enhance->setChecked(state.enhance);
    VM_Body()->addWidget(m_playGroup);
    VM_Body()->addWidget(m_recordGroup);
    VM_Body()->addWidget(m_enhance);
    VM_SetNext(m_recordList != nullptr);
}

void VM_CSoundDevicePage::VM_OnLeave() {
    m_state.playDevice = ChosenId(m_playList, m_state.playDevice);
    m_state.recordDevice = ChosenId(m_recordList, m_state.recordDevice);
    m_state.enhance = m_enhance->isChecked();
}
