#include "app/dialogs/record_detail_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/message_box.h"
#include "app/dialogs/play_record_control.h"
#include "app/dialogs/record_dialogs.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/phone_number.h"
#include "telephony/var_structs.h"

const char* const VM_RECORD_INVALID_TEXT =
    "Please make sure that both the name and the phone number fields are correctly entered.";

namespace {

std::string Trimmed(std::string text) {
    VM_TrimSpaces(text.data());
    return text.c_str();
}

QString Attr(const VM_CCallInfo& record, int index) {
    return QString::fromLocal8Bit(record.VM_GetAttrText(index).value_or("").c_str());
}

std::string Typed(const QLineEdit* edit) { return edit->text().toLocal8Bit().toStdString(); }

}  // namespace

std::optional<std::string> VM_CheckRecordDetails(const std::string& name, const std::string& number) {
    const bool numberOk = VM_IsValidPhone(number.c_str()) || VM_GetCallerIDClass(number.c_str()) != 0;
    if (VM_IsValidName(name.c_str()) && numberOk) return std::nullopt;
    return std::string(VM_RECORD_INVALID_TEXT);
}

VM_CRecordDetailDialog::VM_CRecordDetailDialog(VM_CAppCfg& cfg, VM_CCallInfo& record, QWidget* parent)
    : QDialog(parent), m_record(record) {
    setWindowTitle(QStringLiteral("Open"));
    setWindowIcon(VM_AppIcon());
    setMinimumWidth(420);
    const VM_SCallDetailTexts texts = VM_GetCallDetailTexts(record);

    m_name = new QLineEdit(Attr(record, VM_CCallInfo::kAttrName), this);
    m_number = new QLineEdit(Attr(record, VM_CCallInfo::kAttrNumber), this);
    auto* caller = new QFormLayout;
    caller->addRow(QStringLiteral("Name:"), m_name);
    caller->addRow(QStringLiteral("Phone Number:"), m_number);

    auto* facts = new QFormLayout;
    const std::pair<const char*, const std::string*> shown[] = {
        {"Called Time:", &texts.calledTime},   {"Mailbox #:", &texts.mailbox},
        {"Call Length:", &texts.callLength},   {"Call Blocked:", &texts.callBlocked},
        {"Size:", &texts.size},                {"Email Notified:", &texts.emailNotified},
    };
    for (const auto& [label, text] : shown) {
        auto* value = new QLabel(QString::fromLocal8Bit(text->c_str()), this);
        value->setObjectName(QString::fromLatin1(label));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        facts->addRow(QString::fromLatin1(label), value);
    }
    auto* factsBox = new QGroupBox(QStringLiteral("Call"), this);
    factsBox->setLayout(facts);

    m_notes = new QPlainTextEdit(Attr(record, VM_CCallInfo::kAttrNotes), this);
    m_notes->setTabChangesFocus(true);
    m_notes->setMinimumHeight(60);
    m_notes->setMaximumHeight(140);

    QDialogButtonBox* buttons = VM_MakeOkCancel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(caller);
    layout->addWidget(factsBox);
    VM_AddPlayer(cfg, layout);
    layout->addWidget(new QLabel(QStringLiteral("Notes:"), this));
    layout->addWidget(m_notes, 1);
    layout->addWidget(buttons);
}

VM_CRecordDetailDialog::~VM_CRecordDetailDialog() = default;

void VM_CRecordDetailDialog::VM_AddPlayer(VM_CAppCfg& cfg, QLayout* layout) {
    // A blocked caller left nothing worth playing, whatever file the call
    // may have.
    if (m_record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) return;
    m_player = new VM_CMetaphor(VM_CMetaphor::kStyleNoRecord | VM_CMetaphor::kStyleLeftToRight, this);
    m_player->VM_SetDevices(cfg.m_idPlayDevice, cfg.m_idRecordDevice);
    m_player->VM_AllowRecording(false);
    m_player->VM_SetFile(m_record.VM_GetWaveFileText().value_or(""));
    layout->addWidget(m_player);
}

QString VM_CRecordDetailDialog::VM_GetShownText(const QString& label) const {
    const QLabel* value = findChild<QLabel*>(label);
    return value != nullptr ? value->text() : QString();
}

void VM_CRecordDetailDialog::accept() {
    const std::string name = Typed(m_name), number = Typed(m_number);
    if (std::optional<std::string> problem = VM_CheckRecordDetails(name, number)) {
        VM_ShowMessage(this, QString::fromLocal8Bit(problem->c_str()));
        return;
    }
    m_record.VM_SetAttr(VM_CCallInfo::kAttrName, Trimmed(name).c_str());
    m_record.VM_SetAttr(VM_CCallInfo::kAttrNumber, Trimmed(number).c_str());
    m_record.VM_SetAttr(VM_CCallInfo::kAttrNotes, m_notes->toPlainText().toLocal8Bit().constData());
    QDialog::accept();
}

void VM_CRecordDetailDialog::done(int result) {
    // The recording must not go on playing behind a closed dialog.
    if (m_player != nullptr) m_player->VM_Stop();
    QDialog::done(result);
}

bool VM_ShowRecordDetails(QWidget* parent, VM_CAppCfg& cfg, VM_CCallInfo& record, bool play) {
    VM_CRecordDetailDialog dialog(cfg, record, parent);
    // From inside the dialog's loop, so a failure's message has a window.
    if (VM_CMetaphor* player = dialog.VM_GetPlayer(); play && player != nullptr)
        QTimer::singleShot(0, player, [player] { player->VM_Play(); });
    return dialog.exec() == QDialog::Accepted;
}
