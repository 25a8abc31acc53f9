#include "callflow/state_machine.h"

#include <new>

#include "diag/trace.h"
#include "platform/win32/messages.h"
#include "platform/win32/threads.h"

VM_CStateMachine::VM_CStateMachine(int nStates, VM_IStateMachineCbk* pCbk, const std::int32_t* pTable)
    : m_pCbk(pCbk) {
    if (pTable == nullptr || nStates <= 0) return;
    m_ppRows = new (std::nothrow) const std::int32_t*[nStates]();
    if (m_ppRows == nullptr) return;
    m_nStates = nStates;
    m_nEntriesPerState = 6;
    for (int i = 0; i < nStates; ++i) m_ppRows[i] = pTable + static_cast<std::ptrdiff_t>(i) * SM_ROW_SIZE;
}

VM_CStateMachine::~VM_CStateMachine() { delete[] m_ppRows; }

bool VM_CStateMachine::BeginRun() {
    std::lock_guard<std::mutex> guard(m_startLock);
    DWORD self = GetCurrentThreadId();
    // A stop kept from before the run counts only for the thread it named;
    // it ends the run before the start action.
    bool stopEarly = m_idEarlyStop == self;
    m_bRunning = true;
    m_idEarlyStop = 0;
    m_bStop = stopEarly ? 1 : 0;
    m_idThread = self;
    return stopEarly;
}

void VM_CStateMachine::EndRun() {
    std::lock_guard<std::mutex> guard(m_startLock);
    m_bRunning = false;
}

bool VM_CStateMachine::VM_Run() {
    if (m_pCbk == nullptr || m_ppRows == nullptr) return false;
    // The call may have ended before its worker got here: then greeting
    // nobody would only keep the thread that waits for this one blocked.
    const bool stopEarly = BeginRun();
    struct RunEnd {
        VM_CStateMachine* machine;
        ~RunEnd() { machine->EndRun(); }
    } runEnd{this};
    if (stopEarly) return true;
    m_nState = 0;
    m_pCbk->VM_DoAction(SM_START_ACTION);
    if (!m_pCbk->VM_OnEnterState(m_nState, 0, 0)) return true;

    bool keepRunning = true;
    while (m_bStop == 0) {
        MSG msg;
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        DWORD event = 0;
        if (got == -1 || got == 0) {
            keepRunning = false;
        } else if (msg.message == SM_MSG_STOP && msg.wParam == reinterpret_cast<WPARAM>(this)) {
            break;
        } else {
            event = m_pCbk->VM_GetEvent(msg.message, msg.wParam, msg.lParam);
        }
        Transition t;
        if (event != 0 && FindTransition(event, &t)) {
            TraceTransition(event, t);
            m_pCbk->VM_DoAction(t.action);
            if (t.next != SM_STAY) {
                m_nState = t.next;
                keepRunning = m_pCbk->VM_OnEnterState(m_nState, event, msg.wParam);
            }
        }
        if (!keepRunning) break;
    }
    return true;
}

bool VM_CStateMachine::VM_Stop(DWORD idThread) {
    {
        std::lock_guard<std::mutex> guard(m_startLock);
        if (!m_bRunning) {
            // The worker exists but has not reached its run yet: keep the stop.
            // A second stop for a run that has just ended on it is refused.
            const bool stoppedBefore = m_bStop != 0 && idThread == m_idThread;
            if (idThread == 0 || m_idEarlyStop == idThread || stoppedBefore) return false;
            m_idEarlyStop = idThread;
            return true;
        }
        if (m_bStop != 0 || idThread != m_idThread) return false;
        m_bStop = 1;
    }
    return PostThreadMessageA(idThread, SM_MSG_STOP, reinterpret_cast<WPARAM>(this), 0) != FALSE;
}

bool VM_CStateMachine::FindTransition(DWORD event, Transition* out) {
    const std::int32_t* row = nullptr;
    for (int i = 0; i < m_nStates && row == nullptr; ++i)
        if (m_ppRows[i][0] == m_nState) row = m_ppRows[i];
    if (row == nullptr) return false;
    for (int k = 0; k < m_nEntriesPerState; ++k) {
        const std::int32_t* entry = row + 1 + 3 * k;
        if ((event & static_cast<DWORD>(entry[0])) == 0) continue;
        auto word = static_cast<DWORD>(entry[1]);
        auto guard = static_cast<WORD>(word >> 16);
        if (guard != 0 && !m_pCbk->VM_TestCondition(guard)) continue;
        out->action = word & 0xFFFF;
        out->next = entry[2];
        return true;
    }
    return false;
}

void VM_CStateMachine::TraceTransition(DWORD event, const Transition& t) const {
    VM_TRACE(g_bTraceStateMachine, "VM_CStateMachine::VM_Run(): thr_id=0x%x, s=%d, e=0x%x, a=0x%x, ns=%d",
             static_cast<unsigned>(m_idThread.load()), m_nState, static_cast<unsigned>(event),
             static_cast<unsigned>(t.action), t.next);
}
