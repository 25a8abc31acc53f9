#include "callflow/mailbox_controller.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "audio/player.h"
#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "callflow/call_status.h"
#include "callflow/callflow_messages.h"
#include "callflow/main_window.h"
#include "callflow/status_texts.h"
#include "diag/trace.h"
#include "platform/win32/messages.h"
#include "platform/win32/threads.h"
#include "store/app_config.h"
#include "telephony/call.h"
#include "telephony/var_structs.h"

namespace {

// Processing flags of the recorder when recorded calls are enhanced.
constexpr DWORD kEnhanceProcessing = 0x5;
constexpr DWORD kDetectTones = VM_DETECT_DIALTONE | VM_DETECT_BUSYTONE;
// The configuration file is not range-checked on load.
constexpr int kMaxSilenceSeconds = 99;

unsigned ControllerThreadEntry(void* controller) {
    return static_cast<unsigned>(static_cast<VM_CMailboxController*>(controller)->VM_ThreadProc());
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

VM_CMailboxController::VM_CMailboxController(VM_CAppCfg* cfg, VM_CAddressBook* addressBook,
                                             const std::int32_t* table, int nStates)
    : m_pAddressBook(addressBook), m_pCfg(cfg) {
    InitializeCriticalSection(&m_cs);
    m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    VM_TRACE(g_bTraceTapi, "VM_CMailboxController::VM_CMailboxController: this=0x%" PRIxPTR, Address(this));
    if (table != nullptr) m_pStateMachine = new VM_CStateMachine(nStates, this, table);
    m_pCountDownTimer = new VM_CTimer(this);
}

VM_CMailboxController::~VM_CMailboxController() {
    VM_CMailboxController::VM_Stop();
    delete m_pCountDownTimer;
    delete m_pStateMachine;
    VM_TRACE(g_bTraceTapi, "VM_CMailboxController::~VM_CMailboxController: this=0x%" PRIxPTR, Address(this));
    DeleteCriticalSection(&m_cs);
    if (m_hStopEvent != nullptr) CloseHandle(m_hStopEvent);
}

bool VM_CMailboxController::VM_Start(VM_CCall* call, VM_CCallInfo* callInfo, VM_ICallStatus* status,
                                     std::int32_t* logFlag) {
    if (call == nullptr || call->VM_GetHandle() == 0 || m_pCall != nullptr) return false;
    VM_TRACE(g_bTraceTapi, "VM_CMailboxController::VM_Start: this=0x%" PRIxPTR, Address(this));
    m_pCall = call;
    m_pStatus = status;
    m_pCallInfo = callInfo;
    m_pLogFlag = logFlag;
    m_bStopping = false;
    if (m_hStopEvent != nullptr) ResetEvent(m_hStopEvent);
    m_nCountDown = 0;
    m_pCountDownTimer->VM_Stop();
    EnterCriticalSection(&m_cs);
    m_bDigitsOn = false;
    LeaveCriticalSection(&m_cs);
    call->VM_MonitorDigits(0);
    VM_CreateDevices();
    if (VM_StartThread()) return true;
    VM_Stop();
    return false;
}

void VM_CMailboxController::VM_CreateDevices() {
    const HWND mainWindow = VM_GetMainWindow();
    if (m_pCfg != nullptr && (m_pCfg->m_dwFlags & VM_FLAG_PRESCREEN) != 0)
        m_pSpeakerPlayer = new VM_CPlayer(static_cast<UINT>(m_pCfg->m_idPlayDevice), mainWindow);
    m_idWaveOut = -1;
    VM_CDeviceID waveOut;
    if (waveOut.VM_GetCallDeviceID("wave/out", m_pCall->VM_GetHandle()) == 0) {
        m_idWaveOut = static_cast<int>(waveOut.VM_GetID());
        m_pLinePlayer = new VM_CPlayer(waveOut.VM_GetID(), mainWindow);
    }
    VM_CDeviceID waveIn;
    if (waveIn.VM_GetCallDeviceID("wave/in", m_pCall->VM_GetHandle()) == 0)
        m_pRecorder = new VM_CRecorder(waveIn.VM_GetID(), mainWindow);
    if (m_pRecorder != nullptr && m_pCfg != nullptr) {
        const DWORD processing = (m_pCfg->m_dwFlags & VM_FLAG_ENHANCE_CALLS) != 0 ? kEnhanceProcessing : 0;
        m_pRecorder->VM_SetDetection(m_pCfg->m_nSilenceSeconds, m_pCfg->m_nSilenceLevel, kDetectTones,
                                     processing);
    }
}

bool VM_CMailboxController::VM_StartThread() {
    if (m_pLinePlayer == nullptr || m_pRecorder == nullptr || m_pStateMachine == nullptr) return false;
    unsigned id = 0;
    const std::uintptr_t handle =
        _beginthreadex(nullptr, 0, &ControllerThreadEntry, this, CREATE_SUSPENDED, &id);
    if (handle == 0) return false;
    m_hThread = reinterpret_cast<HANDLE>(handle);
    m_idThread = id;
    const BOOL raised = SetThreadPriority(m_hThread, THREAD_PRIORITY_HIGHEST);
    VM_TRACE(g_bTraceTapi, "SetThreadPriority (id=0x%x)=0x%x (Resumed)", static_cast<unsigned>(id),
             static_cast<unsigned>(raised));
    if (ResumeThread(m_hThread) == 1) return true;
    TerminateThread(m_hThread, 0);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_idThread = 0;
    return false;
}

int VM_CMailboxController::VM_ThreadProc() {
    if (m_pStateMachine != nullptr) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        m_pStateMachine->VM_Run();
        if (!m_bStopping)
            PostMessageA(VM_GetMainWindow(), VM_MSG_FLOW_ENDED, reinterpret_cast<WPARAM>(this), 0);
    }
    VM_TRACE(g_bTraceTapi, "VM_CMailboxController::VM_ThreadProc: Exit(thread_id=0x%x)",
             static_cast<unsigned>(GetCurrentThreadId()));
    return 1;
}

bool VM_CMailboxController::VM_Stop() {
    if (m_bStopping.exchange(true)) return false;
    VM_TRACE(g_bTraceTapi, "VM_CMailboxController::VM_Stop: this=0x%" PRIxPTR ", m_idThread=0x%x", Address(this),
             static_cast<unsigned>(m_idThread));
    VM_EndThread();
    VM_DeleteDevices();
    m_pCountDownTimer->VM_Stop();
    m_nCountDown = 0;
    if (m_pCall != nullptr) {
        // Answered calls are marked with a ring count of -1 before answering.
        if (m_pCall->VM_GetRings() == -1) m_pCall->VM_Drop();
        m_pCall = nullptr;
    }
    m_pStatus = nullptr;
    m_pCallInfo = nullptr;
    m_pLogFlag = nullptr;
    EnterCriticalSection(&m_cs);
    m_bDigitsOn = false;
    LeaveCriticalSection(&m_cs);
    m_bStopping = false;
    return true;
}

void VM_CMailboxController::VM_EndThread() {
    if (m_hThread == nullptr) return;
    DWORD code = 0;
    const bool readable = GetExitCodeThread(m_hThread, &code) != FALSE;
    const bool wait = !readable || code == STILL_ACTIVE;
    VM_TRACE(g_bTraceAudio, "VM_CMailboxController::VM_Stop: thr_id=0x%x, rval=0x%x, bWait=%s",
             static_cast<unsigned>(m_idThread), readable ? static_cast<unsigned>(code) : 0xFFFFFFFFu,
             wait ? "TRUE" : "FALSE");
    if (wait) {
        // A stop that arrives before the worker's run has started is kept by
        // the machine, so the run ends at once and the wait cannot hang. A
        // prompt the worker waits for is cut short: the caller has gone.
        if (m_hStopEvent != nullptr) SetEvent(m_hStopEvent);
        m_pStateMachine->VM_Stop(m_idThread);
        WaitForSingleObject(m_hThread, INFINITE);
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_idThread = 0;
}

void VM_CMailboxController::VM_DeleteDevices() {
    VM_ReleaseCallRtrController(m_pRtrController);
    m_pRtrController = nullptr;
    delete m_pSpeakerPlayer;
    m_pSpeakerPlayer = nullptr;
    delete m_pLinePlayer;
    m_pLinePlayer = nullptr;
    delete m_pRecorder;
    m_pRecorder = nullptr;
    VM_ReleaseWaveFile();
}

void VM_CMailboxController::VM_ReleaseWaveFile() {
    delete m_pCurWaveFile;
    m_pCurWaveFile = nullptr;
}

bool VM_CMailboxController::VM_EnableDigits() {
    EnterCriticalSection(&m_cs);
    if (!m_bDigitsOn && m_pCall != nullptr) {
        m_bDigitsOn = m_pCall->VM_MonitorDigits(LINEDIGITMODE_DTMF) ||
                      m_pCall->VM_MonitorDigits(LINEDIGITMODE_DTMFEND);
    }
    const bool on = m_bDigitsOn;
    LeaveCriticalSection(&m_cs);
    return on;
}

bool VM_CMailboxController::VM_DisableDigits() {
    EnterCriticalSection(&m_cs);
    bool result = false;
    if (m_bDigitsOn) {
        m_bDigitsOn = false;
        result = m_pCall != nullptr && m_pCall->VM_MonitorDigits(0);
    }
    LeaveCriticalSection(&m_cs);
    return result;
}

bool VM_CMailboxController::VM_PlayFile(const char* path) {
    if (path == nullptr || m_pLinePlayer == nullptr) return false;
    if (m_pCurWaveFile != nullptr) {
        // Nothing may still be using the file that is let go.
        m_pLinePlayer->VM_Stop();
        if (m_pRecorder != nullptr) m_pRecorder->VM_Stop();
        if (m_pSpeakerPlayer != nullptr) m_pSpeakerPlayer->VM_Stop();
        VM_ReleaseWaveFile();
    }
    m_pCurWaveFile = new VM_CWaveFile(path, VM_WAVE_MODE_READ);
    if (m_pLinePlayer->VM_Start(m_pCurWaveFile)) return true;
    VM_ReleaseWaveFile();
    return false;
}

bool VM_CMailboxController::VM_PlayPrompt(int n) {
    if (n < 0 || m_pCfg == nullptr) return false;
    char* path = m_pCfg->VM_GetPromptFileName(n);
    const bool played = VM_PlayFile(path);
    delete[] path;
    return played;
}

bool VM_CMailboxController::VM_PlayPromptWait(int n) {
    if (n < 0 || m_pCfg == nullptr) return false;
    char* path = m_pCfg->VM_GetPromptFileName(n);
    const bool played =
        path != nullptr && VM_PlayFileSync(static_cast<UINT>(m_idWaveOut), path, m_hStopEvent) != FALSE;
    delete[] path;
    return played;
}

bool VM_CMailboxController::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        return m_pCountDownTimer->VM_OnMessage(window, message, wParam, lParam, result);
    case WM_WAVE_DONE:
        return VM_OnDeviceDone(message, wParam, lParam);
    case WM_WAVE_SILENCE:
        return VM_OnSilence(message, wParam, lParam);
    case WM_WAVE_SOUND:
        return VM_OnSound(message, wParam, lParam);
    case VM_MSG_STATUS:
        return VM_OnStatus(message, wParam, lParam);
    case VM_MSG_DIGIT:
        return VM_OnDigit(message, wParam, lParam);
    case WM_WAVE_BUSYTONE:
    case WM_WAVE_DIALTONE:
        return VM_OnCallEndTone(message, wParam, lParam);
    default:
        return false;
    }
}

bool VM_CMailboxController::VM_IsRecorderNotice(WPARAM wParam, LPARAM lParam) const {
    return m_pRecorder != nullptr && VM_WaveRunOf(wParam, lParam) == m_pRecorder->VM_GetRun();
}

bool VM_CMailboxController::VM_OnDeviceDone(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool ours = (m_pLinePlayer != nullptr && wParam == reinterpret_cast<WPARAM>(m_pLinePlayer)) ||
                      (m_pSpeakerPlayer != nullptr && wParam == reinterpret_cast<WPARAM>(m_pSpeakerPlayer)) ||
                      (m_pRecorder != nullptr && wParam == reinterpret_cast<WPARAM>(m_pRecorder));
    if (!ours || m_idThread == 0) return false;
    PostThreadMessageA(m_idThread, message, wParam, lParam);
    return true;
}

bool VM_CMailboxController::VM_OnDigit(UINT message, WPARAM wParam, LPARAM lParam) {
    EnterCriticalSection(&m_cs);
    if (m_bDigitsOn && m_idThread != 0) PostThreadMessageA(m_idThread, message, wParam, lParam);
    LeaveCriticalSection(&m_cs);
    return true;
}

bool VM_CMailboxController::VM_OnSilence(UINT /*message*/, WPARAM wParam, LPARAM lParam) {
    if (m_pStatus == nullptr || m_pCountDownTimer->VM_IsRunning() || !VM_IsRecorderNotice(wParam, lParam))
        return false;
    const int seconds = m_pCfg != nullptr ? std::clamp<int>(m_pCfg->m_nSilenceSeconds, 0, kMaxSilenceSeconds) : 0;
    m_nCountDown = static_cast<std::int16_t>(seconds + 1);
    m_pCountDownTimer->VM_Start(1000, VM_GetMainWindow(), (seconds + 1) * 1000);
    return true;
}

bool VM_CMailboxController::VM_OnSound(UINT /*message*/, WPARAM wParam, LPARAM lParam) {
    if (!VM_IsRecorderNotice(wParam, lParam)) return false;
    m_pCountDownTimer->VM_Stop();
    m_nCountDown = 0;
    VM_ShowStatus(VM_STATUS_SOUND);
    return true;
}

bool VM_CMailboxController::VM_OnCallEndTone(UINT /*message*/, WPARAM wParam, LPARAM lParam) {
    if (!VM_IsRecorderNotice(wParam, lParam)) return false;
    VM_ShowStatus(VM_STATUS_CALL_END_TONE);
    return true;
}

bool VM_CMailboxController::VM_OnStatus(UINT /*message*/, WPARAM wParam, LPARAM lParam) {
    if (m_pStatus == nullptr || wParam != reinterpret_cast<WPARAM>(this)) return false;
    if (lParam >= 0 && lParam < VM_STATUS_COUNT) VM_ShowStatus(static_cast<int>(lParam));
    return true;
}

int VM_CMailboxController::VM_TimerCallback(VM_CTimer* timer) {
    if (timer != m_pCountDownTimer || !timer->VM_IsRunning()) return 0;
    --m_nCountDown;
    if (m_nCountDown < 0) {
        timer->VM_Stop();
        m_nCountDown = 0;
        VM_ShowStatus(VM_STATUS_DROPPING);
    } else if (m_nCountDown > 0) {
        VM_ShowStatus(VM_STATUS_SILENCE_COUNTDOWN, m_nCountDown);
    } else {
        VM_ShowStatus(VM_STATUS_DROPPING);
    }
    return 1;
}

void VM_CMailboxController::VM_ShowStatus(int index, int arg) {
    const char* text = VM_GetStatusText(index);
    if (m_pStatus == nullptr || text == nullptr) return;
    if (index != VM_STATUS_SILENCE_COUNTDOWN) {
        m_pStatus->VM_ShowStatus(text);
        return;
    }
    char line[100];
    std::snprintf(line, sizeof line, "Silence detected, dropping call in %d seconds. \n", arg);
    m_pStatus->VM_ShowStatus(line);
}

bool VM_CMailboxController::VM_PostToSelf(UINT message) {
    return m_idThread != 0 && PostThreadMessageA(m_idThread, message, reinterpret_cast<WPARAM>(this), 0) != FALSE;
}

void VM_CMailboxController::VM_PostStatus(int index) {
    PostMessageA(VM_GetMainWindow(), VM_MSG_STATUS, reinterpret_cast<WPARAM>(this), index);
}
