#include "app/mailbox_setup/main_greeting_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/dialogs/play_record_control.h"

namespace {

constexpr const char* kRecordHint =
    "Press the record button and speak your greeting; press stop when you have finished. Play it back to "
    "hear how callers will hear it.";
constexpr const char* kMoreHelp =
    "With one mailbox, every caller hears the main greeting and leaves a message after it.\n\n"
    "With multiple mail boxes, the main greeting should tell callers which digit to press for whom "
    "(for example \"press 1 for Anna, 2 for Ben\"). Vocerra waits for that digit, plays the greeting of "
    "that mailbox and files the message under its number. Record a greeting for each mailbox you use on "
    "the next page.";

}  // namespace

VM_CMainGreetingPage::VM_CMainGreetingPage(QWidget* parent, VM_SMailboxSetupState& state,
                                           const std::string& workCopy)
    : VM_CSetupPage(parent, QStringLiteral("Main Greeting"), true), m_state(state) {
    setObjectName(QStringLiteral("mainGreetingPage"));
    setMinimumWidth(460);
    auto* recordGroup = new QGroupBox(QStringLiteral(" Record Main Greeting "), this);
    auto* recordLayout = new QVBoxLayout(recordGroup);
    auto* hint = new QLabel(QString::fromLatin1(kRecordHint), recordGroup);
    hint->setWordWrap(true);
    recordLayout->addWidget(hint);
    m_control = new VM_CMetaphor(VM_CMetaphor::kStyleLeftToRight, recordGroup);
    m_control->VM_SetDevices(state.playDevice, state.recordDevice);
    m_control->VM_SetEnhance(state.enhance);
    m_control->VM_SetFile(workCopy);
    recordLayout->addWidget(m_control);

    auto* mailboxGroup = new QGroupBox(QStringLiteral(" Mailbox Activation "), this);
    auto* mailboxLayout = new QVBoxLayout(mailboxGroup);
    m_multiple = new QCheckBox(QStringLiteral("Activate multiple mail boxes."), mailboxGroup);
    m_explanation = new QLabel(QStringLiteral("Vocerra will now wait for the caller to enter a digit (mailbox "
                                              "number) before he/she can leave a voice message. "),
                               mailboxGroup);
    m_explanation->setWordWrap(true);
    auto* help = new QLabel(QStringLiteral("<a href=\"help\">More Help...</a>"), mailboxGroup);
    help->setObjectName(QStringLiteral("moreHelp"));
    mailboxLayout->addWidget(m_multiple);
    mailboxLayout->addWidget(m_explanation);
    mailboxLayout->addWidget(help);

    VM_Body()->addWidget(recordGroup);
    VM_Body()->addWidget(mailboxGroup);
    connect(m_multiple, &QCheckBox::toggled, this, &VM_CMainGreetingPage::VM_OnMultiple);
    connect(help, &QLabel::linkActivated, this, &VM_CMainGreetingPage::VM_ShowHelp);
    m_multiple->setChecked(state.multiple);
    VM_OnMultiple(state.multiple);
}

// The choice is kept at once, so it survives "<< Back" as well as "Next >>".
void VM_CMainGreetingPage::VM_OnMultiple(bool ticked) {
    m_state.multiple = ticked;
    m_explanation->setVisible(ticked);
    VM_SetNext(ticked);
    adjustSize();
}

void VM_CMainGreetingPage::VM_ShowHelp() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Multiple Mail Boxes"), QString::fromLatin1(kMoreHelp),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("mailboxHelp"));
    box.exec();
}
