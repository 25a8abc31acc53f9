#include "app/dialogs/preferences_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/dialog_buttons.h"
#include "app/frame/autostart.h"
#include "app/dialogs/message_box.h"
#include "app/dialogs/record_dialogs.h"
#include "store/app_config.h"

const char* const VM_PREFERENCES_NOT_SAVED_TEXT =
    "Your preferences could not be saved. Please make sure the disk is not full and that the Config folder "
    "can be written.";
const char* const VM_AUTOSTART_NOT_WRITTEN_TEXT =
    "Vocerra could not change whether it starts when you log in. Please make sure your autostart folder "
    "can be written.";

namespace {

constexpr const char* kAlertChoices[] = {
    "No alert sound",
    "Play an alert sound for every new call",
    "Play an alert sound only for calls that left a message",
};
constexpr int kAlertChoiceCount = 3;

}  // namespace

VM_CPreferencesDialog::VM_CPreferencesDialog(VM_CAppCfg& cfg, QWidget* parent) : QDialog(parent), m_cfg(cfg) {
    setWindowTitle(QStringLiteral("Setup Preferences"));
    setWindowIcon(VM_AppIcon());

    auto* start = new QGroupBox(QStringLiteral("Start and exit"), this);
    m_inbox = new QCheckBox(QStringLiteral("Go to the Inbox at start-up"), start);
    m_emptyDeleted = new QCheckBox(QStringLiteral("Empty \"Deleted Messages\" on exit"), start);
    m_autostart = new QCheckBox(QStringLiteral("Start Vocerra when I log in"), start);
    auto* startLayout = new QVBoxLayout(start);
    for (QCheckBox* box : {m_inbox, m_emptyDeleted, m_autostart}) startLayout->addWidget(box);

    auto* alert = new QGroupBox(QStringLiteral("When a new call arrives"), this);
    auto* alertLayout = new QVBoxLayout(alert);
    m_alert = new QButtonGroup(alert);
    for (int mode = 0; mode < kAlertChoiceCount; ++mode) {
        auto* choice = new QRadioButton(QString::fromLatin1(kAlertChoices[mode]), alert);
        m_alert->addButton(choice, mode);
        alertLayout->addWidget(choice);
    }
    auto* notification = new QLabel(QStringLiteral("The desktop notification follows the same choice."), alert);
    notification->setWordWrap(true);
    alertLayout->addWidget(notification);

    QDialogButtonBox* buttons = VM_MakeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(start);
    layout->addWidget(alert);
    layout->addWidget(buttons);

    VM_SPreferences shown;
    shown.startInInbox = cfg.VM_IsFlag(VM_FLAG_START_IN_INBOX);
    shown.emptyDeletedOnExit = cfg.VM_IsFlag(VM_FLAG_EMPTY_DELETED);
    shown.alertMode = cfg.m_nAlertMode;
    shown.autostart = VM_IsAutostartEnabled();
    VM_Fill(shown);
}

void VM_CPreferencesDialog::VM_Fill(const VM_SPreferences& preferences) {
    m_inbox->setChecked(preferences.startInInbox);
    m_emptyDeleted->setChecked(preferences.emptyDeletedOnExit);
    m_autostart->setChecked(preferences.autostart);
    // A stored setting outside the three choices shows (and keeps) none
    // of them until the user picks one.
    QAbstractButton* alert = m_alert->button(preferences.alertMode);
    m_alert->setExclusive(false);
    for (QAbstractButton* button : m_alert->buttons()) button->setChecked(button == alert);
    m_alert->setExclusive(true);
    m_stored = preferences.alertMode;
}

VM_SPreferences VM_CPreferencesDialog::VM_Read() const {
    VM_SPreferences preferences;
    preferences.startInInbox = m_inbox->isChecked();
    preferences.emptyDeletedOnExit = m_emptyDeleted->isChecked();
    preferences.autostart = m_autostart->isChecked();
    const int alert = m_alert->checkedId();
    preferences.alertMode = alert >= 0 ? static_cast<std::uint8_t>(alert) : m_stored;
    return preferences;
}

void VM_CPreferencesDialog::accept() {
    const VM_SPreferences chosen = VM_Read();
    m_cfg.VM_SetFlag(chosen.startInInbox, VM_FLAG_START_IN_INBOX);
    m_cfg.VM_SetFlag(chosen.emptyDeletedOnExit, VM_FLAG_EMPTY_DELETED);
    m_cfg.m_nAlertMode = chosen.alertMode;
    if (!m_cfg.VM_Save()) VM_ShowMessage(this, QString::fromLatin1(VM_PREFERENCES_NOT_SAVED_TEXT));
    if (!VM_SetAutostart(chosen.autostart)) VM_ShowMessage(this, QString::fromLatin1(VM_AUTOSTART_NOT_WRITTEN_TEXT));
    QDialog::accept();
}

bool VM_ShowPreferences(QWidget* parent, VM_CAppCfg& cfg) {
    VM_CPreferencesDialog dialog(cfg, parent);
    return dialog.exec() == QDialog::Accepted;
}
