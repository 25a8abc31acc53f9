#include "app/mailbox_setup/mailbox_greeting_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/mailbox_setup/greeting_work_copies.h"
#include "app/dialogs/play_record_control.h"

VM_CMailboxGreetingPage::VM_CMailboxGreetingPage(QWidget* parent, VM_SMailboxSetupState& state,
                                                 const VM_CGreetingWorkCopies& copies)
    : VM_CSetupPage(parent, QStringLiteral("Mailbox Greetings"), true), m_state(state), m_copies(copies) {
    setObjectName(QStringLiteral("mailboxGreetingPage"));
    setMinimumWidth(460);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(new QLabel(QStringLiteral("Enter the mailbox number (0-9):"), this));
    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("mailboxNumber"));
    m_number->setMaxLength(2);
    m_number->setMaximumWidth(m_number->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 16);
    numberRow->addWidget(m_number);
    numberRow->addStretch(1);

    m_group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(m_group);
    m_control = new VM_CMetaphor(VM_CMetaphor::kStyleLeftToRight, m_group);
    m_control->VM_SetDevices(state.playDevice, state.recordDevice);
    m_control->VM_SetEnhance(state.enhance);
    groupLayout->addWidget(m_control);

    VM_Body()->addLayout(numberRow);
    VM_Body()->addWidget(m_group);
    VM_SetNext(false);

    int first = 0;
    while (first < VM_CGreetingWorkCopies::kMailboxes && !copies.VM_Exists(first)) ++first;
    VM_ShowMailbox(first < VM_CGreetingWorkCopies::kMailboxes ? first : 0);
    m_number->setText(QString::number(m_state.mailbox));
    connect(m_number, &QLineEdit::textEdited, this, &VM_CMailboxGreetingPage::VM_OnNumberEdited);
}

void VM_CMailboxGreetingPage::VM_ShowMailbox(int mailbox) {
    m_state.mailbox = mailbox;
    m_group->setTitle(QStringLiteral(" Record greeting for mailbox: %1 ").arg(mailbox));
    // Binding stops what runs and enables play and stop only when the
    // mailbox has a greeting to play.
    m_control->VM_SetFile(m_copies.VM_GetPath(mailbox));
}

// Only a whole number 0 to 9 chooses a mailbox; anything else is ignored.
void VM_CMailboxGreetingPage::VM_OnNumberEdited(const QString& text) {
    bool ok = false;
    const int mailbox = text.trimmed().toInt(&ok);
    if (ok && mailbox >= 0 && mailbox < VM_CGreetingWorkCopies::kMailboxes && mailbox != m_state.mailbox)
        VM_ShowMailbox(mailbox);
}
