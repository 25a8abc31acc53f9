#include "callflow/state_machine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "diag/trace.h"
#include "platform/win32/win32.h"
#include "support/temp_dir.h"

namespace {

constexpr UINT kEventMessage = WM_USER + 100;

// Entry k of a row.
struct Entry {
    std::int32_t mask, word, next;
};
constexpr Entry kNone{0, 0, SM_STAY};

std::vector<std::int32_t> Row(std::int32_t state, std::vector<Entry> entries) {
    std::vector<std::int32_t> row{state};
    entries.resize(6, kNone);
    for (const Entry& e : entries) row.insert(row.end(), {e.mask, e.word, e.next});
    return row;
}

std::vector<std::int32_t> Table(std::initializer_list<std::vector<std::int32_t>> rows) {
    std::vector<std::int32_t> table;
    for (const auto& r : rows) table.insert(table.end(), r.begin(), r.end());
    return table;
}

constexpr std::int32_t Word(WORD guard, WORD action) { return static_cast<std::int32_t>((guard << 16) | action); }

// Records what the engine asks of it; events are the wParam of kEventMessage.
class Recorder : public VM_IStateMachineCbk {
public:
    std::vector<DWORD> actions;
    std::vector<int> entered;
    std::vector<UINT> offered;
    std::vector<WORD> passingGuards;
    int redirectFrom = -100, redirectTo = -100;
    int endIn = -100;

    bool VM_TestCondition(WORD guard) override {
        for (WORD g : passingGuards)
            if (g == guard) return true;
        return false;
    }
    bool VM_DoAction(DWORD action) override {
        actions.push_back(action);
        return true;
    }
    bool VM_OnEnterState(int& state, DWORD, WPARAM) override {
        entered.push_back(state);
        if (state == redirectFrom) state = redirectTo;
        return state != endIn;
    }
    DWORD VM_GetEvent(UINT message, WPARAM wParam, LPARAM) override {
        offered.push_back(message);
        return message == kEventMessage ? static_cast<DWORD>(wParam) : 0;
    }
};

void PostEvent(DWORD event) { PostThreadMessageA(GetCurrentThreadId(), kEventMessage, event, 0); }

// Queues the events, then a last event that ends the run in state -1, and runs.
void RunWith(VM_CStateMachine& machine, Recorder& cbk, std::vector<DWORD> events) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    cbk.endIn = -1;
    for (DWORD e : events) PostEvent(e);
    PostEvent(0x80000000u);
    ASSERT_TRUE(machine.VM_Run());
}

// Every table below ends a run on event 0x80000000 by entering -1.
constexpr Entry kEnd{static_cast<std::int32_t>(0x80000000u), 0, -1};

}  // namespace

TEST(StateMachine, StartsWithTheStartActionAndStateZero) {
    auto table = Table({Row(0, {kEnd})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    RunWith(machine, cbk, {});
    ASSERT_GE(cbk.actions.size(), 1u);
    EXPECT_EQ(cbk.actions[0], SM_START_ACTION);
    EXPECT_EQ(cbk.entered, (std::vector<int>{0, -1}));
}

TEST(StateMachine, EarlierEntryWinsAndAFailedGuardFallsThrough) {
    auto table = Table({Row(0, {{0x1, Word(0, 10), SM_STAY},
                                {0x3, Word(0, 11), SM_STAY},
                                {0x2, Word(5, 12), SM_STAY},
                                {0x2, Word(6, 13), SM_STAY},
                                kEnd})});
    Recorder cbk;
    cbk.passingGuards = {6};
    VM_CStateMachine machine(1, &cbk, table.data());
    // 0x1 matches entries 0 and 1: 0 wins. 0x2: entry 1 wins over the guarded ones.
    RunWith(machine, cbk, {0x1, 0x2});
    EXPECT_EQ(cbk.actions, (std::vector<DWORD>{SM_START_ACTION, 10, 11, 0}));
}

TEST(StateMachine, GuardThatFailsIsNeverTakenAndTheEventIsDropped) {
    auto table = Table({Row(0, {{0x4, Word(7, 20), 1}, {0x4, Word(8, 21), 1}, kEnd}), Row(1, {kEnd})});
    Recorder cbk;
    cbk.passingGuards = {8};
    VM_CStateMachine machine(2, &cbk, table.data());
    RunWith(machine, cbk, {0x4});
    EXPECT_EQ(cbk.actions, (std::vector<DWORD>{SM_START_ACTION, 21, 0}));
    Recorder none;
    VM_CStateMachine dropped(2, &none, table.data());
    RunWith(dropped, none, {0x4});
    EXPECT_EQ(none.actions, (std::vector<DWORD>{SM_START_ACTION, 0}));
    EXPECT_EQ(none.entered, (std::vector<int>{0, -1}));
}

TEST(StateMachine, EventZeroAndStayWithoutActionChangeNothing) {
    auto table = Table({Row(0, {{0x8, 0, SM_STAY}, {0x10, Word(0, 30), 0}, kEnd})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);  // no event
    PostEvent(0x8);
    PostEvent(0x10);
    PostEvent(0x80000000u);
    cbk.endIn = -1;
    ASSERT_TRUE(machine.VM_Run());
    EXPECT_EQ(cbk.offered.front(), static_cast<UINT>(WM_USER + 1));
    // -2 consumes the event without entering; a next state equal to the
    // current one enters it again.
    EXPECT_EQ(cbk.actions, (std::vector<DWORD>{SM_START_ACTION, 0, 30, 0}));
    EXPECT_EQ(cbk.entered, (std::vector<int>{0, 0, -1}));
}

TEST(StateMachine, StateWrittenBackByTheEntryCallbackIsWhereTheMachineContinues) {
    auto table = Table({Row(0, {{0x1, Word(0, 1), 5}, kEnd}),
                        Row(5, {{0x2, Word(0, 55), SM_STAY}, kEnd}),
                        Row(9, {{0x2, Word(0, 99), SM_STAY}, kEnd})});
    Recorder cbk;
    cbk.redirectFrom = 5;
    cbk.redirectTo = 9;
    VM_CStateMachine machine(3, &cbk, table.data());
    RunWith(machine, cbk, {0x1, 0x2});
    EXPECT_EQ(cbk.actions, (std::vector<DWORD>{SM_START_ACTION, 1, 99, 0}));
    EXPECT_EQ(cbk.entered, (std::vector<int>{0, 5, -1})) << "no entry callback for the written state";
}

TEST(StateMachine, StopMessageOfAnotherMachineIsAnOrdinaryMessage) {
    auto table = Table({Row(0, {kEnd})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    int other = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    PostThreadMessageA(GetCurrentThreadId(), SM_MSG_STOP, reinterpret_cast<WPARAM>(&other), 0);
    PostEvent(0x80000000u);
    cbk.endIn = -1;
    ASSERT_TRUE(machine.VM_Run());
    ASSERT_GE(cbk.offered.size(), 1u);
    EXPECT_EQ(cbk.offered[0], SM_MSG_STOP);
    EXPECT_EQ(cbk.entered.back(), -1);
}

TEST(StateMachine, MachineWithoutTableIsInertAndReadsNoMessage) {
    Recorder cbk;
    VM_CStateMachine machine(3, &cbk, nullptr);
    PostEvent(1);
    EXPECT_FALSE(machine.VM_Run());
    EXPECT_TRUE(cbk.actions.empty());
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    VM_CStateMachine noCallback(1, nullptr, Table({Row(0, {})}).data());
    EXPECT_FALSE(noCallback.VM_Run());
}

TEST(StateMachine, QuitMessageEndsTheRun) {
    auto table = Table({Row(0, {})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    PostQuitMessage(0);
    EXPECT_TRUE(machine.VM_Run());
    EXPECT_EQ(cbk.entered, (std::vector<int>{0}));
}

TEST(StateMachine, TransitionsAreTracedWhenTheSwitchIsOn) {
    testsupport::TempDir dir(true);
    int saved = g_bTraceStateMachine;
    g_bTraceStateMachine = 1;
    auto table = Table({Row(0, {{0x40, Word(0, 0x21), 3}, kEnd}), Row(3, {kEnd})});
    Recorder cbk;
    VM_CStateMachine machine(2, &cbk, table.data());
    RunWith(machine, cbk, {0x40});
    g_bTraceStateMachine = saved;
    std::string text = testsupport::ReadFileBytes(dir.file("dbg_err.txt"));
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "VM_CStateMachine::VM_Run(): thr_id=0x%x, s=0, e=0x40, a=0x21, ns=3\r\n",
                  static_cast<unsigned>(GetCurrentThreadId()));
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    std::snprintf(expected, sizeof expected,
                  "VM_CStateMachine::VM_Run(): thr_id=0x%x, s=3, e=0x80000000, a=0x0, ns=-1\r\n",
                  static_cast<unsigned>(GetCurrentThreadId()));
    EXPECT_NE(text.find(expected), std::string::npos) << text;
}

namespace {

// Runs a machine on a worker thread made like the controller makes it.
struct Worker {
    VM_CStateMachine* machine;
    std::atomic<bool> ran{false};
    std::atomic<bool> queueReady{false};
    static unsigned Body(void* arg) {
        auto* self = static_cast<Worker*>(arg);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        self->queueReady = true;
        self->ran = self->machine->VM_Run();
        return 0;
    }
};

// Tells when the run has entered its first state.
class Entered : public Recorder {
public:
    HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Entered() override { CloseHandle(entered); }
    bool VM_OnEnterState(int& state, DWORD event, WPARAM param) override {
        const bool keepRunning = Recorder::VM_OnEnterState(state, event, param);
        SetEvent(entered);
        return keepRunning;
    }
};

}  // namespace

TEST(StateMachineConcurrency, StopFromAnotherThreadEndsABlockedRun) {
    auto table = Table({Row(0, {})});
    Entered cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    Worker worker{&machine};
    unsigned id = 0;
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker::Body, &worker, 0, &id));
    // Before the run starts any stop is kept for the thread it names.
    ASSERT_EQ(WaitForSingleObject(cbk.entered, 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(machine.VM_Stop(id + 4)) << "a stop naming another thread is refused";
    // A second stop is refused only while the first is still pending, which a
    // running worker may already have taken: the suspended-worker test checks it.
    EXPECT_TRUE(machine.VM_Stop(id));
    EXPECT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(worker.ran.load());
    CloseHandle(h);
}

TEST(StateMachineConcurrency, StopBeforeTheRunStartsTakesEffectWhenItStarts) {
    auto table = Table({Row(0, {})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    Worker worker{&machine};
    unsigned id = 0;
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker::Body, &worker, CREATE_SUSPENDED, &id));
    // The caller hung up before the worker got going: the stop must not be lost.
    EXPECT_TRUE(machine.VM_Stop(id));
    EXPECT_FALSE(machine.VM_Stop(id));
    ResumeThread(h);
    EXPECT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0) << "run did not end: the early stop was lost";
    EXPECT_TRUE(worker.ran.load());
    EXPECT_TRUE(cbk.actions.empty()) << "the run went on after a stop kept for it";
    EXPECT_TRUE(cbk.entered.empty());
    CloseHandle(h);
}

TEST(StateMachineConcurrency, EarlyStopHoldsForEveryRunNotOnlyTheFirst) {
    // A controller runs one call after another on the same machine, each on
    // a new worker; a hang-up right after connecting can come before any of
    // their runs starts.
    auto table = Table({Row(0, {})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    for (int call = 0; call < 3; ++call) {
        Worker worker{&machine};
        unsigned id = 0;
        auto h = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, Worker::Body, &worker, CREATE_SUSPENDED, &id));
        EXPECT_TRUE(machine.VM_Stop(id)) << "call " << call;
        ResumeThread(h);
        ASSERT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0) << "call " << call << ": the early stop was lost";
        CloseHandle(h);
    }
    EXPECT_TRUE(cbk.actions.empty());
}

TEST(StateMachineConcurrency, StopKeptForAnEndedThreadDoesNotBlockTheNextOne) {
    auto table = Table({Row(0, {})});
    Recorder cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    // A stale stop for a worker that never ran the machine again.
    EXPECT_TRUE(machine.VM_Stop(0x7777));
    Worker worker{&machine};
    unsigned id = 0;
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker::Body, &worker, CREATE_SUSPENDED, &id));
    EXPECT_TRUE(machine.VM_Stop(id)) << "the new worker's stop must replace the stale one";
    ResumeThread(h);
    EXPECT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0);
    CloseHandle(h);
}

namespace {

// Holds the start action until the test has asked for the stop.
class SlowStart : public Recorder {
public:
    HANDLE inStart = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stopAsked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~SlowStart() override {
        CloseHandle(inStart);
        CloseHandle(stopAsked);
    }
    bool VM_DoAction(DWORD action) override {
        if (action == SM_START_ACTION) {
            SetEvent(inStart);
            WaitForSingleObject(stopAsked, 20000);
        }
        return Recorder::VM_DoAction(action);
    }
};

unsigned RunOnly(void* machine) { return static_cast<VM_CStateMachine*>(machine)->VM_Run() ? 1 : 0; }

}  // namespace

// A hang-up while the flow still plays its first prompt: the worker has not
// read its queue yet, and the stop posted to it must still be taken.
TEST(StateMachineConcurrency, StopDuringTheStartActionReachesAWorkerThatNeverReadItsQueue) {
    auto table = Table({Row(0, {})});
    SlowStart cbk;
    VM_CStateMachine machine(1, &cbk, table.data());
    unsigned id = 0;
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunOnly, &machine, 0, &id));
    ASSERT_EQ(WaitForSingleObject(cbk.inStart, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(machine.VM_Stop(id)) << "the stop message was refused";
    SetEvent(cbk.stopAsked);
    EXPECT_EQ(WaitForSingleObject(h, 20000), WAIT_OBJECT_0);
    CloseHandle(h);
}
