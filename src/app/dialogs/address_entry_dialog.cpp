#include "app/dialogs/address_entry_dialog.h"

#include <memory>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/message_box.h"
#include "app/dialogs/play_record_control.h"
#include "app/dialogs/record_dialogs.h"
#include "platform/win32/files.h"
#include "store/app_config.h"
#include "store/tree.h"
#include "telephony/caller_id.h"

const char* const VM_ENTRY_GREETING_NOT_SAVED_TEXT =
    "The recording could not be saved in the Greeting folder. Please make sure the disk is not full "
    "and try again.";

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }
std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

QLineEdit* NumberEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setPlaceholderText(QStringLiteral("e.g. 555-0100"));
    return edit;
}

}  // namespace

VM_CAddressEntryDialog::VM_CAddressEntryDialog(VM_CAppCfg& cfg, const VM_CTree& addressTree, int32_t folderId,
                                               VM_CAddrEntry& entry, const QString& title, QWidget* parent)
    : QDialog(parent), m_cfg(cfg), m_entry(entry), m_folderId(folderId) {
    setWindowTitle(title);
    setWindowIcon(VM_AppIcon());

    m_notes = new QPlainTextEdit(this);
    m_notes->setTabChangesFocus(true);
    m_notes->setMaximumHeight(90);
    m_validating = new QLabel(QString::fromLatin1(VM_ENTRY_VALIDATING_TEXT), this);
    m_validating->setVisible(false);
    QDialogButtonBox* buttons = VM_MakeOkCancel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(VM_BuildCaller(addressTree));
    layout->addWidget(VM_BuildHandling());
    layout->addWidget(new QLabel(QString::fromLatin1(VM_ENTRY_FIELD_LABELS[0].label), this));
    layout->addWidget(m_notes);
    layout->addWidget(m_validating);
    layout->addWidget(buttons);

    VM_PrepareRecording();
    VM_FillForm(VM_FormFromEntry(entry));
}

VM_CAddressEntryDialog::~VM_CAddressEntryDialog() {
    if (m_player != nullptr) m_player->VM_Stop();
    // Whatever was recorded and not stored goes with the dialog.
    if (!m_recording.empty()) DeleteFileA(m_recording.c_str());
}

QWidget* VM_CAddressEntryDialog::VM_BuildCaller(const VM_CTree& tree) {
    auto* box = new QGroupBox(QStringLiteral("Caller"), this);
    m_name = new QLineEdit(box);
    m_office = NumberEdit(box);
    m_home = NumberEdit(box);
    m_cellular = NumberEdit(box);
    auto* form = new QFormLayout;
    // The labels' texts come with the data side, in notes, name, office,
    // home, cellular order.
    QLineEdit* edits[] = {m_name, m_office, m_home, m_cellular};
    for (int i = 0; i < 4; ++i) form->addRow(QString::fromLatin1(VM_ENTRY_FIELD_LABELS[i + 1].label), edits[i]);

    m_useWord = new QCheckBox(QString::fromLatin1(VM_ENTRY_SPECIAL_WORD_PREFIX).trimmed(), box);
    m_word = new QComboBox(box);
    for (int word = 1; word <= kCallerIDClassCount; ++word)
        m_word->addItem(QString::fromLatin1(VM_GetCallerIDText(word)), word);
    auto* wordRow = new QHBoxLayout;
    wordRow->addWidget(m_useWord);
    wordRow->addWidget(m_word);
    wordRow->addWidget(new QLabel(QString::fromLatin1(VM_ENTRY_SPECIAL_WORD_SUFFIX), box));
    wordRow->addStretch();
    connect(m_useWord, &QCheckBox::toggled, this, &VM_CAddressEntryDialog::VM_UpdateEnabled);

    auto* layout = new QVBoxLayout(box);
    if (const VM_CNode* folder = tree.VM_Find(m_folderId); folder != nullptr && !folder->m_szName.empty()) {
        auto* where = new QLabel(QStringLiteral("Folder: %1").arg(Local(folder->m_szName)), box);
        where->setEnabled(false);
        layout->addWidget(where);
    }
    layout->addLayout(form);
    layout->addLayout(wordRow);
    return box;
}

QWidget* VM_CAddressEntryDialog::VM_BuildHandling() {
    auto* box = new QGroupBox(QStringLiteral("When this person calls"), this);
    auto* layout = new QVBoxLayout(box);
    m_handling = new QButtonGroup(box);
    for (const VM_SCallHandlingChoice& choice : VM_CALL_HANDLING_CHOICES) {
        auto* button = new QRadioButton(QString::fromLatin1(choice.text).trimmed(), box);
        m_handling->addButton(button, static_cast<int>(choice.blockValue));
        layout->addWidget(button);
    }
    m_player = new VM_CMetaphor(VM_CMetaphor::kStyleLeftToRight, box);
    m_player->VM_SetDevices(m_cfg.m_idPlayDevice, m_cfg.m_idRecordDevice);
    m_player->VM_SetEnhance(m_cfg.VM_IsFlag(VM_FLAG_ENHANCE_GREETINGS));
    m_player->VM_SetStartedCommands(nullptr, [this] { m_bRecorded = true; });
    auto* playerRow = new QHBoxLayout;
    playerRow->addSpacing(24);
    playerRow->addWidget(m_player, 1);
    layout->addLayout(playerRow);
    m_notify = new QCheckBox(QString::fromLatin1(VM_ENTRY_NOTIFY_TEXT), box);
    m_bulk = new QCheckBox(QString::fromLatin1(VM_ENTRY_BULK_CALL_TEXT), box);
    // Without e-mail notices set up the choice means nothing; the entry's
    // bit is then kept as it is.
    m_notify->setEnabled(m_cfg.m_nNotifyMode != 0);
    layout->addWidget(m_notify);
    layout->addWidget(m_bulk);
    connect(m_handling, &QButtonGroup::idToggled, this, &VM_CAddressEntryDialog::VM_UpdateEnabled);
    return box;
}

// The control works on a temporary copy of the greeting: playing plays the
// entry's greeting, and recording replaces only the copy.
void VM_CAddressEntryDialog::VM_PrepareRecording() {
    std::unique_ptr<char[]> temp(m_cfg.VM_GetTempFileName());
    if (!temp) {
        m_player->VM_AllowRecording(false);
        m_player->VM_SetFile(m_entry.VM_GetGreetingFileText().value_or(""));
        return;
    }
    m_recording = temp.get();
    if (std::optional<std::string> greeting = m_entry.VM_GetGreetingFileText())
        CopyFileA(greeting->c_str(), m_recording.c_str(), FALSE);
    m_player->VM_SetFile(m_recording);
}

void VM_CAddressEntryDialog::VM_UpdateEnabled() {
    // The caller-ID word stands for the name as well as the numbers.
    const bool typed = !m_useWord->isChecked();
    for (QLineEdit* edit : {m_name, m_office, m_home, m_cellular}) edit->setEnabled(typed);
    m_word->setEnabled(!typed);
    // Hanging up or the tone plays nothing of the entry's own.
    const int handling = m_handling->checkedId();
    m_player->setEnabled(handling == 0 || handling == static_cast<int>(VM_CAddrEntry::kFlagBlockAnnounce));
}

void VM_CAddressEntryDialog::VM_FillForm(const VM_SAddrEntryForm& form) {
    m_name->setText(Local(form.name));
    m_office->setText(Local(form.office));
    m_home->setText(Local(form.home));
    m_cellular->setText(Local(form.cellular));
    m_notes->setPlainText(Local(form.notes));
    m_useWord->setChecked(form.useSpecialWord);
    const int word = m_word->findData(form.specialWord);
    m_word->setCurrentIndex(word >= 0 ? word : m_word->findData(3));
    QAbstractButton* handling = m_handling->button(static_cast<int>(form.blockValue));
    (handling != nullptr ? handling : m_handling->button(0))->setChecked(true);
    m_notify->setChecked(form.notify);
    m_bulk->setChecked(form.bulkCall);
    VM_UpdateEnabled();
}

VM_SAddrEntryForm VM_CAddressEntryDialog::VM_ReadForm() const {
    VM_SAddrEntryForm form;
    form.name = Local(m_name->text());
    form.office = Local(m_office->text());
    form.home = Local(m_home->text());
    form.cellular = Local(m_cellular->text());
    form.notes = Local(m_notes->toPlainText());
    form.useSpecialWord = m_useWord->isChecked();
    form.specialWord = m_word->currentData().toInt();
    form.blockValue = static_cast<DWORD>(std::max(0, m_handling->checkedId()));
    form.notify = m_notify->isChecked();
    form.bulkCall = m_bulk->isChecked();
    if (m_bRecorded) form.recordedFile = m_recording;
    return form;
}

std::optional<std::string> VM_CAddressEntryDialog::VM_FindDuplicate(const VM_SAddrEntryForm& form) {
    m_validating->setVisible(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Reading every address list takes a moment: let the text be painted.
    m_validating->repaint();
    std::optional<int32_t> folder, id;
    if (m_entry.m_id != 0) {
        folder = m_folderId;
        id = m_entry.m_id;
    }
    std::optional<std::string> duplicate = VM_CheckDuplicateEntry(&m_cfg, form, folder, id);
    QApplication::restoreOverrideCursor();
    m_validating->setVisible(false);
    return duplicate;
}

void VM_CAddressEntryDialog::accept() {
    // A recording still running must reach its file before it is judged.
    m_player->VM_Stop();
    const VM_SAddrEntryForm form = VM_ReadForm();
    std::optional<std::string> problem = VM_CheckEntryForm(form, m_entry.VM_GetGreetingFileText().has_value());
    if (!problem) problem = VM_FindDuplicate(form);
    if (problem) {
        VM_ShowMessage(this, Local(*problem));
        return;
    }
    if (!VM_StoreEntryForm(m_entry, form, m_cfg)) {
        VM_ShowMessage(this, QString::fromLatin1(VM_ENTRY_GREETING_NOT_SAVED_TEXT));
        return;
    }
    // The store deleted the temporary recording it used.
    if (m_bRecorded) m_recording.clear();
    QDialog::accept();
}

void VM_CAddressEntryDialog::done(int result) {
    m_player->VM_Stop();
    QDialog::done(result);
}

bool VM_EditAddressEntry(QWidget* parent, VM_CAppCfg& cfg, VM_CTree& addressTree, int32_t folderId,
                         VM_CAddrEntry& entry, const char* title) {
    VM_CAddressEntryDialog dialog(cfg, addressTree, folderId, entry,
                                  QString::fromLatin1(title != nullptr ? title : "Open"), parent);
    return dialog.exec() == QDialog::Accepted;
}
