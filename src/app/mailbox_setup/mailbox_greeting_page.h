// The last page of the mailbox set-up with several mailboxes: recording the
// greeting of each mailbox, chosen by its number, into its work copy.
#pragma once

#include "app/setup/setup_page.h"
#include "app/mailbox_setup/mailbox_setup_state.h"

class QGroupBox;
class QLineEdit;
class VM_CGreetingWorkCopies;
class VM_CMetaphor;

class VM_CMailboxGreetingPage : public VM_CSetupPage {
    Q_OBJECT
public:
    // Shows the first mailbox whose greeting exists (mailbox 0 when none).
    VM_CMailboxGreetingPage(QWidget* parent, VM_SMailboxSetupState& state, const VM_CGreetingWorkCopies& copies);

    VM_CMetaphor* VM_Control() const { return m_control; }
    QLineEdit* VM_NumberField() const { return m_number; }
    QGroupBox* VM_Group() const { return m_group; }

private:
    void VM_ShowMailbox(int mailbox);
    void VM_OnNumberEdited(const QString& text);

    VM_SMailboxSetupState& m_state;
    const VM_CGreetingWorkCopies& m_copies;
    QLineEdit* m_number;
    QGroupBox* m_group;
    VM_CMetaphor* m_control;
};
