// The table-driven engine that runs one answered call on its worker thread.
//
// A table holds one row of 19 values per state: the state identifier, then
// six entries of (event mask, action word, next state). The low 16 bits of an
// action word are the action code, the high 16 bits a guard (0: none). A next
// state of -2 runs the action without entering any state. Events come from
// the thread's messages through the callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/win32/types.h"

// Posted to the worker thread to end a run; wParam is the machine's address.
constexpr UINT SM_MSG_STOP = 0x8010;
// The action the engine runs before it enters state 0.
constexpr DWORD SM_START_ACTION = 0x8000;
constexpr int SM_STAY = -2;
constexpr int SM_ROW_SIZE = 19;

class VM_IStateMachineCbk {
public:
    virtual ~VM_IStateMachineCbk() = default;
    virtual bool VM_TestCondition(WORD guard) = 0;
    virtual bool VM_DoAction(DWORD action) = 0;
    // May write another state into state; the machine continues there.
    // Returns false to end the run.
    virtual bool VM_OnEnterState(int& state, DWORD event, WPARAM param) = 0;
    // 0: the message carries no event and is dropped.
    virtual DWORD VM_GetEvent(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

class VM_CStateMachine {
public:
    // Without a table the machine is inert: VM_Run returns false at once.
    VM_CStateMachine(int nStates, VM_IStateMachineCbk* pCbk, const std::int32_t* pTable);
    virtual ~VM_CStateMachine();
    VM_CStateMachine(const VM_CStateMachine&) = delete;
    VM_CStateMachine& operator=(const VM_CStateMachine&) = delete;

    // Runs on the calling thread until the machine ends; false only when inert.
    bool VM_Run();
    // Asks the run on thread idThread to end. A stop that arrives while no
    // run is going is kept for idThread: its next run then ends at once,
    // before its start action (each call runs the machine on a new thread).
    bool VM_Stop(DWORD idThread);

private:
    struct Transition {
        DWORD action;
        int next;
    };

    // True when a stop kept from before the run ends it at once.
    bool BeginRun();
    void EndRun();
    bool FindTransition(DWORD event, Transition* out);
    void TraceTransition(DWORD event, const Transition& t) const;

    VM_IStateMachineCbk* m_pCbk;
    const std::int32_t** m_ppRows = nullptr;
    int m_nEntriesPerState = 0;
    int m_nStates = 0;
    int m_nState = 0;
    std::atomic<int> m_bStop{0};
    std::atomic<DWORD> m_idThread{0};
    // A stop and the start of a run must not pass each other unseen.
    std::mutex m_startLock;
    bool m_bRunning = false;
    DWORD m_idEarlyStop = 0;
};
