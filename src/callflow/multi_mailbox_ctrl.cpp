#include "callflow/multi_mailbox_ctrl.h"

#include "callflow/callflow_messages.h"
#include "callflow/flow_table.h"
#include "callflow/status_texts.h"
#include "platform/win32/files.h"
#include "store/app_config.h"
#include "store/call_info.h"

namespace {

bool IsMailboxDigit(int digit) { return digit >= 0 && digit <= 9; }

// The digit a digit event carried (states 3 and 33 are entered only by one).
int DigitValue(WPARAM param) { return static_cast<int>(param) - '0'; }

}  // namespace

VM_CMultiMailboxCtrl::VM_CMultiMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook)
    : VM_CSingleMailboxCtrl(cfg, addressBook, g_multiMailboxTable.data(), VM_MULTI_MAILBOX_STATES) {}

VM_CMultiMailboxCtrl::~VM_CMultiMailboxCtrl() {
    // This object's operations must not be running on the worker any more.
    VM_CMultiMailboxCtrl::VM_Stop();
}

bool VM_CMultiMailboxCtrl::VM_TestCondition(WORD guard) {
    switch (guard) {
    case VM_GUARD_RETRIEVAL_NOT_BLOCKED:
    case VM_GUARD_RETRIEVAL: return VM_IsRetrievalEnabled();
    case VM_GUARD_NOT_BLOCKED: return !VM_IsCallerBlocked();
    case VM_GUARD_RETRIEVAL_AND_NOT_BLOCKED: return VM_IsRetrievalEnabled() && !VM_IsCallerBlocked();
    default: return true;
    }
}

bool VM_CMultiMailboxCtrl::VM_OnEnterState(int& state, DWORD event, WPARAM param) {
    switch (state) {
    case 3: return VM_OnMailboxDigit(DigitValue(param));
    case 4: return VM_OnMailboxGreeting();
    case 5: return VM_OnMailboxPrompt();
    case 33: return VM_OnRetrievalMailbox(DigitValue(param));
    case 60: return VM_OnMailboxMenu();
    default: return VM_CSingleMailboxCtrl::VM_OnEnterState(state, event, param);
    }
}

DWORD VM_CMultiMailboxCtrl::VM_GetMessageEvent(UINT message, WPARAM wParam) {
    if (message == VM_MSG_MAILBOX_CHOSEN && wParam == reinterpret_cast<WPARAM>(this)) return EV_MAILBOX_CHOSEN;
    return VM_CSingleMailboxCtrl::VM_GetMessageEvent(message, wParam);
}

bool VM_CMultiMailboxCtrl::VM_OnMainGreeting() {
    VM_FlushDigits();
    if (VM_IsCallerBlocked()) {
        VM_PostToSelf(VM_MSG_CONTINUE);
        return true;
    }
    if (VM_CountRetry()) return true;
    // The mailbox digit is needed whether or not retrieval is enabled.
    VM_EnableDigits();
    VM_PostStatus(VM_STATUS_MAIN_GREETING);
    return VM_PlayGreeting();
}

bool VM_CMultiMailboxCtrl::VM_OnMailboxPrompt() {
    VM_FlushDigits();
    return VM_PlayPrompt(VM_PROMPT_MAILBOX_NUMBER);
}

bool VM_CMultiMailboxCtrl::VM_OnMailboxDigit(int digit) {
    if (IsMailboxDigit(digit) && m_pCfg != nullptr) {
        char* path = m_pCfg->VM_GetMailboxGreetingFileName(digit);
        const bool exists = path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
        delete[] path;
        if (exists) {
            m_nMailboxFilter = digit;
            VM_PostToSelf(VM_MSG_MAILBOX_CHOSEN);
            return true;
        }
    }
    return VM_PlayPrompt(VM_PROMPT_INVALID_MAILBOX);
}

bool VM_CMultiMailboxCtrl::VM_OnMailboxGreeting() {
    if (m_pCallInfo != nullptr) m_pCallInfo->VM_SetMailbox(m_nMailboxFilter);
    if (m_pCfg == nullptr) return false;
    char* path = m_pCfg->VM_GetMailboxGreetingFileName(m_nMailboxFilter);
    const bool played = VM_PlayFile(path);
    delete[] path;
    return played;
}

bool VM_CMultiMailboxCtrl::VM_OnRecordingTone() {
    if (!VM_IsRetrievalEnabled()) {
        // Monitoring was on only for the mailbox digit.
        VM_DisableDigits();
        VM_FlushDigits();
    }
    return VM_CSingleMailboxCtrl::VM_OnRecordingTone();
}

bool VM_CMultiMailboxCtrl::VM_OnRetrievalStart() {
    if (VM_CountRetry()) return true;
    VM_FlushDigits();
    m_nMailboxFilter = -1;
    // The owner's call is not entered in the call log.
    if (m_pLogFlag != nullptr) *m_pLogFlag = 0;
    return VM_PlayPrompt(VM_PROMPT_WHICH_MAILBOX);
}

bool VM_CMultiMailboxCtrl::VM_OnRetrievalMailbox(int digit) {
    if (!IsMailboxDigit(digit)) return VM_PlayPrompt(VM_PROMPT_INVALID_MAILBOX);
    m_nMailboxFilter = digit;
    VM_PostToSelf(VM_MSG_MAILBOX_CHOSEN);
    return true;
}

bool VM_CMultiMailboxCtrl::VM_OnMailboxMenu() {
    if (VM_CountRetry()) return true;
    VM_FlushDigits();
    return VM_PlayPrompt(VM_PROMPT_MAILBOX_MENU);
}
