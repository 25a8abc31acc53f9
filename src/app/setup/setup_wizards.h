// The set-up chains of the main window's commands. Each commits only on OK
// on its last page; Cancel anywhere leaves the configuration, the devices
// and the greeting files as they were. True when committed; the caller
// then refreshes its views.
#pragma once

#include <functional>

class QWidget;
class VM_CAnswerMachine;
class VM_CAppCfg;

// The modem page, then the call-handling page. A changed line or modem
// fix is handed to machine (VM_OnConfigChanged) when there is one.
bool VM_RunModemSetup(QWidget* parent, VM_CAppCfg& cfg, VM_CAnswerMachine* machine);
// The sound-device page, the main-greeting page and, with several
// mailboxes, the mailbox-greeting page. On OK, before the configuration is
// saved: applied(mailboxChoiceChanged) gives the main window's play/record
// control the new devices and, when the choice changed, refreshes the views;
// machine (may be null) is told of a changed mailbox choice.
bool VM_RunMailboxSetup(QWidget* parent, VM_CAppCfg& cfg, VM_CAnswerMachine* machine = nullptr,
                        const std::function<void(bool mailboxChoiceChanged)>& applied = {});
// "Setup Remote Retrieval & Email Notification", then "Setup Email".
bool VM_RunRemoteEmailSetup(QWidget* parent, VM_CAppCfg& cfg);
