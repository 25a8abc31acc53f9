#include "callflow/single_mailbox_ctrl.h"

#include <filesystem>
#include <memory>

#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "callflow/callflow_messages.h"
#include "callflow/flow_table.h"
#include "callflow/main_window.h"
#include "callflow/status_texts.h"
#include "diag/trace.h"
#include "platform/win32/files.h"
#include "platform/win32/messages.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/call_journal.h"

namespace {

// The action a table gives the start of a run is taken as this one.
constexpr DWORD kStartActions = ACT_SET_MODE | ACT_RESET_RETRIES;
constexpr int kRetryLimit = 3;

}  // namespace

VM_CSingleMailboxCtrl::VM_CSingleMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook)
    : VM_CSingleMailboxCtrl(cfg, addressBook, g_singleMailboxTable.data(), VM_SINGLE_MAILBOX_STATES) {}

VM_CSingleMailboxCtrl::VM_CSingleMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook,
                                             const std::int32_t* table, int nStates)
    : VM_CMailboxController(cfg, addressBook, table, nStates) {
    m_pCallTimer = new VM_CTimer(this);
}

VM_CSingleMailboxCtrl::~VM_CSingleMailboxCtrl() {
    // The worker calls this object's operations and uses its call timer:
    // it must be gone before any of that is.
    VM_CSingleMailboxCtrl::VM_Stop();
    delete m_pCallTimer;
    m_pCallTimer = nullptr;
    delete[] m_pszPassword;
    delete[] m_pszPasswordPrompt;
}

bool VM_CSingleMailboxCtrl::VM_Start(VM_CCall* call, VM_CCallInfo* callInfo, VM_ICallStatus* status,
                                     std::int32_t* logFlag) {
    m_pCallTimer->VM_Stop();
    return VM_CMailboxController::VM_Start(call, callInfo, status, logFlag);
}

bool VM_CSingleMailboxCtrl::VM_Stop() {
    const bool stopped = VM_CMailboxController::VM_Stop();
    if (stopped) m_pCallTimer->VM_Stop();
    return stopped;
}

bool VM_CSingleMailboxCtrl::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT& result) {
    if (VM_CMailboxController::VM_OnMessage(window, message, wParam, lParam, result)) return true;
    return message == WM_TIMER && m_pCallTimer->VM_OnMessage(window, message, wParam, lParam, result);
}

int VM_CSingleMailboxCtrl::VM_TimerCallback(VM_CTimer* timer) {
    if (timer == m_pCountDownTimer) return VM_CMailboxController::VM_TimerCallback(timer);
    if (timer != m_pCallTimer || !m_pCallTimer->VM_IsRunning()) return 0;
    if (m_idThread != 0)
        PostThreadMessageA(m_idThread, VM_MSG_TIMEOUT, reinterpret_cast<WPARAM>(this), 0);
    return 1;
}

bool VM_CSingleMailboxCtrl::VM_IsRetrievalEnabled() const {
    return m_pCfg != nullptr && (m_pCfg->m_dwFlags & VM_FLAG_REMOTE_RETRIEVAL) != 0;
}

bool VM_CSingleMailboxCtrl::VM_TestCondition(WORD guard) {
    if (guard == VM_GUARD_RETRIEVAL_NOT_BLOCKED) return VM_IsRetrievalEnabled() && !VM_IsCallerBlocked();
    return true;
}

bool VM_CSingleMailboxCtrl::VM_DoAction(DWORD action) {
    if ((action & SM_START_ACTION) != 0) action = kStartActions;
    bool ok = true;
    if ((action & ACT_PRESCREEN_START) != 0) ok = VM_StartPreScreen() && ok;
    if ((action & ACT_PRESCREEN_STOP) != 0) ok = VM_StopPreScreen() && ok;
    if ((action & ACT_STOP_PLAYING) != 0) ok = VM_StopPlaying() && ok;
    if ((action & ACT_STOP_RECORDING) != 0) ok = VM_StopRecording() && ok;
    if ((action & ACT_DELETE_MESSAGE) != 0) ok = VM_DeleteMessage() && ok;
    if ((action & ACT_START_TIMER) != 0) ok = VM_StartCallTimer(VM_CALL_TIMER_PROMPT_WAIT) && ok;
    if ((action & ACT_STOP_TIMER) != 0) ok = VM_StopCallTimer() && ok;
    if ((action & ACT_SET_MODE) != 0) ok = VM_OnSetMode() && ok;
    if ((action & ACT_RESET_RETRIES) != 0) m_nRetries = 0;
    return ok;
}

bool VM_CSingleMailboxCtrl::VM_OnEnterState(int& state, DWORD event, WPARAM param) {
    switch (state) {
    case 0: return VM_OnMainGreeting();
    case 1: return VM_OnRecordingTone();
    case 2: return VM_OnRecordMessage();
    case 6: return VM_OnBlockedCaller();
    case 10: return VM_OnRetrievalMenu();
    case 20: return VM_OnDefaultPassword(20);
    case 21: return VM_OnPasswordReset();
    case 30: return VM_OnCurrentPassword(30);
    case 31: return VM_OnRetrievalStart();
    case 35: return VM_OnOpenMessages();
    case 40:
    case 41:
    case 43:
    case 44: return VM_OnPasswordEntry(state, event, param);
    case 80:
    case 81: return VM_OnMessagePlayback(state, event, param);
    case 98: return VM_OnBye();
    default:
        if (state >= 60 && state <= 70) return VM_OnMessagePlayback(state, event, param);
        return false;
    }
}

DWORD VM_CSingleMailboxCtrl::VM_GetEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WAVE_DONE) return VM_GetDeviceEvent(wParam, lParam);
    if (message == VM_MSG_DIGIT) return VM_GetDigitEvent(wParam);
    return VM_GetMessageEvent(message, wParam);
}

DWORD VM_CSingleMailboxCtrl::VM_GetDeviceEvent(WPARAM wParam, LPARAM lParam) {
    const VM_WaveRun run = VM_WaveRunOf(wParam, lParam);
    auto is = [&](const VM_CWaveDevice* device) { return device != nullptr && run == device->VM_GetRun(); };
    if (is(m_pRecorder)) return EV_RECORD_DONE;
    if (is(m_pLinePlayer)) return EV_PLAY_DONE;
    if (is(m_pSpeakerPlayer)) return EV_PRESCREEN_DONE;
    return 0;
}

DWORD VM_CSingleMailboxCtrl::VM_GetDigitEvent(WPARAM digit) {
    if (digit == '#') return EV_POUND;
    if (digit == '*') return EV_STAR;
    if (digit >= '0' && digit <= '9') return EV_DIGIT_0 << (digit - '0');
    return 0;
}

DWORD VM_CSingleMailboxCtrl::VM_GetMessageEvent(UINT message, WPARAM wParam) {
    if (wParam != reinterpret_cast<WPARAM>(this)) return 0;
    switch (message) {
    case VM_MSG_CONTINUE: return EV_CONTINUE;
    case VM_MSG_TIMEOUT: return EV_TIMEOUT;
    case VM_MSG_RETRY_LIMIT: return EV_RETRY_LIMIT;
    case VM_MSG_MESSAGE_FOUND: return EV_MESSAGE_FOUND;
    case VM_MSG_NO_MESSAGE: return EV_NO_MESSAGE;
    case VM_MSG_PASSWORD_BAD: return EV_PASSWORD_BAD;
    case VM_MSG_PASSWORD_OK: return EV_PASSWORD_OK;
    default: return 0;
    }
}

bool VM_CSingleMailboxCtrl::VM_CountRetry() {
    if (++m_nRetries < kRetryLimit) return false;
    VM_PostToSelf(VM_MSG_RETRY_LIMIT);
    return true;
}

void VM_CSingleMailboxCtrl::VM_FlushDigits() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, VM_MSG_DIGIT, VM_MSG_DIGIT, PM_REMOVE)) {
    }
}

bool VM_CSingleMailboxCtrl::VM_StartPreScreen() {
    if (m_pSpeakerPlayer == nullptr || m_pCurWaveFile == nullptr) return false;
    return m_pSpeakerPlayer->VM_Start(m_pCurWaveFile) != FALSE;
}

bool VM_CSingleMailboxCtrl::VM_StopPreScreen() {
    return m_pSpeakerPlayer == nullptr || m_pSpeakerPlayer->VM_Stop() != FALSE;
}

bool VM_CSingleMailboxCtrl::VM_StopPlaying() {
    const bool stopped = m_pLinePlayer != nullptr && m_pLinePlayer->VM_Stop() != FALSE;
    VM_ReleaseWaveFile();
    return stopped;
}

bool VM_CSingleMailboxCtrl::VM_StopRecording() {
    bool stopped = VM_StopPreScreen();
    stopped = m_pRecorder != nullptr && m_pRecorder->VM_Stop() != FALSE && stopped;
    VM_ReleaseWaveFile();
    m_pCountDownTimer->VM_Stop();
    return stopped;
}

bool VM_CSingleMailboxCtrl::VM_DeleteMessage() {
    if (m_pCallInfo == nullptr) return false;
    const std::optional<std::string> file = m_pCallInfo->VM_GetWaveFileText();
    if (!file) return false;
    // The record stops naming the file before it goes, so that nobody finds
    // it naming a file that is gone.
    m_pCallInfo->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, nullptr);
    if (DeleteFileA(file->c_str()) != FALSE) return true;
    m_pCallInfo->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, file->c_str());
    return false;
}

bool VM_CSingleMailboxCtrl::VM_StartCallTimer(int milliseconds) {
    return m_pCallTimer->VM_Start(milliseconds, VM_GetMainWindow(), milliseconds);
}

bool VM_CSingleMailboxCtrl::VM_StopCallTimer() { return m_pCallTimer->VM_Stop(); }

std::string VM_CSingleMailboxCtrl::VM_GetCallerNumber() const {
    if (m_pCallInfo == nullptr) return {};
    return m_pCallInfo->VM_GetAttrText(VM_CCallInfo::kAttrNumber).value_or(std::string());
}

bool VM_CSingleMailboxCtrl::VM_OnSetMode() {
    m_nCallerMode = 0;
    const std::string number = VM_GetCallerNumber();
    DWORD flags = 0;
    if (!number.empty() && m_pAddressBook != nullptr && m_pAddressBook->VM_LookupFlags(number.c_str(), &flags))
        m_nCallerMode = static_cast<std::int32_t>(flags);
    VM_TRACE(g_bTraceTapi, "VM_CSingleMailboxCtrl::VM_OnSetMode: cid=%s, mode=0x%x",
             number.empty() ? "NULL" : number.c_str(), static_cast<unsigned>(m_nCallerMode));
    return true;
}

std::string VM_CSingleMailboxCtrl::VM_GetPersonalGreeting() {
    const std::string number = VM_GetCallerNumber();
    if (number.empty() || m_pAddressBook == nullptr) return {};
    return m_pAddressBook->VM_LookupGreeting(number.c_str()).value_or(std::string());
}

bool VM_CSingleMailboxCtrl::VM_PlayGreeting() {
    const std::string personal = VM_GetPersonalGreeting();
    if (!personal.empty()) return VM_PlayFile(personal.c_str());
    if (m_pCfg == nullptr) return false;
    char* path = m_pCfg->VM_GetMainGreetingFileName();
    const bool played = VM_PlayFile(path);
    delete[] path;
    return played;
}

bool VM_CSingleMailboxCtrl::VM_OnMainGreeting() {
    VM_FlushDigits();
    if (VM_IsCallerBlocked()) {
        VM_PostToSelf(VM_MSG_CONTINUE);
        return true;
    }
    if (VM_IsRetrievalEnabled()) VM_EnableDigits();
    VM_PostStatus(VM_STATUS_MAIN_GREETING);
    return VM_PlayGreeting();
}

bool VM_CSingleMailboxCtrl::VM_OnRecordingTone() {
    VM_PostStatus(VM_STATUS_RECORDING_TONE);
    return VM_PlayPrompt(VM_PROMPT_BEEP);
}

bool VM_CSingleMailboxCtrl::VM_OnRecordMessage() {
    if (m_pCfg == nullptr) return false;
    std::unique_ptr<char[]> name(m_pCfg->VM_GetNewMessageFileName());
    if (!name) return false;
    // Named in the record before recording starts, so a call that ends
    // during the recording keeps what was recorded.
    if (m_pCallInfo != nullptr) m_pCallInfo->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, name.get());
    VM_ReleaseWaveFile();
    m_pCurWaveFile = new VM_CWaveFile(name.get(), VM_WAVE_MODE_NEW);
    VM_PostStatus(VM_STATUS_RECORDING);
    if (m_pRecorder != nullptr && m_pRecorder->VM_Start(m_pCurWaveFile)) {
        if ((m_pCfg->m_dwFlags & VM_FLAG_PRESCREEN) != 0) VM_StartCallTimer(VM_CALL_TIMER_PRESCREEN);
        // The call's journal now names the message and its mailbox, in case
        // the program does not live to file them.
        if (m_pCallInfo != nullptr && !m_pCallInfo->VM_GetJournal().empty())
            VM_WriteCallJournal(*m_pCfg, *m_pCallInfo);
        return true;
    }
    VM_ReleaseWaveFile();
    // The name was reserved with an empty file; nothing was recorded into it.
    std::error_code error;
    if (std::filesystem::file_size(name.get(), error) == 0 && !error) DeleteFileA(name.get());
    return false;
}

bool VM_CSingleMailboxCtrl::VM_OnBlockedCaller() {
    if ((m_nCallerMode & VM_MODE_BLOCK_HANG_UP) != 0) {
        VM_PostStatus(VM_STATUS_BLOCK_HANG_UP);
        return VM_StartCallTimer(VM_CALL_TIMER_BLOCK_DELAY);
    }
    // A tone or announcement that cannot be played ends the call, as any
    // prompt that cannot be played does.
    if ((m_nCallerMode & VM_MODE_BLOCK_TONE) != 0) {
        VM_PostStatus(VM_STATUS_BLOCK_TONE);
        return VM_CountRetry() || VM_PlayPrompt(VM_PROMPT_ANTI_TELEMARKETER);
    }
    if ((m_nCallerMode & VM_MODE_BLOCK_ANNOUNCE) != 0) {
        VM_PostStatus(VM_STATUS_BLOCK_ANNOUNCEMENT);
        const std::string greeting = VM_GetPersonalGreeting();
        if (!greeting.empty() && !VM_CountRetry()) return VM_PlayFile(greeting.c_str());
        return VM_StartCallTimer(VM_CALL_TIMER_BLOCK_DELAY);
    }
    return false;
}

bool VM_CSingleMailboxCtrl::VM_OnBye() {
    VM_DisableDigits();
    VM_FlushDigits();
    VM_PostStatus(VM_STATUS_BYE);
    VM_PlayPromptWait(VM_PROMPT_BYE);
    return false;
}
