// Runs one answered call: finds the call's wave devices, makes the line
// player, the optional speaker player and the recorder, and runs the call
// flow's state machine on a worker thread of its own. Everything that happens
// during the call reaches that thread as a thread message; the controller
// also keeps the silence count-down and shows the worker's status texts.
//
// Threads: VM_Start, VM_Stop, VM_OnMessage and the timer callbacks run on the
// main thread; the state machine and every call-flow action on the worker.
// The lock guards only the digit-monitoring flag and the digit relay. The
// devices belong to the worker while it runs; VM_Stop deletes them only after
// the worker has ended.
#pragma once

#include <atomic>
#include <cstdint>

#include "callflow/observer.h"
#include "callflow/state_machine.h"
#include "callflow/timer.h"
#include "platform/win32/sync.h"

class VM_CAppCfg;
class VM_CAddressBook;
class VM_CCall;
class VM_CCallInfo;
class VM_CCallRtrController;
class VM_CPlayer;
class VM_CRecorder;
class VM_CWaveFile;
class VM_ICallStatus;

// Deletes a retrieval controller (defined with the retrieval states, where
// its type is complete); null does nothing.
void VM_ReleaseCallRtrController(VM_CCallRtrController* controller);

class VM_CMailboxController : public VM_CObserver, public VM_CTimerCbk, public VM_IStateMachineCbk {
public:
    // table: nStates rows of the flow's transition table; without one the
    // controller has no machine and never starts a call.
    VM_CMailboxController(VM_CAppCfg* cfg, VM_CAddressBook* addressBook, const std::int32_t* table,
                          int nStates);
    ~VM_CMailboxController() override;
    VM_CMailboxController(const VM_CMailboxController&) = delete;
    VM_CMailboxController& operator=(const VM_CMailboxController&) = delete;

    // VM_CObserver: the main window's messages, passed on by the answer
    // machine (0x800E is given directly, not posted).
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                      LRESULT& result) override;
    // Starts the call; true when the worker thread runs. The call, the record,
    // the status display and the log flag stay the caller's. On a failure
    // after the devices were asked for, the call is stopped (and dropped).
    virtual bool VM_Start(VM_CCall* call, VM_CCallInfo* callInfo, VM_ICallStatus* status,
                          std::int32_t* logFlag);
    // Ends the worker, frees the devices and drops an answered call. False
    // only when a stop is already in progress.
    virtual bool VM_Stop();
    virtual int VM_ThreadProc();
    virtual bool VM_EnableDigits();
    virtual bool VM_DisableDigits();
    // Plays prompt n ("Prp%04d.Wav" in the Prompt folder) on the line.
    virtual bool VM_PlayPrompt(int n);
    // Plays a WAVE file on the line; its end arrives as 0x8006.
    virtual bool VM_PlayFile(const char* path);
    // Plays prompt n on the call's wave-out to its end, blocking the worker.
    virtual bool VM_PlayPromptWait(int n);
    virtual bool VM_OnSilence(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool VM_OnSound(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool VM_OnCallEndTone(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool VM_OnStatus(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool VM_OnDeviceDone(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool VM_OnDigit(UINT message, WPARAM wParam, LPARAM lParam);

    // VM_CTimerCbk: the silence count-down's ticks.
    int VM_TimerCallback(VM_CTimer* timer) override;

    // For the answer machine and tests.
    bool VM_IsRunning() const { return m_hThread != nullptr; }
    DWORD VM_GetThreadId() const { return m_idThread; }
    std::int16_t VM_GetCountDown() const { return m_nCountDown; }

protected:
    // From the worker: posts message (wParam this controller, lParam 0) to
    // the worker's own queue.
    bool VM_PostToSelf(UINT message);
    // From the worker: asks the main thread to show status text index.
    void VM_PostStatus(int index);
    // Shows status text index (main thread), formatted with arg for the
    // count-down text.
    void VM_ShowStatus(int index, int arg = 0);
    // Deletes the current wave file and forgets it.
    void VM_ReleaseWaveFile();
    // Whether (wParam, lParam) names the current recorder's current run.
    bool VM_IsRecorderNotice(WPARAM wParam, LPARAM lParam) const;

    HANDLE m_hThread = nullptr;
    DWORD m_idThread = 0;
    std::int32_t* m_pLogFlag = nullptr;
    int m_idWaveOut = -1;
    VM_CAddressBook* m_pAddressBook;
    VM_CCallRtrController* m_pRtrController = nullptr;
    VM_CPlayer* m_pLinePlayer = nullptr;
    VM_CPlayer* m_pSpeakerPlayer = nullptr;
    VM_CRecorder* m_pRecorder = nullptr;
    VM_CTimer* m_pCountDownTimer = nullptr;
    VM_CAppCfg* m_pCfg;
    VM_CStateMachine* m_pStateMachine = nullptr;
    VM_CCallInfo* m_pCallInfo = nullptr;
    VM_CCall* m_pCall = nullptr;
    VM_CWaveFile* m_pCurWaveFile = nullptr;
    CRITICAL_SECTION m_cs{};
    bool m_bDigitsOn = false;
    // Written by the main thread, read by the worker when its run ends.
    std::atomic<bool> m_bStopping{false};
    // Set while VM_Stop waits for the worker (manual reset): ends a prompt
    // the worker is waiting for.
    HANDLE m_hStopEvent = nullptr;
    std::int16_t m_nCountDown = 0;
    VM_ICallStatus* m_pStatus = nullptr;

private:
    // Creates the devices the call needs; leaves a missing one null.
    void VM_CreateDevices();
    // Creates, raises and resumes the worker; false when it does not run.
    bool VM_StartThread();
    // Ends the worker (asking the machine to stop when it still runs).
    void VM_EndThread();
    void VM_DeleteDevices();
};
