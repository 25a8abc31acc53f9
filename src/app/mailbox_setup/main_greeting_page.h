// The second page of the mailbox set-up: recording the main greeting into
// its work copy, and choosing between one mailbox and several.
#pragma once

#include <string>

#include "app/setup/setup_page.h"
#include "app/mailbox_setup/mailbox_setup_state.h"

class QCheckBox;
class QLabel;
class VM_CMetaphor;

class VM_CMainGreetingPage : public VM_CSetupPage {
    Q_OBJECT
public:
    VM_CMainGreetingPage(QWidget* parent, VM_SMailboxSetupState& state, const std::string& workCopy);

    VM_CMetaphor* VM_Control() const { return m_control; }
    QCheckBox* VM_MultipleBox() const { return m_multiple; }
    QLabel* VM_Explanation() const { return m_explanation; }

private:
    void VM_OnMultiple(bool ticked);
    void VM_ShowHelp();

    VM_SMailboxSetupState& m_state;
    VM_CMetaphor* m_control;
    QCheckBox* m_multiple;
    QLabel* m_explanation;
};
