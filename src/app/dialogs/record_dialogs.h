// The dialogs the main window's commands open on stored entries, and the
// small ones of the Help menu. Each returns when the user closes it.
#pragma once

#include <cstdint>
#include <memory>

#include "callflow/caller_id_window.h"

class QWidget;
class VM_CAddrEntry;
class VM_CAppCfg;
class VM_CCallInfo;
class VM_CTree;

// The record detail dialog of a call ("Open" on a message), with its
// player, playing the message as it opens when play is set; true on OK, the
// name, number and notes then changed in record.
bool VM_ShowRecordDetails(QWidget* parent, VM_CAppCfg& cfg, VM_CCallInfo& record, bool play = false);
// The address-book entry dialog titled "New" or "Open" for an entry of
// folderId in the address tree; true on OK, entry then holding the edits.
bool VM_EditAddressEntry(QWidget* parent, VM_CAppCfg& cfg, VM_CTree& addressTree, int32_t folderId,
                         VM_CAddrEntry& entry, const char* title);
// "Setup Preferences": true on OK, the configuration then saved and the
// autostart entry written or removed.
bool VM_ShowPreferences(QWidget* parent, VM_CAppCfg& cfg);
void VM_ShowAbout(QWidget* parent);
void VM_ShowTips(QWidget* parent, VM_CAppCfg& cfg);
// Opens the manual with the desktop's handler, or says why it cannot.
void VM_OpenHelp(QWidget* parent, VM_CAppCfg& cfg);

// The caller-ID window on screen, for the answer machine's maker.
std::unique_ptr<VM_CCallerIDDlg> VM_MakeCallerIDWindow(HWND parent, VM_CAnswerMachine* owner, QWidget* parentWidget);
