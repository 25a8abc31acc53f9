// Entry operations of the remote-retrieval states (10 to 81) of the call
// flows: the password menu and entry, and announcing, playing and deleting
// the Inbox's messages. All of them run on the call's worker thread.
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "callflow/call_rtr_controller.h"
#include "callflow/callflow_messages.h"
#include "callflow/main_window.h"
#include "callflow/message_announcement.h"
#include "callflow/single_mailbox_ctrl.h"
#include "callflow/status_texts.h"
#include "platform/win32/win32.h"
#include "store/app_config.h"

namespace {

// Prompt numbers of remote retrieval.
constexpr int kPromptDefaultPassword = 1;
constexpr int kPromptWrongPassword = 2;
constexpr int kPromptPasswordReset = 4;
constexpr int kPromptCurrentPassword = 6;
constexpr int kPromptMessageMenu = 7;
constexpr int kPromptNoMessage = 8;
constexpr int kPromptDeleted = 9;
constexpr int kPromptNoSound = 13;
constexpr int kPromptRetrievalMenu = 16;

constexpr int kMaxDigits = 99;

// Key 1 takes the current message again, 2 the next older, 3 the next newer;
// pos follows what is found.
VM_CCallInfo* StepTo(VM_CCallRtrController& messages, std::int32_t& pos, int mailbox, char key,
                     VM_CCallInfo* current) {
    int at = pos;
    VM_CCallInfo* found = current;
    if (key == '2') found = messages.VM_FindNext(at, mailbox);
    if (key == '3') found = messages.VM_FindPrevious(at, mailbox);
    if (found != nullptr) pos = at;
    return found;
}

// After the message at pos was removed: the next older one, else the next
// newer one, else none.
VM_CCallInfo* AfterRemoval(VM_CCallRtrController& messages, std::int32_t& pos, int mailbox) {
    int at = pos;
    VM_CCallInfo* found = messages.VM_FindFirst(at, mailbox);
    if (found == nullptr) found = messages.VM_FindPrevious(at, mailbox);
    if (found != nullptr) pos = at;
    return found;
}

void Replace(char*& field, char* value) {
    delete[] field;
    field = value;
}

// The password entry that follows asks with the prompt and compares with a
// copy of the password taken now.
void ExpectPassword(const VM_CAppCfg& cfg, int prompt, const VM_CSharedText& password, char*& promptPath,
                    char*& expected) {
    Replace(promptPath, cfg.VM_GetPromptFileName(prompt));
    Replace(expected, password.VM_Copy());
}

}  // namespace

void VM_ReleaseCallRtrController(VM_CCallRtrController* controller) { delete controller; }

bool VM_CSingleMailboxCtrl::VM_OnRetrievalMenu() {
    if (VM_CountRetry()) return true;
    VM_FlushDigits();
    VM_PostStatus(VM_STATUS_RETRIEVAL);
    return VM_PlayPrompt(kPromptRetrievalMenu);
}

bool VM_CSingleMailboxCtrl::VM_OnDefaultPassword(int state) {
    if (m_pCfg == nullptr) return false;
    m_nReturnState = state;
    ExpectPassword(*m_pCfg, kPromptDefaultPassword, m_pCfg->m_szDefaultPassword, m_pszPasswordPrompt, m_pszPassword);
    return VM_PostToSelf(VM_MSG_CONTINUE);
}

bool VM_CSingleMailboxCtrl::VM_OnCurrentPassword(int state) {
    if (m_pCfg == nullptr) return false;
    m_nReturnState = state;
    ExpectPassword(*m_pCfg, kPromptCurrentPassword, m_pCfg->m_szPassword, m_pszPasswordPrompt, m_pszPassword);
    return VM_PostToSelf(VM_MSG_CONTINUE);
}

bool VM_CSingleMailboxCtrl::VM_OnPasswordReset() {
    if (m_pCfg == nullptr) return false;
    // In one step, so a settings dialog or a save meanwhile sees the old or
    // the new password whole; nothing changes without a default password.
    m_pCfg->VM_ResetPassword();
    VM_PlayPromptWait(kPromptPasswordReset);
    return VM_PostToSelf(VM_MSG_CONTINUE);
}

bool VM_CSingleMailboxCtrl::VM_OnRetrievalStart() {
    // The owner listening to messages is not a call to log.
    if (m_pLogFlag != nullptr) *m_pLogFlag = 0;
    m_nMailboxFilter = VM_MAILBOX_ANY;
    return VM_PostToSelf(VM_MSG_CONTINUE);
}

bool VM_CSingleMailboxCtrl::VM_OnOpenMessages() {
    auto* controller = new (std::nothrow) VM_CCallRtrController(m_pCfg);
    if (controller != nullptr && !controller->VM_IsReady()) {
        delete controller;
        controller = nullptr;
    }
    m_pCurMessage = nullptr;
    VM_ReleaseCallRtrController(m_pRtrController);
    m_pRtrController = controller;
    if (controller == nullptr) return false;
    m_nListPos = 0;
    m_pCurMessage = controller->VM_FindFirst(m_nListPos, m_nMailboxFilter);
    return VM_PostToSelf(VM_MSG_CONTINUE);
}

bool VM_CSingleMailboxCtrl::VM_OnPasswordEntry(int& state, DWORD /*event*/, WPARAM wParam) {
    switch (state) {
        case 40:
            if (VM_CountRetry()) return true;
            VM_FlushDigits();
            std::memset(m_szDigits, 0, sizeof m_szDigits);
            return m_pszPasswordPrompt == nullptr || VM_PlayFile(m_pszPasswordPrompt);
        case 41: {
            const size_t typed = std::strlen(m_szDigits);
            if (typed >= kMaxDigits) return VM_PostToSelf(VM_MSG_PASSWORD_BAD);
            m_szDigits[typed] = static_cast<char>(wParam);
            m_szDigits[typed + 1] = '\0';
            return VM_StartCallTimer(VM_CALL_TIMER_PROMPT_WAIT);
        }
        case 44:
            if (m_pszPassword != nullptr && m_szDigits[0] != '\0' && std::strcmp(m_szDigits, m_pszPassword) == 0) {
                state = m_nReturnState;
                return VM_PostToSelf(VM_MSG_PASSWORD_OK);
            }
            return VM_PostToSelf(VM_MSG_PASSWORD_BAD);
        case 43:
            VM_PlayPromptWait(kPromptWrongPassword);
            state = m_nReturnState;
            return VM_PostToSelf(VM_MSG_PASSWORD_BAD);
        default:
            return false;
    }
}

bool VM_CSingleMailboxCtrl::VM_OnMessagePlayback(int& state, DWORD /*event*/, WPARAM wParam) {
    switch (state) {
        case 60:
            if (VM_CountRetry()) return true;
            VM_FlushDigits();
            return VM_PlayPrompt(kPromptMessageMenu);
        case 61: {
            if (m_pRtrController == nullptr) return false;
            if (m_pCurMessage == nullptr) return VM_PostToSelf(VM_MSG_NO_MESSAGE);
            VM_CCallInfo* found = StepTo(*m_pRtrController, m_nListPos, m_nMailboxFilter,
                                         static_cast<char>(wParam), m_pCurMessage);
            if (found == nullptr) return VM_PostToSelf(VM_MSG_NO_MESSAGE);
            m_pCurMessage = found;
            const VM_SMessageTime time = VM_GetMessageTime(*found);
            m_nMonth = time.month;
            m_nDay = time.day;
            m_bAfternoon = time.afternoon ? 1 : 0;
            m_nHour = time.hour;
            m_nMinute = time.minute;
            return VM_PostToSelf(VM_MSG_MESSAGE_FOUND);
        }
        case 70: {
            std::optional<std::string> file = m_pCurMessage != nullptr && m_pRtrController != nullptr
                                                  ? m_pCurMessage->VM_GetWaveFileText()
                                                  : std::nullopt;
            // A recording that cannot be played is treated as missing rather
            // than hanging up on the caller.
            if (file && VM_PlayFile(file->c_str())) return true;
            return VM_PlayPrompt(kPromptNoSound);
        }
        case 80:
            VM_PlayPromptWait(kPromptNoMessage);
            return VM_PostToSelf(VM_MSG_CONTINUE);
        case 81: {
            if (m_pCurMessage == nullptr) return VM_PostToSelf(VM_MSG_NO_MESSAGE);
            if (m_pRtrController == nullptr || m_pCfg == nullptr) return false;
            PostMessageA(VM_GetMainWindow(), VM_MSG_REMOTE_DELETE, m_pCfg->m_idInbox,
                         static_cast<LPARAM>(m_pCurMessage->m_id));
            m_pRtrController->VM_Remove(m_nListPos);
            m_pCurMessage = AfterRemoval(*m_pRtrController, m_nListPos, m_nMailboxFilter);
            VM_PlayPromptWait(kPromptDeleted);
            return VM_PostToSelf(VM_MSG_CONTINUE);
        }
        default: break;
    }
    if (state < 62 || state > 69) return false;
    const VM_SMessageTime time{m_nMonth, m_nDay, m_bAfternoon != 0, m_nHour, m_nMinute};
    const int prompt = VM_GetAnnouncementPrompt(state, time);
    if (prompt == VM_ANNOUNCE_NOTHING) return VM_PostToSelf(VM_MSG_CONTINUE);
    return prompt >= 0 && VM_PlayPrompt(prompt);
}
