// The call flow of one mailbox: the caller hears the personal or the main
// greeting, the recording tone, leaves a message and hears good-bye. A
// blocked caller is hung up on, given the anti-telemarketer tone or the
// announcement. With remote retrieval enabled, # leads to the retrieval
// states (10 to 81), whose entry operations live with the retrieval code.
#pragma once

#include <cstdint>
#include <string>

#include "callflow/mailbox_controller.h"

// Events (the machine's event bits).
constexpr DWORD EV_DIGIT_0 = 0x1;  // digit d is EV_DIGIT_0 << d
constexpr DWORD EV_ANY_DIGIT = 0x3FF;
constexpr DWORD EV_POUND = 0x400;
constexpr DWORD EV_STAR = 0x800;
constexpr DWORD EV_PRESCREEN_DONE = 0x1000;
constexpr DWORD EV_RECORD_DONE = 0x2000;
constexpr DWORD EV_PLAY_DONE = 0x4000;
constexpr DWORD EV_PASSWORD_BAD = 0x10000;
constexpr DWORD EV_PASSWORD_OK = 0x20000;
constexpr DWORD EV_TIMEOUT = 0x80000;
constexpr DWORD EV_RETRY_LIMIT = 0x100000;
constexpr DWORD EV_MESSAGE_FOUND = 0x200000;
constexpr DWORD EV_NO_MESSAGE = 0x400000;
constexpr DWORD EV_MAILBOX_CHOSEN = 0x1000000;
constexpr DWORD EV_CONTINUE = 0x80000000u;

// Action bits, run by VM_DoAction in the order of VM_RunActions.
constexpr WORD ACT_PRESCREEN_START = 0x01;
constexpr WORD ACT_PRESCREEN_STOP = 0x02;
constexpr WORD ACT_STOP_PLAYING = 0x04;
constexpr WORD ACT_STOP_RECORDING = 0x08;
constexpr WORD ACT_START_TIMER = 0x10;  // the 15-second call timer
constexpr WORD ACT_STOP_TIMER = 0x20;
constexpr WORD ACT_DELETE_MESSAGE = 0x40;
constexpr WORD ACT_RESET_RETRIES = 0x80;
constexpr WORD ACT_SET_MODE = 0x100;

// Caller mode bits from the caller's address-book entry.
constexpr std::int32_t VM_MODE_BLOCK_HANG_UP = 0x01;
constexpr std::int32_t VM_MODE_BLOCK_TONE = 0x02;
constexpr std::int32_t VM_MODE_BLOCK_ANNOUNCE = 0x10;
constexpr std::int32_t VM_MODE_BLOCKED = 0x13;

// Prompt numbers the flows play.
constexpr int VM_PROMPT_BEEP = 0;
constexpr int VM_PROMPT_BYE = 5;
constexpr int VM_PROMPT_INVALID_MAILBOX = 14;
constexpr int VM_PROMPT_WHICH_MAILBOX = 15;
constexpr int VM_PROMPT_MAILBOX_NUMBER = 17;
constexpr int VM_PROMPT_MAILBOX_MENU = 18;
constexpr int VM_PROMPT_ANTI_TELEMARKETER = 300;

// Call timer periods (ms).
constexpr int VM_CALL_TIMER_PROMPT_WAIT = 15000;
constexpr int VM_CALL_TIMER_BLOCK_DELAY = 2500;
constexpr int VM_CALL_TIMER_PRESCREEN = 1800;

class VM_CSingleMailboxCtrl : public VM_CMailboxController {
public:
    VM_CSingleMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook);
    ~VM_CSingleMailboxCtrl() override;

    bool VM_Start(VM_CCall* call, VM_CCallInfo* callInfo, VM_ICallStatus* status,
                  std::int32_t* logFlag) override;
    bool VM_Stop() override;
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                      LRESULT& result) override;
    int VM_TimerCallback(VM_CTimer* timer) override;

    // VM_IStateMachineCbk
    bool VM_TestCondition(WORD guard) override;
    bool VM_DoAction(DWORD action) override;
    bool VM_OnEnterState(int& state, DWORD event, WPARAM param) override;
    DWORD VM_GetEvent(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Counts an entry of a re-prompting state; true (and EV_RETRY_LIMIT
    // posted) from the third on.
    virtual bool VM_CountRetry();
    virtual DWORD VM_GetDeviceEvent(WPARAM wParam, LPARAM lParam);
    virtual DWORD VM_GetDigitEvent(WPARAM digit);
    virtual DWORD VM_GetMessageEvent(UINT message, WPARAM wParam);
    virtual bool VM_StartPreScreen();
    virtual bool VM_StopPreScreen();
    virtual bool VM_StopPlaying();
    virtual bool VM_StopRecording();
    virtual bool VM_OnSetMode();
    virtual bool VM_DeleteMessage();
    // One shot; a running call timer is left running.
    virtual bool VM_StartCallTimer(int milliseconds);
    virtual bool VM_StopCallTimer();
    virtual bool VM_OnMainGreeting();
    virtual bool VM_OnBlockedCaller();
    virtual bool VM_OnRecordingTone();
    virtual bool VM_OnRecordMessage();
    virtual bool VM_OnBye();
    // Entry operations of the retrieval states (remote_retrieval_states.cpp).
    virtual bool VM_OnRetrievalMenu();
    virtual bool VM_OnDefaultPassword(int state);
    virtual bool VM_OnPasswordReset();
    virtual bool VM_OnCurrentPassword(int state);
    virtual bool VM_OnRetrievalStart();
    virtual bool VM_OnOpenMessages();
    virtual bool VM_OnPasswordEntry(int& state, DWORD event, WPARAM wParam);
    virtual bool VM_OnMessagePlayback(int& state, DWORD event, WPARAM wParam);

    std::int32_t VM_GetCallerMode() const { return m_nCallerMode; }
    std::int32_t VM_GetMailboxFilter() const { return m_nMailboxFilter; }

protected:
    // For the multi-mailbox flow, which brings its own table.
    VM_CSingleMailboxCtrl(VM_CAppCfg* cfg, VM_CAddressBook* addressBook, const std::int32_t* table,
                          int nStates);

    // Removes every pending digit from the worker's queue, so that digits
    // typed ahead during an earlier prompt are not taken for new ones.
    void VM_FlushDigits();
    bool VM_IsRetrievalEnabled() const;
    bool VM_IsCallerBlocked() const { return (m_nCallerMode & VM_MODE_BLOCKED) != 0; }
    // Plays the caller's personal greeting, else the main greeting.
    bool VM_PlayGreeting();
    // The caller's greeting file from the address book; empty when none.
    std::string VM_GetPersonalGreeting();
    // The caller's number from the call record; empty when none.
    std::string VM_GetCallerNumber() const;

    char m_szDigits[100] = {};
    char* m_pszPassword = nullptr;
    char* m_pszPasswordPrompt = nullptr;
    std::int32_t m_nReturnState = -2;
    std::int32_t m_nMailboxFilter = -2;
    std::int32_t m_nRetries = 0;
    std::int32_t m_nListPos = 0;
    VM_CCallInfo* m_pCurMessage = nullptr;
    std::int32_t m_nMonth = 0;
    std::int32_t m_nDay = 0;
    std::int32_t m_bAfternoon = 0;
    std::int32_t m_nHour = 0;
    std::int32_t m_nMinute = 0;
    std::int32_t m_nCallerMode = 0;
    VM_CTimer* m_pCallTimer = nullptr;

private:
    void VM_Init();
};
